// Sizes as the window shows and reads them: the big file's size in the
// user's decimal separator, and whole numbers typed into fields.
#pragma once

#include <QString>
#include <cstdint>

#include "planning/SizePlan.h"

class QLocale;

// Text of the big file's size in unit; for any other value `current` is kept
// (then the blank and "0.000" rules still apply).
QString BigFileSizeText(int64_t size, SizeUnit unit, const QLocale& locale, const QString& current = QString());

// LeadingInteger of a field's text.
inline int64_t LeadingInteger(const QString& text) { return LeadingInteger(text.toStdString()); }
