// The piece plan, the unit rounding, the size text and the reading of typed numbers.
#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>
#include <limits>

#include "planning/SizePlan.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr int64_t kFloppy = 1457664;
constexpr int64_t kGiB = 1073741824;
constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

using Outcome = PiecePlan::Outcome;

struct PlanCase {
    const char* name;
    int64_t bigFileBytes;
    int64_t baseSize;
    std::vector<int64_t> kept;  // element 0 holds no piece
    int32_t keep;
    Outcome outcome;
    std::vector<int64_t> sizes;  // pieces 1..N
};

std::vector<int64_t> Pieces(const PiecePlan& plan) {
    EXPECT_EQ(plan.sizes.size(), static_cast<size_t>(plan.count) + 1);
    EXPECT_EQ(plan.sizes.at(0), 0);
    return std::vector<int64_t>(plan.sizes.begin() + 1, plan.sizes.end());
}

TEST(PlanPieces, Table) {
    const std::vector<PlanCase> cases = {
        {"exact multiple ends with a full piece", 2915328, kFloppy, {0}, 0, Outcome::Planned, {kFloppy, kFloppy}},
        {"file smaller than the base size", 1000, kFloppy, {0}, 0, Outcome::Planned, {1000}},
        {"last piece holds the rest", 3000000, kFloppy, {0}, 0, Outcome::Planned, {kFloppy, kFloppy, 84672}},
        {"edit piece 2", 3000000, kFloppy, {0, kFloppy, 1000000}, 2, Outcome::Planned, {kFloppy, 1000000, 542336}},
        {"edit piece 3", 3000000, kFloppy, {0, kFloppy, kFloppy, 100}, 3, Outcome::Planned,
         {kFloppy, kFloppy, 100, 84572}},
        {"edit piece 1 to the whole file", 3000000, kFloppy, {0, 3000000}, 1, Outcome::Planned, {3000000}},
        {"edit piece 1 past the file", 3000000, kFloppy, {0, 3000001}, 1, Outcome::KeptTooBig,
         {kFloppy, kFloppy, 84672}},
        {"keep counts only the sizes given", 3000, 1000, {0, 500}, 4, Outcome::Planned, {500, 1000, 1000, 500}},
        {"negative keep plans everything", 3000, 1000, {0, 500}, -3, Outcome::Planned, {1000, 1000, 1000}},
        {"empty kept list", 2500, 1000, {}, 2, Outcome::Planned, {1000, 1000, 500}},
        {"huge kept sizes do not wrap", 3000, 1000, {0, kMax64, kMax64, kMax64}, 3, Outcome::KeptTooBig,
         {1000, 1000, 1000}},
        {"pieces of 2 GiB and more", 5 * kGiB, 4 * kGiB - 1, {0}, 0, Outcome::Planned, {4 * kGiB - 1, kGiB + 1}},
        {"no file", 0, kFloppy, {0}, 0, Outcome::NoFile, {}},
        {"unreadable file", -1, kFloppy, {0}, 0, Outcome::NoFile, {}},
        {"base size 0", 3000, 0, {0}, 0, Outcome::TooManyFiles, {}},
        {"negative base size", 3000, -5, {0}, 0, Outcome::TooManyFiles, {}},
        {"too big kept and base size 0", 3000, 0, {0, 4000}, 1, Outcome::TooManyFiles, {}},
        {"one piece over the limit", 32760001, 1000, {0}, 0, Outcome::TooManyFiles, {}},
        {"huge file with a small base size", kMax64, 1, {0}, 0, Outcome::TooManyFiles, {}},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PiecePlan plan = PlanPieces(c.bigFileBytes, c.baseSize, c.kept, c.keep);
        EXPECT_EQ(plan.outcome, c.outcome);
        EXPECT_EQ(plan.count, static_cast<int32_t>(c.sizes.size()));
        EXPECT_EQ(Pieces(plan), c.sizes);
    }
}

TEST(PlanPieces, PieceLimitIsExact) {
    const PiecePlan plan = PlanPieces(32760000, 1000);
    ASSERT_EQ(plan.outcome, Outcome::Planned);
    EXPECT_EQ(plan.count, kMaxPieces);
    for (int32_t i = 1; i <= plan.count; ++i) ASSERT_EQ(plan.sizes[i], 1000) << i;

    // Kept pieces count toward the limit too.
    std::vector<int64_t> kept(kMaxPieces + 1, 1);
    kept[0] = 0;
    EXPECT_EQ(PlanPieces(kMaxPieces, 1000, kept, kMaxPieces).outcome, Outcome::Planned);
    EXPECT_EQ(PlanPieces(kMaxPieces + 1, 1000, kept, kMaxPieces).outcome, Outcome::TooManyFiles);
}

TEST(RoundToUnit, RoundsToThreeDecimalsHalvesUp) {
    EXPECT_DOUBLE_EQ(RoundToUnit(1, 1024), 0.001);
    EXPECT_DOUBLE_EQ(RoundToUnit(524, 1048576), 0.0);
    EXPECT_DOUBLE_EQ(RoundToUnit(525, 1048576), 0.001);
    EXPECT_DOUBLE_EQ(RoundToUnit(1457664, 1024), 1423.5);
    EXPECT_DOUBLE_EQ(RoundToUnit(3000000, 1024), 2929.688);
    EXPECT_DOUBLE_EQ(RoundToUnit(2147483647, 1024), 2097151.999);
    EXPECT_DOUBLE_EQ(RoundToUnit(5 * kGiB, kGiB), 5.0);
    EXPECT_DOUBLE_EQ(RoundToUnit(kMax64, 1024), 9007199254740992.0);  // no overflow
    // trunc cuts toward zero for negative sizes, and never gives -0.
    EXPECT_DOUBLE_EQ(RoundToUnit(-3000000, 1024), -2929.687);
    EXPECT_FALSE(std::signbit(RoundToUnit(-1, 1024)));
}

struct TextCase {
    int64_t size;
    const char* b;
    const char* kb;
    const char* mb;
    const char* gb;
};

TEST(BigFileSizeText, FourUnits) {
    const TextCase cases[] = {
        {1, "1", "0.001", "0.000", "0.000"},
        {524, "524", "0.512", "0.000", "0.000"},
        {525, "525", "0.513", "0.001", "0.000"},
        {730112, "730112", "713", "0.696", "0.001"},
        {1457664, "1457664", "1423.5", "1.39", "0.001"},
        {3000000, "3000000", "2929.688", "2.861", "0.003"},
        {1048576, "1048576", "1024", "1", "0.001"},
        {2147483647, "2147483647", "2097151.999", "2048", "2"},
        {0, " ", " ", " ", " "},
        {5 * kGiB, "5368709120", "5242880", "5120", "5"},
        // Negative sizes: same formula, no substitutes.
        {-3000000, "-3000000", "-2929.687", "-2.86", "-0.002"},
        {-1, "-1", "0", "0", "0"},
    };
    const QLocale c = QLocale::c();
    for (const TextCase& t : cases) {
        SCOPED_TRACE(t.size);
        EXPECT_EQ(BigFileSizeText(t.size, SizeUnit::Bytes, c), QString::fromLatin1(t.b));
        EXPECT_EQ(BigFileSizeText(t.size, SizeUnit::Kilobytes, c), QString::fromLatin1(t.kb));
        EXPECT_EQ(BigFileSizeText(t.size, SizeUnit::Megabytes, c), QString::fromLatin1(t.mb));
        EXPECT_EQ(BigFileSizeText(t.size, SizeUnit::Gigabytes, c), QString::fromLatin1(t.gb));
    }
}

TEST(BigFileSizeText, DecimalCommaLocaleKeepsPointInSubstitute) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(BigFileSizeText(1457664, SizeUnit::Kilobytes, german), QStringLiteral("1423,5"));
    EXPECT_EQ(BigFileSizeText(2147483647, SizeUnit::Kilobytes, german), QStringLiteral("2097151,999"));  // no grouping
    EXPECT_EQ(BigFileSizeText(2147483647, SizeUnit::Bytes, german), QStringLiteral("2147483647"));
    EXPECT_EQ(BigFileSizeText(1, SizeUnit::Megabytes, german), QStringLiteral("0.000"));
}

TEST(BigFileSizeText, UnknownUnitKeepsCurrentText) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(BigFileSizeText(3000000, static_cast<SizeUnit>(0), c, "2.861"), QStringLiteral("2.861"));
    EXPECT_EQ(BigFileSizeText(3000000, static_cast<SizeUnit>(5), c, "2.861"), QStringLiteral("2.861"));
    EXPECT_EQ(BigFileSizeText(0, static_cast<SizeUnit>(7), c, "2.861"), QStringLiteral(" "));
    EXPECT_EQ(BigFileSizeText(10, static_cast<SizeUnit>(-1), c, "0"), QStringLiteral("0.000"));
}

TEST(LeadingInteger, Table) {
    const struct {
        const char* text;
        int64_t value;
    } cases[] = {
        {"2000 words", 2000},
        {"1.44", 1},
        {"1,457,664", 1},
        {" 7", 7},
        {"\t\n\v\f\r 42x", 42},
        {"abc", 0},
        {"", 0},
        {"-5", -5},
        {"+12", 12},
        {"- 5", 0},
        {"4294967296", 4294967296},  // past 32 bits, not wrapped
        {"1234567890123456789012345", kMax64},
        {"-1234567890123456789012345", kMin64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LeadingInteger(std::string(c.text)), c.value);
        EXPECT_EQ(LeadingInteger(QString::fromLatin1(c.text)), c.value);
    }
}

}  // namespace
