// What the recovery files present can do for the lost pieces: our set among
// those they hold, the lost slices and the recovery slices to rebuild them.
#pragma once

#include "recovery/Par2Packets.h"
#include "recovery/Recovery.h"

#include <cstdint>
#include <vector>

namespace RecoveryDetail {

// Our set among those the files hold, and what it can do for the lost pieces.
struct Assessment {
    const Par2::FoundSet* set = nullptr;
    std::vector<int64_t> lostSlices;  // sorted
    // One slice per exponent: exponents the trusted files hold first, each
    // lowest first, and a trusted file's slice before any other's.
    std::vector<Par2::FoundSlice> usable;
    std::size_t mostLost = 0;  // lost slices the memory allows to solve for
    // For each of usable, the other slices found for its exponent, in the
    // same order: tried when a rebuild with it does not fit.
    std::vector<std::vector<Par2::FoundSlice>> alternatives;
};

// Whether the file `slice` lies in is one the request trusts.
inline bool Trusted(const RecoveryRepair& request, const Par2::FoundSlice& slice) {
    return slice.file < request.trustedFiles;
}

// Fills `passedOver`, `missing` and `rebuildable` of result; `slicesToCome`
// recovery slices of the set, not at hand yet, count as usable.
Assessment Assess(const RecoveryRepair& request, const Par2::ScanResult& scan, RecoveryResult& result,
                  uint32_t slicesToCome = 0);

// False, with the failure in result, when the request's lists do not match.
bool ValidRequest(const RecoveryRepair& request, RecoveryResult& result);

}  // namespace RecoveryDetail
