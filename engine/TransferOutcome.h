// How a split or a join ended, as one value: what happened, and the piece,
// file and system error it concerns. texts/ words it for the window and the
// command line alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TransferOutcome {
    enum class What {
        Done,
        Stopped,              // the user (or a signal) asked the transfer to stop
        SizesDiffer,          // a read came back short, or the sizes do not add up
        CannotReadBigFile,    // a split cannot read its big file
        CannotCreateBigFile,  // a join cannot write its target
        DisksNotEntered,      // a disk question was answered No, or there was nothing to join
        CannotCreatePiece,    // a split cannot create `piece`
        CannotReadPiece,      // a join cannot read `piece`
        PieceDamaged,         // `piece`'s size or bytes differ from its checksum
        PieceMissing,         // `file`, a piece the checksum file names, is not there
        ChecksumsUnfinished,  // `file`: the split that wrote it did not finish
        ChecksumsDamaged,     // `file` cannot be read or makes no sense
        JoinedFileDamaged,    // the joined bytes (`file`) differ from the whole file's checksum
        ChecksumsNotWritten,  // a split could not write its checksum file `file`
        NoRoomForSet,         // the pieces' folder cannot hold the new set beside the old one: `bytes` needed
        TargetInSet,          // a join's target `file` is a piece, checksum or recovery file of the set
        LinkNotTrusted,       // `file`, a link on the way to a join's target, belongs to another user
        ChecksumsUnreadable,  // `file`, the set's checksum file, is there but cannot be read
        ChecksumsOfOtherSet,  // `file` lists other pieces (`related`) than the ones to join
        HashingFailed,        // the hashing threads could not be started
        RecoveryTooFew,       // a join: `missing` pieces lost, the recovery files can rebuild `rebuildable`
        RecoveryNotWritten,   // a split's pieces are whole, its recovery files could not be written
        RecoveryFailed,       // a split into one folder could not write its recovery files: nothing changed
        SplitRunning,         // another split of the same set holds its staging folder
        NamesTaken,           // `untouched`: files of another set that the split would replace
        UnprovenPieces,       // `untouched`: files named like pieces after the new set, not the older set's
        BigFileChanged,       // the big file changed while it was split
        ReadLinkNotTrusted,   // `file`, a link on the way to a file of the set, belongs to another user
        RebuiltPieceDiffers,  // a join: rebuilt `piece` differs from its checksum (another file's recovery files)
        // A file could not be read, written or put on the disk: `file`, which
        // holds `piece` (0 for none), with `error`; `rebuilding` when it was
        // while lost pieces were rebuilt from the recovery files.
        ReadFailed,
        WriteFailed,
        FlushFailed,
        RebuildFailed,  // a join could not rebuild its lost pieces, for `error` (memory, a thread)
        WorkFailed,     // the transfer could not go on, for `error`: no memory, no thread for it
    };

    What what = What::Done;
    bool split = false;    // a split's outcome, or a join's
    int32_t piece = 0;     // the piece it concerns; 0 for none
    int error = 0;         // errno behind a failure; 0 when none is known
    std::string file;      // the file it concerns, where there is one
    std::string related;   // a second name it concerns, where there is one
    bool checked = false;  // a join compared every byte with the set's checksum file
    int64_t bytes = 0;     // the bytes a split needs room for (NoRoomForSet)
    bool rebuilding = false;  // ReadFailed, WriteFailed, FlushFailed while rebuilding lost pieces
    // Files named like pieces of this set that a split could not prove to be
    // pieces of an earlier one, or files of another set it would replace:
    // the split refused them and left them as they were.
    std::vector<std::string> untouched;
    // A staging folder that an interrupted split of the set left beside it.
    std::string leftStaging;

    // Recovery files: those a split wrote; the pieces a join rebuilt from them
    // (numbers from 1), or how far they fell short.
    int32_t recoveryFiles = 0;
    int64_t recoveryBytes = 0;
    int32_t recoveryLost = 0;  // any this many lost pieces can be rebuilt: never more than there are
    std::vector<int32_t> rebuilt;
    int32_t missing = 0, rebuildable = 0;
    // Too many lost for the recovery files (RecoveryTooFew): every piece
    // missing and every one damaged (wrong size, unreadable, other bytes).
    std::vector<int32_t> missingPieces, damagedPieces;
    // The recovery files at hand are another version's of the file (RecoveryTooFew).
    bool recoveryOfOtherVersion = false;
    // The pieces' file name up to the number ("Setup.exe.Quorved_"), so
    // that pieces named by number can be named by file too; empty when not known.
    std::string pieceStem;

    // What the engine keeps of the transfer, however it ended. The pieces'
    // sizes as the transfer left them (pieceSizes[n] is piece n's, element 0
    // holds no piece): as a free-space split cut them, as a join's checksum
    // file lists them. The set's checksum file: where a split wrote it, the
    // one a join read; empty for none. The piece last in transfer; empty
    // when none was reached.
    std::vector<int64_t> pieceSizes;
    std::string checksumFile;
    std::string currentPiece;

    bool Ok() const { return what == What::Done; }
};
