// How a split or a join ended, as one value: what happened, and the piece,
// file and system error it concerns. texts/ words it for the window and the
// command line alike.
#pragma once

#include <cstdint>
#include <string>

struct TransferOutcome {
    enum class What {
        Done,
        Stopped,              // the user (or a signal) asked the transfer to stop
        SizesDiffer,          // a read came back short, a write failed, or the sizes do not add up
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
        TargetInSet,          // a join's target `file` is a piece, checksum or recovery file of the set
        LinkNotTrusted,       // `file`, a link on the way to a join's target, belongs to another user
    };

    What what = What::Done;
    bool split = false;    // a split's outcome, or a join's
    int32_t piece = 0;     // the piece it concerns; 0 for none
    int error = 0;         // errno behind a failure; 0 when none is known
    std::string file;      // the file it concerns, where there is one
    bool checked = false;  // a join compared every byte with the set's checksum file

    bool Ok() const { return what == What::Done; }
};
