#include "engine/SplitJob.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

bool SplitJob::EntryThere(const std::string& name) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(Paths::Native(name), ec));
}

SplitJob::SplitJob(SplitRequest request, const TransferServices& services)
    : TransferJob(services, true, request), request_(std::move(request)) {}

TransferOutcome SplitJob::Run() { return Reported(Transfer()); }

TransferOutcome SplitJob::Transfer() {
    const int64_t bigSize = FileSizeOf(request_.bigFile);
    errno = 0;
    if (bigSize < 0 || !bigIn_.Open(request_.bigFile, "rb", mode_.buffered))
        return Refused(What::CannotReadBigFile, errno);
    bigStamp_ = StampOf(request_.bigFile);
    if (request_.useFreeSpace) {
        remaining_ = bigSize;
        SetPieceCount(1);
    }
    // Pieces that go to one folder wait in a staging folder until the set is
    // whole; pieces on several disks are put in place disk by disk.
    if (!pausing_ && !request_.useFreeSpace) {
        if (!PrepareStaging(bigSize)) return outcome_;
    } else {
        RemoveOlderSet();
    }
    // An empty file has no pieces to list.
    if (request_.useChecksums && bigSize > 0) {
        if (!BeginChecksums(bigSize) || !StartHasher()) return outcome_;
    }
    StartRecovery();
    StartShowing();
    meter_.Scale(bigSize);
    int32_t n = 1;
    while (MorePieces(n)) {
        if (Stopped()) {
            Fail(What::Stopped);
            return outcome_;
        }
        if (!PrepareDisk(n)) return outcome_;
        const PieceResult result = WritePiece(n);
        if (result == PieceResult::Failed) return outcome_;
        // Where nothing fitted, the same number goes to the next disk.
        if (result == PieceResult::Written) n += 1;
    }
    return Finish();
}

bool SplitJob::MorePieces(int32_t n) const {
    return request_.useFreeSpace ? n == 1 || remaining_ > 0 : n <= PieceCount();
}

std::string SplitJob::WrittenName(const std::string& finalName) const {
    return staging_.Empty() ? finalName : staging_.Inside(finalName);
}

// Begun before the first piece and marked unfinished, so that what a killed
// split leaves never joins. A split that changes disks keeps it beside the
// big file: the pieces' disks may have no room for it.
bool SplitJob::BeginChecksums(int64_t bigSize) {
    const std::string besidePieces = request_.ChecksumsBesidePieces();
    const std::string besideBig = ChecksumFileIn(FolderOf(request_.bigFile), request_.piecePrefix, request_.marker);
    std::vector<int64_t> planned;
    if (!request_.useFreeSpace) planned = SizesOfPieces();
    if (!staging_.Empty()) {
        checksumFile_ = besidePieces;
        if (sums_.Begin(WrittenName(besidePieces), FileNamePart(request_.bigFile), request_.marker, bigSize, planned,
                        true)) {
            return true;
        }
        return Fail(What::ChecksumsNotWritten, sums_.LastError(), 0, besidePieces);
    }
    for (const std::string& path : {OwnNameBeside(besideBig), besidePieces}) {
        checksumFile_ = path;
        if (sums_.Begin(path, FileNamePart(request_.bigFile), request_.marker, bigSize, planned,
                        !request_.useFreeSpace))
            return true;
    }
    return Fail(What::ChecksumsNotWritten, sums_.LastError(), 0, checksumFile_);
}

// Before the disk changes, its pieces are hashed as they lie on it, and none
// of them stays open.
bool SplitJob::AskForNextDisk(int32_t n, bool diskFull) {
    if (hasher_) {
        hasher_->Drain();
        if (!TakeDigests(static_cast<int32_t>(written_.size()), true)) return false;
    }
    if (!AskForDisk(n, diskFull)) return Fail(What::DisksNotEntered);
    return true;
}

bool SplitJob::PrepareDisk(int32_t n) {
    if (pausing_ && !diskFull_) {
        if (!AskForNextDisk(n, false)) return false;
        view_.RepaintMainWindow();
        RemoveOlderSet();
    }
    return !request_.useFreeSpace || SizeFromFreeSpace(n);
}

// Piece n takes what the disk has room for, up to what is left; a full disk
// (or one that says it has no room) is swapped first.
bool SplitJob::SizeFromFreeSpace(int32_t n) {
    const std::string folder = FolderOf(request_.piecePrefix);
    int64_t free = 0;
    while (diskFull_ || (free = services_.freeSpace ? services_.freeSpace(folder) : 0) <= 0) {
        if (!AskForNextDisk(n, true)) return false;
        diskFull_ = false;
        RemoveOlderSet();
    }
    if (n > PieceCount()) SetPieceCount(n);
    const int64_t size = std::min(free, remaining_);
    sizes_[std::size_t(n)] = size;
    remaining_ -= size;
    return true;
}

SplitJob::PieceResult SplitJob::Failing(What what, int error, int32_t piece, std::string file) {
    Fail(what, error, piece, std::move(file));
    return PieceResult::Failed;
}

SplitJob::PieceResult SplitJob::WritePiece(int32_t n) {
    const std::string name = request_.PieceNamed(n);
    currentPiece_ = name;
    // A file of a new piece's name gives way to it; what cannot (the big file
    // itself, a folder, a FIFO, a read-only file) is never opened: a FIFO
    // would block the split for good.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(Paths::Native(name), ec)) &&
        (!IsReplaceableEntry(name) || !MayReplace(name) || SameFile(name, request_.bigFile))) {
        return Failing(What::CannotCreatePiece, 0, n);
    }
    if (!pieceOut_.Open(WrittenName(name), mode_.buffered)) {
        return Failing(What::CannotCreatePiece, pieceOut_.Error(), n);
    }
    if (writtenPieces_ && !writtenPieces_->Writing(std::size_t(n - 1), fileno(pieceOut_.get()))) {
        return Failing(What::RecoveryFailed, errno);
    }
    ShowPiece(n);
    const int64_t size = sizes_[std::size_t(n)];
    Reserve(pieceOut_.get(), 0, size);
    // A free-space piece is hashed only once it is whole: the disk may take less.
    if (hasher_ && !request_.useFreeSpace) HashWhileCopying(pieceOut_.get(), 0);
    FeedRecoveryWhileCopying();
    int error = 0;
    if (!Copy(bigIn_.get(), pieceOut_.get(), size, error)) {
        if (Stopped()) return Failing(What::Stopped);
        if (!request_.useFreeSpace || !IsDiskFull(error)) {
            if (error == 0) return Failing(What::SizesDiffer);  // the big file ended early
            if (std::ferror(bigIn_.get()) != 0) return Failing(What::ReadFailed, error, 0, request_.bigFile);
            return Failing(What::WriteFailed, error, n, name);
        }
        const PieceResult kept = KeepWhatFitted(n);
        if (kept != PieceResult::Written) return kept;
    }
    return CommitPiece(n) ? PieceResult::Written : PieceResult::Failed;
}

// The disk took less than it said it had room for (the file system's own
// bookkeeping): keeps the whole blocks that fit and leaves the rest for the
// next disk.
SplitJob::PieceResult SplitJob::KeepWhatFitted(int32_t n) {
    const int64_t size = sizes_[std::size_t(n)];
    const int64_t block = FileSystemBlock(pieceOut_.get());
    const int64_t kept = std::clamp<int64_t>(pieceOut_.Size(), 0, size) / block * block;
    if (!pieceOut_.Truncate(kept)) return Failing(What::WriteFailed, pieceOut_.Error(), n, currentPiece_);
    if (fseeko(bigIn_.get(), static_cast<off_t>(done_ + kept), SEEK_SET) != 0) {
        return Failing(What::ReadFailed, errno, 0, request_.bigFile);
    }
    meter_.Rewind(done_ + kept);
    remaining_ += size - kept;
    diskFull_ = true;
    if (kept == 0) {
        pieceOut_.Abandon();
        return PieceResult::NothingFitted;
    }
    sizes_[std::size_t(n)] = kept;
    view_.CorrectPieceSize(n - 1, std::to_string(kept));
    return PieceResult::Written;
}

bool SplitJob::CommitPiece(int32_t n) {
    const std::string name = WrittenName(currentPiece_);
    const int64_t size = pieceOut_.Size();
    if (size != sizes_[std::size_t(n)]) {
        // A stream that could not write out what it held is a write that failed.
        if (pieceOut_.Error() != 0) return Fail(What::WriteFailed, pieceOut_.Error(), n, currentPiece_);
        return Fail(What::SizesDiffer);
    }
    // A free-space piece is hashed as the disk took it.
    if (hasher_ && request_.useFreeSpace) hasher_->Submit(pieceOut_.get(), 0, size, BackgroundHasher::Lane::Both);
    // A staged piece goes to the disk while the next one is copied; the set
    // waits for all of them once, before it takes its names.
    if (!pieceOut_.Commit(EntryThere(name), staging_.Empty())) {
        return Fail(What::CannotCreatePiece, pieceOut_.Error(), n);
    }
    written_.push_back({name, IdentityOf(name)});
    if (writtenPieces_) writtenPieces_->Named(std::size_t(n - 1), name);
    if (hasher_) {
        hasher_->EndPiece();
        if (!TakeDigests(n, false)) return false;
    }
    done_ += size;
    return true;
}

// Records the digests that are ready (or, with `wait`, all up to piece upTo).
bool SplitJob::TakeDigests(int32_t upTo, bool wait) {
    BackgroundHasher::Digest digest;
    while (hashed_ < upTo &&
           (wait ? (digest = hasher_->WaitPiece(hashed_ + 1), true) : hasher_->PieceReady(hashed_ + 1, &digest))) {
        hashed_ += 1;
        if (!digest.ok || !sums_.RecordPiece(hashed_, sizes_[std::size_t(hashed_)], digest.hex)) {
            return Fail(What::ChecksumsNotWritten, digest.ok ? sums_.LastError() : digest.error, 0, sums_.Path());
        }
    }
    return true;
}

TransferOutcome SplitJob::Finish() {
    if (writtenPieces_) writtenPieces_->End();
    view_.SelectPiece(-1);
    BackgroundHasher::Digest whole;
    if (hasher_) {
        whole = hasher_->Finish();
        hasher_->Drain();  // the last disk's pieces are let go before a volume's disk is asked for
        if (!TakeDigests(PieceCount(), true)) return outcome_;
    }
    if (FileSizeOf(request_.bigFile) != done_) {
        Fail(What::SizesDiffer);
        return outcome_;
    }
    if (!MakeRecoveryFiles()) return outcome_;
    // The pieces hold what was read; a file that changed meanwhile may differ
    // from them (and the recovery data of a split onto disks is read from it).
    if (StampOf(request_.bigFile) != bigStamp_) {
        Fail(What::BigFileChanged);
        return outcome_;
    }
    if (hasher_ && (!whole.ok || !sums_.Finish(whole.hex))) {
        Fail(What::ChecksumsNotWritten, whole.ok ? sums_.LastError() : whole.error, 0, sums_.Path());
        return outcome_;
    }
    if (!staging_.Empty() && !PutSetInPlace()) return outcome_;
    bigIn_.Close();
    view_.SetProgress(0);
    return outcome_;
}

// A checksum file beside the big file never replaces another set's: it takes
// a name of its own there.
std::string SplitJob::OwnNameBeside(const std::string& path) const {
    std::error_code ec;
    std::string name = path;
    for (int k = 2; k < kMaxChecksumFileNumber && fs::exists(fs::symlink_status(Paths::Native(name), ec)); ++k) {
        name = path + "~" + std::to_string(k);
    }
    return name;
}

// Takes back the pieces this split wrote, where their names still lead to
// them (a disk that was changed holds other files), and its checksum file.
void SplitJob::Undo() {
    if (writtenPieces_) writtenPieces_->End();  // no more bytes come: a read waiting for them fails
    recovery_.reset();                          // stopped and ended before its folder goes
    pieceOut_.Abandon();
    if (!staging_.Empty()) {
        staging_.Remove();
        written_.clear();
        return;
    }
    for (const WrittenPiece& piece : written_) {
        if (!(IdentityOf(piece.name) == piece.id)) continue;
        std::error_code ec;
        fs::remove(Paths::Native(piece.name), ec);
    }
    written_.clear();
    if (!sums_.Path().empty()) sums_.Remove();
    bigIn_.Close();
}

// The recovery data comes from the staged pieces as they are written: the
// big file is read once, by the copy, and the recovery files vouch for the
// bytes the set holds.
void SplitJob::StartRecovery() {
    if (staging_.Empty() || request_.recovery <= 0 || PieceCount() <= 0 || FileSizeOf(request_.bigFile) <= 0) return;
    RecoveryCreate request = RecoveryRequest(request_.bigFile, SizesOfPieces(), request_.recovery, staging_.Path());
    writtenPieces_ = std::make_shared<WrittenPieces>(request.pieceSizes);
    request.written = writtenPieces_;
    request.stop = services_.stop;
    recovery_ = std::make_unique<RecoveryTask>(std::move(request));
}

void SplitJob::FeedRecoveryWhileCopying() {
    if (!writtenPieces_) return;
    std::function<void(int64_t)> hash = std::move(meter_.copied);
    // Small blocks may still sit in the stream's buffer; the hashing flushes them itself.
    const bool flush = mode_.buffered && !hash;
    meter_.copied = [this, hash = std::move(hash), flush, out = pieceOut_.get(), pieces = writtenPieces_.get(),
                     at = done_](int64_t bytes) mutable {
        if (hash) hash(bytes);
        // Bytes a failed flush dropped are never said to be written: the copy fails instead.
        if ((flush && !FlushForReaders(out)) || (hash && std::ferror(out))) return;
        at += bytes;
        pieces->Written(at);
    };
}

// Once the pieces are whole. A staged split that cannot make them (or is
// stopped) fails as a whole; pieces already on their disks stay, and so does
// a set whose recovery files failed: the outcome says they are missing. The
// files made are listed in the checksum file when it is finished.
bool SplitJob::MakeRecoveryFiles() {
    if (request_.recovery <= 0 || PieceCount() <= 0 || done_ <= 0) return true;
    RecoveryResult made;
    const RecoveryProgress show = [this](int64_t done, int64_t total) {
        view_.SetProgress(std::max(1, ProgressPosition(done, total)));
    };
    if (recovery_) {
        made = recovery_->Wait(services_.stop, show);
        recovery_.reset();
    } else if (staging_.Empty()) {
        RecoveryCreate request = RecoveryOnDisks();
        request.progress = show;
        made = CreateRecoveryFiles(request);
    }
    RecoveryListing listing;
    if (made.ok && request_.useChecksums && !ListingOf(made.files, listing)) {
        made.ok = false;
        made.failure.error = listing.error;
    }
    if (!staging_.Empty() && !made.ok) {
        return Fail(made.stopped ? What::Stopped : What::RecoveryFailed, made.failure.error);
    }
    if (!made.ok) {
        outcome_.what = What::RecoveryNotWritten;
        outcome_.error = made.stopped || made.declined ? 0 : made.failure.error;
        return true;
    }
    sums_.ListRecovery(std::move(listing.names), std::move(listing.digests));
    recoveryFiles_ = made.files;
    outcome_.recoveryFiles = static_cast<int32_t>(made.files.size());
    outcome_.recoveryLost = made.plan.lostPieces;
    for (const RecoveryFile& f : made.files) outcome_.recoveryBytes += f.bytes;
    return true;
}

// The index beside the checksum file (or the big file), which stays at hand;
// each volume on the next disk, asked for as a piece's is.
RecoveryCreate SplitJob::RecoveryOnDisks() {
    RecoveryCreate request = RecoveryRequest(request_.bigFile, SizesOfPieces(), request_.recovery,
                                             FolderOf(request_.useChecksums ? checksumFile_ : request_.bigFile));
    request.stop = services_.stop;
    request.volumeFolder = FolderOf(request_.piecePrefix);
    // A checksum file that took a name of its own beside the big file
    // (...sha256~2) keeps its recovery files under names of their own too.
    const std::string& sums = checksumFile_;
    const std::string::size_type tilde = sums.rfind('~');
    if (request_.useChecksums && tilde != std::string::npos && tilde > sums.rfind(kChecksumSuffix)) {
        request.fileStem = FileNamePart(request_.bigFile) + sums.substr(tilde);
    }
    request.beforeVolume = [this](uint32_t volume, int64_t bytes) {
        return DiskForVolume(PieceCount() + static_cast<int32_t>(volume), bytes);
    };
    return request;
}

bool SplitJob::DiskForVolume(int32_t n, int64_t bytes) {
    if (pausing_) {
        if (!AskForDisk(n, false)) return false;
        view_.RepaintMainWindow();
    }
    if (!request_.useFreeSpace || !services_.freeSpace) return true;
    while (services_.freeSpace(FolderOf(request_.piecePrefix)) < bytes) {
        if (!AskForDisk(n, true)) return false;
        view_.RepaintMainWindow();
    }
    return true;
}
