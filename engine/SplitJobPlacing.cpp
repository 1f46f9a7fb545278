// The split beside the sets that were there: the older set of the same
// name it replaces, the files that would follow the new set, the staging
// folder, and the new set taking its names as one change.
#include "engine/SplitJob.h"

#include "engine/Copying.h"
#include "engine/SetFiles.h"
#include "io/Team.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

// Removes the pieces of an earlier set of the same name that are in reach
// and provably its pieces, so that old and new pieces never mix, with its
// checksum file. Files merely named like pieces stay.
void SplitJob::RemoveOlderSet() {
    const std::string checksums = request_.ChecksumsBesidePieces();
    if (SameFile(checksums, sums_.Path())) return;
    const ChecksumRead older = OlderChecksums();
    const std::vector<NumberedPiece> proven = ProvenOlderPieces(request_.piecePrefix, request_.marker, older);
    if (proven.empty()) return;
    std::error_code ec;
    for (const NumberedPiece& piece : proven) {
        const FileIdentity id = IdentityOf(piece.name);
        const bool ours =
            std::any_of(written_.begin(), written_.end(), [&](const WrittenPiece& w) { return w.id == id; });
        if (!ours && !SameFile(piece.name, request_.bigFile)) fs::remove(Paths::Native(piece.name), ec);
    }
    fs::remove(Paths::Native(checksums), ec);
}

// The older set's checksum file beside the pieces, read once by a split into
// one folder.
ChecksumRead SplitJob::OlderChecksums() const {
    const std::string checksums = request_.ChecksumsBesidePieces();
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(Paths::Native(checksums), ec))) return {};
    return ReadChecksumFile(checksums, request_.marker);
}

// Before anything is written: no other split of the set runs, no name the
// split writes is another set's, no file would follow the new set unasked,
// and the pieces' folder holds the new set beside the old one. Then what
// killed runs left goes, and the staging folder is made.
bool SplitJob::PrepareStaging(int64_t bigSize) {
    const Leftovers left = FindLeftovers(request_.piecePrefix, request_.marker);
    if (left.splitRunning) return Refuse(What::SplitRunning);
    older_ = OlderChecksums();
    const std::string checksums = request_.ChecksumsBesidePieces();
    if (older_.status != ChecksumRead::Status::Absent &&
        IsOtherSetsChecksumFile(checksums, older_, request_.piecePrefix, request_.marker)) {
        Refuse(What::NamesTaken);
        outcome_.untouched = {checksums};
        return false;
    }
    if (!RefuseUnproven()) return false;
    RemoveLeftovers(left);
    const std::string folder = FolderOf(request_.piecePrefix);
    const int64_t need = bigSize + RecoveryBytes();
    const int64_t free = services_.freeSpace ? services_.freeSpace(folder) : 0;
    if (free > 0 && free < need) {
        outcome_ = Refused(What::NoRoomForSet, ENOSPC);
        outcome_.bytes = need;
        return false;
    }
    if (!staging_.Create(request_.piecePrefix, request_.marker))
        return Refuse(What::CannotCreatePiece, staging_.Error(), 1);
    // The files the new set replaces stay on the disk until it is there, but
    // their cached copies are of no more use: dropped now, that memory takes
    // the new pieces, as when a file is written over.
    const auto drop = [&](const std::string& name) {
        if (!SameFile(name, request_.bigFile)) ForgetCachedContents(name);
    };
    for (int32_t n = 1; n <= PieceCount(); ++n) drop(request_.PieceNamed(n));
    for (const NumberedPiece& piece : ProvenOlderPieces(request_.piecePrefix, request_.marker, older_))
        if (piece.number > PieceCount()) drop(piece.name);
    return true;
}

// Files named like pieces after the new set that cannot be proven the older
// set's would be taken in by a join that counts: they go only when the user
// said so.
bool SplitJob::RefuseUnproven() {
    unproven_ = UnprovenFollowers(request_.piecePrefix, request_.marker, request_.bigFile, PieceCount(), older_);
    if (unproven_.empty() || request_.removeUnproven) return true;
    std::vector<std::string> names = unproven_;
    if (staging_.Empty())
        Refuse(What::UnprovenPieces);
    else
        Fail(What::UnprovenPieces);
    outcome_.untouched = std::move(names);
    return false;
}

int64_t SplitJob::RecoveryBytes() const {
    if (request_.recovery <= 0 || PieceCount() <= 0) return 0;
    const RecoveryPlan plan = PlanRecoveryFiles(SizesOfPieces(), request_.recovery, request_.bigFile);
    return plan.ok ? plan.totalBytes : 0;
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
    // The wait for the disk comes before the last look at the stop flag.
    if (!StagedPiecesOnDisk()) return false;
    if (Stopped()) return Fail(What::Stopped);
    const std::string folder = FolderOf(request_.piecePrefix);
    const std::string checksums = request_.ChecksumsBesidePieces();
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
    for (int32_t n = 1; n <= PieceCount(); ++n) {
        const std::string name = request_.PieceNamed(n);
        if (EntryThere(name)) placement.Retire(name);
    }
    for (const NumberedPiece& piece : ProvenOlderPieces(request_.piecePrefix, request_.marker, older_)) {
        if (piece.number > PieceCount() && !SameFile(piece.name, request_.bigFile)) placement.Retire(piece.name);
    }
    for (const std::string& name : unproven_) placement.Retire(name);
    for (const std::string& name : olderRecovery) placement.Retire(name);
    for (const RecoveryFile& file : recoveryFiles_) {
        const std::string name = Paths::InFolder(folder, FileNamePart(file.name));
        if (EntryThere(name)) placement.Retire(name);
    }
    // Without a checksum file of this split, the older one would speak against it.
    if (IsReplaceableEntry(checksums)) placement.Retire(checksums);

    const int permissions = PermissionsOf(request_.bigFile);
    for (const RecoveryFile& file : recoveryFiles_) {
        placement.Place(file.name, Paths::InFolder(folder, FileNamePart(file.name)), permissions);
    }
    if (request_.useChecksums) placement.Place(WrittenName(checksums), checksums, permissions);
    for (int32_t n = PieceCount(); n >= 1; --n) {
        const std::string name = request_.PieceNamed(n);
        placement.Place(WrittenName(name), name, permissions);
    }
    if (!placement.Run()) return PlacingFailed(placement);
    written_.clear();  // in place: a failure from here on takes nothing back
    staging_.Remove();
    SyncFolder(folder);
    return true;
}

// The staged pieces were committed without waiting for the disk: no piece
// takes its name before all of them are there.
bool SplitJob::StagedPiecesOnDisk() {
    // Each flush waits for the file system's journal and the disk's cache;
    // waited for together, they share those waits.
    std::vector<int> errors(written_.size(), 0);
    Team team(kDiskWaitThreads);
    team.Run(written_.size(), [&](std::size_t i) {
        errno = 0;
        if (!SyncFile(written_[i].name)) errors[i] = errno != 0 ? errno : EIO;
    });
    for (std::size_t i = 0; i < errors.size(); ++i) {
        if (errors[i] != 0) return Fail(What::CannotCreatePiece, errors[i], static_cast<int32_t>(i + 1));
    }
    return true;
}

// Says which name could not be freed or taken; everything was put back.
bool SplitJob::PlacingFailed(const SetPlacement& placement) {
    const std::string& name = placement.FailedName();
    const std::string head = FileNamePart(request_.piecePrefix) + request_.marker, file = FileNamePart(name);
    const int32_t n = FolderOf(name) == FolderOf(request_.piecePrefix) && file.compare(0, head.size(), head) == 0
                          ? PieceNumberIn(file.substr(head.size()))
                          : 0;
    if (n > 0) return Fail(What::CannotCreatePiece, placement.Error(), n);
    if (name == request_.ChecksumsBesidePieces()) return Fail(What::ChecksumsNotWritten, placement.Error(), 0, name);
    return Fail(What::RecoveryFailed, placement.Error(), 0, name);
}
