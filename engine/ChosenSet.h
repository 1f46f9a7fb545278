// Checking and repairing a chosen set as a whole: every piece against the
// set's checksum file, the whole file where it lies beside them, and what the
// recovery files can do about the bad ones. One function each for the command
// line and the window; both run on any thread, look at a stop flag between
// slices and report the bytes done. Standard library only.
#pragma once

#include "engine/SetFiles.h"
#include "engine/SetRepair.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Bytes done out of bytes to do; called on the caller's thread. A repair
// calls it for its check, then again from 0 for its rebuilding.
using CheckProgress = std::function<void(int64_t done, int64_t total)>;

// One piece that is not as the checksum file says.
struct BadPiece {
    enum class Why {
        Missing,         // nothing of that name is there
        WrongSize,       // actualSize instead of expectedSize
        Unreadable,      // there, but it cannot be read: error
        Damaged,         // its digest differs
        LinkNotTrusted,  // reached through `link`, another user's: not read
    };
    int32_t number = 0;  // from 1
    std::string file;    // the piece's full name
    Why why = Why::Missing;
    int64_t expectedSize = 0;
    int64_t actualSize = -1;
    int error = 0;
    std::string link;

    bool Missing() const { return why == Why::Missing; }
};

struct CheckedSet {
    // The set's checksum file and recovery files as LoadSet found them; the
    // rest holds only when loaded.Ok().
    LoadedSet loaded;
    std::string prefix;
    int32_t count = 0;           // the set's pieces
    std::vector<BadPiece> bad;   // every missing and damaged piece, in order
    bool stopped = false;        // stopped before every piece was looked at: `bad` may lack some

    // The whole file (the set's name in the pieces' folder).
    enum class Whole {
        Absent,      // not there
        Matched,     // there and its digest matches
        NotChecked,  // there, but a piece was bad (or the check stopped) first
        WrongSize,   // wholeSize instead of the set's total
        Unreadable,  // wholeError
        Damaged,     // its digest differs
        // Not there, and every piece matches its own line, but the pieces
        // joined in order do not match the whole file's: the checksum file
        // is wrong, or of another file, and a join would refuse them.
        JoinedDiffers,
    };
    Whole whole = Whole::Absent;
    std::string wholeFile;
    int64_t wholeSize = -1;
    int wholeError = 0;

    // What the set's recovery files can do for `bad`: counted only where
    // there are bad pieces and recovery files.
    int32_t rebuildable = 0;
    std::vector<std::string> passedOver;  // recovery files damaged or of another set
    // The recovery files hold a set of the big file's name and size made
    // from other bytes: another version of the file, which rebuilds nothing.
    bool recoveryOfOtherVersion = false;

    bool Ok() const { return loaded.Ok() && !stopped && bad.empty() && (whole == Whole::Absent || whole == Whole::Matched); }
    bool HasRecoveryFiles() const { return !loaded.recoveryFiles.empty(); }
    // Pieces' worth of recovery data that would still be needed; 0 when the
    // recovery files can rebuild every bad piece.
    int32_t RecoveryShortBy() const;
    std::vector<int32_t> BadNumbers() const;
};

// Checks the set of the pieces prefix + marker + number against its checksum
// file: every piece's size first (they cost nothing), then every digest, the
// whole file's on a thread of its own meanwhile (when it is not there, the
// pieces in order, in the same read, against its line); then counts what
// the recovery files can rebuild.
CheckedSet CheckChosenSet(const std::string& prefix, const std::string& marker,
                          const std::atomic<bool>* stop = nullptr, const CheckProgress& progress = {});

struct RepairedSet {
    CheckedSet check;  // the set as it was found
    // Whether rebuilding was tried: there were bad pieces and the check ran
    // to its end. `repair` holds its result then: the pieces put in place,
    // those rebuilt but not placed, recovery files passed over, stopped.
    bool attempted = false;
    SetRepair repair;

    bool Stopped() const { return check.stopped || repair.stopped; }
    // The set is whole now: it was, or every bad piece is in place again.
    // With nothing to rebuild, what the check found of the whole file counts.
    bool Ok() const { return check.bad.empty() ? check.Ok() : check.loaded.Ok() && !check.stopped && repair.ok; }
};

// Whether rebuilt pieces can be put into `folder`: it is there and may be
// written (a read-only mount may not, whoever asks).
bool MayRepairIn(const std::string& folder);

// Checks the set as CheckChosenSet does, then rebuilds its bad pieces in
// place from its recovery files; nothing is written unless every bad piece
// can be rebuilt and comes out as the checksum file says.
RepairedSet RepairChosenSet(const std::string& prefix, const std::string& marker,
                            const std::atomic<bool>* stop = nullptr, const CheckProgress& progress = {});
