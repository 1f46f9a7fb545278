// Filled by the size planning work.
#include "app/Main.h"

void TMain::ShowBigFileSize(int) {}
void TMain::PlanPieceSizes(int32_t) {}
void TMain::ApplySizeMode() {}
void TMain::LoadBaseSizes() {}
void TMain::BigFileRB1Click() {}
void TMain::BigFileRB2Click() {}
void TMain::BigFileRB3Click() {}
void TMain::BigFileRB4Click() {}
void TMain::rbSizeBaseClick() {}
void TMain::rbSizeFreeClick() {}
void TMain::SmallerSizesLBClick() {}
void TMain::ApplyNewSizeClick() {}
void TMain::CBBaseSizeChange() {}
void TMain::ApplyBaseSizeClick() {}
