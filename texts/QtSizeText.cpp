#include "texts/QtSizeText.h"

#include <QLocale>

QString BigFileSizeText(int64_t size, SizeUnit unit, const QLocale& locale, const QString& current) {
    QString text = current;
    if (unit == SizeUnit::Bytes) {
        text = QString::number(size);
    } else if (unit >= SizeUnit::Kilobytes && unit <= SizeUnit::Gigabytes) {
        // General format, no grouping; only the decimal separator is the user's.
        text = QString::number(RoundToUnit(size, UnitBytes(unit)), 'g', 15);
        text.replace(QLatin1Char('.'), locale.decimalPoint());
    }
    if (size == 0) return QStringLiteral(" ");
    if (size > 0 && text == QLatin1String("0")) return QStringLiteral("0.000");
    return text;
}
