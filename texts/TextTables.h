// The literal texts of one language and the fixed parts of its composed
// entries. Private to the catalogue.
#pragma once

#include <cstddef>

struct LiteralEntry {
    int number;
    const char* text;
};

// Composed entries are put together in TextCatalogue::Build from these parts,
// other entries of the same language and the piece marker.
struct ComposedParts {
    const char* chooseSplitHint;  // 17 = entry 1 without its access key + this
    const char* doSplitHint;      // 18 = entry 2 ...
    const char* chooseJoinHint;   // 19 = entry 3 ...
    const char* doJoinHint;       // 20 = entry 4 ...
    const char* pieceFilterHead;  // 33 = this + marker + "1)|*" + marker + "1"
    const char* saveFilterHead;   // 51 = this + marker + "*|*.*"
    const char* smallPlaceHint;   // 61 = entry 60 without its access key + this
    const char* bigPlaceHint;     // 63 = entry 62 ...
    const char* resetLineHead;    // 186 = this + entry 0 without "&" + tail
    const char* resetLineTail;
    const char* dosLineHead;      // 203 = this + entry 72 + tail
    const char* dosLineTail;
};

struct LanguageTexts {
    const LiteralEntry* literals;
    std::size_t literalCount;
    ComposedParts composed;
};

const LanguageTexts& EnglishTexts();
const LanguageTexts& SwedishTexts();
const LanguageTexts& GermanTexts();
