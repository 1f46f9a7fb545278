// Planning: the slice size and the recovery slices and files that let any
// `lostPieces` pieces be rebuilt.
#include "recovery/Par2Packets.h"
#include "recovery/Recovery.h"
#include "recovery/RecoveryDetail.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <tuple>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

using namespace RecoveryDetail;

namespace {

using Par2::kSliceOverhead;

// Sizes of the packets every recovery file carries besides its slices.
struct PacketSizes {
    int64_t main = 0, description = 0, creator = 0;
    int64_t Critical() const { return main + description + creator; }
    static int64_t Checksums(uint32_t slices) { return int64_t(Par2::kHeaderBytes) + 16 + 20 * int64_t(slices); }
};
PacketSizes SizesFor(const std::string& name) {
    PacketSizes s;
    s.main = int64_t(Par2::kHeaderBytes) + 12 + 16;
    s.description = int64_t(Par2::kHeaderBytes) + 56 + Padded4(int64_t(name.size()));
    s.creator = int64_t(Par2::kHeaderBytes) + Padded4(int64_t(Par2::CreatorBody().size()));
    return s;
}

RecoveryPlan Evaluate(const std::vector<int64_t>& sizes, int lost, int64_t cap, const PacketSizes& packets,
                      int64_t slice) {
    RecoveryPlan plan;
    const int64_t total = SumOf(sizes);
    if (slice < 4 || slice % 4 != 0) return plan;
    const int64_t inputs = (total + slice - 1) / slice;
    if (inputs > Par2::kMaxInputSlices) return plan;
    const int64_t perFile = (cap - packets.Critical()) / (slice + int64_t(kSliceOverhead));
    const int64_t index = packets.Critical() + PacketSizes::Checksums(uint32_t(inputs));
    if (perFile < 1 || index > cap) return plan;
    // Any `lost` pieces: as many recovery slices as the pieces touching the
    // most slices touch together.
    std::vector<int64_t> touched;
    bool whole = true;
    int64_t start = 0;
    for (const int64_t size : sizes) {
        const SliceRange r = Touched(start, size, slice);
        touched.push_back(r.last - r.first);
        whole = whole && start % slice == 0;
        start += size;
    }
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) whole = whole && sizes[i] % slice == 0;
    std::sort(touched.rbegin(), touched.rend());
    const int64_t recovery =
        std::accumulate(touched.begin(), touched.begin() + std::min<std::size_t>(lost, touched.size()), int64_t{0});
    if (recovery < 1 || recovery > Par2::kMaxRecoverySlices) return plan;
    plan.ok = true;
    plan.lostPieces = lost;
    plan.sliceSize = slice;
    plan.inputSlices = uint32_t(inputs);
    plan.recoverySlices = uint32_t(recovery);
    plan.volumeCount = uint32_t((recovery + perFile - 1) / perFile);
    // Spread evenly, so that the files come out alike.
    plan.slicesPerFile = uint32_t((recovery + plan.volumeCount - 1) / plan.volumeCount);
    plan.indexBytes = index;
    plan.totalBytes =
        index + int64_t(plan.volumeCount) * packets.Critical() + recovery * (slice + int64_t(kSliceOverhead));
    plan.wholeSlices = whole;
    return plan;
}

// Candidate slices: a piece's size divided into m parts, rounded to 4 bytes
// either way, for the most common piece sizes (edited sizes may all differ;
// a few kinds cover the set).
std::set<int64_t> CandidateSlices(const std::vector<int64_t>& pieceSizes, int64_t total) {
    std::map<int64_t, int> counts;
    for (const int64_t size : pieceSizes) ++counts[size];
    std::vector<std::pair<int, int64_t>> kinds;
    for (const auto& [size, count] : counts) kinds.emplace_back(count, size);
    std::sort(kinds.rbegin(), kinds.rend());
    kinds.resize(std::min<std::size_t>(kinds.size(), 8));
    std::set<int64_t> slices;
    for (const auto& kind : kinds) {
        for (int64_t m = 1; m <= 4096; ++m) {
            const int64_t part = (kind.second + m - 1) / m;
            if (part * Par2::kMaxInputSlices < total / 2) break;
            slices.insert(part / 4 * 4);
            slices.insert(Padded4(part));
        }
    }
    return slices;
}

}  // namespace

RecoveryPlan PlanRecovery(const std::vector<int64_t>& pieceSizes, int lostPieces, int64_t largestFile,
                          const std::string& name) {
    RecoveryPlan best;
    const int64_t total = SumOf(pieceSizes);
    if (pieceSizes.empty() || total <= 0 || lostPieces < 1) {
        best.failure = Error(EINVAL, "nothing to protect");
        return best;
    }
    const int lost = std::min<int>(lostPieces, int(pieceSizes.size()));
    const int64_t cap = largestFile > 0 ? largestFile : *std::max_element(pieceSizes.begin(), pieceSizes.end());
    const PacketSizes packets = SizesFor(name);
    std::vector<RecoveryPlan> plans;
    for (const int64_t s : CandidateSlices(pieceSizes, total)) {
        RecoveryPlan p = Evaluate(pieceSizes, lost, cap, packets, s);
        if (p.ok) plans.push_back(p);
    }
    if (plans.empty()) {
        best.failure = Error(EFBIG, "the pieces are too small to hold recovery data for this file");
        return best;
    }
    uint32_t fewest = UINT32_MAX;
    for (const auto& p : plans) fewest = std::min(fewest, p.volumeCount);
    const uint32_t allowed = fewest + uint32_t(lost / 4);
    for (const auto& p : plans) {
        if (p.volumeCount > allowed) continue;
        const auto key = [](const RecoveryPlan& x) {
            return std::make_tuple(x.recoverySlices, x.totalBytes, -x.sliceSize);
        };
        if (!best.ok || key(p) < key(best)) best = p;
    }
    best.lostPieces = lost;
    return best;
}

int64_t RecoveryMemoryFor(int64_t physical) {
    constexpr int64_t kLeast = int64_t(256) << 20, kMost = int64_t(2) << 30;
    // A quarter leaves the machine the rest; K = 4 in 100 MiB pieces (400 MiB)
    // then fits in one pass on a machine of 2 GiB.
    return std::clamp<int64_t>(physical / 4, kLeast, kMost);
}

int64_t RecoveryMemoryLimit() {
    static const int64_t limit = [] {
        int64_t physical = 0;
#ifdef _WIN32
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof status;
        if (GlobalMemoryStatusEx(&status)) physical = static_cast<int64_t>(status.ullTotalPhys);
#else
        const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
        if (pages > 0 && page > 0) physical = static_cast<int64_t>(pages) * page;
#endif
        return RecoveryMemoryFor(physical);
    }();
    return limit;
}
