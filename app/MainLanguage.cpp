// Filled by the language switching work.
#include "app/Main.h"

void TMain::SwitchLanguage() {}
void TMain::MemoryUsageClick() {}
void TMain::ChooseFiletypeClick() {}
void TMain::LanguageEnglishClick() {}
void TMain::LanguageSwedishClick() {}
void TMain::LanguageGermanClick() {}
void TMain::HintClick() {}
void TMain::HintBtnClick() { HintClick(); }
