// The catalogue entries the code shows, one name each; the values are the
// entry numbers of the text tables (TextsEnglish.cpp and its translations).
// The help lines are shown as runs of numbers (HelpLineOrder) and have no
// names here; the engine names the three entries it asks for itself
// (engine/PieceEngine.h), so that it stays free of the texts.
// Standard library only.
#pragma once

enum class Entry : int {
    // menus and their items
    FileMenu = 0,
    SelectFileToSplit = 1,
    SplitTheFile = 2,
    SelectFileToRestore = 3,
    RestoreTheFile = 4,
    Exit = 5,
    LanguageMenu = 6,
    English = 7,
    Swedish = 8,
    MemoryMenu = 9,
    MemoryUsage = 10,
    MaxAllowedMemory = 11,
    MemoryUsageHint = 12,
    PauseHint = 13,
    HelpMenu = 14,
    SelectFileToSplitHint = 17,
    SplitTheFileHint = 18,
    SelectFileToRestoreHint = 19,
    RestoreTheFileHint = 20,
    ExitHint = 21,
    FindPlaceForPieces = 60,
    FindPlaceForPiecesHint = 61,
    FindPlaceForBigFile = 62,
    FindPlaceForBigFileHint = 63,
    ExitAndReset = 101,
    ExitAndResetHint = 113,
    HowItWorks = 118,
    HowItWorksShortHint = 138,
    HowItWorksHint = 139,
    PauseMenu = 146,
    PauseAlways = 147,
    PauseSometimes = 148,
    PauseNever = 149,
    EndingMenu = 212,
    ChangeEnding = 213,
    ChangeEndingHint = 238,
    LanguageHint = 239,
    German = 252,

    // the main window's controls
    TheBigFile = 22,
    BigFileNameLabel = 23,
    BigFileSizeLabel = 24,
    TheSmallerFiles = 25,
    SmallFileNamesLabel = 26,
    BaseSizeHeadline = 27,
    ModifyBaseSizes = 28,
    IndividualSizes = 29,
    ApplyNewSizeHint = 39,
    ModifyBaseSizesHint = 41,
    BaseSizeChoiceHint = 52,
    ProgressHint = 53,
    FileNumber = 57,
    NewSize = 58,
    ApplyNewSize = 59,
    SizeListHint = 66,
    NewSizeHint = 67,
    NrOfFiles = 68,
    UnitHint = 114,
    StarIsNumber = 115,
    WelcomeTo = 117,
    UseFreeSpace = 227,
    UseBaseSize = 228,

    // file dialogs
    ChooseFileToSplitTitle = 30,
    AllFilesFilter = 31,
    ChoosePieceTitle = 32,
    PieceFilter = 33,
    PiecePlaceTitle = 49,
    BigFilePlaceTitle = 50,
    PiecePlaceFilter = 51,

    // what the program is doing, and its outcome
    ReadyToRestore = 34,
    ReadyToSplit = 35,
    SplitsTheFile = 36,
    FileSplitted = 37,
    RestoresTheFile = 38,
    TooManyFiles = 48,
    Working = 64,
    CountingFiles = 65,
    NoFileSelected = 69,
    NewPlaceSelected = 70,
    FileRestored = 71,
    AbnormalTermination = 83,
    CannotReadBigFile = 89,
    CannotRecreateBigFile = 90,
    DisksNotEntered = 91,
    TooBigNewSize = 86,
    BaseSizeInstead = 87,
    CannotCreatePiece = 92,
    CannotReadPiece = 93,
    SizesDiffer = 94,
    FileMissing = 95,
    SizeNotUsable = 110,
    SizeIgnored = 111,
    ChooseBiggerBaseSize = 112,

    // the base size editor
    BaseSizeList = 42,
    Description = 43,
    BaseSizeBytes = 44,
    Modify = 45,
    Delete = 46,
    New = 47,
    BaseSizeListHint = 209,
    DescriptionHint = 210,
    BaseSizeValueHint = 211,

    // the other windows
    DiskCountPrompt = 88,
    NewEndingPrompt = 214,
    ProgramName = 72,
    AboutName = 73,
    Version = 74,
    InstallationHeading = 232,  // the heading and the five lines after it
    InstallationLast = 237,
    HowItWorksTitle = 137,
    HelpOnFile = 156,

    // help lines that are put together from other entries
    HelpResetLine = 186,
    HelpDosVersionLine = 203,
    HelpCopyExample = 231,
};

// The entry's number in the text tables.
constexpr int EntryNumber(Entry entry) { return static_cast<int>(entry); }
