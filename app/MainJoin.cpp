// Filled by the join workflow work.
#include "app/Main.h"

void TMain::JoinFilesClick() {}
void TMain::JoinFilesBtnClick() { JoinFilesClick(); }
void TMain::FindPlaceToBigFileClick() {}
void TMain::FindPlaceToBigFileBtnClick() { FindPlaceToBigFileClick(); }
void TMain::DoJoinClick() {}
void TMain::DoJoinBtnClick() { DoJoinClick(); }
