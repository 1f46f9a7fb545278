#include "engine/SetFiles.h"

#include "io/FileAccess.h"
#include "engine/SetRepair.h"
#include "io/Sha256.h"
#include "engine/Staging.h"

#include <algorithm>
#include <limits>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {
bool IsRegularEntry(const std::string& name) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(Paths::Native(name), ec));
}

// The older set's checksum file beside the pieces, as a split finds it.
ChecksumRead OlderChecksums(const std::string& prefix, const std::string& marker) {
    const std::string path = ChecksumFileName(prefix, marker);
    if (!IsRegularEntry(path)) return {};
    return ReadChecksumFile(path, marker);
}
}  // namespace

DiscoveredPieces DiscoverPieces(const std::string& prefix, const std::string& marker, const std::string& target) {
    DiscoveredPieces found;
    // A stray file numbered after the set's last piece is none of its pieces.
    int32_t last = std::numeric_limits<int32_t>::max() - 1;
    const std::string sums = FindChecksumFile(prefix, marker, target);
    if (!sums.empty()) {
        const ChecksumRead read = ReadChecksumFile(sums, marker);
        if (read.status == ChecksumRead::Status::Ok && read.set.count > 0) last = read.set.count;
    }
    int64_t size = FileSizeOf(PieceName(prefix, marker, 1));
    found.firstMissing = size < 0;
    while (size >= 0 && found.count < last) {
        found.total += size;
        found.count += 1;
        found.sizes.push_back(size);
        if (found.count < last) size = FileSizeOf(PieceName(prefix, marker, found.count + 1));
    }
    if (found.firstMissing || found.count == last) return found;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(Paths::Native(PieceName(prefix, marker, found.count + 1)), ec))) {
        found.end = DiscoveredPieces::End::NextUnreadable;
        return found;
    }
    for (const NumberedPiece& piece : ExistingPieces(prefix, marker)) {
        if (piece.number > found.count + 1) found.end = DiscoveredPieces::End::NextMissing;
    }
    return found;
}

std::string UntrustedLinkTo(const std::string& name) {
    std::string untrusted;
    LinkDestination(name, &untrusted);
    return untrusted;
}

LoadedSet LoadSet(const std::string& prefix, const std::string& marker, const std::string& target) {
    using Status = LoadedSet::Status;
    LoadedSet loaded;
    const Leftovers left = FindLeftovers(prefix, marker);
    if (!left.staging.empty()) loaded.leftStaging = left.staging.front();
    const ChecksumLookup lookup = LookUpChecksumFile(prefix, marker, target);
    loaded.checksumPath = lookup.path;
    if (lookup.path.empty()) return loaded;
    loaded.untrustedLink = UntrustedLinkTo(lookup.path);
    if (!loaded.untrustedLink.empty()) {
        loaded.status = Status::LinkNotTrusted;
        return loaded;
    }
    loaded.read = ReadChecksumFile(lookup.path, marker);
    switch (loaded.read.status) {
    case ChecksumRead::Status::Ok: break;
    case ChecksumRead::Status::Unfinished: loaded.status = Status::Unfinished; return loaded;
    case ChecksumRead::Status::CannotRead:
    case ChecksumRead::Status::Absent: loaded.status = Status::Unreadable; return loaded;
    case ChecksumRead::Status::Malformed: loaded.status = Status::Damaged; return loaded;
    }
    const ChecksumSet& set = loaded.read.set;
    // A checksum file copied beside other pieces names the files it was made
    // for: it must not check, or stand in for, different ones.
    if (!NamesSet(set, prefix)) {
        loaded.status = Status::OtherSet;
        loaded.related = PiecePattern(Paths::InFolder(FolderOf(lookup.path), set.bigFileName), marker);
        return loaded;
    }
    if (set.count < 1 || set.digests.size() != static_cast<std::size_t>(set.count)) {
        loaded.status = Status::Damaged;
        return loaded;
    }
    loaded.status = Status::Ok;
    for (std::string& file : RecoveryFilesOf(set, FolderOf(prefix), FolderOf(lookup.path))) {
        if (UntrustedLinkTo(file).empty()) loaded.recoveryFiles.push_back(std::move(file));
    }
    return loaded;
}

bool IsOtherSetsChecksumFile(const std::string& path, const ChecksumRead& ours, const std::string& prefix,
                             const std::string& marker) {
    if (ours.status == ChecksumRead::Status::Ok) return !NamesSet(ours.set, prefix);
    if (ours.status != ChecksumRead::Status::Malformed) return false;
    // Read as another set's: its big file's name and marker, cut anywhere.
    std::ifstream in(Paths::Native(path), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string names = FileNamePart(prefix) + marker;
    for (std::size_t cut = 1; cut < names.size(); ++cut) {
        if (cut == FileNamePart(prefix).size() || !IsUsableMarker(names.substr(cut))) continue;
        const ChecksumRead other = ParseChecksumFile(text, names.substr(cut));
        if (other.status == ChecksumRead::Status::Ok && other.set.bigFileName == names.substr(0, cut)) return true;
    }
    return false;
}

std::vector<NumberedPiece> ProvenOlderPieces(const std::string& prefix, const std::string& marker,
                                             const ChecksumRead& older) {
    std::vector<NumberedPiece> proven;
    if (older.status != ChecksumRead::Status::Ok && older.status != ChecksumRead::Status::Unfinished) return proven;
    const ChecksumSet& set = older.set;
    for (std::size_t i = 0; i < set.sizes.size() && i < set.digests.size(); ++i) {
        const auto n = static_cast<int32_t>(i + 1);
        const std::string name = PieceName(prefix, marker, n);
        if (set.PieceFileName(n, marker) != FileNamePart(name)) continue;  // lines of another set's names
        if (IsRegularEntry(name) && FileSizeOf(name) == set.sizes[i]) proven.push_back({n, name});
    }
    return proven;
}

std::vector<std::string> ProvenOlderRecoveryFiles(const std::string& folder, const ChecksumRead& older) {
    std::vector<std::string> proven;
    const ChecksumSet& set = older.set;
    for (std::size_t i = 0; i < set.recoveryNames.size() && i < set.recoveryDigests.size(); ++i) {
        const std::string name = Paths::InFolder(folder, set.recoveryNames[i]);
        if (IsRegularEntry(name) && HashFile(name).hex == set.recoveryDigests[i]) proven.push_back(name);
    }
    return proven;
}

std::vector<std::string> UnprovenFollowers(const std::string& prefix, const std::string& marker,
                                           const std::string& bigFile, int32_t count) {
    return UnprovenFollowers(prefix, marker, bigFile, count, OlderChecksums(prefix, marker));
}

std::vector<std::string> UnprovenFollowers(const std::string& prefix, const std::string& marker,
                                           const std::string& bigFile, int32_t count, const ChecksumRead& older) {
    const std::vector<NumberedPiece> proven = ProvenOlderPieces(prefix, marker, older);
    std::vector<std::string> unproven;
    for (const NumberedPiece& piece : ExistingPieces(prefix, marker)) {
        // A folder is never taken in as a piece, nor removed as one.
        if (piece.number <= count || !IsReplaceableEntry(piece.name) || SameFile(piece.name, bigFile)) continue;
        const bool ours = std::any_of(proven.begin(), proven.end(),
                                      [&](const NumberedPiece& p) { return p.number == piece.number; });
        if (!ours) unproven.push_back(piece.name);
    }
    std::sort(unproven.begin(), unproven.end());
    return unproven;
}

bool IsPieceOfPresentSet(const std::string& name, const std::string& marker) {
    const std::string prefix = SetPrefixOf(name, marker);
    if (prefix.empty()) return false;
    const std::string rest = name.substr(prefix.size());
    const bool piece = rest.compare(0, marker.size(), marker) == 0 && PieceNumberIn(rest.substr(marker.size())) > 0;
    const std::string sums = ChecksumFileName(prefix, marker);
    const bool checksums = name.compare(0, sums.size(), sums) == 0 &&
                           (name.size() == sums.size() || name[sums.size()] == '~');
    const bool recovery = rest.size() >= 5 && rest.compare(rest.size() - 5, 5, ".par2") == 0;
    if (!piece && !checksums && !recovery) return false;
    // A set that lost piece 1 is still one where its checksum file names it.
    return FileSizeOf(PieceName(prefix, marker, 1)) >= 0 || FileSizeOf(sums) >= 0;
}
