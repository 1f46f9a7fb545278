// The catalogue: every entry in every language, the composed entries, the
// access-key rule, bounds, and the help text's layout in the window's order.
#include <gtest/gtest.h>

#include <cerrno>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "texts/ExtraTexts.h"
#include "texts/SetReport.h"
#include "texts/TextCatalogue.h"

namespace {

const char* const kLanguageNames[kLanguageCount] = {"English", "Swedish", "German"};

std::vector<int> Expand(const std::vector<std::pair<int, int>>& runs) {
    std::vector<int> numbers;
    for (const auto& [first, last] : runs)
        for (int n = first; n <= last; ++n) numbers.push_back(n);
    return numbers;
}

// Every entry number the program shows, in ascending order.
std::vector<int> EntriesInUse() {
    return Expand({{0, 14},
                   {17, 53},
                   {55, 74},
                   {83, 83},
                   {86, 95},
                   {101, 101},
                   {110, 115},
                   {117, 144},
                   {146, 194},
                   {196, 200},
                   {203, 221},
                   {227, 228},
                   {230, 239},
                   {252, 252}});
}

// The entries that are lines of the How It Works text.
std::vector<int> HelpEntries() {
    return Expand({{119, 136}, {140, 144}, {150, 155}, {157, 194}, {196, 200}, {203, 208}, {215, 221}, {231, 231}});
}

const std::set<int> kHeadings = {119, 122, 128, 131, 140, 150, 157, 177, 179, 188, 197, 215};
const std::set<int> kBullets = {120, 121, 123, 124, 127, 132, 134, 136};
const std::set<int> kContinuations = {125, 126, 133, 135};

// Decodes UTF-8; false when the text is not valid UTF-8.
bool DecodeUtf8(const std::string& text, std::vector<char32_t>& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else
            return false;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= text.size()) return false;
            const unsigned char c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (extra > 0 && cp < 0x80) return false;  // overlong
        out.push_back(cp);
        i += extra + 1;
    }
    return true;
}

bool IsLowerLetter(char32_t c) {
    return (c >= U'a' && c <= U'z') || c == U'å' || c == U'ä' || c == U'ö' || c == U'ü' || c == U'ß' || c == U'é';
}

class CatalogueTest : public ::testing::Test {
protected:
    // One catalogue entry in one language.
    struct Entry {
        int lang;
        int n;
        const char* text;
    };
    template <size_t N>
    void ExpectTexts(const Entry (&cases)[N]) {
        for (const Entry& c : cases) EXPECT_EQ(T(c.lang, c.n), c.text) << c.lang << "/" << c.n;
    }
    void SetUp() override {
        LanguageIndex = Language::English;
        BuildCatalogue(".Quorved_");
    }
    void TearDown() override { LanguageIndex = Language::English; }
    static const std::string& T(int lang, int n) { return Catalogue().Text(static_cast<Language>(lang), n); }
};

TEST_F(CatalogueTest, EveryEntryInUseIsSetInAllLanguagesAndEveryOtherIsEmpty) {
    const std::vector<int> inUse = EntriesInUse();
    ASSERT_EQ(inUse.size(), 204u);
    const std::set<int> used(inUse.begin(), inUse.end());
    for (int lang = 0; lang < kLanguageCount; ++lang) {
        for (int n = 0; n < kCatalogueEntries; ++n) {
            SCOPED_TRACE(std::string(kLanguageNames[lang]) + " entry " + std::to_string(n));
            const std::string& text = T(lang, n);
            if (used.count(n) == 0) {
                EXPECT_TRUE(text.empty());
                continue;
            }
            EXPECT_FALSE(text.empty());
            EXPECT_EQ(text.find_first_of("\t\r\n"), std::string::npos);
            std::vector<char32_t> decoded;
            EXPECT_TRUE(DecodeUtf8(text, decoded));
        }
    }
}

TEST_F(CatalogueTest, LookupsOutsideTheTableGiveEnglishOrTheEmptyText) {
    for (int n : {-1, 260, 100000}) EXPECT_EQ(CatalogueText(n), "") << n;
    EXPECT_EQ(T(5, 0), "&File");
    EXPECT_EQ(T(-1, 0), "&File");
    LanguageIndex = static_cast<Language>(3);
    EXPECT_EQ(CatalogueText(72), "The File Quorvel");
    LanguageIndex = static_cast<Language>(-7);
    EXPECT_EQ(CatalogueText(72), "The File Quorvel");
    LanguageIndex = Language::Swedish;
    EXPECT_EQ(CatalogueText(72), "Filquorvelen");
    LanguageIndex = Language::German;
    EXPECT_EQ(CatalogueText(72), "Dateiquorvel");
}

TEST_F(CatalogueTest, TheTextsKeepTheirOwnWording) {
    const Entry cases[] = {
        {0, 5, "E&xit"},
        {1, 149, "A&ldrig"},
        {2, 252, "&Deutch"},
        {2, 56, "Wechste die Diskette"},
        {2, 89, "Konnte die große Datei nicht lasen."},
        {2, 49, "Wähle wo Sie die kleineren Dateien haben möchsten"},
        {2, 66, "Ändere die größe|Klicke um die erwünschte größe zu änderen|"},
        {0, 13, "Choose ''pause'' if you will need to change disks"},
        {0, 53, "|Shows how much of the work that is done"},
        {0, 230, "No available space on this diskette! "},
        {1, 230, "Inget ledigt utrymme på denna diskett! "},
        {2, 230, "Kein Platz auf dieser Diskette!"},
        {0, 218, "Setup.exe.Quorved_2 and so on. This \".Quorved_\""},
    };
    ExpectTexts(cases);

    // Prefixes get a number or a name appended, so their trailing blank matters.
    for (int lang = 0; lang < kLanguageCount; ++lang)
        for (int n : {55, 57, 68, 92, 93, 95, 115})
            EXPECT_EQ(T(lang, n).back(), ' ') << kLanguageNames[lang] << " " << n;
}

TEST_F(CatalogueTest, ComposedEntriesReadTheirSourcesInTheSameLanguage) {
    const Entry cases[] = {
        {0, 17, "Select a file to be splitted|Select a file that will be splitted into smaller files"},
        {0, 30, "Select a file to be splitted"},
        {1, 30, "Välj fil som ska delas upp"},
        {2, 19,
         "Wähle eine Datei die wiederhergestellt werden soll"
         "|Wähle eine Datei die vorher aufgeteiet wurde um sie wiederherzustellen"},
        {1, 20, "Återskapa filen|Återskapa filen från de mindre filerna"},
        {0, 61, "Find a place for the smaller files|Find another name/place for the smaller files"},
        {2, 63, "Finde einen Platz für die große Datei|Finde einen anderen Namen/Platz für die große Datei"},
        {0, 137, "How It Works"},
        {1, 137, "Hur det funkar"},
        {2, 137, "Wie es funktioniert"},
        {0, 186, "alternative under the File menu."},
        {1, 186, "med det näst understa alternativet under Arkivmenyn."},
        {2, 186, "mit der nächst untersten Alternative unter Dateimeny."},
        {0, 203, "This program is much simpler than ''The File Quorvel,''"},
        {1, 203, "Detta program är mycket enklare än ''Filquorvelen'',"},
        {2, 203, "Dieses Programm ist viel einfacher als ''Dateiquorvel'',"},
    };
    ExpectTexts(cases);

    for (int lang = 1; lang < kLanguageCount; ++lang) EXPECT_EQ(T(lang, 231), T(0, 231));
    EXPECT_EQ(T(0, 231), "(C:\\>copy/b P.bmp.Quorved_1 + P.bmp.Quorved_2 P.bmp)");
}

TEST_F(CatalogueTest, TheMarkerReachesOnlyTheFileDialogFilters) {
    struct Case {
        std::string marker;
        const char* filter33[kLanguageCount];
        const char* filter51[kLanguageCount];
    };
    const Case cases[] = {
        {".Quorved_",
         {"Splitted Files (*.Quorved_1)|*.Quorved_1", "Uppdelade filer (*.Quorved_1)|*.Quorved_1",
          "Aufgeteilte Dateien (*.Quorved_1)|*.Quorved_1"},
         {"Will be added at the end: .Quorved_*|*.*", "Kommer att läggas till på slutet: .Quorved_*|*.*",
          "Wird am Ende zugefügt: .Quorved_*|*.*"}},
        {".part",
         {"Splitted Files (*.part1)|*.part1", "Uppdelade filer (*.part1)|*.part1",
          "Aufgeteilte Dateien (*.part1)|*.part1"},
         {"Will be added at the end: .part*|*.*", "Kommer att läggas till på slutet: .part*|*.*",
          "Wird am Ende zugefügt: .part*|*.*"}},
        {"",
         {"Splitted Files (*1)|*1", "Uppdelade filer (*1)|*1", "Aufgeteilte Dateien (*1)|*1"},
         {"Will be added at the end: *|*.*", "Kommer att läggas till på slutet: *|*.*",
          "Wird am Ende zugefügt: *|*.*"}},
    };

    TextCatalogue reference;
    reference.Build(".Quorved_");
    for (const Case& c : cases) {
        SCOPED_TRACE("marker '" + c.marker + "'");
        BuildCatalogue(c.marker);
        for (int lang = 0; lang < kLanguageCount; ++lang) {
            EXPECT_EQ(T(lang, 33), c.filter33[lang]);
            EXPECT_EQ(T(lang, 51), c.filter51[lang]);
            // Everything else, the help lines naming ".Quorved_" among them, stays.
            for (int n = 0; n < kCatalogueEntries; ++n) {
                if (n != 33 && n != 51) {
                    EXPECT_EQ(T(lang, n), reference.Text(static_cast<Language>(lang), n)) << n;
                }
            }
        }
    }
    EXPECT_NE(T(0, 217).find(".Quorved_1"), std::string::npos);
}

TEST(StripAccessKeyTest, RemovesOnlyTheFirstAmpersand) {
    const std::pair<const char*, const char*> cases[] = {
        {"E&xit", "Exit"},
        {"Memory Usage", "Memory Usage"},
        {"Save && Exit", "Save & Exit"},
        {"&A&B", "A&B"},
        {"", ""},
        {"&", ""},
        {"A&ldrig", "Aldrig"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(StripAccessKey(in), out) << in;
}

TEST(HelpLineOrderTest, FifteenParagraphsOfEveryHelpEntryOnce) {
    const std::vector<int>& order = HelpLineOrder();
    ASSERT_EQ(order.size(), 100u);
    EXPECT_EQ(order.front(), 119);
    EXPECT_EQ(order[3], -1);
    EXPECT_EQ(order[4], 122);
    EXPECT_EQ(order.back(), 208);
    EXPECT_EQ(std::count(order.begin(), order.end(), -1), 14);
    for (std::size_t i = 1; i < order.size(); ++i) EXPECT_FALSE(order[i] == -1 && order[i - 1] == -1) << i;

    std::vector<int> entries;
    for (int n : order)
        if (n != -1) entries.push_back(n);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(std::adjacent_find(entries.begin(), entries.end()), entries.end());
    const std::vector<int> expected = HelpEntries();
    ASSERT_EQ(expected.size(), 86u);
    EXPECT_EQ(entries, expected);
}

TEST_F(CatalogueTest, TheEnglishSizesParagraphReadsOnAcrossItsNumbers) {
    const std::vector<int>& order = HelpLineOrder();
    const auto start = std::find(order.begin(), order.end(), 128);
    ASSERT_NE(start, order.end());
    const std::vector<std::string> expected = {
        "TO CHOOSE SIZES OF THE SMALLER FILES",
        "Before splitting a file, you can choose the sizes of the smaller",
        "files. Default, each file fills up the available space on the",
        "disk(ette)s but using the base sizes they will get the base size",
        "as their sizes (except the last one). You can either choose",
        "between predefined base sizes or enter own ones. Base",
        "sizes may be modified, added, and deleted as you wish.",
        "Thereafter, you may change the size of any of the files",
        "by clicking on its size and then modify the value. The file",
        "sizes below this file will be recalculated. The number of",
        "files is always determined from the size information.",
    };
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(T(0, start[i]), expected[i]) << i;
    EXPECT_EQ(start[expected.size()], -1);
}

// Headings, bullets and continuation lines sit on the same entries in every
// language, and no line is too long for one row of the help window.
TEST_F(CatalogueTest, HelpTextHasTheWindowLayoutInEveryLanguage) {
    const std::vector<int>& order = HelpLineOrder();
    for (int lang = 0; lang < kLanguageCount; ++lang) {
        int previous = -1;
        for (int n : order) {
            if (n == -1) {
                previous = -1;
                continue;
            }
            SCOPED_TRACE(std::string(kLanguageNames[lang]) + " entry " + std::to_string(n));
            const std::string& line = T(lang, n);
            std::vector<char32_t> cps;
            ASSERT_TRUE(DecodeUtf8(line, cps));
            ASSERT_FALSE(cps.empty());
            EXPECT_LE(cps.size(), 69u);
            EXPECT_NE(cps.back(), U' ');

            const bool hasLower = std::any_of(cps.begin(), cps.end(), IsLowerLetter);
            EXPECT_EQ(!hasLower, kHeadings.count(n) == 1);
            if (kHeadings.count(n)) {
                EXPECT_EQ(previous, -1);  // a heading opens its paragraph
            }

            const bool bullet = line.size() > 4 && line.rfind("o   ", 0) == 0 && line[4] != ' ';
            const bool continuation = line.size() > 5 && line.rfind("     ", 0) == 0 && line[5] != ' ';
            EXPECT_EQ(bullet, kBullets.count(n) == 1);
            EXPECT_EQ(continuation, kContinuations.count(n) == 1);
            if (!bullet && !continuation) {
                EXPECT_NE(line[0], ' ');
            }
            if (continuation) {
                EXPECT_TRUE(kBullets.count(previous) || kContinuations.count(previous));
            }
            previous = n;
        }
    }
}

// The later texts: present in every language, and each translation has the
// same places for values as the English text, so FillIn fills them alike.
TEST(ExtraTexts, EveryLanguageHasEveryTextWithTheSamePlaces) {
    auto places = [](const std::string& text) {
        std::string found;
        for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
            found += text.substr(at, 2);
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    for (int id = 0; id < static_cast<int>(Extra::Count); ++id) {
        const std::string& english = ExtraText(Language::English, static_cast<Extra>(id));
        for (int lang = 0; lang < kLanguageCount; ++lang) {
            const std::string& text = ExtraText(static_cast<Language>(lang), static_cast<Extra>(id));
            EXPECT_FALSE(text.empty()) << kLanguageNames[lang] << " " << id;
            EXPECT_EQ(places(text), places(english)) << kLanguageNames[lang] << " " << id;
        }
    }
    EXPECT_EQ(FillIn("Piece %1 of %2, %3 and 100%", {"3", "/a %1"}), "Piece 3 of /a %1, %3 and 100%");
}

// A join's outcome names every piece it rebuilt, or every one it lacks and
// how far the recovery files fall short, in every language; names give way
// to numbers only in long lists.
TEST(ExtraTexts, AJoinsOutcomeNamesEveryPieceRebuiltOrLost) {
    TransferOutcome rebuilt;
    rebuilt.rebuilt = {1, 4};
    rebuilt.checked = true;
    rebuilt.pieceStem = "Setup.exe.Quorved_";
    TransferOutcome tooFew;
    tooFew.what = TransferOutcome::What::RecoveryTooFew;
    tooFew.missing = 5;
    tooFew.rebuildable = 2;
    tooFew.missingPieces = {1, 3};
    tooFew.damagedPieces = {2, 6, 9};
    tooFew.pieceStem = "Setup.exe.Quorved_";
    TransferOutcome oneShort = tooFew;
    oneShort.rebuildable = 4;
    for (int l = 0; l < kLanguageCount; ++l) {
        const auto lang = static_cast<Language>(l);
        const std::pair<const TransferOutcome*, std::vector<std::string>> said[] = {
            {&rebuilt,
             {"1 (Setup.exe.Quorved_1), 4 (Setup.exe.Quorved_4)", ExtraText(lang, Extra::RebuiltPiecesLeftAsTheyWere)}},
            {&tooFew,
             {FillIn(ExtraText(lang, Extra::MissingPiecesList), {"1 (Setup.exe.Quorved_1), 3 (Setup.exe.Quorved_3)"}),
              FillIn(ExtraText(lang, Extra::DamagedPiecesList),
                     {"2 (Setup.exe.Quorved_2), 6 (Setup.exe.Quorved_6), 9 (Setup.exe.Quorved_9)"}),
              FillIn(ExtraText(lang, Extra::RecoveryShortBy), {"3"})}},
            {&oneShort, {ExtraText(lang, Extra::RecoveryShortByOne)}},
        };
        for (const auto& [outcome, parts] : said) {
            const std::string text = OutcomeText(lang, *outcome);
            for (const std::string& part : parts) EXPECT_NE(text.find(part), std::string::npos) << text;
        }
    }
    std::vector<int32_t> many;
    for (int32_t n = 1; n <= 20; ++n) many.push_back(n);
    EXPECT_EQ(NamedPieces(many, "x_"), PieceNumbers(many));
    EXPECT_EQ(NamedPieces({7}, ""), "7");
}

// A read, a write and a flush that failed each say which, of what file
// (by piece where it held one), and why; a rebuild's failure says so first.
// The sizes-differ text is left to sizes that differ.
TEST(ExtraTexts, AFailedReadWriteOrFlushNamesItsFileAndReason) {
    BuildCatalogue(".Quorved_");  // the sizes-differ text is the catalogue's
    using What = TransferOutcome::What;
    struct Case {
        What what;
        int32_t piece;
        bool rebuilding;
        int error;
        const char* english;
    } const cases[] = {
        {What::ReadFailed, 3, false, EIO,
         "Smaller file 3 (/d/big.Quorved_3) could not be read.\n"
         "The disk could not be read or written (input/output error)."},
        {What::ReadFailed, 0, true, ENOENT,
         "The lost or damaged smaller files could not be rebuilt.\n/d/big.Quorved_3 could not be read."},
        {What::WriteFailed, 2, true, ENOSPC,
         "The lost or damaged smaller files could not be rebuilt.\n"
         "Smaller file 2 could not be written to /d/big.Quorved_3.\nThe disk is full."},
        {What::WriteFailed, 0, false, EROFS, "/d/big.Quorved_3 could not be written.\nThe disk is write-protected."},
        {What::FlushFailed, 0, false, EIO,
         "/d/big.Quorved_3 could not be saved to the disk.\n"
         "The disk could not be read or written (input/output error)."},
        {What::FlushFailed, 4, false, 0, "Smaller file 4 (/d/big.Quorved_3) could not be saved to the disk."},
    };
    for (const Case& c : cases) {
        TransferOutcome outcome;
        outcome.what = c.what;
        outcome.piece = c.piece;
        outcome.rebuilding = c.rebuilding;
        outcome.error = c.error;
        outcome.file = "/d/big.Quorved_3";
        const std::string english = OutcomeText(Language::English, outcome);
        if (c.error != ENOENT) {
            EXPECT_EQ(english, c.english);
        } else {
            EXPECT_EQ(english.rfind(c.english, 0), 0u) << english;
        }
        for (const Language lang : {Language::Swedish, Language::German}) {
            const std::string text = OutcomeText(lang, outcome);
            EXPECT_NE(text, english);
            EXPECT_NE(text.find("/d/big.Quorved_3"), std::string::npos) << text;
            if (c.error != 0) {
                EXPECT_NE(text.find(ReasonText(lang, c.error)), std::string::npos) << text;
            }
            EXPECT_EQ(text.find(ExtraText(lang, Extra::RebuildFailed)) == 0, c.rebuilding) << text;
        }
    }
    TransferOutcome differ;
    differ.what = What::SizesDiffer;
    EXPECT_EQ(OutcomeText(Language::English, differ), "The sizes of the files differ. The disk may be full.");

    // A repair of a chosen set words its failure the same way.
    RepairedSet repaired;
    repaired.attempted = true;
    repaired.check.bad.resize(1);
    repaired.repair.failedStep = RecoveryError::Step::Write;
    repaired.repair.failedPiece = 2;
    repaired.repair.failedFile = "/d/big.Quorved_2";
    repaired.repair.error = EROFS;
    EXPECT_EQ(RepairFailureText(Language::English, repaired),
              "The lost or damaged smaller files could not be rebuilt.\n"
              "Smaller file 2 could not be written to /d/big.Quorved_2.\nThe disk is write-protected.");
}

// A count of one reads in the singular in every language: the texts with a
// count have a form for one.
TEST(ExtraTexts, ACountOfOneReadsInTheSingular) {
    const Extra counted[] = {Extra::RecoveryCanRebuild, Extra::RecoveryTooFew,   Extra::RecoveryFilesWritten,
                             Extra::RecoveryFilesWrittenIn, Extra::UnprovenPieces, Extra::RemoveUnprovenAsk,
                             Extra::AllPiecesMatch,     Extra::RepairNothingToDo, Extra::BadPiecesFound};
    const char* plurals[] = {"1 smaller files", "Any 1 ", "1 mindre filer ", "Upp till 1 ", "1 Teile ", "Bis zu 1 ",
                             "1 files", "1 filer", "1 Dateien", "All 1 ", "Alla 1 ", "Alle 1 "};
    for (const Language lang : {Language::English, Language::Swedish, Language::German}) {
        for (const Extra id : counted) {
            const std::string one = CountedText(lang, id, 1), other = CountedText(lang, id, 2);
            EXPECT_EQ(other, ExtraText(lang, id));
            EXPECT_NE(one, other) << one;
            const std::string filled = FillIn(one, {"1", "3", "3", "3"});  // the count 1, others not
            for (const char* plural : plurals) EXPECT_EQ(filled.find(plural), std::string::npos) << filled;
        }
        EXPECT_EQ(RecoveryShortText(lang, 1), ExtraText(lang, Extra::RecoveryShortByOne));
    }
}

// Every reason the system gives has words: our own for those met most, in
// each language, the system's own for the rest.
TEST(ExtraTexts, EveryReasonHasWords) {
    EXPECT_EQ(ReasonText(Language::English, 0), "");
    for (const Language lang : {Language::English, Language::Swedish, Language::German}) {
        for (int error = 1; error < 134; ++error) EXPECT_FALSE(ReasonText(lang, error).empty()) << error;
        for (const int own : {ENOSPC, EACCES, ENAMETOOLONG, EROFS, EIO, EMFILE, EFBIG, EBUSY, ENOENT})
            EXPECT_EQ(ReasonText(lang, own).find(ReasonText(lang, EXDEV).substr(0, 8)), std::string::npos) << own;
    }
    EXPECT_EQ(ReasonText(Language::German, EMFILE), "Es sind zu viele Dateien gleichzeitig geöffnet.");
    EXPECT_EQ(ReasonText(Language::English, EXDEV).rfind("The system says: ", 0), 0u);
}

}  // namespace
