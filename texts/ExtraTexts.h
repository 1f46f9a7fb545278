// Texts that came after the catalogue: reasons for a failure, questions and
// progress of later versions, in the catalogue's three languages. Also the
// one rule that turns a transfer's result into the text the user reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/TransferOutcome.h"
#include "engine/TransferView.h"
#include "texts/TextCatalogue.h"

enum class Extra {
    ReasonDiskFull,
    ReasonNoPermission,
    ReasonNameTooLong,
    ReasonReadOnlyDisk,
    ReasonIoError,
    Stopped,
    AboutMenuItem,
    AboutTitle,
    NoDesktopSession,        // %1 the window program's command; one line
    WindowUsage,             // %1 the window program's command; lines
    AboutText,               // lines; the first and each after an empty line a heading
    HelpAdditions,           // How It Works lines after the catalogue's, the first a heading
    HelpFileKept,            // %1 the help file, kept for the desktop's viewer
    IsAFolder,               // %1 the name
    NotAPiece,               // %1 the name, %2 the marker
    NothingToSplit,          // %1 the file
    TooManyFilesLimit,       // %1 most pieces, %2 smallest piece size in bytes
    PieceDamaged,            // %1 piece number
    PieceWrongSize,          // %1 piece number, %2 bytes found, %3 bytes expected
    FileDamaged,             // %1 file name
    NoChecksumFile,          // %1 the checksum file looked for
    FileUnreadable,          // %1 file name
    ChecksumFileDamaged,     // %1 checksum file
    ChecksumFileDamagedAt,   // %1 checksum file, %2 line
    ChecksumFileUnfinished,  // %1 checksum file
    PiecesChecked,           // %1 piece count
    WholeFileChecked,        // %1 file name
    RestoredAndChecked,
    ChecksumFileNotWritten,     // %1 the checksum file
    ChecksumFileBesideBigFile,  // %1 the checksum file
    ReplaceTarget,              // %1: the full name of the file a join would replace
    NothingJoined,
    StopCommand,             // menu item, with its access key
    StopHint,                // "short|long"
    ProgressPercent,         // %1: whole percent
    ProgressBytes,           // %1 done of %2 total
    ProgressTimeLeft,        // %1: h:mm:ss or m:ss
    ProgressPiece,           // %1: the piece in transfer, %2: how many
    ProgressPieceAlone,      // %1: the piece in transfer, the count not known yet
    PieceDamagedNamed,       // %1 piece number, %2 its file name
    NoRoomForSet,            // %1 bytes needed
    UnprovenPieces,          // %1 how many, %2 their names: files after a new set, not the older set's
    ChecksumFileOfOtherSet,  // %1 the checksum file, %2 the pieces it lists (pattern)
    TargetInSet,             // %1: the join's target, one of the set's own files
    LinkNotTrusted,          // %1: a link on the way to the join's target
    HashingFailed,           // the hashing threads could not be started

    // Recovery files.
    RecoveryFilesWritten,       // %1 file count, %2 bytes in all, %3 pieces that may be lost
    RecoveryFilesNotWritten,    // the split itself is whole
    RecoveryCanRebuild,         // %1 pieces missing or damaged, %2 of them the recovery files can rebuild
    RecoveryTooFew,             // %1 pieces missing or damaged, %2 of them the recovery files can rebuild
    RecoveryNone,               // no usable recovery files
    RecoveryFilePassedOver,     // %1 file name
    PiecesRebuilt,              // %1 piece numbers, "2, 5"
    PieceRebuilt,               // %1 piece number
    RestoredWithRebuiltPieces,  // %1 piece numbers, "2, 5"
    RestoredWithRebuiltPiece,   // %1 piece number
    RebuiltPieceDiffers,        // %1 piece number

    RecoveryLabel,  // the spin box's caption
    RecoveryHint,   // "short|long"
    RecoveryPlan,   // %1 file count, %2 megabytes in all (the window's MB); also after a split's text in the status bar

    // Keeping what was there.
    RecoveryFailed,         // a split into one folder could not write its recovery files
    SplitRunning,           // another split of the same file holds its set
    NamesTaken,             // %1 the files of another set a split would replace
    RemoveUnprovenAsk,      // %1 how many, %2 their names; a Yes/No question
    RemoveUnprovenOption,   // how to let the command line remove them
    BigFileChanged,         // the big file changed while it was split
    ReadLinkNotTrusted,     // %1 a link to a file of the set, another user's
    InterruptedSplitLeft,   // %1 the staging folder an interrupted split left
    PieceNotPlaced,         // %1 piece number: rebuilt, but it could not take its name
    PiecesNotPlaced,        // %1 piece numbers
    // The window's join of a set with pieces missing
    PiecesToRebuild,        // %1 piece numbers missing, the recovery files at hand
    // A folder asked for where something else is
    NotAFolder,             // %1 the name, a file
    FolderMissing,          // %1 the name
    SetFilesFilter,         // the join dialog's filter of checksum and recovery files
    // More reasons of the system's, in words
    ReasonTooManyOpen,      // EMFILE, ENFILE
    ReasonFileTooLarge,     // EFBIG
    ReasonLinkLoop,         // ELOOP
    ReasonInUse,            // EBUSY, ETXTBSY
    ReasonGone,             // ENOENT
    ReasonOther,            // %1 the system's own message, in English
    SettingsSetAside,       // %1 where a settings file too large to read was moved
    TargetExists,           // %1 the file a join would replace; how to let the command line replace it
    TargetIsTheSet,         // %1 the join's target, already the set's whole file

    // A join rebuilding lost pieces straight into its target.
    RebuiltPiecesLeftAsTheyWere,  // after a join with rebuilt pieces: the pieces on disk, and repair
    MissingPiecesList,            // %1 pieces by number and name
    DamagedPiecesList,            // %1 pieces by number and name
    RecoveryShortByOne,           // the recovery files fall one piece short
    RebuildingPiece,              // progress; %1 piece number
    RebuildingPieces,             // progress; %1 piece numbers
    RecoveryFileInDrive,          // a line under the disk question of a join asking for a recovery file

    // Checking and repairing a set, in the window and on the command line.
    CheckCommand,          // menu item, with its access key
    CheckHint,             // "short|long"
    RepairCommand,         // menu item, with its access key
    RepairHint,            // "short|long"
    CheckingPieces,        // status while the check runs
    RepairingPieces,       // status while the repair runs
    AllPiecesMatch,        // %1 piece count
    BadPiecesFound,        // %1 bad pieces, %2 piece count
    BadPieceMissing,       // %1 piece number, %2 its file name
    BadPieceWrongSize,     // %1 piece number, %2 its file name, %3 bytes found, %4 bytes expected
    BadPieceUnreadable,    // %1 piece number, %2 its file name
    BadPieceDamaged,       // %1 piece number, %2 its file name
    BadPieceLink,          // %1 piece number, %2 its file name, %3 another user's link on the way
    RecoveryShortBy,       // %1 (more than one) pieces' worth of recovery data that would still be needed
    RepairToRebuild,       // a check found pieces the recovery files can rebuild: how
    RepairNothingToDo,     // %1 piece count: a repair found every piece intact
    RepairFolderReadOnly,  // %1 the pieces' folder, which cannot be written

    // The window's recovery control, stopping and closing, and the split's report.
    RecoveryPlanTooSmall,    // the planned pieces cannot carry recovery files: why, and what helps
    CloseStopsTransferAsk,   // a Yes/No question when the window closes during a split or join
    RecoveryFilesWrittenIn,  // %1 file count, %2 megabytes in all, %3 the folder, %4 pieces that may be lost

    // Checking a set: the whole file's line against the pieces, recovery files of another version.
    JoinedPiecesDiffer,      // %1 the checksum file: every piece matches, the pieces joined do not
    RecoveryOfOtherVersion,  // the recovery files are another version's: they rebuild nothing
    // A file that could not be read, written or put on the disk, and a rebuild that failed.
    ReadPieceFailed,    // %1 piece number, %2 its file
    ReadFileFailed,     // %1 the file
    WritePieceFailed,   // %1 piece number, %2 the file it went to
    WriteFileFailed,    // %1 the file
    FlushPieceFailed,   // %1 piece number, %2 its file
    FlushFileFailed,    // %1 the file
    RebuildFailed,      // lost or damaged pieces could not be rebuilt (the reason follows)
    WorkFailed,         // the program lacked memory or a thread to go on (the reason follows)

    Count  // not a text
};

// The text in language lang (outside the three reads English).
const std::string& ExtraText(Language lang, Extra id);
// The text in LanguageIndex's language.
const std::string& ExtraText(Extra id);

// The engine's texts in language lang: the catalogue's entries, and those
// later than the catalogue from here.
std::string EngineText(Language lang, EngineEntry::Id entry);

// The text for `count` things: the form for one where the text has one (its
// count is one of its values), else ExtraText's. The three languages need no
// forms beyond one and other.
const std::string& CountedText(Language lang, Extra id, int64_t count);

// text with %1, %2, ... replaced by values[0], values[1], ...
std::string FillIn(const std::string& text, const std::vector<std::string>& values);

// Why a file operation failed: in words of our own for the errno values a
// user meets most (disk full, no permission, name too long, read-only disk,
// I/O error, too many open files, file too large, a link loop, in use, gone), in the
// system's own words for any other; empty for 0.
std::string ReasonText(Language lang, int systemError);

// Why the file `name` cannot be split (split) or be the piece a join or check
// starts from: a folder, an empty file to split, a name without marker for a
// join. Empty when none of these holds; a missing file is the caller's to report.
std::string InputRefusal(Language lang, const std::string& name, bool split, const std::string& marker);

// What the user reads when a split or join ends: the success text, "Stopped."
// or the catalogue's message for the failure, and on a line of its own the
// reason behind the system's error where there is one a user can act on. The
// one rule for the window and the command line.
std::string OutcomeText(Language lang, const TransferOutcome& outcome);
// A file that could not be read, written or flushed (ReadFailed, WriteFailed,
// FlushFailed): by piece number and file, or by file where piece is 0.
std::string FileFailureText(Language lang, TransferOutcome::What what, int32_t piece, const std::string& file);

// "a, b, c": up to five names as the texts list them, then "...".
std::string NamesList(const std::vector<std::string>& names);

// How many more pieces' worth of recovery data a set lacks, in the right
// number; empty when it lacks none.
std::string RecoveryShortText(Language lang, int32_t pieces);

// "2, 5": piece numbers as the texts list them.
std::string PieceNumbers(const std::vector<int32_t>& numbers);

// "2 (Setup.exe.Quorved_2), 5 (Setup.exe.Quorved_5)": pieces by number and
// file name (stem + number); by number alone when there is no stem or the
// names would make the list too long to read.
std::string NamedPieces(const std::vector<int32_t>& numbers, const std::string& stem);
