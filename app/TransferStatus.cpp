#include "app/TransferStatus.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "texts/ExtraTexts.h"

namespace {

QString Text(Language lang, Extra id) { return QString::fromStdString(ExtraText(lang, id)); }

// Seconds as m:ss, or h:mm:ss from an hour on; whole seconds, rounded up
// (a transfer never shows 0:00 left before it is done).
QString Duration(double seconds) {
    const auto whole = static_cast<int64_t>(std::ceil(std::max(seconds, 0.0)));
    const int64_t h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    const QString ss = QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0'));
    if (h > 0) return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(ss);
    return QStringLiteral("%1:%2").arg(m).arg(ss);
}

}  // namespace

QString SizeInUnit(int64_t bytes, int64_t scale, const QString& decimalPoint, QString* unit) {
    static const char* const kUnits[] = {"B", "kB", "MB", "GB"};
    int step = 0;
    double divisor = 1;
    while (step < 3 && scale >= 1024 * divisor) {
        divisor *= 1024;
        ++step;
    }
    if (unit) *unit = QLatin1String(kUnits[step]);
    const double value = static_cast<double>(bytes) / divisor;
    const double top = static_cast<double>(scale) / divisor;
    const int decimals = step == 0 ? 0 : top < 10 ? 2 : top < 100 ? 1 : 0;
    QString text = QString::number(value, 'f', decimals);
    text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

QString TransferStatusText(const TransferStatus& status, Language lang, const QString& decimalPoint) {
    QStringList parts;
    const int32_t position = std::clamp(status.position, 0, 1000);
    parts << Text(lang, Extra::ProgressPercent).arg(position / 10);
    if (status.totalBytes > 0) {
        const int64_t done = status.totalBytes / 1000 * position + status.totalBytes % 1000 * position / 1000;
        QString unit;
        const QString total = SizeInUnit(status.totalBytes, status.totalBytes, decimalPoint, &unit);
        parts << Text(lang, Extra::ProgressBytes)
                     .arg(SizeInUnit(done, status.totalBytes, decimalPoint, nullptr), total + QLatin1Char(' ') + unit);
        // Too early a speed swings wildly: it shows after half a second.
        if (done > 0 && status.seconds >= 0.5) {
            const double speed = done / status.seconds;
            QString speedUnit;
            const QString rate = SizeInUnit(std::llround(speed), std::llround(speed), decimalPoint, &speedUnit);
            parts << rate + QLatin1Char(' ') + speedUnit + QStringLiteral("/s");
            if (position < 1000) {
                parts << Text(lang, Extra::ProgressTimeLeft).arg(Duration((status.totalBytes - done) / speed));
            }
        }
    }
    if (status.piece > 0) {
        parts << (status.pieceCount > 0 ? Text(lang, Extra::ProgressPiece).arg(status.piece).arg(status.pieceCount)
                                        : Text(lang, Extra::ProgressPieceAlone).arg(status.piece));
    }
    return parts.join(QStringLiteral(" · "));
}
