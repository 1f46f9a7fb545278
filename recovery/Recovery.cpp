#include "recovery/Recovery.h"

#include "recovery/BigFileBytes.h"
#include "recovery/Buffers.h"
#include "recovery/Digests.h"
#include "recovery/FileIo.h"
#include "recovery/Gf16.h"
#include "recovery/Par2Packets.h"
#include "recovery/RecoveryDetail.h"
#include "recovery/SliceFeed.h"
#include "recovery/Threads.h"
#include "recovery/WholeFileMd5.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <set>

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

std::string VolumeName(const std::string& name, uint32_t first, uint32_t count, uint32_t total) {
    const int width = std::max<int>(2, int(std::to_string(total).size()));
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, ".vol%0*u+%0*u.par2", width, first, width, count);
    return name + numbers;
}

// Writes the recovery files one after another, removing them all again
// unless Finish is reached.
class SetWriter {
public:
    SetWriter(const RecoveryCreate& request, std::string name, const RecoveryPlan& plan)
        : folder_(request.folder),
          volumeFolder_(request.volumeFolder.empty() ? request.folder : request.volumeFolder),
          name_(std::move(name)),
          plan_(plan),
          beforeVolume_(request.beforeVolume) {}
    ~SetWriter() {
        if (finished_) return;
        for (std::size_t i = 0; i < files_.size(); ++i)
            if (i == 0 || !beforeVolume_) RecoveryIo::Remove(files_[i].name);
    }
    bool Declined() const { return declined_; }
    void SetCritical(std::string critical) { critical_ = std::move(critical); }

    bool WriteIndex(const std::string& content, RecoveryError& failure) {
        RecoveryIo::Writer w;
        const std::string path = RecoveryIo::JoinPath(folder_, name_ + ".par2");
        if (!w.Create(path) || !w.Write(content.data(), content.size()) || !w.Commit()) {
            failure = Error(errno, "cannot write " + path);
            return false;
        }
        sha_.Update(content.data(), content.size());
        files_.push_back({path, int64_t(content.size()), TakeSha256()});
        return true;
    }

    // The recovery slices come in order of their exponents.
    bool Add(const Par2::Id& setId, uint32_t exponent, const unsigned char* data, RecoveryError& failure) {
        const uint32_t volume = exponent / plan_.slicesPerFile;
        const uint32_t first = volume * plan_.slicesPerFile;
        const uint32_t count = std::min(plan_.slicesPerFile, plan_.recoverySlices - first);
        const std::string path =
            RecoveryIo::JoinPath(volumeFolder_, VolumeName(name_, first, count, plan_.recoverySlices));
        const auto size = std::size_t(plan_.sliceSize);
        if (exponent == first && beforeVolume_) {
            const int64_t bytes =
                int64_t(critical_.size()) + int64_t(count) * (plan_.sliceSize + int64_t(Par2::kSliceOverhead));
            if (!beforeVolume_(volume + 1, bytes)) {
                declined_ = true;
                failure = Error(ECANCELED, "no disk for recovery file " + std::to_string(volume + 1));
                return false;
            }
        }
        const std::string header = Par2::RecoverySliceHeader(setId, exponent, data, size);
        bool ok = (exponent != first || (open_.Create(path) && Write(critical_.data(), critical_.size()))) &&
                  Write(header.data(), header.size()) && Write(data, size);
        if (ok && exponent + 1 == first + count) {
            const int64_t bytes = open_.Written();
            ok = open_.Commit();
            if (ok) files_.push_back({path, bytes, TakeSha256()});
        }
        if (!ok) failure = Error(errno, "cannot write " + path);
        return ok;
    }

    std::vector<RecoveryFile> Finish() {
        finished_ = true;
        return files_;
    }

private:
    bool Write(const void* data, std::size_t size) {
        sha_.Update(data, size);
        return open_.Write(data, size);
    }
    std::string TakeSha256() {
        unsigned char digest[32];
        if (!sha_.Final(digest)) return {};
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (const unsigned char byte : digest) hex += {kHex[byte >> 4], kHex[byte & 15]};
        return hex;
    }

    std::string folder_, volumeFolder_, name_;
    Hash sha_{HashKind::Sha256};
    RecoveryPlan plan_;
    std::function<bool(uint32_t, int64_t)> beforeVolume_;
    bool declined_ = false;
    std::string critical_;
    RecoveryIo::Writer open_;
    std::vector<RecoveryFile> files_;
    bool finished_ = false;
};

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
    // Candidate slices: a piece's size divided into m parts, rounded to 4
    // bytes either way, for the most common piece sizes (edited sizes may
    // all differ; a few kinds cover the set).
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
    std::vector<RecoveryPlan> plans;
    for (const int64_t s : slices) {
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
    best.lostPieces = lostPieces;
    return best;
}

std::vector<std::string> FindRecoveryFiles(const std::string& folder, const std::string& name) {
    std::vector<std::string> found;
    const std::string volume = name + ".vol";
    for (const auto& entry : RecoveryIo::ListFolder(folder)) {
        const bool isVolume = entry.size() > volume.size() + 5 && entry.compare(0, volume.size(), volume) == 0 &&
                              entry.compare(entry.size() - 5, 5, ".par2") == 0;
        if (entry == name + ".par2" || isVolume) found.push_back(RecoveryIo::JoinPath(folder, entry));
    }
    std::sort(found.begin(), found.end());
    return found;
}

namespace {

// The packets every recovery file begins with, and the index's, from the
// whole file's MD5s and every slice's checksums.
struct SetPackets {
    Par2::Id setId{};
    std::string critical, index;
};
SetPackets PacketsFor(const RecoveryPlan& plan, const std::string& name, int64_t total, const Md5Digest& whole,
                      const Md5Digest& first16k, const std::vector<Par2::SliceChecksum>& checksums) {
    Par2::FileEntry file;
    file.md5 = whole;
    file.md5First16k = first16k;
    file.length = uint64_t(total);
    file.name = name;
    file.fileId = Par2::FileIdOf(first16k, file.length, name);
    const std::string mainBody = Par2::MainBody(uint64_t(plan.sliceSize), file.fileId);
    SetPackets p;
    p.setId = Par2::SetIdOf(mainBody);
    p.critical = Par2::Packet(p.setId, Par2::PacketType::Main, mainBody) +
                 Par2::Packet(p.setId, Par2::PacketType::FileDescription, Par2::FileDescriptionBody(file)) +
                 Par2::Packet(p.setId, Par2::PacketType::Creator, Par2::CreatorBody());
    p.index = p.critical +
              Par2::Packet(p.setId, Par2::PacketType::SliceChecksums, Par2::SliceChecksumsBody(file.fileId, checksums));
    return p;
}

bool BigFileFits(const RecoveryCreate& request, int64_t total, RecoveryError& failure) {
    RecoveryIo::Reader check;
    if (!check.Open(request.bigFile)) return (failure = Error(errno, "cannot open " + request.bigFile), false);
    if (check.Size() == total) return true;
    failure = Error(0, request.bigFile + " is not the size of its pieces together");
    return false;
}

}  // namespace

RecoveryResult CreateRecoveryFiles(const RecoveryCreate& request) {
    RecoveryResult result;
    const std::string name = request.name.empty() ? RecoveryIo::BaseName(request.bigFile) : request.name;
    result.plan = PlanRecovery(request.pieceSizes, request.lostPieces, request.largestFile, name);
    const RecoveryPlan& plan = result.plan;
    if (!plan.ok) {
        result.failure = plan.failure;
        return result;
    }
    const int64_t total = SumOf(request.pieceSizes);
    if (!BigFileFits(request, total, result.failure)) return result;
    BigFileBytes big({request.bigFile}, {total});
    const uint32_t rowsPerPass =
        uint32_t(std::clamp<int64_t>(request.memoryLimit / plan.sliceSize, 1, plan.recoverySlices));
    const uint32_t passes = (plan.recoverySlices + rowsPerPass - 1) / rowsPerPass;
    const int64_t work = total * passes;
    // The whole file's MD5 is the one chain of steps no core can share:
    // beside a copy that keeps both cores busy it comes first, and the
    // slices' work, which can wait, runs below it.
    WholeFileMd5 whole(request.bigFile, total, request.stop);
    const ThreadPriority below(ThreadPriority::Below);
    Team team;
    std::vector<Par2::SliceChecksum> checksums(plan.inputSlices);
    SetWriter writer(request, name, plan);
    SetPackets packets;
    for (uint32_t pass = 0; pass < passes; ++pass) {
        const uint32_t firstRow = pass * rowsPerPass;
        Rows out(std::min(rowsPerPass, plan.recoverySlices - firstRow), std::size_t(plan.sliceSize));
        if (!out.Ok()) {
            result.failure = Error(ENOMEM, "not enough memory for the recovery data");
            return result;
        }
        if (!FeedPass(team, out, big, plan, firstRow, pass == 0 ? &checksums : nullptr, request, int64_t(pass) * total,
                      work, result.failure)) {
            result.stopped = Stopped(request.stop);
            return result;
        }
        if (pass == 0) {
            Md5Digest wholeMd5{}, first16k{};
            if (!whole.Wait(wholeMd5, first16k, result.failure)) {
                result.stopped = Stopped(request.stop);
                return result;
            }
            packets = PacketsFor(plan, name, total, wholeMd5, first16k, checksums);
            writer.SetCritical(packets.critical);
            if (!writer.WriteIndex(packets.index, result.failure)) return result;
        }
        for (uint32_t r = 0; r < out.Count(); ++r) {
            if (!writer.Add(packets.setId, firstRow + r, out.Row(r), result.failure)) {
                result.declined = writer.Declined();
                return result;
            }
        }
    }
    result.files = writer.Finish();
    result.ok = true;
    return result;
}

namespace {

// Our set among those the files hold, and what it can do for the lost pieces.
struct Assessment {
    const Par2::FoundSet* set = nullptr;
    std::vector<int64_t> lostSlices;  // sorted
    std::vector<Par2::FoundSlice> usable;
};

Assessment Assess(const RecoveryRepair& request, const Par2::ScanResult& scan, RecoveryResult& result) {
    Assessment a;
    const int64_t total = SumOf(request.pieceSizes);
    auto rank = [&](const Par2::FoundSet& s) {
        return std::make_pair(s.files.size() == 1 && s.files[0].name == request.name, s.slices.size());
    };
    for (const auto& s : scan.sets) {
        // One file of our size, its slicing sound, and its description present.
        if (!s.haveMain || s.fileIds.size() != 1 || s.sliceSize == 0 || s.sliceSize % 4 != 0) continue;
        const auto file = std::find_if(s.files.begin(), s.files.end(),
                                       [&](const Par2::FileEntry& f) { return f.fileId == s.fileIds[0]; });
        if (file == s.files.end() || file->length != uint64_t(total)) continue;
        if ((uint64_t(total) + s.sliceSize - 1) / s.sliceSize > Par2::kMaxInputSlices) continue;
        if (a.set == nullptr || rank(s) > rank(*a.set)) a.set = &s;
    }
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
    if (a.lostSlices.size() <= a.usable.size()) {
        result.rebuildable = result.missing;
    } else {
        // As many of the lost pieces as fit, those touching the fewest slices first.
        std::sort(ranges.begin(), ranges.end(),
                  [](const SliceRange& x, const SliceRange& y) { return x.last - x.first < y.last - y.first; });
        std::set<int64_t> taken;
        for (const auto& r : ranges) {
            std::set<int64_t> more = taken;
            for (int64_t s = r.first; s < r.last; ++s) more.insert(s);
            if (more.size() > a.usable.size()) break;
            taken.swap(more);
            ++result.rebuildable;
        }
    }
    return a;
}

bool ValidRequest(const RecoveryRepair& request, RecoveryResult& result) {
    bool ok = request.pieces.size() == request.pieceSizes.size() && request.outputs.size() == request.lost.size();
    for (const int piece : request.lost) ok = ok && piece >= 0 && std::size_t(piece) < request.pieces.size();
    if (!ok) result.failure = Error(EINVAL, "the pieces, their sizes and the outputs do not match");
    return ok;
}

}  // namespace

RecoveryResult CountRebuildable(const RecoveryRepair& request) {
    RecoveryResult result;
    if (!ValidRequest(request, result)) return result;
    const Par2::ScanResult scan = Par2::ScanFiles(request.recoveryFiles);
    Assess(request, scan, result);
    result.ok = true;
    return result;
}

namespace {

// m recovery slices whose matrix over the lost slices can be inverted, and
// that inverse: the lowest exponents first (with no gaps that matrix always
// can be). False when none of the tries can.
bool ChooseSlices(const Assessment& a, std::vector<uint16_t>& inverse, std::vector<Par2::FoundSlice>& chosen) {
    const std::size_t m = a.lostSlices.size();
    if (m == 0) return true;
    for (std::size_t skip = 0; skip + m <= a.usable.size(); ++skip) {
        std::vector<Par2::FoundSlice> pick(a.usable.begin(), a.usable.begin() + std::ptrdiff_t(m - (skip > 0)));
        if (skip > 0) pick.push_back(a.usable[m - 1 + skip]);
        inverse.assign(m * m, 0);
        for (std::size_t j = 0; j < m; ++j)
            for (std::size_t l = 0; l < m; ++l)
                inverse[j * m + l] = Gf16::Power(Par2::InputConstant(uint32_t(a.lostSlices[l])), pick[j].exponent);
        if (Gf16::Invert(inverse.data(), m)) {
            chosen = std::move(pick);
            return true;
        }
    }
    return false;
}

// The lost slices rebuilt from the sound ones and the chosen recovery
// slices, as many rows at a time as the memory allows, each written to the
// lost pieces it overlaps. Lost slice l = sum over j of inverse[l][j] *
// (recovery j - the sound slices' share in it): each sound slice enters
// with sum_j inverse[l][j] * constant^exponent_j.
class Rebuild {
public:
    Rebuild(const RecoveryRepair& request, const Assessment& a, std::vector<uint16_t> inverse,
            std::vector<Par2::FoundSlice> chosen, RecoveryResult& result)
        : request_(request),
          a_(a),
          inverse_(std::move(inverse)),
          chosen_(std::move(chosen)),
          result_(result),
          m_(a.lostSlices.size()),
          sliceSize_(int64_t(a.set->sliceSize)),
          total_(SumOf(request.pieceSizes)),
          inputs_(uint32_t((total_ + sliceSize_ - 1) / sliceSize_)),
          starts_(Starts(request.pieceSizes)),
          big_(request.pieces, request.pieceSizes),
          recoveryFiles_(request.recoveryFiles.size()),
          isLost_(inputs_, false),
          input_(std::min(std::size_t(sliceSize_), kPartBytes)) {
        for (const int64_t slice : a.lostSlices) isLost_[std::size_t(slice)] = true;
    }

    bool Run(std::vector<RecoveryIo::Writer>& outputs) {
        const std::size_t rowsPerPass = std::size_t(
            std::clamp<int64_t>(request_.memoryLimit / sliceSize_, 1, int64_t(std::max<std::size_t>(m_, 1))));
        const std::size_t passes = (m_ + rowsPerPass - 1) / rowsPerPass;
        // Each pass reads the sound slices and the chosen recovery slices.
        perPass_ = int64_t(m_) * sliceSize_;
        for (uint32_t i = 0; i < inputs_; ++i)
            if (!isLost_[i]) perPass_ += std::min<int64_t>(sliceSize_, total_ - int64_t(i) * sliceSize_);
        work_ = int64_t(passes) * perPass_;
        for (std::size_t pass = 0; pass < passes; ++pass) {
            const std::size_t firstRow = pass * rowsPerPass;
            Rows out(std::min(rowsPerPass, m_ - firstRow), std::size_t(sliceSize_));
            if (input_.data == nullptr || !out.Ok()) return Fail(ENOMEM, "not enough memory for the rebuilt data");
            done_ = int64_t(pass) * perPass_;
            if (!Pass(out, firstRow) || !WriteRows(out, firstRow, outputs)) return false;
        }
        return true;
    }

private:
    bool Fail(int error, std::string reason) {
        result_.failure = Error(error, std::move(reason));
        return false;
    }

    bool Pass(Rows& out, std::size_t firstRow) {
        const std::size_t rows = out.Count();
        std::vector<uint16_t> factors(rows), powers(m_);
        for (uint32_t i = 0; i < inputs_ + m_; ++i) {
            std::function<bool(std::size_t, std::size_t, unsigned char*)> read;
            if (i < inputs_) {
                if (isLost_[i]) continue;
                read = [this, i](std::size_t at, std::size_t size, unsigned char* buffer) {
                    return big_.Read(int64_t(i) * sliceSize_ + int64_t(at), size, buffer, result_.failure);
                };
                const uint16_t constant = Par2::InputConstant(i);
                for (std::size_t j = 0; j < m_; ++j) powers[j] = Gf16::Power(constant, chosen_[j].exponent);
                for (std::size_t r = 0; r < rows; ++r) {
                    uint16_t f = 0;
                    for (std::size_t j = 0; j < m_; ++j)
                        f ^= Gf16::Multiply(inverse_[(firstRow + r) * m_ + j], powers[j]);
                    factors[r] = f;
                }
                done_ += std::min<int64_t>(sliceSize_, total_ - int64_t(i) * sliceSize_);
            } else {
                const std::size_t j = i - inputs_;
                read = [this, j](std::size_t at, std::size_t size, unsigned char* buffer) {
                    return ReadRecovery(j, at, size, buffer);
                };
                for (std::size_t r = 0; r < rows; ++r) factors[r] = inverse_[(firstRow + r) * m_ + j];
                done_ += sliceSize_;
            }
            const auto none = [](std::size_t, const unsigned char*, std::size_t, std::size_t) {};
            if (!FeedSlice(team_, out, input_, std::size_t(sliceSize_), factors.data(), 0, request_.stop, read, none)) {
                result_.stopped = Stopped(request_.stop);
                if (result_.stopped) result_.failure = Error(ECANCELED, "stopped");
                return false;
            }
            if (request_.progress) request_.progress(done_, work_);
        }
        return true;
    }

    bool ReadRecovery(std::size_t j, std::size_t at, std::size_t size, unsigned char* buffer) {
        const std::string& name = request_.recoveryFiles[chosen_[j].file];
        RecoveryIo::Reader& file = recoveryFiles_[chosen_[j].file];
        if ((file.IsOpen() || file.Open(name)) && file.ReadAt(buffer, size, chosen_[j].offset + int64_t(at)))
            return true;
        return Fail(errno, "cannot read " + name);
    }

    // Each rebuilt slice's bytes go to the lost pieces it overlaps.
    bool WriteRows(const Rows& out, std::size_t firstRow, std::vector<RecoveryIo::Writer>& outputs) {
        for (std::size_t r = 0; r < out.Count(); ++r) {
            const int64_t begin = a_.lostSlices[firstRow + r] * sliceSize_;
            const int64_t end = std::min(begin + sliceSize_, total_);
            for (std::size_t p = 0; p < request_.lost.size(); ++p) {
                const auto piece = std::size_t(request_.lost[p]);
                const int64_t from = std::max(begin, starts_[piece]);
                const int64_t to = std::min(end, starts_[piece] + request_.pieceSizes[piece]);
                if (from >= to) continue;
                if (!outputs[p].WriteAt(out.Row(r) + (from - begin), std::size_t(to - from), from - starts_[piece]))
                    return Fail(errno, "cannot write " + request_.outputs[p]);
            }
        }
        return true;
    }

    const RecoveryRepair& request_;
    const Assessment& a_;
    const std::vector<uint16_t> inverse_;
    const std::vector<Par2::FoundSlice> chosen_;
    RecoveryResult& result_;
    const std::size_t m_;
    const int64_t sliceSize_, total_;
    const uint32_t inputs_;
    const std::vector<int64_t> starts_;
    BigFileBytes big_;
    std::vector<RecoveryIo::Reader> recoveryFiles_;
    std::vector<bool> isLost_;
    AlignedBuffer input_;
    Team team_;
    int64_t perPass_ = 0, work_ = 0, done_ = 0;
};

}  // namespace

RecoveryResult RepairPieces(const RecoveryRepair& request) {
    RecoveryResult result;
    if (!ValidRequest(request, result)) return result;
    const Par2::ScanResult scan = Par2::ScanFiles(request.recoveryFiles);
    const Assessment a = Assess(request, scan, result);
    if (a.set == nullptr || result.rebuildable < result.missing) {
        result.failure =
            Error(0, std::to_string(result.missing) + " pieces are missing or damaged; the recovery data can rebuild " +
                         std::to_string(result.rebuildable));
        return result;
    }
    std::vector<uint16_t> inverse;
    std::vector<Par2::FoundSlice> chosen;
    if (!ChooseSlices(a, inverse, chosen)) {
        result.rebuildable = 0;
        result.failure = Error(0, "the recovery data present cannot solve for these pieces");
        return result;
    }
    std::vector<RecoveryIo::Writer> outputs(request.lost.size());
    for (std::size_t p = 0; p < outputs.size(); ++p) {
        if (!outputs[p].Create(request.outputs[p])) {
            result.failure = Error(errno, "cannot create " + request.outputs[p]);
            return result;
        }
    }
    if (!Rebuild(request, a, std::move(inverse), std::move(chosen), result).Run(outputs)) return result;
    for (std::size_t p = 0; p < outputs.size(); ++p) {
        if (!outputs[p].Commit()) {
            result.failure = Error(errno, "cannot write " + request.outputs[p]);
            for (std::size_t q = 0; q < p; ++q) RecoveryIo::Remove(request.outputs[q]);
            return result;
        }
        result.files.push_back({request.outputs[p], request.pieceSizes[std::size_t(request.lost[p])], {}});
    }
    result.ok = true;
    return result;
}
