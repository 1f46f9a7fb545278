#include "engine/PieceNaming.h"

#include "io/FileAccess.h"
#include "engine/RemovableMedia.h"

#include <cerrno>
#include <limits>
#include <system_error>
#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// The piece number in a folder entry's name that starts with head (a
// prefix's name and the marker); 0 when it does not. Windows' file systems
// take names that differ only in letter case for the same name, so there
// the head matches in any case, as opening the name would.
int32_t PieceNumberAfter(const fs::path& entry, const std::string& head) {
#ifdef _WIN32
    const std::wstring name = entry.wstring(), wideHead = Paths::Native(head).wstring();
    const auto length = static_cast<int>(wideHead.size());
    if (name.size() <= wideHead.size() ||
        CompareStringOrdinal(name.c_str(), length, wideHead.c_str(), length, TRUE) != CSTR_EQUAL) {
        return 0;
    }
    return PieceNumberIn(fs::path(name.substr(wideHead.size())).u8string());
#else
    const std::string name = entry.u8string();
    if (name.size() <= head.size() || name.compare(0, head.size(), head) != 0) return 0;
    return PieceNumberIn(name.substr(head.size()));
#endif
}

}  // namespace


bool IsUsableMarker(const std::string& marker) {
    // A digit at the end would run into the piece number: with marker "1",
    // "A1112" is piece 112 of "A" and piece 2 of "A11" alike.
    if (marker.empty() || (marker.back() >= '0' && marker.back() <= '9')) return false;
    for (const char c : marker) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7f) return false;
    }
    return true;
}

bool ParseDecimal(const std::string& text, int64_t max, int64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const int digit = c - '0';
        if (value > (max - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

int32_t PieceNumberIn(const std::string& digits) {
    // Decimal without padding, as PieceName writes it: "07" or "1a" is none.
    if (digits.empty() || digits[0] == '0' || digits.size() > 10) return 0;
    int64_t number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + (c - '0');
    }
    return number <= std::numeric_limits<int32_t>::max() ? static_cast<int32_t>(number) : 0;
}

std::string MakePiecePrefix(const std::string& folder, const std::string& bigFile) {
    return Paths::InFolder(folder, FileNamePart(bigFile));
}

std::string PieceName(const std::string& prefix, const std::string& marker, int32_t n) {
    return prefix + marker + std::to_string(n);
}

std::string PiecePattern(const std::string& prefix, const std::string& marker) { return prefix + marker + "*"; }

std::string PrefixFromPieceName(const std::string& pieceName, const std::string& marker) {
    // The occurrence must leave at least one character after it (the piece
    // number), so it may start no later than size - marker - 1.
    if (marker.empty() || pieceName.size() <= marker.size()) return {};
    const std::string::size_type at = pieceName.rfind(marker, pieceName.size() - marker.size() - 1);
    return at == std::string::npos ? std::string() : pieceName.substr(0, at);
}

std::string SetPrefixOf(const std::string& name, const std::string& marker) {
    const std::string piecePrefix = PrefixFromPieceName(name, marker);
    if (!piecePrefix.empty()) return piecePrefix;
    const std::string par2 = ".par2";
    if (name.size() <= par2.size() || name.compare(name.size() - par2.size(), par2.size(), par2) != 0) return {};
    std::string stem = name.substr(0, name.size() - par2.size());
    const auto digits = [](const std::string& text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    };
    // A volume: ".vol" NN "+" MM.
    const std::string::size_type vol = stem.rfind(".vol");
    if (vol != std::string::npos) {
        const std::string counts = stem.substr(vol + 4);
        const std::string::size_type plus = counts.find('+');
        if (plus != std::string::npos && digits(counts.substr(0, plus)) && digits(counts.substr(plus + 1)))
            stem.resize(vol);
    }
    // The recovery files of a set on disks of its own beside another set's: NAME~K.
    const std::string::size_type tilde = stem.rfind('~');
    if (tilde != std::string::npos && digits(stem.substr(tilde + 1))) stem.resize(tilde);
    return FileNamePart(stem).empty() ? std::string() : stem;
}

std::string BigFileTarget(const std::string& prefix, const std::string& bigFileFolder) {
    return Paths::InFolder(bigFileFolder, FileNamePart(prefix));
}

bool IsFloppyPrefix(const std::string& prefix) { return !prefix.empty() && (prefix[0] == 'A' || prefix[0] == 'B'); }

bool PausesBeforePieces(PauseMode mode, const std::string& prefix) {
    switch (mode) {
    case PauseMode::Always: return true;
    case PauseMode::Never: return false;
    default:  // Sometimes, and any value edited in from outside
#ifdef __linux__
              // No drive letters here: the pieces go to a USB stick, a memory card or
        // a floppy disk. (The window and the command line hand in full paths,
        // which never start with a drive letter.)
        return IsFloppyPrefix(prefix) || IsOnRemovableMedia(prefix);
#else
        return IsFloppyPrefix(prefix);
#endif
    }
}

std::vector<NumberedPiece> ExistingPieces(const std::string& prefix, const std::string& marker) {
    std::vector<NumberedPiece> pieces;
    if (marker.empty()) return pieces;
    const std::string head = FileNamePart(prefix) + marker;
    std::error_code ec;
    for (fs::directory_iterator it(Paths::Native(FolderOf(prefix)), ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path name = it->path().filename();
        const int32_t number = PieceNumberAfter(name, head);
        if (number > 0) pieces.push_back({number, Paths::InFolder(FolderOf(prefix), name.u8string())});
    }
    return pieces;
}

