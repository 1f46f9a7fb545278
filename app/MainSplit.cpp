// Filled by the split workflow work.
#include "app/Main.h"

void TMain::ChooseSplitAFileClick() {}
void TMain::SplitAFileBtnClick() { ChooseSplitAFileClick(); }
void TMain::FindPlaceToSmallFilesClick() {}
void TMain::FindPlaceToSmallFilesBtnClick() { FindPlaceToSmallFilesClick(); }
void TMain::DoSplitClick() {}
void TMain::DoSplitBtnClick() { DoSplitClick(); }
