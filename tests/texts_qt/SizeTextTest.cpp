// The big file's size as the window shows it, and typed numbers read from
// a field's text.
#include <gtest/gtest.h>

#include <QLocale>

#include "tests/support/TestSupport.h"
#include "texts/QtSizeText.h"

namespace {

constexpr int64_t kGiB = 1073741824;

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
        EXPECT_EQ(BigFileSizeText(t.size, 1, c), QString::fromLatin1(t.b));
        EXPECT_EQ(BigFileSizeText(t.size, 2, c), QString::fromLatin1(t.kb));
        EXPECT_EQ(BigFileSizeText(t.size, 3, c), QString::fromLatin1(t.mb));
        EXPECT_EQ(BigFileSizeText(t.size, 4, c), QString::fromLatin1(t.gb));
    }
}

TEST(BigFileSizeText, DecimalCommaLocaleKeepsPointInSubstitute) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(BigFileSizeText(1457664, 2, german), QStringLiteral("1423,5"));
    EXPECT_EQ(BigFileSizeText(2147483647, 2, german), QStringLiteral("2097151,999"));  // no grouping
    EXPECT_EQ(BigFileSizeText(2147483647, 1, german), QStringLiteral("2147483647"));
    EXPECT_EQ(BigFileSizeText(1, 3, german), QStringLiteral("0.000"));
}

TEST(BigFileSizeText, UnknownUnitKeepsCurrentText) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(BigFileSizeText(3000000, 0, c, "2.861"), QStringLiteral("2.861"));
    EXPECT_EQ(BigFileSizeText(3000000, 5, c, "2.861"), QStringLiteral("2.861"));
    EXPECT_EQ(BigFileSizeText(0, 7, c, "2.861"), QStringLiteral(" "));
    EXPECT_EQ(BigFileSizeText(10, -1, c, "0"), QStringLiteral("0.000"));
}

TEST(LeadingInteger, FieldTextReadsAsItsUtf8) {
    for (const char* text : {"2000 words", " 7", "abc", "", "-5", "4294967296", "1234567890123456789012345"}) {
        EXPECT_EQ(LeadingInteger(QString::fromLatin1(text)), LeadingInteger(std::string(text))) << text;
    }
}

}  // namespace
