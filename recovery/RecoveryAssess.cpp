// Which recovery set is ours, and how many of the lost pieces it can rebuild.
#include "recovery/RecoveryAssess.h"

#include "recovery/Gf16.h"
#include "recovery/RecoveryDetail.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include <utility>

namespace RecoveryDetail {

namespace {

// The set for our big file: one file of our size, its slicing sound, and
// its description present; of several, one of our name first, then the one
// with the most recovery slices. Null when there is none.
const Par2::FoundSet* OurSet(const RecoveryRepair& request, const Par2::ScanResult& scan) {
    const Par2::FoundSet* set = nullptr;
    const int64_t total = SumOf(request.pieceSizes);
    auto rank = [&](const Par2::FoundSet& s) {
        return std::make_pair(s.files.size() == 1 && s.files[0].name == request.name, s.slices.size());
    };
    for (const auto& s : scan.sets) {
        if (!s.haveMain || s.fileIds.size() != 1 || s.sliceSize == 0 || s.sliceSize % 4 != 0) continue;
        const auto file = std::find_if(s.files.begin(), s.files.end(),
                                       [&](const Par2::FileEntry& f) { return f.fileId == s.fileIds[0]; });
        if (file == s.files.end() || file->length != uint64_t(total)) continue;
        if ((uint64_t(total) + s.sliceSize - 1) / s.sliceSize > Par2::kMaxInputSlices) continue;
        if (set == nullptr || rank(s) > rank(*set)) set = &s;
    }
    return set;
}

}  // namespace

Assessment Assess(const RecoveryRepair& request, const Par2::ScanResult& scan, RecoveryResult& result,
                  uint32_t slicesToCome) {
    Assessment a;
    a.set = OurSet(request, scan);
    std::set<std::size_t> trusted;
    if (a.set != nullptr) trusted.insert(a.set->sources.begin(), a.set->sources.end());
    for (std::size_t i = 0; i < request.recoveryFiles.size(); ++i) {
        const bool damaged = std::count(scan.damaged.begin(), scan.damaged.end(), i) > 0;
        if (damaged || trusted.count(i) == 0) result.passedOver.push_back(request.recoveryFiles[i]);
    }
    result.missing = int(request.lost.size());
    if (a.set == nullptr) return a;
    const auto sliceSize = int64_t(a.set->sliceSize);
    const std::vector<int64_t> starts = Starts(request.pieceSizes);
    std::set<int64_t> lost;
    std::vector<SliceRange> ranges;
    for (const int piece : request.lost) {
        const SliceRange r = Touched(starts[piece], request.pieceSizes[piece], sliceSize);
        ranges.push_back(r);
        for (int64_t s = r.first; s < r.last; ++s) lost.insert(s);
    }
    a.lostSlices.assign(lost.begin(), lost.end());
    for (const auto& s : a.set->slices)
        if (s.exponent < Gf16::kOrder) a.usable.push_back(s);
    std::sort(a.usable.begin(), a.usable.end(),
              [](const Par2::FoundSlice& x, const Par2::FoundSlice& y) { return x.exponent < y.exponent; });
    const std::size_t usable = a.usable.size() + slicesToCome;
    if (a.lostSlices.size() <= usable) {
        result.rebuildable = result.missing;
    } else {
        // As many of the lost pieces as fit, those touching the fewest slices first.
        std::sort(ranges.begin(), ranges.end(),
                  [](const SliceRange& x, const SliceRange& y) { return x.last - x.first < y.last - y.first; });
        std::set<int64_t> taken;
        for (const auto& r : ranges) {
            std::set<int64_t> more = taken;
            for (int64_t s = r.first; s < r.last; ++s) more.insert(s);
            if (more.size() > usable) break;
            taken.swap(more);
            ++result.rebuildable;
        }
    }
    return a;
}

bool ValidRequest(const RecoveryRepair& request, RecoveryResult& result) {
    bool ok = request.into != nullptr ||
              (request.pieces.size() == request.pieceSizes.size() && request.outputs.size() == request.lost.size());
    for (const int piece : request.lost) ok = ok && piece >= 0 && std::size_t(piece) < request.pieceSizes.size();
    if (!ok) result.failure = Error(EINVAL, "the pieces, their sizes and the outputs do not match");
    return ok;
}

}  // namespace RecoveryDetail

RecoveryResult CountRebuildable(const RecoveryRepair& request, uint32_t slicesToCome) {
    return RecoveryDetail::Guarded([&] {
        RecoveryResult result;
        if (!RecoveryDetail::ValidRequest(request, result)) return result;
        const Par2::ScanResult scan = Par2::ScanFiles(request.recoveryFiles);
        RecoveryDetail::Assess(request, scan, result, slicesToCome);
        result.ok = true;
        return result;
    });
}

uint32_t RecoverySlicesNamed(const std::string& name) {
    // <stem>.volNN+MM.par2: MM recovery slices from exponent NN on.
    const std::string end = ".par2";
    const std::string::size_type vol = name.rfind(".vol");
    if (vol == std::string::npos || name.size() < end.size() ||
        name.compare(name.size() - end.size(), end.size(), end) != 0)
        return 0;
    const std::string::size_type plus = name.find('+', vol);
    if (plus == std::string::npos || plus > name.size() - end.size()) return 0;
    const std::string count = name.substr(plus + 1, name.size() - end.size() - plus - 1);
    if (count.empty() || count.size() > 5 || count.find_first_not_of("0123456789") != std::string::npos) return 0;
    return uint32_t(std::stoul(count));
}
