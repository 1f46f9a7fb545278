// Qt's own texts (file dialogs, message box buttons) in the program's language.
#pragma once

// Installs Qt's translations for language (0 English, 1 Swedish, 2 German) in
// place of those of the language before. A missing translation file is no
// error: those texts then stay English. Needs the application object.
void ApplyQtLanguage(int language);
