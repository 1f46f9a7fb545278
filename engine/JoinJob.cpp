#include "engine/JoinJob.h"

#include "engine/SetFiles.h"
#include "engine/SetRepair.h"
#include "engine/Staging.h"
#include "io/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {
// Moves the stream, and the descriptor under it, to `offset`: the next
// piece goes after a range left for the rebuild.
bool SeekTo(std::FILE* file, int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}
}  // namespace

JoinJob::JoinJob(JoinRequest request, const TransferServices& services)
    : TransferJob(services, false, request), request_(std::move(request)) {}

TransferOutcome JoinJob::Run() { return Reported(Transfer()); }

TransferOutcome JoinJob::Transfer() {
    // Nothing joined is not success; with a checksum file, the set is counted there (piece 1 may be lost).
    if (PieceCount() == 0 && !request_.useChecksums) return Refused(What::DisksNotEntered);
    // Written over, one of the set's own files would destroy what is joined.
    if (IsSetFile(request_.bigFile) || IsSetFile(LinkDestination(request_.bigFile))) {
        return Refused(What::TargetInSet, 0, 0, request_.bigFile);
    }
    if (request_.useChecksums && !TakeSetFromChecksums()) return outcome_;
    if (PieceCount() == 0) {
        Refuse(What::DisksNotEntered);
        return outcome_;
    }
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
        if (IsLeft(n)) {
            SkipPiece(n);
            continue;
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
    // Disk by disk, the recovery files are gathered after the last piece.
    if (!pausing_) recoveryFiles_ = loaded.recoveryFiles;
    mayRebuild_ = pausing_ ? !expected_.recoveryNames.empty() : !recoveryFiles_.empty();
    sizes_.assign(1, 0);
    sizes_.insert(sizes_.end(), expected_.sizes.begin(), expected_.sizes.end());
    SetPieceCount(expected_.count);
    if (pausing_) return true;  // the pieces come disk by disk: each is checked as it is read
    // Every piece is at hand: one that is missing or of another size is
    // left to the recovery files, or fails the join before anything is
    // written; so do more of them than the recovery files can rebuild.
    for (int32_t n = 1; n <= PieceCount(); ++n) {
        const std::string name = request_.PieceNamed(n);
        int error = 0;
        const int64_t size = FileSizeOf(name, &error);
        if (size == sizes_[std::size_t(n)]) continue;
        std::error_code ec;
        const bool missing = !fs::exists(fs::symlink_status(Paths::Native(name), ec));
        if (LeavePiece(n, missing)) continue;
        if (missing) return Refuse(What::PieceMissing, 0, 0, name);
        // One that is there but cannot be read says nothing of its bytes.
        if (size < 0) return Refuse(What::CannotReadPiece, error, n);
        return Refuse(What::PieceDamaged, 0, n, FileNamePart(name));
    }
    return EnoughRecovery();
}

bool JoinJob::IsLeft(int32_t n) const {
    return std::count(missing_.begin(), missing_.end(), n) + std::count(damaged_.begin(), damaged_.end(), n) > 0;
}

std::vector<int32_t> JoinJob::LeftPieces() const {
    std::vector<int32_t> left = missing_;
    left.insert(left.end(), damaged_.begin(), damaged_.end());
    std::sort(left.begin(), left.end());
    return left;
}

bool JoinJob::LeavePiece(int32_t n, bool missing) {
    if (!mayRebuild_) return false;
    if (!IsLeft(n)) (missing ? missing_ : damaged_).push_back(n);
    return true;
}

bool JoinJob::EnoughRecovery(uint32_t slicesToCome) {
    if (missing_.empty() && damaged_.empty()) return true;
    const SetRepair count = CountRebuildable(expected_, request_.marker, FolderOf(request_.piecePrefix), LeftPieces(),
                                             recoveryFiles_, slicesToCome);
    if (count.rebuildable >= count.missing) return true;
    Refuse(What::RecoveryTooFew);
    outcome_.missing = count.missing;
    outcome_.rebuildable = count.rebuildable;
    outcome_.recoveryOfOtherVersion = count.otherVersion && count.rebuildable == 0;
    outcome_.missingPieces = missing_;
    outcome_.damagedPieces = damaged_;
    std::sort(outcome_.missingPieces.begin(), outcome_.missingPieces.end());
    std::sort(outcome_.damagedPieces.begin(), outcome_.damagedPieces.end());
    return false;
}

// A left piece's range stays as it is until the rebuild; the piece list
// and the bar go on as if it had been read.
void JoinJob::SkipPiece(int32_t n) {
    currentPiece_ = request_.PieceNamed(n);
    ShowPiece(n);
    PassOver(n);
}

// What was copied of a piece found damaged on the way is written over by the rebuild.
void JoinJob::LeaveCopiedPiece(int32_t n) {
    meter_.copied = nullptr;
    meter_.Rewind(done_);
    PassOver(n);
}

void JoinJob::ScaleForPausing(int32_t n) {
    int64_t sumSoFar = 0;
    for (int32_t k = 1; k <= n; ++k) sumSoFar += sizes_[std::size_t(k)];
    meter_.PausingScale(sumSoFar, n, PieceCount());
}

void JoinJob::PassOver(int32_t n) {
    if (pausing_) ScaleForPausing(n);
    const int64_t size = sizes_[std::size_t(n)];
    done_ += size;
    meter_.Advance(size);
    seekBeforeNext_ = true;
    // The hasher counts pieces by their ends: this one's digest is not looked at.
    if (hasher_) hasher_->EndPiece();
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

bool JoinJob::ReadPiece(int32_t n) {
    const std::string name = request_.PieceNamed(n);
    currentPiece_ = name;
    int error = 0;
    const int64_t size = FileSizeOf(name, &error);
    if (SameFile(name, target_)) return Fail(What::CannotReadPiece, 0, n);
    if (size < 0) {
        std::error_code ec;
        const bool missing = !fs::exists(fs::symlink_status(Paths::Native(name), ec));
        if (!LeavePiece(n, missing)) return Fail(What::CannotReadPiece, error, n);
        SkipPiece(n);
        return true;
    }
    // Another user's link in a shared folder may lead to a file the user running the join may read and they may not.
    const std::string untrusted = UntrustedLinkTo(name);
    if (!untrusted.empty()) return Fail(What::ReadLinkNotTrusted, 0, n, untrusted);
    if (pausing_) {
        // A piece of another size than its checksum file says is damaged.
        if (!expected_.digests.empty() && size != sizes_[std::size_t(n)] && LeavePiece(n, false)) {
            SkipPiece(n);
            return true;
        }
        // Only the pieces reached so far are known.
        sizes_[std::size_t(n)] = size;
        ScaleForPausing(n);
    }
    Stream piece;
    errno = 0;
    if (!piece.Open(name, "rb", mode_.buffered)) {
        if (!LeavePiece(n, false)) return Fail(What::CannotReadPiece, errno, n);
        SkipPiece(n);
        return true;
    }
    const int64_t expected = sizes_[std::size_t(n)];
    if (seekBeforeNext_) {
        if (!SeekTo(bigOut_.get(), done_)) return Fail(What::WriteFailed, errno, 0, target_);
        seekBeforeNext_ = false;
    }
    ShowPiece(n);
    Reserve(bigOut_.get(), done_, expected);
    if (hasher_) HashWhileCopying(bigOut_.get(), done_);
    error = 0;
    if (!Copy(piece.get(), bigOut_.get(), expected, error)) {
        // A piece that ends early or cannot be read is a damaged one; a
        // target that cannot be written, or a stop, fails the join.
        const bool pieceFault = !Stopped() && (error == 0 || std::ferror(piece.get()) != 0);
        if (!pieceFault) return Fail(What::WriteFailed, error, 0, target_);
        if (!LeavePiece(n, false)) {
            return error == 0 ? Fail(What::SizesDiffer) : Fail(What::ReadFailed, error, n, name);
        }
        LeaveCopiedPiece(n);
        return true;
    }
    errno = 0;
    if (!piece.Close()) return Fail(What::ReadFailed, errno, n, name);
    // A piece that changed since it was measured is not the set's piece.
    if (FileSizeOf(name) != expected) {
        if (!LeavePiece(n, false)) return Fail(What::SizesDiffer);
        LeaveCopiedPiece(n);
        return true;
    }
    if (hasher_) {
        hasher_->EndPiece();
        // Before the next disk goes in, this one's piece is checked.
        if (!TakeDigests(n, pausing_)) return false;
    }
    // The disk writes this piece's bytes while the next one is copied: the
    // one flush at the end then has little left to wait for.
    bigOut_.StartWriteBack(done_, expected);
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
        if (IsLeft(hashed_)) continue;  // left to the recovery files: its bytes are not the piece's
        if (digest.hex != expected_.digests[std::size_t(hashed_ - 1)] && !LeavePiece(hashed_, false)) {
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
    if (!missing_.empty() || !damaged_.empty()) {
        if (pausing_ && !GatherRecoveryFiles()) return outcome_;
        // Damage found while copying may be more than the recovery files can make up for.
        if (!EnoughRecovery()) {
            hasher_.reset();
            Undo();
            view_.SetProgress(0);
            return outcome_;
        }
        if (!RebuildLeftPieces()) return outcome_;
        // The whole file's bytes came in two goes: they are hashed again as they now lie.
        Sha256 hash;
        whole = {};
        whole.ok = HashRangeUnlessStopped(bigOut_.get(), 0, done_, hash, services_.stop, &whole.error, nullptr);
        if (Stopped()) {
            Fail(What::Stopped);
            return outcome_;
        }
        if (whole.ok) whole.hex = hash.Final();
    }
    const int64_t joined = bigOut_.Size();
    if (joined != done_) {
        if (joined < 0 || bigOut_.Error() != 0) {
            Fail(What::WriteFailed, bigOut_.Error(), 0, target_);
        } else {
            Fail(What::SizesDiffer);
        }
        return outcome_;
    }
    if (hasher_ && (!whole.ok || whole.hex != expected_.wholeDigest)) {
        Fail(What::JoinedFileDamaged, whole.error, 0, FileNamePart(target_));
        return outcome_;
    }
    // The flush takes its time before the last look at the stop flag: once
    // the target has its name, the join has happened.
    if (!bigOut_.Sync()) {
        Fail(What::FlushFailed, bigOut_.Error(), 0, target_);
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

// Disk by disk: the recovery files the checksum file lists, after the last
// piece. Those beside the checksum file stay at hand (a split onto disks
// leaves the index there); each volume is on a disk of its own after the
// pieces', asked for as a piece's is, and copied beside the target before
// its disk goes. Too few to rebuild the pieces left is said before any
// disk is asked for.
bool JoinJob::GatherRecoveryFiles() {
    const std::vector<std::string>& names = expected_.recoveryNames;
    const std::string sums = FolderOf(checksumFile_), drive = FolderOf(request_.piecePrefix);
    const bool sumsOnDrive = SameFile(sums, drive);
    std::vector<std::size_t> toCome;
    uint32_t slicesToCome = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string beside = Paths::InFolder(sums, names[i]), inDrive = Paths::InFolder(drive, names[i]);
        if (!sumsOnDrive && FileSizeOf(beside) >= 0 && UntrustedLinkTo(beside).empty()) {
            recoveryFiles_.push_back(beside);
        } else if (FileSizeOf(inDrive) >= 0 && UntrustedLinkTo(inDrive).empty()) {
            if (!CopyRecoveryFile(inDrive)) return false;  // the disk in the drive now goes with the next question
        } else if (i > 0) {
            toCome.push_back(i);
            slicesToCome += RecoverySlicesNamed(names[i]);
        }
    }
    if (!recoveryFiles_.empty() && !EnoughRecovery(slicesToCome)) {
        hasher_.reset();
        Undo();
        view_.SetProgress(0);
        return false;
    }
    for (const std::size_t i : toCome) {
        if (Stopped()) return Fail(What::Stopped);
        if (!AskForDisk(PieceCount() + static_cast<int32_t>(i), false,
                        services_.Text(EngineEntry::RecoveryFileInDrive))) {
            return Fail(What::DisksNotEntered);
        }
        view_.RepaintMainWindow();
        const std::string inDrive = Paths::InFolder(drive, names[i]);
        // A disk without its volume leaves the others to make up for it.
        if (FileSizeOf(inDrive) >= 0 && UntrustedLinkTo(inDrive).empty() && !CopyRecoveryFile(inDrive)) return false;
    }
    return true;
}

bool JoinJob::CopyRecoveryFile(const std::string& name) {
    const std::string copy = TemporaryNameBeside(target_);
    std::error_code ec;
    fs::copy_file(Paths::Native(name), Paths::Native(copy), ec);
    if (ec) {
        RemoveFile(copy);
        return Fail(What::CannotCreateBigFile, ec.value());
    }
    copies_.Add(copy);
    recoveryFiles_.push_back(copy);
    return true;
}

JoinJob::Copies::~Copies() {
    locks_.clear();
    for (const std::string& name : names_) RemoveFile(name);
}

void JoinJob::Copies::Add(const std::string& name) {
    names_.push_back(name);
    // Held while in use: no other run takes it for a leftover.
    locks_.emplace_back();
    locks_.back().Take(name);
}

// The left pieces rebuilt from the recovery files straight into the
// target, each checked against the checksum file.
bool JoinJob::RebuildLeftPieces() {
    const std::vector<int32_t> left = LeftPieces();
    view_.StartRebuilding(left);
    const auto progress = [this](int64_t done, int64_t total) {
        view_.SetProgress(std::max(1, ProgressPosition(done, total)));
    };
    const SetRepair repair = RebuildIntoBigFile(expected_, left, recoveryFiles_, bigOut_, services_.stop, progress);
    if (repair.ok) {
        outcome_.rebuilt = left;
        return true;
    }
    if (repair.stopped || Stopped()) return Fail(What::Stopped);
    if (repair.foreignData) return Fail(What::RebuiltPieceDiffers, 0, repair.rebuilt.front());
    if (repair.rebuildable < repair.missing) {
        Fail(What::RecoveryTooFew);
        outcome_.missing = repair.missing;
        outcome_.rebuildable = repair.rebuildable;
        outcome_.missingPieces = missing_;
        outcome_.damagedPieces = damaged_;
        return false;
    }
    // Which file failed, reading or writing, and why; a failure that is
    // neither (memory, a thread) keeps its reason.
    const What what = FailedWhat(repair.failedStep);
    if (what == What::Done) {
        Fail(What::RebuildFailed, repair.error);
    } else {
        Fail(what, repair.error, repair.failedPiece, repair.failedFile.empty() ? target_ : repair.failedFile);
    }
    outcome_.rebuilding = true;
    return false;
}

void JoinJob::Undo() { bigOut_.Abandon(); }
