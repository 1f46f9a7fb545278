// Sizes as the window shows and reads them: the big file's size in the
// user's decimal separator, and whole numbers typed into fields.
#pragma once

#include <QString>
#include <cstdint>

#include "planning/SizePlan.h"

class QLocale;

// Text of the big file's size in unit 1 B, 2 kB, 3 MB, 4 GB; for any other
// unit `current` is kept (then the blank and "0.000" rules still apply).
QString BigFileSizeText(int64_t size, int unit, const QLocale& locale, const QString& current = QString());

// LeadingInteger of a field's text.
inline int64_t LeadingInteger(const QString& text) { return LeadingInteger(text.toStdString()); }
