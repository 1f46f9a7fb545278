#include "texts/TextCatalogue.h"

#include "texts/TextTables.h"

int32_t LanguageIndex = 0;

namespace {

const std::string kEmptyText;

const LanguageTexts& TextsOf(int lang) {
    switch (lang) {
        case 1: return SwedishTexts();
        case 2: return GermanTexts();
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

        const LanguageTexts& texts = TextsOf(lang);
        for (std::size_t i = 0; i < texts.literalCount; ++i) {
            const LiteralEntry& literal = texts.literals[i];
            if (IsEntryNumber(literal.number)) row[literal.number] = literal.text;
        }

        // Composed entries, in ascending order of number; each reads only
        // entries set above.
        const ComposedParts& parts = texts.composed;
        row[17] = StripAccessKey(row[1]) + parts.chooseSplitHint;
        row[18] = StripAccessKey(row[2]) + parts.doSplitHint;
        row[19] = StripAccessKey(row[3]) + parts.chooseJoinHint;
        row[20] = StripAccessKey(row[4]) + parts.doJoinHint;
        row[30] = StripAccessKey(row[1]);
        row[33] = parts.pieceFilterHead + marker + "1)|*" + marker + "1";
        row[51] = parts.saveFilterHead + marker + "*|*.*";
        row[61] = StripAccessKey(row[60]) + parts.smallPlaceHint;
        row[63] = StripAccessKey(row[62]) + parts.bigPlaceHint;
        row[137] = StripAccessKey(row[118]);
        row[186] = parts.resetLineHead + StripAccessKey(row[0]) + parts.resetLineTail;
        row[203] = parts.dosLineHead + row[72] + parts.dosLineTail;
        if (lang != 0) row[231] = entries_[0][231];
    }
}

const std::string& TextCatalogue::Text(int lang, int n) const {
    if (!IsEntryNumber(n)) return kEmptyText;
    if (lang < 0 || lang >= kLanguageCount) lang = 0;
    return entries_[lang][n];
}

TextCatalogue& Catalogue() {
    static TextCatalogue catalogue;
    return catalogue;
}

void BuildCatalogue(const std::string& marker) { Catalogue().Build(marker); }

const std::string& CatalogueText(int n) { return Catalogue().Text(LanguageIndex, n); }

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
