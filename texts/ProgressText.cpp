#include "texts/ProgressText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "texts/ExtraTexts.h"

namespace {

// Seconds as m:ss, or h:mm:ss from an hour on; whole seconds, rounded up
// (a transfer never shows 0:00 left before it is done).
std::string Duration(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(std::max(seconds, 0.0)));
    const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    char text[32];
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
    return text;
}

}  // namespace

std::string SizeInUnit(int64_t bytes, int64_t scale, const std::string& decimalPoint, std::string* unit) {
    static const char* const kUnits[] = {"B", "kB", "MB", "GB"};
    int step = 0;
    double divisor = 1;
    while (step < 3 && scale >= 1024 * divisor) {
        divisor *= 1024;
        ++step;
    }
    if (unit) *unit = kUnits[step];
    const double value = static_cast<double>(bytes) / divisor;
    const double top = static_cast<double>(scale) / divisor;
    const int decimals = step == 0 ? 0 : top < 10 ? 2 : top < 100 ? 1 : 0;
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", decimals, value);
    std::string text = number;
    const std::string::size_type point = text.find('.');
    if (point != std::string::npos) text.replace(point, 1, decimalPoint);
    return text;
}

std::string ProgressText(const TransferStatus& status, Language lang, const std::string& decimalPoint) {
    static const std::string kSeparator = " \xC2\xB7 ";  // a middle dot between blanks
    const int32_t position = std::clamp(status.position, 0, 1000);
    std::string text = FillIn(ExtraText(lang, Extra::ProgressPercent), {std::to_string(position / 10)});
    const auto add = [&](const std::string& part) { text += kSeparator + part; };
    if (status.totalBytes > 0) {
        const int64_t done = status.totalBytes / 1000 * position + status.totalBytes % 1000 * position / 1000;
        std::string unit;
        const std::string total = SizeInUnit(status.totalBytes, status.totalBytes, decimalPoint, &unit);
        add(FillIn(ExtraText(lang, Extra::ProgressBytes),
                   {SizeInUnit(done, status.totalBytes, decimalPoint, nullptr), total + ' ' + unit}));
        // Too early a speed swings wildly: it shows after half a second.
        if (done > 0 && status.seconds >= 0.5) {
            const double speed = done / status.seconds;
            std::string speedUnit;
            add(SizeInUnit(std::llround(speed), std::llround(speed), decimalPoint, &speedUnit) + ' ' + speedUnit +
                "/s");
            if (position < 1000) {
                add(FillIn(ExtraText(lang, Extra::ProgressTimeLeft), {Duration((status.totalBytes - done) / speed)}));
            }
        }
    }
    if (status.piece > 0) {
        add(status.pieceCount > 0 ? FillIn(ExtraText(lang, Extra::ProgressPiece),
                                           {std::to_string(status.piece), std::to_string(status.pieceCount)})
                                  : FillIn(ExtraText(lang, Extra::ProgressPieceAlone), {std::to_string(status.piece)}));
    }
    return text;
}
