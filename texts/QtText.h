// Catalogue texts at the widget boundary: the catalogue holds UTF-8.
#pragma once

#include <QString>

#include "texts/TextCatalogue.h"

namespace Texts {
// The entry in the current language, as the widgets take it.
inline QString Text(Entry entry) { return QString::fromUtf8(CatalogueText(entry).c_str()); }
}  // namespace Texts

// Entry number n in the current language: for runs of numbers such as the help lines.
inline QString CatalogueQText(int n) { return QString::fromUtf8(CatalogueText(n).c_str()); }
