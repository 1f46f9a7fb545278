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
    std::vector<Par2::FoundSlice> usable;
    std::size_t mostLost = 0;  // lost slices the memory allows to solve for
};

// Fills `passedOver`, `missing` and `rebuildable` of result; `slicesToCome`
// recovery slices of the set, not at hand yet, count as usable.
Assessment Assess(const RecoveryRepair& request, const Par2::ScanResult& scan, RecoveryResult& result,
                  uint32_t slicesToCome = 0);

// False, with the failure in result, when the request's lists do not match.
bool ValidRequest(const RecoveryRepair& request, RecoveryResult& result);

}  // namespace RecoveryDetail
