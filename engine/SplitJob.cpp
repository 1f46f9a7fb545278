#include "engine/SplitJob.h"

#include "engine/SetFiles.h"
#include "engine/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;

namespace {
bool EntryThere(const std::string& name) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(Paths::Native(name), ec));
}
}  // namespace

SplitJob::SplitJob(TPieceEngine& engine, int32_t maxBuffer, const std::string& marker, PauseMode pauseMode,
                   bool useFreeSpace)
    : TransferJob(engine, true, maxBuffer, marker, pauseMode), freeSpace_(useFreeSpace) {}

TransferOutcome SplitJob::Run() {
    TPieceEngine& e = engine_;
    const int64_t bigSize = FileSizeOf(e.bigFilePath_);
    errno = 0;
    if (bigSize < 0 || !bigIn_.Open(e.bigFilePath_, "rb", mode_.buffered))
        return Refused(What::CannotReadBigFile, errno);
    bigStamp_ = StampOf(e.bigFilePath_);
    if (freeSpace_) {
        remaining_ = bigSize;
        e.SetPieceCount(1);
    }
    // Pieces that go to one folder wait in a staging folder until the set is
    // whole; pieces on several disks are put in place disk by disk.
    if (!pausing_ && !freeSpace_) {
        if (!PrepareStaging(bigSize)) return outcome_;
    } else {
        RemoveOlderSet();
    }
    // An empty file has no pieces to list.
    if (e.useChecksums_ && bigSize > 0) {
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

bool SplitJob::MorePieces(int32_t n) const { return freeSpace_ ? n == 1 || remaining_ > 0 : n <= engine_.pieceCount_; }

// Removes the pieces of an earlier set of the same name that are in reach
// and provably its pieces, so that old and new pieces never mix, with its
// checksum file. Files merely named like pieces stay.
void SplitJob::RemoveOlderSet() {
    const std::string checksums = ChecksumFileName(engine_.piecePrefix_, marker_);
    if (SameFile(checksums, sums_.Path())) return;
    const ChecksumRead older = OlderChecksums();
    const std::vector<NumberedPiece> proven = ProvenOlderPieces(engine_.piecePrefix_, marker_, older);
    if (proven.empty()) return;
    std::error_code ec;
    for (const NumberedPiece& piece : proven) {
        const FileIdentity id = IdentityOf(piece.name);
        const bool ours =
            std::any_of(written_.begin(), written_.end(), [&](const WrittenPiece& w) { return w.id == id; });
        if (!ours && !SameFile(piece.name, engine_.bigFilePath_)) fs::remove(Paths::Native(piece.name), ec);
    }
    fs::remove(Paths::Native(checksums), ec);
}

// The older set's checksum file beside the pieces, read once by a split into
// one folder.
ChecksumRead SplitJob::OlderChecksums() const {
    const std::string checksums = ChecksumFileName(engine_.piecePrefix_, marker_);
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(Paths::Native(checksums), ec))) return {};
    return ReadChecksumFile(checksums, marker_);
}

// Before anything is written: no other split of the set runs, no name the
// split writes is another set's, no file would follow the new set unasked,
// and the pieces' folder holds the new set beside the old one. Then what
// killed runs left goes, and the staging folder is made.
bool SplitJob::PrepareStaging(int64_t bigSize) {
    TPieceEngine& e = engine_;
    const Leftovers left = FindLeftovers(e.piecePrefix_, marker_);
    if (left.splitRunning) return Refuse(What::SplitRunning);
    older_ = OlderChecksums();
    const std::string checksums = ChecksumFileName(e.piecePrefix_, marker_);
    if (older_.status != ChecksumRead::Status::Absent && IsOtherSetsChecksumFile(checksums, e.piecePrefix_, marker_)) {
        Refuse(What::NamesTaken);
        outcome_.untouched = {checksums};
        return false;
    }
    if (!RefuseUnproven()) return false;
    RemoveLeftovers(left);
    const std::string folder = FolderOf(e.piecePrefix_);
    const int64_t need = bigSize + RecoveryBytes();
    const int64_t free = e.freeSpace_ ? e.freeSpace_(folder) : 0;
    if (free > 0 && free < need) {
        outcome_ = Refused(What::NoRoomForSet, ENOSPC);
        outcome_.bytes = need;
        return false;
    }
    if (!staging_.Create(e.piecePrefix_, marker_)) return Refuse(What::CannotCreatePiece, staging_.Error(), 1);
    return true;
}

// Files named like pieces after the new set that cannot be proven the older
// set's would be taken in by a join that counts: they go only when the user
// said so.
bool SplitJob::RefuseUnproven() {
    TPieceEngine& e = engine_;
    unproven_ = UnprovenFollowers(e.piecePrefix_, marker_, e.bigFilePath_, e.pieceCount_, older_);
    if (unproven_.empty() || e.removeUnproven_) return true;
    std::vector<std::string> names = unproven_;
    if (staging_.Empty())
        Refuse(What::UnprovenPieces);
    else
        Fail(What::UnprovenPieces);
    outcome_.untouched = std::move(names);
    return false;
}

int64_t SplitJob::RecoveryBytes() const {
    const TPieceEngine& e = engine_;
    if (e.recovery_ <= 0 || e.pieceCount_ <= 0) return 0;
    const std::vector<int64_t> sizes(e.pieceSizes_.begin() + 1, e.pieceSizes_.begin() + 1 + e.pieceCount_);
    const RecoveryPlan plan = PlanRecoveryFiles(sizes, e.recovery_, e.bigFilePath_);
    return plan.ok ? plan.totalBytes : 0;
}

std::string SplitJob::WrittenName(const std::string& finalName) const {
    return staging_.Empty() ? finalName : staging_.Inside(finalName);
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
    if (!staging_.Empty()) {
        e.checksumFilePath_ = besidePieces;
        if (sums_.Begin(WrittenName(besidePieces), FileNamePart(e.bigFilePath_), marker_, bigSize, planned, true)) {
            return true;
        }
        return Fail(What::ChecksumsNotWritten, sums_.LastError(), 0, besidePieces);
    }
    for (const std::string& path : {OwnNameBeside(besideBig), besidePieces}) {
        e.checksumFilePath_ = path;
        if (sums_.Begin(path, FileNamePart(e.bigFilePath_), marker_, bigSize, planned, !freeSpace_)) return true;
    }
    return Fail(What::ChecksumsNotWritten, sums_.LastError(), 0, e.checksumFilePath_);
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
    return !freeSpace_ || SizeFromFreeSpace(n);
}

// Piece n takes what the disk has room for, up to what is left; a full disk
// (or one that says it has no room) is swapped first.
bool SplitJob::SizeFromFreeSpace(int32_t n) {
    TPieceEngine& e = engine_;
    const std::string folder = FolderOf(e.piecePrefix_);
    int64_t free = 0;
    while (diskFull_ || (free = e.freeSpace_ ? e.freeSpace_(folder) : 0) <= 0) {
        if (!AskForNextDisk(n, true)) return false;
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
    // A file of a new piece's name gives way to it; what cannot (the big file
    // itself, a folder, a FIFO, a read-only file) is never opened: a FIFO
    // would block the split for good.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(Paths::Native(name), ec)) &&
        (!IsReplaceableEntry(name) || !MayReplace(name) || SameFile(name, e.bigFilePath_))) {
        return Failing(What::CannotCreatePiece, 0, n);
    }
    if (!pieceOut_.Open(WrittenName(name), mode_.buffered)) {
        return Failing(What::CannotCreatePiece, pieceOut_.Error(), n);
    }
    ShowPiece(n);
    const int64_t size = e.pieceSizes_[std::size_t(n)];
    Reserve(pieceOut_.get(), 0, size);
    // A free-space piece is hashed only once it is whole: the disk may take less.
    if (hasher_ && !freeSpace_) HashWhileCopying(pieceOut_.get(), 0);
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
    const std::string name = WrittenName(engine_.currentPieceName_);
    const int64_t size = pieceOut_.Size();
    if (size != engine_.pieceSizes_[std::size_t(n)]) return Fail(What::SizesDiffer, pieceOut_.Error());
    // A free-space piece is hashed as the disk took it.
    if (hasher_ && freeSpace_) hasher_->Submit(pieceOut_.get(), 0, size, BackgroundHasher::Lane::Both);
    if (!pieceOut_.Commit(EntryThere(name))) return Fail(What::CannotCreatePiece, pieceOut_.Error(), n);
    written_.push_back({name, IdentityOf(name)});
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
        hasher_->Drain();  // the last disk's pieces are let go before a volume's disk is asked for
        if (!TakeDigests(engine_.pieceCount_, true)) return outcome_;
    }
    if (FileSizeOf(engine_.bigFilePath_) != done_) {
        Fail(What::SizesDiffer);
        return outcome_;
    }
    if (!MakeRecoveryFiles()) return outcome_;
    // The pieces hold what was read; a file that changed meanwhile may differ
    // from them, and so may the recovery data read from it.
    if (StampOf(engine_.bigFilePath_) != bigStamp_) {
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

// The new set is whole and checked. The older set's files that have to go
// are moved aside first, piece 1 before the rest (a kill then leaves no
// older set that joins without it) and the checksum file last; then the new
// set takes its names: the recovery files, the checksum file listing every
// piece, and the pieces from the last to the first. Whatever moment a kill
// comes, a join finds the older set, or a set whose checksum file names what
// is missing, or (without checksums) no piece 1. A step that fails puts
// everything back. The last moment a stop is honoured.
bool SplitJob::PutSetInPlace() {
    if (Stopped()) return Fail(What::Stopped);
    TPieceEngine& e = engine_;
    const std::string folder = FolderOf(e.piecePrefix_);
    const std::string checksums = ChecksumFileName(e.piecePrefix_, marker_);
    const std::vector<std::string> olderRecovery = ProvenOlderRecoveryFiles(folder, older_);
    std::vector<std::string> taken;
    for (const RecoveryFile& file : recoveryFiles_) {
        const std::string name = Paths::InFolder(folder, FileNamePart(file.name));
        if (EntryThere(name) && std::find(olderRecovery.begin(), olderRecovery.end(), name) == olderRecovery.end())
            taken.push_back(name);
    }
    if (!taken.empty()) {
        Fail(What::NamesTaken);
        outcome_.untouched = std::move(taken);
        return false;
    }
    if (!RefuseUnproven()) return false;

    SetPlacement placement(staging_);
    for (int32_t n = 1; n <= e.pieceCount_; ++n) {
        const std::string name = PieceName(e.piecePrefix_, marker_, n);
        if (EntryThere(name)) placement.Retire(name);
    }
    for (const NumberedPiece& piece : ProvenOlderPieces(e.piecePrefix_, marker_, older_)) {
        if (piece.number > e.pieceCount_ && !SameFile(piece.name, e.bigFilePath_)) placement.Retire(piece.name);
    }
    for (const std::string& name : unproven_) placement.Retire(name);
    for (const std::string& name : olderRecovery) placement.Retire(name);
    for (const RecoveryFile& file : recoveryFiles_) {
        const std::string name = Paths::InFolder(folder, FileNamePart(file.name));
        if (EntryThere(name)) placement.Retire(name);
    }
    // Without a checksum file of this split, the older one would speak against it.
    if (IsReplaceableEntry(checksums)) placement.Retire(checksums);

    const int permissions = PermissionsOf(e.bigFilePath_);
    for (const RecoveryFile& file : recoveryFiles_) {
        placement.Place(file.name, Paths::InFolder(folder, FileNamePart(file.name)), permissions);
    }
    if (e.useChecksums_) placement.Place(WrittenName(checksums), checksums, permissions);
    for (int32_t n = e.pieceCount_; n >= 1; --n) {
        const std::string name = PieceName(e.piecePrefix_, marker_, n);
        placement.Place(WrittenName(name), name, permissions);
    }
    if (!placement.Run()) return PlacingFailed(placement);
    written_.clear();  // in place: a failure from here on takes nothing back
    staging_.Remove();
    SyncFolder(folder);
    return true;
}

// Says which name could not be freed or taken; everything was put back.
bool SplitJob::PlacingFailed(const SetPlacement& placement) {
    const std::string& name = placement.FailedName();
    const std::string head = FileNamePart(engine_.piecePrefix_) + marker_, file = FileNamePart(name);
    const int32_t n =
        FolderOf(name) == FolderOf(engine_.piecePrefix_) && file.compare(0, head.size(), head) == 0
            ? PieceNumberIn(file.substr(head.size()))
            : 0;
    if (n > 0) return Fail(What::CannotCreatePiece, placement.Error(), n);
    if (name == ChecksumFileName(engine_.piecePrefix_, marker_))
        return Fail(What::ChecksumsNotWritten, placement.Error(), 0, name);
    return Fail(What::RecoveryFailed, placement.Error(), 0, name);
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
    recovery_.reset();  // stopped and ended before its folder goes
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

void SplitJob::StartRecovery() {
    TPieceEngine& e = engine_;
    if (staging_.Empty() || e.recovery_ <= 0 || e.pieceCount_ <= 0 || FileSizeOf(e.bigFilePath_) <= 0) return;
    const std::vector<int64_t> sizes(e.pieceSizes_.begin() + 1, e.pieceSizes_.begin() + 1 + e.pieceCount_);
    recovery_ = std::make_unique<RecoveryTask>(RecoveryRequest(e.bigFilePath_, sizes, e.recovery_, staging_.Path()));
}

// Once the pieces are whole. A staged split that cannot make them (or is
// stopped) fails as a whole; pieces already on their disks stay, and so does
// a set whose recovery files failed: the outcome says they are missing. The
// files made are listed in the checksum file when it is finished.
bool SplitJob::MakeRecoveryFiles() {
    TPieceEngine& e = engine_;
    if (e.recovery_ <= 0 || e.pieceCount_ <= 0 || done_ <= 0) return true;
    RecoveryResult made;
    const RecoveryProgress show = [this](int64_t done, int64_t total) {
        view_.SetProgress(std::max(1, ProgressPosition(done, total)));
    };
    if (recovery_) {
        made = recovery_->Wait(e.stop_, show);
        recovery_.reset();
    } else if (staging_.Empty()) {
        RecoveryCreate request = RecoveryOnDisks();
        request.progress = show;
        made = CreateRecoveryFiles(request);
    }
    RecoveryListing listing;
    if (made.ok && e.useChecksums_ && !ListingOf(made.files, listing)) {
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
    for (const RecoveryFile& f : made.files) outcome_.recoveryBytes += f.bytes;
    return true;
}

// The index beside the checksum file (or the big file), which stays at hand;
// each volume on the next disk, asked for as a piece's is.
RecoveryCreate SplitJob::RecoveryOnDisks() {
    TPieceEngine& e = engine_;
    const std::vector<int64_t> sizes(e.pieceSizes_.begin() + 1, e.pieceSizes_.begin() + 1 + e.pieceCount_);
    RecoveryCreate request = RecoveryRequest(e.bigFilePath_, sizes, e.recovery_,
                                             FolderOf(e.useChecksums_ ? e.checksumFilePath_ : e.bigFilePath_));
    request.stop = e.stop_;
    request.volumeFolder = FolderOf(e.piecePrefix_);
    // A checksum file that took a name of its own beside the big file
    // (...sha256~2) keeps its recovery files under names of their own too.
    const std::string& sums = e.checksumFilePath_;
    const std::string::size_type tilde = sums.rfind('~');
    if (e.useChecksums_ && tilde != std::string::npos && tilde > sums.rfind(kChecksumSuffix)) {
        request.fileStem = FileNamePart(e.bigFilePath_) + sums.substr(tilde);
    }
    request.beforeVolume = [this](uint32_t volume, int64_t bytes) {
        return DiskForVolume(engine_.pieceCount_ + static_cast<int32_t>(volume), bytes);
    };
    return request;
}

bool SplitJob::DiskForVolume(int32_t n, int64_t bytes) {
    TPieceEngine& e = engine_;
    if (pausing_) {
        if (!AskForDisk(n, false)) return false;
        view_.RepaintMainWindow();
    }
    if (!freeSpace_ || !e.freeSpace_) return true;
    while (e.freeSpace_(FolderOf(e.piecePrefix_)) < bytes) {
        if (!AskForDisk(n, true)) return false;
        view_.RepaintMainWindow();
    }
    return true;
}
