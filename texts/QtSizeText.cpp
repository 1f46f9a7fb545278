#include "texts/QtSizeText.h"

#include <QLocale>

QString BigFileSizeText(int64_t size, SizeUnit unit, const QLocale& locale, const QString& current) {
    // kB, MB and GB in this order.
    static constexpr int64_t kDivisors[] = {1024, 1024 * 1024, 1024 * 1024 * 1024};
    QString text = current;
    if (unit == SizeUnit::Bytes) {
        text = QString::number(size);
    } else if (unit >= SizeUnit::Kilobytes && unit <= SizeUnit::Gigabytes) {
        // General format, no grouping; only the decimal separator is the user's.
        const int divisor = static_cast<int>(unit) - static_cast<int>(SizeUnit::Kilobytes);
        text = QString::number(RoundToUnit(size, kDivisors[divisor]), 'g', 15);
        text.replace(QLatin1Char('.'), locale.decimalPoint());
    }
    if (size == 0) return QStringLiteral(" ");
    if (size > 0 && text == QLatin1String("0")) return QStringLiteral("0.000");
    return text;
}
