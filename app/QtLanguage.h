// Qt's own texts (file dialogs, message box buttons) and the window's numbers
// in the program's language.
#pragma once

#include <QLocale>

#include "texts/TextCatalogue.h"

// Installs Qt's translations for language in place of those of the language
// before. A missing translation file is no error: those texts then stay
// English. Needs the application object. Numbers are then written as the
// language writes them (NumbersLocale).
void ApplyQtLanguage(Language language);

// The conventions numbers follow in `language` (German 2.918.772, Swedish
// 2 918 772): the desktop's own where it speaks that language, as its
// country may write numbers its own way, else the language's home country's.
QLocale NumbersLocale(Language language, const QLocale& desktop);

// The language a first start speaks: the desktop's where the program has it.
Language DesktopLanguage(const QLocale& desktop);
