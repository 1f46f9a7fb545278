// Checks the pieces of a set, and the whole file where it lies beside them,
// against what the set's checksum file says: the work of `quorvel-cli check`.
// Standard library only.
#pragma once

#include "engine/ChecksumFile.h"

#include <cstdint>
#include <string>
#include <vector>

struct SetCheck {
    enum class Problem {
        None,
        Missing,     // nothing of that name is there
        WrongSize,   // expectedSize against actualSize
        Unreadable,  // there, but it cannot be read: error
        Damaged,     // its digest differs
        LinkNotTrusted,  // reached through `file`, a link of another user's: not read
    };
    Problem problem = Problem::None;
    int32_t piece = 0;  // the first piece with a problem (from 1); 0 for the whole file
    std::string file;   // that file
    int64_t expectedSize = 0;
    int64_t actualSize = -1;
    int error = 0;
    bool wholeChecked = false;  // the whole file lay beside the pieces and matched

    bool Ok() const { return problem == Problem::None; }
};

// Checks the pieces of `prefix` (prefix + marker + number, as a join finds
// them) against `set`: each is there, has its size and its digest. The problem reported is that of the lowest-numbered
// piece; the whole file (the set's name in the prefix's folder) is checked when it is there and
// every piece is good. An unfinished set reports its first piece without a
// checksum as missing.
// The caller makes sure the set is that of the prefix (NamesSet).
SetCheck CheckSet(const ChecksumSet& set, const std::string& marker, const std::string& prefix);

// Every piece of a finished set that is missing, of the wrong size,
// unreadable or damaged (numbers from 1, in order): what recovery files
// would have to rebuild.
std::vector<int32_t> BadPieces(const ChecksumSet& set, const std::string& marker, const std::string& folder);
