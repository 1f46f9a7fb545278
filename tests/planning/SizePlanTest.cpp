// The piece plan, the unit rounding and the reading of typed numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "planning/SizePlan.h"

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
        {"edit piece 3",
         3000000,
         kFloppy,
         {0, kFloppy, kFloppy, 100},
         3,
         Outcome::Planned,
         {kFloppy, kFloppy, 100, 84572}},
        {"edit piece 1 to the whole file", 3000000, kFloppy, {0, 3000000}, 1, Outcome::Planned, {3000000}},
        {"edit piece 1 past the file",
         3000000,
         kFloppy,
         {0, 3000001},
         1,
         Outcome::KeptTooBig,
         {kFloppy, kFloppy, 84672}},
        {"keep counts only the sizes given", 3000, 1000, {0, 500}, 4, Outcome::Planned, {500, 1000, 1000, 500}},
        {"negative keep plans everything", 3000, 1000, {0, 500}, -3, Outcome::Planned, {1000, 1000, 1000}},
        {"empty kept list", 2500, 1000, {}, 2, Outcome::Planned, {1000, 1000, 500}},
        {"huge kept sizes do not wrap",
         3000,
         1000,
         {0, kMax64, kMax64, kMax64},
         3,
         Outcome::KeptTooBig,
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
    }
}

// Sizes typed on the command line: K, M and G are the window's kB, MB and GB.
TEST(ParseSize, TakesTheUnitsPeopleType) {
    const std::vector<std::pair<const char*, int64_t>> cases{
        {"1457664", kFloppy},
        {"1K", 1024},
        {"1k", 1024},
        {"700M", 734003200},
        {"700MB", 734003200},
        {"700MiB", 734003200},
        {"700mib", 734003200},
        {"4G", 4 * kGiB},
        {"4GiB", 4 * kGiB},
        {"0", 0},
        {"9223372036854775807", kMax64},
        {"8589934591G", 8589934591 * kGiB},
        // Refused rather than read as another size.
        {"", -1},
        {"M", -1},
        {"1.44MB", -1},
        {"700 M", -1},
        {" 700", -1},
        {"-1", -1},
        {"+1", -1},
        {"7T", -1},
        {"1KBB", -1},
        {"1Ki", -1},
        {"1B", -1},
        {"99999999999999999999", -1},
        {"9223372036854775807K", -1},
        {"8589934592G", -1},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(ParseSize(text), bytes) << '"' << text << '"';
    EXPECT_EQ(UnitBytes(SizeUnit::Megabytes), ParseSize("1M"));
}

TEST(SmallestBaseSize, IsTheLeastThatStaysWithinThePieceLimit) {
    for (int64_t size : {int64_t{1}, int64_t{kMaxPieces}, int64_t{kMaxPieces} + 1, kGiB, kMax64}) {
        const int64_t base = SmallestBaseSize(size);
        EXPECT_EQ(PlanPieces(size, base).outcome, Outcome::Planned) << size;
        if (base > 1) EXPECT_EQ(PlanPieces(size, base - 1).outcome, Outcome::TooManyFiles) << size;
    }
}

}  // namespace
