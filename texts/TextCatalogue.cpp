#include "texts/TextCatalogue.h"

#include "texts/TextTables.h"

Language LanguageIndex = Language::English;

namespace {

const std::string kEmptyText;

const LanguageTexts& TextsOf(Language lang) {
    switch (lang) {
    case Language::Swedish: return SwedishTexts();
    case Language::German: return GermanTexts();
    default: return EnglishTexts();
    }
}

bool IsEntryNumber(int n) { return n >= 0 && n < kCatalogueEntries; }

}  // namespace

void TextCatalogue::Build(const std::string& marker) {
    // English first: the other languages copy English entry 231.
    for (int lang = 0; lang < kLanguageCount; ++lang) {
        auto& row = entries_[lang];
        for (auto& entry : row) entry.clear();

        const LanguageTexts& texts = TextsOf(static_cast<Language>(lang));
        for (std::size_t i = 0; i < texts.literalCount; ++i) {
            const LiteralEntry& literal = texts.literals[i];
            if (IsEntryNumber(literal.number)) row[literal.number] = literal.text;
        }

        // Composed entries, in ascending order of number; each reads only
        // entries set above.
        auto at = [&row](Entry entry) -> std::string& { return row[EntryNumber(entry)]; };
        auto plain = [&at](Entry entry) { return StripAccessKey(at(entry)); };
        const ComposedParts& parts = texts.composed;
        at(Entry::SelectFileToSplitHint) = plain(Entry::SelectFileToSplit) + parts.chooseSplitHint;
        at(Entry::SplitTheFileHint) = plain(Entry::SplitTheFile) + parts.doSplitHint;
        at(Entry::SelectFileToRestoreHint) = plain(Entry::SelectFileToRestore) + parts.chooseJoinHint;
        at(Entry::RestoreTheFileHint) = plain(Entry::RestoreTheFile) + parts.doJoinHint;
        at(Entry::ChooseFileToSplitTitle) = plain(Entry::SelectFileToSplit);
        at(Entry::PieceFilter) = parts.pieceFilterHead + marker + "1)|*" + marker + "1";
        at(Entry::PiecePlaceFilter) = parts.saveFilterHead + marker + "*|*.*";
        at(Entry::FindPlaceForPiecesHint) = plain(Entry::FindPlaceForPieces) + parts.smallPlaceHint;
        at(Entry::FindPlaceForBigFileHint) = plain(Entry::FindPlaceForBigFile) + parts.bigPlaceHint;
        at(Entry::HowItWorksTitle) = plain(Entry::HowItWorks);
        at(Entry::HelpResetLine) = parts.resetLineHead + plain(Entry::FileMenu) + parts.resetLineTail;
        at(Entry::HelpDosVersionLine) = parts.dosLineHead + at(Entry::ProgramName) + parts.dosLineTail;
        // The example command is the same in every language.
        if (lang != 0) at(Entry::HelpCopyExample) = entries_[0][EntryNumber(Entry::HelpCopyExample)];
    }
}

const std::string& TextCatalogue::Text(Language lang, int n) const {
    if (!IsEntryNumber(n)) return kEmptyText;
    int row = static_cast<int>(lang);
    if (row < 0 || row >= kLanguageCount) row = 0;
    return entries_[row][n];
}

TextCatalogue& Catalogue() {
    static TextCatalogue catalogue;
    return catalogue;
}

void BuildCatalogue(const std::string& marker) { Catalogue().Build(marker); }

const std::string& CatalogueText(int n) { return Catalogue().Text(LanguageIndex, n); }

const std::string& CatalogueText(Entry entry) { return Catalogue().Text(LanguageIndex, entry); }

std::string StripAccessKey(const std::string& text) {
    std::string result = text;
    const auto amp = result.find('&');
    if (amp != std::string::npos) result.erase(amp, 1);
    return result;
}

const std::vector<int>& HelpLineOrder() {
    // The window's paragraphs as runs of entry numbers (both ends included).
    // The sizes and memory paragraphs continue on later numbers, so several
    // runs make up one paragraph.
    struct Run {
        int first;
        int last;
    };
    static const std::vector<std::vector<Run>> paragraphs = {
        {{119, 121}},
        {{122, 127}},
        {{131, 136}},
        {{128, 130}, {170, 172}, {187, 187}, {173, 176}},
        {{140, 144}},
        {{167, 169}},
        {{150, 155}},
        {{157, 164}, {191, 193}},
        {{194, 194}},
        {{165, 166}, {196, 196}},
        {{188, 190}},
        {{215, 221}},
        {{179, 186}},
        {{197, 200}, {231, 231}},
        {{177, 178}, {203, 208}},
    };
    static const std::vector<int> order = [] {
        std::vector<int> lines;
        for (const auto& paragraph : paragraphs) {
            if (!lines.empty()) lines.push_back(-1);
            for (const Run& run : paragraph)
                for (int n = run.first; n <= run.last; ++n) lines.push_back(n);
        }
        return lines;
    }();
    return order;
}
