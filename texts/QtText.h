// Catalogue texts at the widget boundary: the catalogue holds UTF-8.
#pragma once

#include <QString>

#include "texts/TextCatalogue.h"

// Entry n of the catalogue in the current language.
inline QString CatalogueQText(int n) { return QString::fromUtf8(CatalogueText(n).c_str()); }
