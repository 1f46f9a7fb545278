// Slices fed through the rows of the code: one slice at a time (a rebuild),
// or a whole pass over the big file eight slices at a time (a create).
#pragma once

#include "recovery/BigFileBytes.h"
#include "recovery/Buffers.h"
#include "recovery/Par2Packets.h"
#include "recovery/Recovery.h"
#include "recovery/RecoveryDetail.h"
#include "recovery/Threads.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace RecoveryDetail {

// Feeds one slice, part by part, read by `read(at, size, buffer)`; `extra`
// units run beside the rows' (work(unit, buffer, at, size) for unit <
// extra). False when a read fails or a stop comes.
template <typename ReadPart, typename ExtraWork>
bool FeedSlice(Team& team, Rows& out, AlignedBuffer& buffer, std::size_t slice, const uint16_t* factors,
               std::size_t extra, const std::atomic<bool>* stop, ReadPart read, ExtraWork work) {
    for (std::size_t at = 0; at < slice; at += buffer.size) {
        if (Stopped(stop)) return false;
        const std::size_t size = std::min(buffer.size, slice - at);
        if (!read(at, size, buffer.aligned)) return false;
        team.Run(extra + out.Groups(), [&](std::size_t unit) {
            if (unit < extra)
                work(unit, buffer.aligned, at, size);
            else
                out.Feed(unit - extra, buffer.aligned, at, size, factors);
        });
    }
    return true;
}

// One pass of a create over the big file: eight slices at a time, a part of
// each at a time, into the rows of this pass; the first pass also takes
// every slice's MD5 (eight side by side) and CRC32. False when a read fails
// or a stop comes.
bool FeedPass(Team& team, Rows& out, BigFileBytes& big, const RecoveryPlan& plan, uint32_t firstRow,
              std::vector<Par2::SliceChecksum>* checksums, const RecoveryCreate& request, int64_t workBefore,
              int64_t work, RecoveryError& failure);

}  // namespace RecoveryDetail
