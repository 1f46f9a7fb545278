#include "engine/TransferJob.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;

SplitJob::SplitJob(TPieceEngine& engine, int32_t maxBuffer, const std::string& marker, PauseMode pauseMode,
                   bool useFreeSpace)
    : TransferJob(engine, true, maxBuffer, marker, pauseMode), freeSpace_(useFreeSpace) {}

TransferOutcome SplitJob::Run() {
    TPieceEngine& e = engine_;
    const int64_t bigSize = FileSizeOf(e.bigFilePath_);
    errno = 0;
    if (bigSize < 0 || !bigIn_.Open(e.bigFilePath_, "rb", mode_.buffered))
        return Refused(What::CannotReadBigFile, errno);
    if (freeSpace_) {
        remaining_ = bigSize;
        e.SetPieceCount(1);
    }
    RemoveOlderSet();
    if (e.useChecksums_) {
        if (!BeginChecksums(bigSize)) return outcome_;
        hasher_ = std::make_unique<BackgroundHasher>();
    }
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

bool SplitJob::MorePieces(int32_t n) const { return freeSpace_ ? n == 1 || remaining_ > 0 : n <= engine_.pieceCount_; }

// Removes the pieces of an earlier set of the same name that are in reach,
// so that old and new pieces never mix, with its checksum file (a join would
// take the set from it). Spares the big file, the pieces this split wrote and
// its checksum file, and what is no file (the split then stops at that number).
void SplitJob::RemoveOlderSet() {
    const std::string& prefix = engine_.piecePrefix_;
    const std::string& bigFile = engine_.bigFilePath_;
    const std::string checksums = ChecksumFileName(prefix, marker_);
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(Paths::Native(checksums), ec)) && !SameFile(checksums, sums_.Path()) &&
        !SameFile(checksums, bigFile)) {
        fs::remove(Paths::Native(checksums), ec);
    }
    for (const NumberedPiece& piece : ExistingPieces(prefix, marker_)) {
        if (!IsReplaceableEntry(piece.name) || !MayReplace(piece.name) || SameFile(piece.name, bigFile)) continue;
        const FileIdentity id = IdentityOf(piece.name);
        const bool ours =
            std::any_of(written_.begin(), written_.end(), [&](const WrittenPiece& w) { return w.id == id; });
        if (!ours) fs::remove(Paths::Native(piece.name), ec);
    }
}

// Begun before the first piece and marked unfinished, so that what a killed
// split leaves never joins. A split that changes disks keeps it beside the
// big file: the pieces' disks may have no room for it.
bool SplitJob::BeginChecksums(int64_t bigSize) {
    TPieceEngine& e = engine_;
    const std::string besidePieces = ChecksumFileName(e.piecePrefix_, marker_);
    const std::string besideBig = ChecksumFileIn(FolderOf(e.bigFilePath_), e.piecePrefix_, marker_);
    std::vector<int64_t> planned;
    if (!freeSpace_) planned.assign(e.pieceSizes_.begin() + 1, e.pieceSizes_.end());
    const bool changesDisks = pausing_ || freeSpace_;
    for (const std::string& path : {changesDisks ? besideBig : besidePieces, changesDisks ? besidePieces : besideBig}) {
        e.checksumFilePath_ = path;
        if (sums_.Begin(path, FileNamePart(e.bigFilePath_), marker_, bigSize, planned, !freeSpace_)) return true;
    }
    return Fail(What::ChecksumsNotWritten, sums_.LastError(), 0, e.checksumFilePath_);
}

bool SplitJob::PrepareDisk(int32_t n) {
    if (pausing_ && !diskFull_) {
        if (!AskForDisk(n, false)) return Fail(What::DisksNotEntered);
        view_.RepaintMainWindow();
        RemoveOlderSet();
    }
    return !freeSpace_ || SizeFromFreeSpace(n);
}

// Piece n takes what the disk has room for, up to what is left; a full disk
// (or one that says it has no room) is swapped first.
bool SplitJob::SizeFromFreeSpace(int32_t n) {
    TPieceEngine& e = engine_;
    const std::string folder = FolderOf(e.piecePrefix_);
    int64_t free = 0;
    while (diskFull_ || (free = e.freeSpace_ ? e.freeSpace_(folder) : 0) <= 0) {
        if (!AskForDisk(n, true)) return Fail(What::DisksNotEntered);
        diskFull_ = false;
        RemoveOlderSet();
    }
    if (n > e.pieceCount_) e.SetPieceCount(n);
    const int64_t size = std::min(free, remaining_);
    e.SetPieceSize(n, size);
    remaining_ -= size;
    return true;
}

SplitJob::PieceResult SplitJob::Failing(What what, int error, int32_t piece) {
    Fail(what, error, piece);
    return PieceResult::Failed;
}

SplitJob::PieceResult SplitJob::WritePiece(int32_t n) {
    TPieceEngine& e = engine_;
    const std::string name = PieceName(e.piecePrefix_, marker_, n);
    e.currentPieceName_ = name;
    // Whatever still holds a piece's name after the older set is gone (the
    // big file itself, a folder, a FIFO, a read-only file) is never opened:
    // a FIFO would block the split for good.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(Paths::Native(name), ec))) return Failing(What::CannotCreatePiece, 0, n);
    if (!pieceOut_.Open(name, mode_.buffered)) {
        return Failing(What::CannotCreatePiece, pieceOut_.Error(), n);
    }
    ShowPiece(n);
    const int64_t size = e.pieceSizes_[std::size_t(n)];
    Reserve(pieceOut_.get(), 0, size);
    // A free-space piece is hashed only once it is whole: the disk may take less.
    if (hasher_ && !freeSpace_) HashWhileCopying(bigIn_.get(), done_, pieceOut_.get(), 0);
    int error = 0;
    if (!Copy(bigIn_.get(), pieceOut_.get(), size, error)) {
        if (Stopped()) return Failing(What::Stopped);
        if (!freeSpace_ || !IsDiskFull(error)) return Failing(What::SizesDiffer, error);
        const PieceResult kept = KeepWhatFitted(n);
        if (kept != PieceResult::Written) return kept;
    }
    return CommitPiece(n) ? PieceResult::Written : PieceResult::Failed;
}

// The disk took less than it said it had room for (the file system's own
// bookkeeping): keeps the whole blocks that fit and leaves the rest for the
// next disk.
SplitJob::PieceResult SplitJob::KeepWhatFitted(int32_t n) {
    const int64_t size = engine_.pieceSizes_[std::size_t(n)];
    const int64_t block = FileSystemBlock(pieceOut_.get());
    const int64_t kept = std::clamp<int64_t>(pieceOut_.Size(), 0, size) / block * block;
    if (!pieceOut_.Truncate(kept)) return Failing(What::SizesDiffer, pieceOut_.Error());
    if (fseeko(bigIn_.get(), static_cast<off_t>(done_ + kept), SEEK_SET) != 0) {
        return Failing(What::SizesDiffer, errno);
    }
    meter_.Rewind(done_ + kept);
    remaining_ += size - kept;
    diskFull_ = true;
    if (kept == 0) {
        pieceOut_.Abandon();
        return PieceResult::NothingFitted;
    }
    engine_.SetPieceSize(n, kept);
    view_.CorrectPieceSize(n - 1, std::to_string(kept));
    return PieceResult::Written;
}

bool SplitJob::CommitPiece(int32_t n) {
    const std::string& name = engine_.currentPieceName_;
    const int64_t size = pieceOut_.Size();
    if (size != engine_.pieceSizes_[std::size_t(n)]) return Fail(What::SizesDiffer, pieceOut_.Error());
    if (!pieceOut_.Commit(false)) return Fail(What::CannotCreatePiece, pieceOut_.Error(), n);
    written_.push_back({name, IdentityOf(name)});
    if (hasher_) {
        if (freeSpace_) hasher_->Submit(bigIn_.get(), done_, size, BackgroundHasher::Lane::Both);
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
        if (!digest.ok || !sums_.RecordPiece(hashed_, engine_.pieceSizes_[std::size_t(hashed_)], digest.hex)) {
            return Fail(What::ChecksumsNotWritten, digest.ok ? sums_.LastError() : digest.error, 0, sums_.Path());
        }
    }
    return true;
}

TransferOutcome SplitJob::Finish() {
    view_.SelectPiece(-1);
    BackgroundHasher::Digest whole;
    if (hasher_) {
        whole = hasher_->Finish();
        if (!TakeDigests(engine_.pieceCount_, true)) return outcome_;
    }
    if (FileSizeOf(engine_.bigFilePath_) != done_) {
        Fail(What::SizesDiffer);
        return outcome_;
    }
    if (hasher_ && (!whole.ok || !sums_.Finish(whole.hex))) {
        Fail(What::ChecksumsNotWritten, whole.ok ? sums_.LastError() : whole.error, 0, sums_.Path());
        return outcome_;
    }
    bigIn_.Close();
    view_.SetProgress(0);
    return outcome_;
}

// Takes back the pieces this split wrote, where their names still lead to
// them (a disk that was changed holds other files), and its checksum file.
void SplitJob::Undo() {
    pieceOut_.Abandon();
    for (const WrittenPiece& piece : written_) {
        if (!(IdentityOf(piece.name) == piece.id)) continue;
        std::error_code ec;
        fs::remove(Paths::Native(piece.name), ec);
    }
    written_.clear();
    if (!sums_.Path().empty()) sums_.Remove();
    bigIn_.Close();
}
