// Writing a recovery set: the passes over the big file (or the pieces a
// copy writes), the index and the volumes, each under a temporary name
// first; and finding a set's files.
#include "recovery/BigFileBytes.h"
#include "recovery/Buffers.h"
#include "io/Digests.h"
#include "io/FileAccess.h"
#include "io/OutputFile.h"
#include "io/PositionedReader.h"
#include "recovery/Par2Packets.h"
#include "recovery/Recovery.h"
#include "recovery/RecoveryDetail.h"
#include "recovery/SliceFeed.h"
#include "recovery/Threads.h"
#include "recovery/WholeFileMd5.h"
#include "recovery/WrittenPieces.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace RecoveryDetail;

namespace {

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
            if (i == 0 || !beforeVolume_) RemoveFile(files_[i].name);
    }
    bool Declined() const { return declined_; }
    void SetCritical(std::string critical) { critical_ = std::move(critical); }

    bool WriteIndex(const std::string& content, RecoveryError& failure) {
        OutputFile w;
        const std::string path = Paths::InFolder(folder_, name_ + ".par2");
        if (!w.Open(path, false) || !w.Write(content.data(), content.size()) || !w.Commit(true)) {
            failure = Error(w.Error(), "cannot write " + path);
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
            Paths::InFolder(volumeFolder_, VolumeName(name_, first, count, plan_.recoverySlices));
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
        bool ok = true;
        if (exponent == first) {
            ok = open_.Open(path, false);
            // Written once and never read back here: past the cache where it can.
            if (ok) (void)open_.WriteAroundCache();
            ok = ok && Write(critical_.data(), critical_.size());
        }
        ok = ok && Write(header.data(), header.size()) && Write(data, size);
        if (ok && exponent + 1 == first + count) {
            const int64_t bytes = open_.Written();
            ok = open_.Commit(true);
            if (ok) files_.push_back({path, bytes, TakeSha256()});
        }
        if (!ok) failure = Error(open_.Error() != 0 ? open_.Error() : errno, "cannot write " + path);
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
    OutputFile open_;
    std::vector<RecoveryFile> files_;
    bool finished_ = false;
};

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
    PositionedReader check;
    if (!check.Open(request.bigFile)) return (failure = Error(errno, "cannot open " + request.bigFile), false);
    if (check.Size() == total) return true;
    failure = Error(0, request.bigFile + " is not the size of its pieces together");
    return false;
}

// Once the first pass has every slice's checksums and the whole file's MD5
// is in: the set's packets, and the index written.
bool WriteSetIndex(WholeFileMd5& whole, const std::string& name, int64_t total,
                   const std::vector<Par2::SliceChecksum>& checksums, const RecoveryCreate& request, SetWriter& writer,
                   Par2::Id& setId, RecoveryResult& result) {
    Md5Digest wholeMd5{}, first16k{};
    if (!whole.Wait(wholeMd5, first16k, result.failure)) {
        result.stopped = Stopped(request.stop);
        return false;
    }
    const SetPackets packets = PacketsFor(result.plan, name, total, wholeMd5, first16k, checksums);
    writer.SetCritical(packets.critical);
    setId = packets.setId;
    return writer.WriteIndex(packets.index, result.failure);
}

// A pass's rows into the volumes: the recovery slices from firstRow on.
bool AddRows(SetWriter& writer, const Par2::Id& setId, uint32_t firstRow, const Rows& out, RecoveryResult& result) {
    for (uint32_t r = 0; r < out.Count(); ++r) {
        if (!writer.Add(setId, firstRow + r, out.Row(r), result.failure)) {
            result.declined = writer.Declined();
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> FindRecoveryFiles(const std::string& folder, const std::string& name) {
    std::vector<std::string> found;
    const std::string volume = name + ".vol";
    for (const auto& entry : FolderEntryNames(folder)) {
        const bool isVolume = entry.size() > volume.size() + 5 && entry.compare(0, volume.size(), volume) == 0 &&
                              entry.compare(entry.size() - 5, 5, ".par2") == 0;
        if (entry == name + ".par2" || isVolume) found.push_back(Paths::InFolder(folder, entry));
    }
    std::sort(found.begin(), found.end());
    return found;
}

namespace {

RecoveryResult Create(const RecoveryCreate& request) {
    RecoveryResult result;
    const std::string name = request.name.empty() ? FileNamePart(request.bigFile) : request.name;
    result.plan = PlanRecovery(request.pieceSizes, request.lostPieces, request.largestFile, name);
    const RecoveryPlan& plan = result.plan;
    if (!plan.ok) {
        result.failure = plan.failure;
        return result;
    }
    const int64_t total = SumOf(request.pieceSizes);
    if (request.written && request.written->Sizes() != request.pieceSizes) {
        result.failure = Error(EINVAL, "the pieces written are not those planned");
        return result;
    }
    if (!request.written && !BigFileFits(request, total, result.failure)) return result;
    // Each reader its own: the slices and the whole file's MD5 go through different parts at a time.
    const auto source = [&] {
        return request.written ? BigFileBytes(request.written, request.stop) : BigFileBytes({request.bigFile}, {total});
    };
    BigFileBytes big = source();
    const uint32_t rowsPerPass =
        uint32_t(std::clamp<int64_t>(request.memoryLimit / plan.sliceSize, 1, plan.recoverySlices));
    const uint32_t passes = (plan.recoverySlices + rowsPerPass - 1) / rowsPerPass;
    const int64_t work = total * passes;
    // The whole file's MD5 is the one chain of steps no core can share:
    // beside a copy that keeps both cores busy it comes first, and the
    // slices' work, which can wait, runs below it.
    WholeFileMd5 whole(source(), request.stop);
    const ThreadPriority below(ThreadPriority::Below);
    Team team;
    std::vector<Par2::SliceChecksum> checksums(plan.inputSlices);
    SetWriter writer(request, request.fileStem.empty() ? name : request.fileStem, plan);
    Par2::Id setId{};
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
        if (pass == 0 && !WriteSetIndex(whole, name, total, checksums, request, writer, setId, result)) return result;
        if (!AddRows(writer, setId, firstRow, out, result)) return result;
    }
    result.files = writer.Finish();
    result.ok = true;
    return result;
}

}  // namespace

RecoveryResult CreateRecoveryFiles(const RecoveryCreate& request) {
    return Guarded([&] { return Create(request); });
}
