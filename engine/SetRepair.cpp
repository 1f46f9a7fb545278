#include "engine/SetRepair.h"

#include "engine/FileAccess.h"
#include "engine/OutputFile.h"
#include "engine/PieceNaming.h"
#include "engine/Sha256.h"
#include "recovery/FileIo.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace {
void RemoveFile(const std::string& name) {
    std::error_code ec;
    fs::remove(Paths::Native(name), ec);
}
}  // namespace

RecoverySetWritten WriteRecoverySet(const std::string& bigFile, const std::vector<int64_t>& pieceSizes, int lostPieces,
                                    const std::string& folder, const std::string& checksumPath,
                                    const std::string& marker, const std::atomic<bool>* stop,
                                    const RecoveryProgress& progress) {
    RecoverySetWritten written;
    RecoveryCreate request;
    request.bigFile = bigFile;
    request.folder = folder;
    request.pieceSizes = pieceSizes;
    request.lostPieces = lostPieces;
    request.memoryLimit = kRecoveryMemoryBytes;
    request.stop = stop;
    request.progress = progress;
    const RecoveryResult made = CreateRecoveryFiles(request);
    written.plan = made.plan;
    written.stopped = made.stopped;
    written.error = made.failure.error;
    written.reason = made.failure.reason;
    if (!made.ok) return written;
    written.files = made.files;
    auto removeAll = [&] {
        for (const auto& f : made.files) RemoveFile(f.name);
    };
    if (!checksumPath.empty()) {
        const ChecksumRead read = ReadChecksumFile(checksumPath, marker);
        if (read.status != ChecksumRead::Status::Ok) {
            removeAll();
            written.reason = "the checksum file cannot be read back";
            written.error = read.error;
            return written;
        }
        ChecksumSet set = read.set;
        set.recoveryNames.clear();
        set.recoveryDigests.clear();
        for (const auto& f : made.files) {
            const FileDigest digest = HashFile(f.name);
            if (!digest.ok) {
                removeAll();
                written.error = digest.error;
                written.reason = "cannot read " + f.name;
                return written;
            }
            set.recoveryNames.push_back(RecoveryIo::BaseName(f.name));
            set.recoveryDigests.push_back(digest.hex);
        }
        ChecksumWriter writer;
        if (!writer.Rewrite(checksumPath, marker, set)) {
            removeAll();
            written.error = writer.LastError();
            written.reason = "cannot write " + checksumPath;
            return written;
        }
    }
    written.ok = true;
    return written;
}

std::vector<std::string> RecoveryFilesOf(const ChecksumSet& set, const std::string& pieceFolder,
                                         const std::string& checksumFolder) {
    std::vector<std::string> files = FindRecoveryFiles(pieceFolder, set.bigFileName);
    if (!checksumFolder.empty() && !SameFile(checksumFolder, pieceFolder)) {
        for (auto& f : FindRecoveryFiles(checksumFolder, set.bigFileName)) files.push_back(std::move(f));
    }
    return files;
}

namespace {

RecoveryRepair RequestFor(const ChecksumSet& set, const std::string& marker, const std::string& folder,
                          const std::vector<int32_t>& bad, const std::vector<std::string>& recoveryFiles) {
    RecoveryRepair request;
    request.recoveryFiles = recoveryFiles;
    request.name = set.bigFileName;
    request.pieceSizes = set.sizes;
    for (int32_t n = 1; n <= static_cast<int32_t>(set.sizes.size()); ++n) {
        request.pieces.push_back(Paths::InFolder(folder, set.PieceFileName(n, marker)));
    }
    for (const int32_t n : bad) {
        request.lost.push_back(n - 1);
        request.outputs.push_back(TemporaryNameBeside(request.pieces[static_cast<std::size_t>(n) - 1]));
    }
    request.memoryLimit = kRecoveryMemoryBytes;
    return request;
}

SetRepair From(const RecoveryResult& r) {
    SetRepair repair;
    repair.stopped = r.stopped;
    repair.error = r.failure.error;
    repair.reason = r.failure.reason;
    repair.missing = r.missing;
    repair.rebuildable = r.rebuildable;
    repair.passedOver = r.passedOver;
    return repair;
}

}  // namespace

SetRepair CountRebuildable(const ChecksumSet& set, const std::string& marker, const std::string& folder,
                           const std::vector<int32_t>& bad, const std::vector<std::string>& recoveryFiles) {
    SetRepair repair = From(CountRebuildable(RequestFor(set, marker, folder, bad, recoveryFiles)));
    repair.ok = true;
    return repair;
}

SetRepair RebuildPieces(const ChecksumSet& set, const std::string& marker, const std::string& folder,
                        const std::vector<int32_t>& bad, const std::vector<std::string>& recoveryFiles,
                        RebuildInto into, const std::atomic<bool>* stop, const RecoveryProgress& progress) {
    RecoveryRepair request = RequestFor(set, marker, folder, bad, recoveryFiles);
    request.stop = stop;
    request.progress = progress;
    const RecoveryResult result = RepairPieces(request);
    SetRepair repair = From(result);
    if (!result.ok) return repair;
    auto removeAll = [&] {
        for (const auto& out : request.outputs) RemoveFile(out);
    };
    // The recovery files may be those of another file of the same name and size.
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const FileDigest digest = HashFile(request.outputs[i]);
        if (!digest.ok || digest.hex != set.digests[static_cast<std::size_t>(bad[i]) - 1]) {
            removeAll();
            repair.foreignData = digest.ok;
            repair.error = digest.error;
            repair.reason = "piece " + std::to_string(bad[i]) + " came out different from its checksum";
            return repair;
        }
    }
    for (std::size_t i = 0; i < bad.size(); ++i) {
        std::string file = request.outputs[i];
        if (into == RebuildInto::Pieces) {
            const std::string& piece = request.pieces[static_cast<std::size_t>(bad[i]) - 1];
            std::error_code ec;
            fs::rename(Paths::Native(file), Paths::Native(piece), ec);
            if (ec) {
                removeAll();
                repair.error = ec.value();
                repair.reason = "cannot replace " + piece;
                return repair;
            }
            file = piece;
        }
        repair.rebuilt.push_back(bad[i]);
        repair.files.push_back(file);
    }
    repair.ok = true;
    return repair;
}
