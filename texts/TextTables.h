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
    const char* chooseSplitHint;  // SelectFileToSplitHint: SelectFileToSplit without its access key + this
    const char* doSplitHint;      // SplitTheFileHint: SplitTheFile ...
    const char* chooseJoinHint;   // SelectFileToRestoreHint: SelectFileToRestore ...
    const char* doJoinHint;       // RestoreTheFileHint: RestoreTheFile ...
    const char* pieceFilterHead;  // PieceFilter: this + marker + "1)|*" + marker + "1"
    const char* saveFilterHead;   // PiecePlaceFilter: this + marker + "*|*.*"
    const char* smallPlaceHint;   // FindPlaceForPiecesHint: FindPlaceForPieces without its access key + this
    const char* bigPlaceHint;     // FindPlaceForBigFileHint: FindPlaceForBigFile ...
    const char* resetLineHead;    // HelpResetLine: this + FileMenu without "&" + tail
    const char* resetLineTail;
    const char* dosLineHead;  // HelpDosVersionLine: this + ProgramName + tail
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
