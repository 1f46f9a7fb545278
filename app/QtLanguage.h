// Qt's own texts (file dialogs, message box buttons) in the program's language.
#pragma once

#include "texts/TextCatalogue.h"

// Installs Qt's translations for language in place of those of the language
// before. A missing translation file is no error: those texts then stay
// English. Needs the application object.
void ApplyQtLanguage(Language language);
