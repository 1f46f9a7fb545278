// What the status bar says while a split or join runs (texts/ProgressText.h),
// in the window's strings.
#pragma once

#include <QString>

#include "texts/ProgressText.h"

// ProgressText as a QString.
QString TransferStatusText(const TransferStatus& status, Language lang, const QString& decimalPoint);
