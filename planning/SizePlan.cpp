#include "planning/SizePlan.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

int64_t LeadingInteger(const std::string& text) {
    // strtoll stops at the first non-digit and saturates at the 64-bit range
    // (ERANGE), which is exactly the reading wanted for typed sizes.
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int64_t>(value);
}

namespace {

// remaining - size without wrapping; sizes come from typed text and may be huge.
int64_t SaturatingSub(int64_t remaining, int64_t size) {
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    if (size > 0 && remaining < kMin + size) return kMin;
    if (size < 0 && remaining > kMax + size) return kMax;
    return remaining - size;
}

PiecePlan Failed(PiecePlan::Outcome outcome) {
    PiecePlan plan;
    plan.outcome = outcome;
    return plan;
}

}  // namespace

PiecePlan PlanPieces(int64_t bigFileBytes, int64_t baseSize, const std::vector<int64_t>& kept, int32_t keep) {
    if (bigFileBytes <= 0) return Failed(PiecePlan::Outcome::NoFile);

    const int64_t available = kept.empty() ? 0 : static_cast<int64_t>(kept.size()) - 1;
    const int64_t kept64 = std::max<int64_t>(0, std::min<int64_t>(keep, available));
    if (kept64 > kMaxPieces) return Failed(PiecePlan::Outcome::TooManyFiles);
    const int32_t keepCount = static_cast<int32_t>(kept64);

    int64_t remaining = bigFileBytes;
    for (int32_t i = 1; i <= keepCount; ++i) remaining = SaturatingSub(remaining, kept[i]);

    if (remaining < 0) {
        PiecePlan fresh = PlanPieces(bigFileBytes, baseSize);
        if (fresh.outcome == PiecePlan::Outcome::Planned) fresh.outcome = PiecePlan::Outcome::KeptTooBig;
        return fresh;
    }

    int64_t more = 0;
    if (remaining > 0) {
        if (baseSize <= 0) return Failed(PiecePlan::Outcome::TooManyFiles);
        more = remaining / baseSize + (remaining % baseSize != 0 ? 1 : 0);
    }
    if (more > kMaxPieces - keepCount) return Failed(PiecePlan::Outcome::TooManyFiles);

    PiecePlan plan;
    plan.outcome = PiecePlan::Outcome::Planned;
    plan.count = keepCount + static_cast<int32_t>(more);
    plan.sizes.assign(static_cast<size_t>(plan.count) + 1, 0);
    for (int32_t i = 1; i <= keepCount; ++i) plan.sizes[i] = kept[i];
    for (int32_t i = keepCount + 1; i <= plan.count; ++i) {
        const int64_t size = remaining < baseSize ? remaining : baseSize;
        plan.sizes[i] = size;
        remaining -= size;
    }
    return plan;
}

double RoundToUnit(int64_t size, int64_t divisor) {
    if (divisor == 0) return 0.0;
    // Floating point throughout: size * 1000 would overflow in integers.
    // Adding 0.0 turns a truncated -0 into 0, so "-0" is never shown.
    const double thousandths = std::trunc(static_cast<double>(size) * 1000.0 / static_cast<double>(divisor) + 0.5);
    return thousandths / 1000.0 + 0.0;
}

int64_t UnitBytes(SizeUnit unit) {
    switch (unit) {
    case SizeUnit::Kilobytes: return int64_t{1} << 10;
    case SizeUnit::Megabytes: return int64_t{1} << 20;
    case SizeUnit::Gigabytes: return int64_t{1} << 30;
    case SizeUnit::Bytes: break;
    }
    return 1;
}

int64_t ParseSize(const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0) return -1;
    std::string unit = text.substr(digits);
    for (char& c : unit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    SizeUnit sizeUnit = SizeUnit::Bytes;
    if (!unit.empty()) {
        const char* const kUnitLetters = "KMG";
        const char* letter = std::strchr(kUnitLetters, unit[0]);
        const std::string rest = unit.substr(1);
        if (letter == nullptr || *letter == '\0' || !(rest.empty() || rest == "B" || rest == "IB")) return -1;
        sizeUnit = static_cast<SizeUnit>(static_cast<int>(SizeUnit::Kilobytes) + (letter - kUnitLetters));
    }
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const int64_t factor = UnitBytes(sizeUnit);
    int64_t number = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int digit = text[i] - '0';
        if (number > (kMax - digit) / 10) return -1;
        number = number * 10 + digit;
    }
    return number > kMax / factor ? -1 : number * factor;
}

int64_t SmallestBaseSize(int64_t bigFileBytes) {
    if (bigFileBytes <= 0) return 1;
    return bigFileBytes / kMaxPieces + (bigFileBytes % kMaxPieces != 0 ? 1 : 0);
}
