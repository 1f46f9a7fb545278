#include "engine/SetRepair.h"

#include "io/FileAccess.h"
#include "io/OutputFile.h"
#include "engine/PieceNaming.h"
#include "io/Sha256.h"
#include "io/Paths.h"
#include "io/PositionedReader.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;


RecoveryCreate RecoveryRequest(const std::string& bigFile, const std::vector<int64_t>& pieceSizes, int lostPieces,
                               const std::string& folder) {
    RecoveryCreate request;
    request.bigFile = bigFile;
    request.folder = folder;
    request.pieceSizes = pieceSizes;
    request.lostPieces = lostPieces;
    request.memoryLimit = RecoveryMemoryLimit();
    return request;
}

RecoveryPlan PlanRecoveryFiles(const std::vector<int64_t>& pieceSizes, int lostPieces, const std::string& bigFile) {
    // No recovery file larger than a piece, so that each fits the pieces' medium.
    const int64_t largest = pieceSizes.empty() ? 0 : *std::max_element(pieceSizes.begin(), pieceSizes.end());
    return PlanRecovery(pieceSizes, lostPieces, largest, FileNamePart(bigFile));
}

bool ListingOf(const std::vector<RecoveryFile>& files, RecoveryListing& listing) {
    for (const auto& f : files) {
        const FileDigest digest = f.sha256.empty() ? HashFile(f.name) : FileDigest{true, 0, f.bytes, f.sha256};
        if (!digest.ok) {
            listing.error = digest.error;
            return false;
        }
        listing.names.push_back(FileNamePart(f.name));
        listing.digests.push_back(digest.hex);
    }
    return true;
}

bool ListRecoveryFiles(const std::string& checksumPath, const std::string& marker,
                       const std::vector<RecoveryFile>& files, RecoverySetWritten& written) {
    auto fail = [&](int error, std::string reason) {
        written.ok = false;
        written.error = error;
        written.reason = std::move(reason);
        return false;
    };
    const ChecksumRead read = ReadChecksumFile(checksumPath, marker);
    if (read.status != ChecksumRead::Status::Ok) return fail(read.error, "the checksum file cannot be read back");
    ChecksumSet set = read.set;
    RecoveryListing listing;
    if (!ListingOf(files, listing)) return fail(listing.error, "cannot read a recovery file");
    set.recoveryNames = std::move(listing.names);
    set.recoveryDigests = std::move(listing.digests);
    ChecksumWriter writer;
    if (!writer.Rewrite(checksumPath, marker, set)) return fail(writer.LastError(), "cannot write " + checksumPath);
    return true;
}

RecoverySetWritten WriteRecoverySet(const std::string& bigFile, const std::vector<int64_t>& pieceSizes, int lostPieces,
                                    const std::string& folder, const std::string& checksumPath,
                                    const std::string& marker, const std::atomic<bool>* stop,
                                    const RecoveryProgress& progress) {
    RecoverySetWritten written;
    RecoveryCreate request = RecoveryRequest(bigFile, pieceSizes, lostPieces, folder);
    request.stop = stop;
    request.progress = progress;
    const RecoveryResult made = CreateRecoveryFiles(request);
    written.plan = made.plan;
    written.stopped = made.stopped;
    written.error = made.failure.error;
    written.reason = made.failure.reason;
    if (!made.ok) return written;
    written.files = made.files;
    if (!checksumPath.empty() && !ListRecoveryFiles(checksumPath, marker, made.files, written)) {
        for (const auto& f : made.files) RemoveFile(f.name);
        return written;
    }
    written.ok = true;
    return written;
}

RecoveryTask::RecoveryTask(RecoveryCreate request) : request_(std::move(request)), outerStop_(request_.stop) {
    request_.stop = &stop_;
    request_.progress = [this](int64_t done, int64_t total) {
        // The caller's stop reaches the work here, between its steps.
        if (outerStop_ != nullptr && outerStop_->load()) stop_ = true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = done;
            total_ = total;
            ++moves_;
        }
        changed_.notify_all();
    };
    try {
        thread_ = std::thread([this] {
            // CreateRecoveryFiles turns what its work throws into a failure;
            // what is left (the result's own memory) must not end the process either.
            RecoveryResult result;
            try {
                result = CreateRecoveryFiles(request_);
            } catch (...) {
                result = RecoveryResult{};
                result.failure.error = ENOMEM;
                result.failure.reason = "not enough memory";
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                result_ = std::move(result);
                finished_ = true;
            }
            changed_.notify_all();
        });
    } catch (const std::system_error& e) {
        result_.failure.error = e.code().value();
        result_.failure.reason = "cannot start a thread";
        finished_ = true;
    }
}

RecoveryTask::~RecoveryTask() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

RecoveryResult RecoveryTask::Wait(const std::atomic<bool>* stop, const RecoveryProgress& progress) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Progress made before the wait, and the last made before the end, are
    // shown too: the bar ends where the work did.
    uint64_t seen = 0;
    for (;;) {
        changed_.wait(lock, [&] { return finished_ || moves_ != seen; });
        if (stop != nullptr && stop->load()) stop_ = true;
        if (moves_ != seen) {
            seen = moves_;
            if (!progress || total_ <= 0) continue;
            const int64_t done = done_, total = total_;
            lock.unlock();
            progress(done, total);
            lock.lock();
            continue;
        }
        if (finished_) break;
    }
    lock.unlock();
    if (thread_.joinable()) thread_.join();
    return result_;
}

TransferOutcome::What FailedWhat(RecoveryError::Step step) {
    using What = TransferOutcome::What;
    switch (step) {
    case RecoveryError::Step::Read: return What::ReadFailed;
    case RecoveryError::Step::Write: return What::WriteFailed;
    case RecoveryError::Step::Flush: return What::FlushFailed;
    case RecoveryError::Step::None: break;
    }
    return What::Done;
}

std::vector<std::string> RecoveryFilesOf(const ChecksumSet& set, const std::string& pieceFolder,
                                         const std::string& checksumFolder) {
    const bool twoFolders = !checksumFolder.empty() && !SameFile(checksumFolder, pieceFolder);
    std::vector<std::string> files;
    auto add = [&](const std::string& path) {
        if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
    };
    // Those the checksum file lists first: they are read, and trusted, first.
    for (const std::string& name : set.recoveryNames) {
        for (const std::string& folder : {pieceFolder, twoFolders ? checksumFolder : pieceFolder}) {
            const std::string path = Paths::InFolder(folder, name);
            if (FileSizeOf(path) >= 0) add(path);
        }
    }
    // Others named after the big file: made by another tool, or planted.
    for (const std::string& path : FindRecoveryFiles(pieceFolder, set.bigFileName)) add(path);
    if (twoFolders) {
        for (const std::string& path : FindRecoveryFiles(checksumFolder, set.bigFileName)) add(path);
    }
    return files;
}

bool HashRangeUnlessStopped(std::FILE* file, int64_t offset, int64_t length, Sha256& hash,
                            const std::atomic<bool>* stop, int* error, bool* stopped) {
    // Small enough that a stop is answered within a moment on a slow disk.
    constexpr int64_t kStepBytes = 4 << 20;
    for (int64_t done = 0; done < length;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            if (stopped != nullptr) *stopped = true;
            return false;
        }
        const int64_t step = std::min(kStepBytes, length - done);
        if (!HashFileRange(file, offset + done, step, hash, error)) return false;
        done += step;
    }
    return true;
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
    request.memoryLimit = RecoveryMemoryLimit();
    return request;
}

// A recovery file's SHA-256 in hex, opened as only regular files are: a
// FIFO planted under its name cannot hold the repair. Empty when it cannot
// be read, or on a stop.
std::string Sha256OfRegularFile(const std::string& name, const std::atomic<bool>* stop) {
    PositionedReader file;
    if (!file.Open(name)) return {};
    const int64_t size = file.Size();
    Sha256 hash;
    std::vector<char> buffer(std::size_t(1) << 20);
    for (int64_t at = 0; at < size;) {
        if (stop != nullptr && *stop) return {};
        const auto n = static_cast<std::size_t>(std::min<int64_t>(int64_t(buffer.size()), size - at));
        if (!file.ReadAt(buffer.data(), n, at)) return {};
        hash.Update(buffer.data(), n);
        at += int64_t(n);
    }
    return size < 0 ? std::string() : hash.Final();
}

// The recovery files whose SHA-256 the checksum file gives go first, and
// are trusted: a file planted beside them cannot shadow their slices.
void TrustListed(const ChecksumSet& set, RecoveryRepair& request, const std::atomic<bool>* stop) {
    std::vector<std::string> trusted, others;
    for (const std::string& file : request.recoveryFiles) {
        bool listed = false;
        if (!set.recoveryDigests.empty()) {
            const std::string hex = Sha256OfRegularFile(file, stop);
            listed = !hex.empty() && std::find(set.recoveryDigests.begin(), set.recoveryDigests.end(), hex) !=
                                         set.recoveryDigests.end();
        }
        (listed ? trusted : others).push_back(file);
    }
    request.trustedFiles = trusted.size();
    request.recoveryFiles = std::move(trusted);
    request.recoveryFiles.insert(request.recoveryFiles.end(), others.begin(), others.end());
}

// `pieces`: every piece's own name, for a failure in a piece's file (the
// rebuilt ones are written under temporary names); empty for none.
SetRepair From(const RecoveryResult& r, const std::vector<std::string>& pieces = {}) {
    SetRepair repair;
    repair.stopped = r.stopped;
    repair.error = r.failure.error;
    repair.reason = r.failure.reason;
    repair.failedStep = r.failure.step;
    repair.failedFile = r.failure.file;
    repair.failedPiece = r.failure.piece >= 0 ? r.failure.piece + 1 : 0;
    if (r.failure.piece >= 0 && std::size_t(r.failure.piece) < pieces.size())
        repair.failedFile = pieces[std::size_t(r.failure.piece)];
    repair.missing = r.missing;
    repair.rebuildable = r.rebuildable;
    repair.passedOver = r.passedOver;
    repair.otherVersion = r.otherVersion;
    repair.foreignData = r.notFitting;
    return repair;
}

// The rebuilt pieces take their names, each with the mode of the piece it
// replaces (or of a sound piece of the set). One that cannot is named, and
// the others still go in place.
SetRepair PutInPlace(const RecoveryRepair& request, const std::vector<int32_t>& bad, SetRepair repair) {
    int soundMode = -1;
    for (std::size_t p = 0; p < request.pieces.size() && soundMode < 0; ++p) {
        if (std::find(bad.begin(), bad.end(), static_cast<int32_t>(p + 1)) == bad.end())
            soundMode = PermissionsOf(request.pieces[p]);
    }
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const std::string& piece = request.pieces[static_cast<std::size_t>(bad[i]) - 1];
        const int mode = PermissionsOf(piece);
        SetPermissions(request.outputs[i], mode >= 0 ? mode : soundMode);
        std::error_code ec;
        fs::rename(Paths::Native(request.outputs[i]), Paths::Native(piece), ec);
        if (ec) {
            RemoveFile(request.outputs[i]);
            if (repair.error == 0) repair.error = ec.value();
            repair.notPlaced.push_back(bad[i]);
            continue;
        }
        repair.rebuilt.push_back(bad[i]);
        repair.files.push_back(piece);
    }
    repair.ok = repair.notPlaced.empty();
    if (!repair.ok) repair.reason = "a rebuilt piece could not take its name";
    return repair;
}

}  // namespace

SetRepair CountRebuildable(const ChecksumSet& set, const std::string& marker, const std::string& folder,
                           const std::vector<int32_t>& bad, const std::vector<std::string>& recoveryFiles,
                           uint32_t slicesToCome) {
    RecoveryRepair request = RequestFor(set, marker, folder, bad, recoveryFiles);
    TrustListed(set, request, nullptr);
    SetRepair repair = From(CountRebuildable(request, slicesToCome));
    repair.ok = true;
    return repair;
}

SetRepair RebuildPieces(const ChecksumSet& set, const std::string& marker, const std::string& folder,
                        const std::vector<int32_t>& bad, const std::vector<std::string>& recoveryFiles,
                        RebuildInto into, const std::atomic<bool>* stop, const RecoveryProgress& progress) {
    RecoveryRepair request = RequestFor(set, marker, folder, bad, recoveryFiles);
    request.stop = stop;
    request.progress = progress;
    TrustListed(set, request, stop);
    // The recovery files may be those of another file of the same name and
    // size, or carry slices planted among them: a rebuilt piece is taken
    // only with the checksum file's digest.
    int32_t differs = 0;
    int error = 0;
    request.rebuiltFits = [&](std::size_t i) {
        Sha256 hash;
        std::FILE* in = OpenFile(request.outputs[i], "rb");
        const int64_t size = set.sizes[static_cast<std::size_t>(bad[i]) - 1];
        const bool read = in != nullptr && HashRangeUnlessStopped(in, 0, size, hash, stop, &error, nullptr) &&
                          FileSizeOf(request.outputs[i]) == size;
        if (in == nullptr) error = errno;
        if (in != nullptr) std::fclose(in);
        const bool fits = read && hash.Final() == set.digests[static_cast<std::size_t>(bad[i]) - 1];
        if (!fits && differs == 0) differs = bad[i];
        return fits;
    };
    const RecoveryResult result = RepairPieces(request);
    SetRepair repair = From(result, request.pieces);
    if (!result.ok) {
        // A rebuilt piece that could not be read back says nothing of the recovery files.
        if (repair.foreignData && error != 0) {
            repair.foreignData = false;
            repair.error = error;
            repair.failedStep = RecoveryError::Step::Read;
            repair.failedPiece = differs;
            repair.failedFile = request.pieces[static_cast<std::size_t>(differs) - 1];
            repair.reason = "cannot read a rebuilt piece back";
        } else if (repair.foreignData) {
            repair.reason = "piece " + std::to_string(differs) + " came out different from its checksum";
        }
        return repair;
    }
    (void)into;  // the one place there is
    return PutInPlace(request, bad, repair);
}

SetRepair RebuildIntoBigFile(const ChecksumSet& set, const std::vector<int32_t>& bad,
                             const std::vector<std::string>& recoveryFiles, OutputFile& target,
                             const std::atomic<bool>* stop, const RecoveryProgress& progress) {
    RecoveryRepair request;
    request.recoveryFiles = recoveryFiles;
    request.name = set.bigFileName;
    request.pieceSizes = set.sizes;
    for (const int32_t n : bad) request.lost.push_back(n - 1);
    request.memoryLimit = RecoveryMemoryLimit();
    request.stop = stop;
    request.progress = progress;
    request.into = &target;
    TrustListed(set, request, stop);
    std::vector<int64_t> starts(1, 0);
    for (const int64_t size : set.sizes) starts.push_back(starts.back() + size);
    // The recovery files may be those of another file of the same name and
    // size, or carry slices planted among them: each rebuilt range is
    // checked as it now lies in the target.
    int32_t differs = 0;
    int error = 0;
    request.rebuiltFits = [&](std::size_t p) {
        const auto i = static_cast<std::size_t>(bad[p]) - 1;
        Sha256 hash;
        const bool read = HashRangeUnlessStopped(target.get(), starts[i], set.sizes[i], hash, stop, &error, nullptr);
        const bool fits = read && hash.Final() == set.digests[i];
        if (!fits && differs == 0) differs = bad[p];
        return fits;
    };
    const RecoveryResult result = RepairPieces(request);
    SetRepair repair = From(result);
    if (!result.ok) {
        if (repair.foreignData && error != 0) {
            repair.foreignData = false;
            repair.error = error;
            repair.failedStep = RecoveryError::Step::Read;
            repair.reason = "cannot read the joined file";
        } else if (repair.foreignData) {
            repair.rebuilt = {differs};
            repair.reason = "piece " + std::to_string(differs) + " came out different from its checksum";
        }
        return repair;
    }
    repair.rebuilt = bad;
    repair.ok = true;
    return repair;
}
