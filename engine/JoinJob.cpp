#include "engine/JoinJob.h"

#include "engine/SetFiles.h"
#include "engine/Staging.h"

#include <cerrno>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

JoinJob::JoinJob(JoinRequest request, const TransferServices& services)
    : TransferJob(services, false, request), request_(std::move(request)) {}

TransferOutcome JoinJob::Run() { return Reported(Transfer()); }

TransferOutcome JoinJob::Transfer() {
    if (PieceCount() == 0) return Refused(What::DisksNotEntered);  // nothing joined is not success
    // Written over, one of the set's own files would destroy what is joined.
    if (IsSetFile(request_.bigFile) || IsSetFile(LinkDestination(request_.bigFile))) {
        return Refused(What::TargetInSet, 0, 0, request_.bigFile);
    }
    if (request_.useChecksums && !TakeSetFromChecksums()) return outcome_;
    if (!request_.useChecksums) {
        const Leftovers left = FindLeftovers(request_.piecePrefix, request_.marker);
        if (!left.staging.empty()) outcome_.leftStaging = left.staging.front();
    }
    if (!OpenTarget()) return outcome_;
    if (!expected_.digests.empty() && !StartHasher()) return outcome_;
    StartShowing();
    if (!pausing_) {
        int64_t total = 0;
        for (int32_t n = 1; n <= PieceCount(); ++n) total += std::max<int64_t>(sizes_[std::size_t(n)], 0);
        meter_.Scale(total);
    }
    for (int32_t n = 1; n <= PieceCount(); ++n) {
        if (Stopped()) {
            Fail(What::Stopped);
            return outcome_;
        }
        if (pausing_) {
            if (!AskForDisk(n, false)) {
                Fail(What::DisksNotEntered);
                return outcome_;
            }
            view_.RepaintMainWindow();
        }
        if (!ReadPiece(n)) return outcome_;
    }
    return Finish();
}

// The set as its checksum file says, where there is one: the count and
// sizes, and the digests to compare with. Fails when the file is unfinished
// or damaged, or a piece it names is missing or of another size.
bool JoinJob::TakeSetFromChecksums() {
    using Status = LoadedSet::Status;
    const LoadedSet loaded = LoadSet(request_.piecePrefix, request_.marker, request_.bigFile);
    checksumFile_ = loaded.checksumPath;
    outcome_.leftStaging = loaded.leftStaging;
    switch (loaded.status) {
    case Status::NoChecksumFile: return true;  // made elsewhere, or before checksums: counted
    case Status::LinkNotTrusted: return Refuse(What::ReadLinkNotTrusted, 0, 0, loaded.untrustedLink);
    case Status::Unreadable: return Refuse(What::ChecksumsUnreadable, loaded.read.error, 0, checksumFile_);
    case Status::OtherSet:
        Refuse(What::ChecksumsOfOtherSet, 0, 0, checksumFile_);
        outcome_.related = loaded.related;
        return false;
    case Status::Unfinished:
        // What a killed split left: name the first planned piece not there.
        for (int32_t n = 1; n <= loaded.read.set.count; ++n) {
            const std::string name = request_.PieceNamed(n);
            if (FileSizeOf(name) < 0) return Refuse(What::PieceMissing, 0, 0, name);
        }
        return Refuse(What::ChecksumsUnfinished, 0, 0, checksumFile_);
    case Status::Damaged: return Refuse(What::ChecksumsDamaged, loaded.read.error, 0, checksumFile_);
    case Status::Ok: break;
    }
    expected_ = loaded.read.set;
    sizes_.assign(1, 0);
    sizes_.insert(sizes_.end(), expected_.sizes.begin(), expected_.sizes.end());
    SetPieceCount(expected_.count);
    if (pausing_) return true;  // the pieces come disk by disk: each is checked as it is read
    // Every piece is at hand: one that is missing or of another size fails
    // the join before anything is written.
    for (int32_t n = 1; n <= PieceCount(); ++n) {
        const std::string name = request_.PieceNamed(n);
        const std::string file = PieceFile(n);
        int error = 0;
        const int64_t size = FileSizeOf(file, &error);
        if (size == sizes_[std::size_t(n)]) continue;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(Paths::Native(name), ec)))
            return Refuse(What::PieceMissing, 0, 0, name);
        // One that is there but cannot be read says nothing of its bytes.
        if (size < 0) return Refuse(What::CannotReadPiece, error, n);
        return Refuse(What::PieceDamaged, 0, n, FileNamePart(name));
    }
    return true;
}

// The big file is written under a temporary name and takes the target's
// name only on success. A link is written through, to where it leads; a
// link that loops or leads into no folder is no place to write.
bool JoinJob::OpenTarget() {
    std::string untrusted;
    target_ = LinkDestination(request_.bigFile, &untrusted);
    if (!untrusted.empty()) return Refuse(What::LinkNotTrusted, 0, 0, untrusted);
    if (target_.empty()) return Refuse(What::CannotCreateBigFile);
    std::error_code ec;
    replacing_ = fs::exists(fs::status(Paths::Native(target_), ec));
    if (replacing_ && !MayReplace(target_)) return Refuse(What::CannotCreateBigFile);
    if (replacing_) ForgetCachedContents(target_);
    if (!bigOut_.Open(target_, mode_.buffered)) {
        return Refuse(What::CannotCreateBigFile, bigOut_.Error());
    }
    return true;
}

// The set's pieces (any number, by name or as the same file), its checksum
// file and its recovery files (<set>.par2, <set>.vol*.par2 beside the pieces).
bool JoinJob::IsSetFile(const std::string& name) const {
    if (name.empty()) return false;
    const std::string setName = FileNamePart(request_.piecePrefix), file = FileNamePart(name);
    // The checksum file is looked for beside the target as well: that name
    // is the set's wherever it lies.
    if (file == setName + request_.marker + kChecksumSuffix) return true;
    std::error_code ec;
    const auto normal = [&ec](const std::string& path) {
        return fs::absolute(Paths::Native(path), ec).lexically_normal().u8string();
    };
    if (normal(FolderOf(name)) == normal(FolderOf(request_.piecePrefix))) {
        const std::string head = setName + request_.marker, vol = setName + ".vol", par2 = ".par2";
        const auto endsWith = [&file](const std::string& end) {
            return file.size() >= end.size() && file.compare(file.size() - end.size(), end.size(), end) == 0;
        };
        if (file.compare(0, head.size(), head) == 0 && PieceNumberIn(file.substr(head.size())) > 0) return true;
        if (file == setName + par2 || (file.compare(0, vol.size(), vol) == 0 && endsWith(par2))) return true;
    }
    if (SameFile(name, request_.ChecksumsBesidePieces()) || SameFile(name, request_.piecePrefix + ".par2")) {
        return true;
    }
    for (int32_t n = 1; n <= PieceCount(); ++n) {
        if (SameFile(name, request_.PieceNamed(n))) return true;
    }
    return false;
}

// Piece n's file: the piece, or what was rebuilt in its place.
std::string JoinJob::PieceFile(int32_t n) const {
    const auto rebuilt = request_.rebuilt.find(n);
    return rebuilt != request_.rebuilt.end() ? rebuilt->second : request_.PieceNamed(n);
}

bool JoinJob::ReadPiece(int32_t n) {
    const std::string name = PieceFile(n);
    currentPiece_ = request_.PieceNamed(n);
    int error = 0;
    const int64_t size = FileSizeOf(name, &error);
    if (size < 0 || SameFile(name, target_)) return Fail(What::CannotReadPiece, size < 0 ? error : 0, n);
    // Another user's link in a shared folder may lead to a file the user running the join may read and they may not.
    const std::string untrusted = UntrustedLinkTo(name);
    if (!untrusted.empty()) return Fail(What::ReadLinkNotTrusted, 0, n, untrusted);
    if (pausing_) {
        // Only the pieces reached so far are known.
        sizes_[std::size_t(n)] = size;
        int64_t sumSoFar = 0;
        for (int32_t k = 1; k <= n; ++k) sumSoFar += sizes_[std::size_t(k)];
        meter_.PausingScale(sumSoFar, n, PieceCount());
    }
    Stream piece;
    errno = 0;
    if (!piece.Open(name, "rb", mode_.buffered)) return Fail(What::CannotReadPiece, errno, n);
    ShowPiece(n);
    const int64_t expected = sizes_[std::size_t(n)];
    Reserve(bigOut_.get(), done_, expected);
    if (hasher_) HashWhileCopying(bigOut_.get(), done_);
    error = 0;
    if (!Copy(piece.get(), bigOut_.get(), expected, error)) return Fail(What::SizesDiffer, error);
    errno = 0;
    if (!piece.Close()) return Fail(What::SizesDiffer, errno);
    // A piece that changed since it was measured is not the set's piece.
    if (FileSizeOf(name) != expected) return Fail(What::SizesDiffer);
    if (hasher_) {
        hasher_->EndPiece();
        // Before the next disk goes in, this one's piece is checked.
        if (!TakeDigests(n, pausing_)) return false;
    }
    done_ += expected;
    return true;
}

// Compares the digests that are ready (or, with `wait`, all up to piece
// upTo) with the checksum file's.
bool JoinJob::TakeDigests(int32_t upTo, bool wait) {
    BackgroundHasher::Digest digest;
    while (hashed_ < upTo &&
           (wait ? (digest = hasher_->WaitPiece(hashed_ + 1), true) : hasher_->PieceReady(hashed_ + 1, &digest))) {
        hashed_ += 1;
        // A piece that could not be read back is no damaged piece.
        if (!digest.ok) return Fail(What::CannotReadPiece, digest.error, hashed_);
        if (digest.hex != expected_.digests[std::size_t(hashed_ - 1)]) {
            return Fail(What::PieceDamaged, 0, hashed_, FileNamePart(request_.PieceNamed(hashed_)));
        }
    }
    return true;
}

TransferOutcome JoinJob::Finish() {
    view_.SelectPiece(-1);
    BackgroundHasher::Digest whole;
    if (hasher_) {
        whole = hasher_->Finish();
        if (!TakeDigests(PieceCount(), true)) return outcome_;
    }
    if (bigOut_.Size() != done_) {
        Fail(What::SizesDiffer, bigOut_.Error());
        return outcome_;
    }
    if (hasher_ && (!whole.ok || whole.hex != expected_.wholeDigest)) {
        Fail(What::JoinedFileDamaged, whole.error, 0, FileNamePart(target_));
        return outcome_;
    }
    // The flush takes its time before the last look at the stop flag: once
    // the target has its name, the join has happened.
    if (!bigOut_.Sync()) {
        Fail(What::SizesDiffer, bigOut_.Error());
        return outcome_;
    }
    if (Stopped()) {
        Fail(What::Stopped);
        return outcome_;
    }
    const bool checked = hasher_ != nullptr;
    view_.SetProgress(0);
    if (!bigOut_.Commit(replacing_)) return Refused(What::CannotCreateBigFile, bigOut_.Error());
    // The new name on the disk too, before the user reads that the file is
    // there. The data already is: a folder that cannot be flushed leaves at
    // worst the old entry after a power loss, and fails nothing now.
    SyncFolder(FolderOf(target_));
    outcome_.checked = checked;
    // The set joined whole: what killed runs left beside it is of no more use.
    RemoveLeftovers(FindLeftovers(request_.piecePrefix, request_.marker));
    outcome_.leftStaging.clear();
    return outcome_;
}

void JoinJob::Undo() { bigOut_.Abandon(); }
