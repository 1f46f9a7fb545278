// Which recovery set is ours, and how many of the lost pieces it can rebuild.
#include "recovery/RecoveryAssess.h"

#include "recovery/BigFileBytes.h"
#include "recovery/Gf16.h"
#include "recovery/RecoveryDetail.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace RecoveryDetail {

namespace {

// Whether a recovery slice found can go into the code: its exponent within
// the field's group, and exactly a slice of data in its packet (a packet
// holding less would have the rebuild read past it).
bool Usable(const Par2::FoundSlice& s, uint64_t sliceSize) { return s.exponent < Gf16::kOrder && s.bytes == sliceSize; }

// Whether the slice size a set's main packet gives can be ours. The size
// comes from a file anyone may have made: it is checked against the big
// file (which also keeps the slice counts from overflowing), the memory
// the rows may take, and the slices the packets present hold.
bool SliceSizeFits(const Par2::FoundSet& s, uint64_t total, int64_t memoryLimit) {
    const uint64_t size = s.sliceSize;
    if (size == 0 || size % 4 != 0 || size > total || size > uint64_t(std::max<int64_t>(memoryLimit, 0))) return false;
    if ((total + size - 1) / size > Par2::kMaxInputSlices) return false;
    return s.slices.empty() || std::any_of(s.slices.begin(), s.slices.end(),
                                           [size](const Par2::FoundSlice& f) { return f.bytes >= size; });
}

// Whether the sound slices of the pieces agree with the set's own
// checksums of them: a set of a file of our name and size made from other
// bytes does not. Two slices away from the lost pieces (the first and the
// last whole one) are read; what cannot be read or compared says nothing.
bool OtherBytes(const RecoveryRepair& request, const Par2::FoundSet& s) {
    if (request.into != nullptr || request.pieces.size() != request.pieceSizes.size() || s.fileIds.empty() ||
        s.checksumsFileId != s.fileIds[0])
        return false;
    const int64_t total = SumOf(request.pieceSizes);
    const auto sliceSize = int64_t(s.sliceSize);
    const int64_t whole = total / sliceSize;  // slices that end within the file
    if (s.sliceChecksums.size() != std::size_t((total + sliceSize - 1) / sliceSize) || sliceSize > (64 << 20))
        return false;
    const std::vector<int64_t> starts = Starts(request.pieceSizes);
    auto sound = [&](int64_t slice) {
        for (const int piece : request.lost) {
            const SliceRange r = Touched(starts[std::size_t(piece)], request.pieceSizes[std::size_t(piece)], sliceSize);
            if (slice >= r.first && slice < r.last) return false;
        }
        return true;
    };
    std::vector<int64_t> samples;
    for (int64_t i = 0; i < whole && samples.empty(); ++i)
        if (sound(i)) samples.push_back(i);
    for (int64_t i = whole - 1; i >= 0 && samples.size() == 1 && i > samples[0]; --i)
        if (sound(i)) samples.push_back(i);
    BigFileBytes big(request.pieces, request.pieceSizes);
    std::vector<unsigned char> buffer(std::size_t(sliceSize), 0);
    for (const int64_t i : samples) {
        RecoveryError failure;
        if (!big.Read(i * sliceSize, buffer.size(), buffer.data(), failure)) return false;
        if (Md5Of(buffer.data(), buffer.size()) != s.sliceChecksums[std::size_t(i)].md5) return true;
    }
    return false;
}

// The set for our big file: one file of our name (when the request gives
// one) and size, its slicing sound, its file entry present, and its bytes
// those of our pieces; of several, one the trusted files hold first, then
// one of our name, then the one with the most recovery slices. Null when
// there is none; `otherBytes` then says whether a set of our name and size
// was passed over for its bytes.
const Par2::FoundSet* OurSet(const RecoveryRepair& request, const Par2::ScanResult& scan, bool& otherBytes) {
    const Par2::FoundSet* set = nullptr;
    const int64_t total = SumOf(request.pieceSizes);
    auto rank = [&](const Par2::FoundSet& s) {
        const bool trusted = std::any_of(s.sources.begin(), s.sources.end(),
                                         [&](std::size_t f) { return f < request.trustedFiles; });
        return std::make_tuple(trusted, s.files.size() == 1 && s.files[0].name == request.name, s.slices.size());
    };
    for (const auto& s : scan.sets) {
        if (!s.haveMain || s.fileIds.size() != 1 || total <= 0) continue;
        const auto file = std::find_if(s.files.begin(), s.files.end(),
                                       [&](const Par2::FileEntry& f) { return f.fileId == s.fileIds[0]; });
        if (file == s.files.end() || file->length != uint64_t(total)) continue;
        if (!SliceSizeFits(s, uint64_t(total), request.memoryLimit)) continue;
        if (!request.name.empty() && file->name != request.name) continue;
        if (OtherBytes(request, s)) {
            otherBytes = true;
            continue;
        }
        if (set == nullptr || rank(s) > rank(*set)) set = &s;
    }
    if (set != nullptr) otherBytes = false;
    return set;
}

}  // namespace

Assessment Assess(const RecoveryRepair& request, const Par2::ScanResult& scan, RecoveryResult& result,
                  uint32_t slicesToCome) {
    Assessment a;
    a.set = OurSet(request, scan, result.otherVersion);
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
    // By exponent, each exponent's slices in the order found: the trusted
    // files are scanned first.
    std::vector<Par2::FoundSlice> found;
    for (const auto& s : a.set->slices)
        if (Usable(s, a.set->sliceSize)) found.push_back(s);
    std::stable_sort(found.begin(), found.end(),
                     [](const Par2::FoundSlice& x, const Par2::FoundSlice& y) { return x.exponent < y.exponent; });
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (i > 0 && found[i].exponent == found[i - 1].exponent) {
            a.alternatives.back().push_back(found[i]);
            continue;
        }
        a.usable.push_back(found[i]);
        a.alternatives.emplace_back();
    }
    // Exponents the trusted files hold before those only others do.
    std::vector<std::size_t> order(a.usable.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return Trusted(request, a.usable[x]) && !Trusted(request, a.usable[y]);
    });
    Assessment sorted;
    sorted.set = a.set;
    sorted.lostSlices = a.lostSlices;
    for (const std::size_t i : order) {
        sorted.usable.push_back(a.usable[i]);
        sorted.alternatives.push_back(std::move(a.alternatives[i]));
    }
    a = std::move(sorted);
    // No more slices than the matrix for them can take in memory.
    a.mostLost = MostLostSlices(request.memoryLimit, sliceSize);
    const std::size_t usable = std::min(a.usable.size() + slicesToCome, a.mostLost);
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
        const Par2::ScanResult scan = Par2::ScanFiles(request.recoveryFiles, request.stop);
        if (scan.stopped) {
            result.stopped = true;
            result.failure = RecoveryDetail::Error(ECANCELED, "stopped");
            return result;
        }
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
