#include "engine/Sha256.h"
#include "engine/TransferJob.h"

#include <algorithm>
#include <cerrno>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A staging folder's name: hidden, short (any piece name that fits the file
// system fits inside it), and no user file's.
constexpr const char* kStagingHead = ".~quorvel-";

std::string NewStagingName() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof kLetters) - 2);
    std::string name = kStagingHead;
    for (int i = 0; i < 8; ++i) name += kLetters[pick(random)];
    return name;
}

// True when `entry` is a name of the set: one of its pieces or its checksum file.
bool IsNameOfSet(const std::string& entry, const std::string& prefixName, const std::string& marker) {
    const std::string head = prefixName + marker;
    if (entry.compare(0, head.size(), head) != 0) return false;
    const std::string tail = entry.substr(head.size());
    return tail == kChecksumSuffix || PieceNumberIn(tail) > 0;
}

// True for the set's recovery files: <big file>.par2 and <big file>.vol*.par2.
bool IsRecoveryName(const std::string& entry, const std::string& bigName) {
    const std::string volume = bigName + ".vol", end = ".par2";
    const bool volumeName = entry.size() > volume.size() + end.size() && entry.compare(0, volume.size(), volume) == 0 &&
                            entry.compare(entry.size() - end.size(), end.size(), end) == 0;
    return entry == bigName + end || volumeName;
}

}  // namespace

void RemoveLeftStaging(const std::string& prefix, const std::string& marker) {
    const std::string prefixName = FileNamePart(prefix);
    std::error_code ec;
    for (const fs::directory_entry& dir : fs::directory_iterator(Paths::Native(FolderOf(prefix)), ec)) {
        const std::string name = dir.path().filename().u8string();
        if (name.rfind(kStagingHead, 0) != 0 || !dir.is_directory(ec) || dir.is_symlink(ec)) continue;
        bool ours = true, any = false;
        for (const fs::directory_entry& file : fs::directory_iterator(dir.path(), ec)) {
            any = true;
            const std::string entry = file.path().filename().u8string();
            ours = ours && file.is_regular_file(ec) &&
                   (IsNameOfSet(entry, prefixName, marker) || IsRecoveryName(entry, prefixName));
        }
        if (ours && any) fs::remove_all(dir.path(), ec);
    }
}

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
    // Pieces that go to one folder wait in a staging folder until the set is
    // whole; pieces on several disks are put in place disk by disk.
    if (!pausing_ && !freeSpace_) {
        if (!MakeStagingFolder(bigSize)) return outcome_;
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
    const std::vector<NumberedPiece> proven = ProvenOlderPieces();
    if (proven.empty()) return;
    std::error_code ec;
    for (const NumberedPiece& piece : proven) {
        const FileIdentity id = IdentityOf(piece.name);
        const bool ours =
            std::any_of(written_.begin(), written_.end(), [&](const WrittenPiece& w) { return w.id == id; });
        if (!ours && !SameFile(piece.name, engine_.bigFilePath_)) fs::remove(Paths::Native(piece.name), ec);
    }
    const std::string checksums = ChecksumFileName(engine_.piecePrefix_, marker_);
    if (!SameFile(checksums, sums_.Path())) fs::remove(Paths::Native(checksums), ec);
}

std::vector<NumberedPiece> SplitJob::ProvenOlderPieces() const {
    const std::string& prefix = engine_.piecePrefix_;
    const std::string checksums = ChecksumFileName(prefix, marker_);
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(Paths::Native(checksums), ec)) || SameFile(checksums, sums_.Path())) {
        return {};
    }
    const ChecksumRead read = ReadChecksumFile(checksums, marker_);
    std::vector<NumberedPiece> proven;
    const ChecksumSet& old = read.set;
    for (std::size_t i = 0; i < old.sizes.size() && i < old.digests.size(); ++i) {
        const auto n = static_cast<int32_t>(i + 1);
        const std::string name = PieceName(prefix, marker_, n);
        if (old.PieceFileName(n, marker_) != FileNamePart(name)) continue;  // lines of another set's names
        if (!fs::is_regular_file(fs::symlink_status(Paths::Native(name), ec))) continue;
        if (FileSizeOf(name) == old.sizes[i]) proven.push_back({n, name});
    }
    return proven;
}

// The staging folder beside where the pieces go, once that folder is known to
// hold the new set beside the old one.
bool SplitJob::MakeStagingFolder(int64_t bigSize) {
    const std::string folder = FolderOf(engine_.piecePrefix_);
    RemoveLeftStaging(engine_.piecePrefix_, marker_);
    const int64_t free = engine_.freeSpace_ ? engine_.freeSpace_(folder) : 0;
    if (free > 0 && free < bigSize) {
        outcome_ = Refused(What::NoRoomForSet, ENOSPC);
        outcome_.bytes = bigSize;
        return false;
    }
    std::error_code ec;
    for (int attempt = 0; attempt < 100 && staging_.empty(); ++attempt) {
        const std::string name = Paths::InFolder(folder, NewStagingName());
        if (fs::create_directory(Paths::Native(name), ec)) staging_ = name;
        if (ec && ec != std::errc::file_exists) break;
    }
    if (staging_.empty()) return Refuse(What::CannotCreatePiece, ec.value(), 1);
    fs::permissions(Paths::Native(staging_), fs::perms::owner_all, ec);
    return true;
}

std::string SplitJob::WrittenName(const std::string& finalName) const {
    return staging_.empty() ? finalName : Paths::InFolder(staging_, FileNamePart(finalName));
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
    if (!staging_.empty()) {
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
    const std::string name = WrittenName(engine_.currentPieceName_);
    const int64_t size = pieceOut_.Size();
    if (size != engine_.pieceSizes_[std::size_t(n)]) return Fail(What::SizesDiffer, pieceOut_.Error());
    std::error_code ec;
    const bool replace = fs::exists(fs::symlink_status(Paths::Native(name), ec));
    if (!pieceOut_.Commit(replace)) return Fail(What::CannotCreatePiece, pieceOut_.Error(), n);
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
    if (!MakeRecoveryFiles()) return outcome_;
    if (!staging_.empty() && !PutSetInPlace()) return outcome_;
    bigIn_.Close();
    view_.SetProgress(0);
    return outcome_;
}

// The new set is whole and checked: its pieces take their names (replacing
// files of the same names), the older set's provable extra pieces go, and
// the checksum file comes last. The last moment a stop is honoured.
bool SplitJob::PutSetInPlace() {
    if (Stopped()) return Fail(What::Stopped);
    TPieceEngine& e = engine_;
    const std::vector<std::string> olderRecovery = ProvenOlderRecoveryFiles();
    std::vector<NumberedPiece> extras;
    for (const NumberedPiece& piece : ProvenOlderPieces()) {
        if (piece.number > e.pieceCount_) extras.push_back(piece);
    }
    for (const NumberedPiece& piece : ExistingPieces(e.piecePrefix_, marker_)) {
        const bool proven =
            std::any_of(extras.begin(), extras.end(), [&](const NumberedPiece& p) { return p.number == piece.number; });
        if (piece.number > e.pieceCount_ && !proven) outcome_.untouched.push_back(piece.name);
    }
    std::sort(outcome_.untouched.begin(), outcome_.untouched.end());
    std::vector<std::string> ownRecovery;
    if (!PutRecoveryInPlace(ownRecovery)) return false;
    std::error_code ec;
    for (int32_t n = 1; n <= e.pieceCount_; ++n) {
        const std::string name = PieceName(e.piecePrefix_, marker_, n);
        fs::rename(Paths::Native(WrittenName(name)), Paths::Native(name), ec);
        if (ec) return Fail(What::CannotCreatePiece, ec.value(), n);
    }
    written_.clear();  // in place: a failure from here on takes nothing back
    for (const NumberedPiece& piece : extras) fs::remove(Paths::Native(piece.name), ec);
    for (const std::string& old : olderRecovery) {
        if (std::find(ownRecovery.begin(), ownRecovery.end(), old) == ownRecovery.end())
            fs::remove(Paths::Native(old), ec);
    }
    const std::string checksums = ChecksumFileName(e.piecePrefix_, marker_);
    if (e.useChecksums_) {
        fs::rename(Paths::Native(WrittenName(checksums)), Paths::Native(checksums), ec);
        if (ec) return Fail(What::ChecksumsNotWritten, ec.value(), 0, checksums);
    } else if (fs::is_regular_file(fs::symlink_status(Paths::Native(checksums), ec))) {
        // No checksum file of this split: the older one would speak against it.
        fs::remove(Paths::Native(checksums), ec);
    }
    fs::remove_all(Paths::Native(staging_), ec);
    staging_.clear();
    SyncFolder(FolderOf(e.piecePrefix_));
    return true;
}

// The recovery files go first, while a failure still takes back all there
// is of the new set.
bool SplitJob::PutRecoveryInPlace(std::vector<std::string>& placed) {
    std::error_code ec;
    for (const RecoveryFile& file : recoveryFiles_) {
        const std::string name = Paths::InFolder(FolderOf(engine_.piecePrefix_), FileNamePart(file.name));
        fs::rename(Paths::Native(file.name), Paths::Native(name), ec);
        if (ec) {
            const int error = ec.value();
            for (const std::string& other : placed) fs::remove(Paths::Native(other), ec);
            return Fail(What::RecoveryNotWritten, error, 0, name);
        }
        placed.push_back(name);
    }
    return true;
}

// A checksum file beside the big file never replaces another set's: it takes
// a name of its own there.
std::string SplitJob::OwnNameBeside(const std::string& path) const {
    std::error_code ec;
    std::string name = path;
    for (int k = 2; k < 100 && fs::exists(fs::symlink_status(Paths::Native(name), ec)); ++k) {
        name = path + "~" + std::to_string(k);
    }
    return name;
}

// Takes back the pieces this split wrote, where their names still lead to
// them (a disk that was changed holds other files), and its checksum file.
void SplitJob::Undo() {
    recovery_.reset();  // stopped and ended before its folder goes
    pieceOut_.Abandon();
    if (!staging_.empty()) {
        std::error_code ec;
        fs::remove_all(Paths::Native(staging_), ec);
        staging_.clear();
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
    if (staging_.empty() || e.recovery_ <= 0 || e.pieceCount_ <= 0 || FileSizeOf(e.bigFilePath_) <= 0) return;
    const std::vector<int64_t> sizes(e.pieceSizes_.begin() + 1, e.pieceSizes_.begin() + 1 + e.pieceCount_);
    recovery_ = std::make_unique<RecoveryTask>(RecoveryRequest(e.bigFilePath_, sizes, e.recovery_, staging_));
}

// Once the pieces are whole. A stop undoes a staged split; pieces already on
// their disks stay, and so does a set whose recovery files failed: the
// outcome says the recovery files are missing.
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
    } else if (staging_.empty()) {
        RecoveryCreate request = RecoveryOnDisks();
        request.progress = show;
        made = CreateRecoveryFiles(request);
    }
    if (made.stopped && !staging_.empty()) return Fail(What::Stopped);
    RecoverySetWritten listed;
    if (made.ok && e.useChecksums_ &&
        !ListRecoveryFiles(WrittenName(e.checksumFilePath_), marker_, made.files, listed)) {
        made.ok = false;
        made.failure.error = listed.error;
    }
    if (!made.ok) {
        outcome_.what = What::RecoveryNotWritten;
        outcome_.error = made.stopped || made.declined ? 0 : made.failure.error;
        return true;
    }
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

// Recovery files that the older checksum file lists, by name and content.
std::vector<std::string> SplitJob::ProvenOlderRecoveryFiles() const {
    const std::string checksums = ChecksumFileName(engine_.piecePrefix_, marker_);
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(Paths::Native(checksums), ec))) return {};
    const ChecksumRead read = ReadChecksumFile(checksums, marker_);
    std::vector<std::string> proven;
    const std::string folder = FolderOf(engine_.piecePrefix_);
    for (std::size_t i = 0; i < read.set.recoveryNames.size(); ++i) {
        const std::string name = Paths::InFolder(folder, read.set.recoveryNames[i]);
        if (!fs::is_regular_file(fs::symlink_status(Paths::Native(name), ec))) continue;
        if (HashFile(name).hex == read.set.recoveryDigests[i]) proven.push_back(name);
    }
    return proven;
}
