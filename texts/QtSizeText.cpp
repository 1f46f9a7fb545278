#include "texts/QtSizeText.h"

#include <QLocale>

QString BigFileSizeText(int64_t size, int unit, const QLocale& locale, const QString& current) {
    static constexpr int64_t kDivisors[] = {1024, 1024 * 1024, 1024 * 1024 * 1024};
    QString text = current;
    if (unit == 1) {
        text = QString::number(size);
    } else if (unit >= 2 && unit <= 4) {
        // General format, no grouping; only the decimal separator is the user's.
        text = QString::number(RoundToUnit(size, kDivisors[unit - 2]), 'g', 15);
        text.replace(QLatin1Char('.'), locale.decimalPoint());
    }
    if (size == 0) return QStringLiteral(" ");
    if (size > 0 && text == QLatin1String("0")) return QStringLiteral("0.000");
    return text;
}
