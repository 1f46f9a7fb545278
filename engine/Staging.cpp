#include "engine/Staging.h"

#include "engine/ChecksumFile.h"
#include "io/OutputFile.h"
#include "engine/PieceNaming.h"
#include "io/Team.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The file inside a staging folder that names its set: the set's file name
// and marker, one per line.
constexpr const char* kSetTag = ".~quorvel-set";

std::string TagText(const std::string& prefixName, const std::string& marker) {
    return prefixName + "\n" + marker + "\n";
}

std::string ReadSmallFile(const std::string& name) {
    std::ifstream in(Paths::Native(name), std::ios::binary);
    std::string text(4096, '\0');
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

bool IsTemporaryName(const std::string& entry) {
    return entry.compare(0, std::char_traits<char>::length(kTemporaryNameStart), kTemporaryNameStart) == 0;
}

// A staging folder of the set: tagged with it, or (left by an older version)
// holding nothing but the set's files. Only regular files, only the set's
// names and this program's temporaries.
bool IsStagingOf(const fs::path& folder, const std::string& prefixName, const std::string& marker) {
    std::error_code ec;
    bool tagged = false, any = false;
    for (const fs::directory_entry& file : fs::directory_iterator(folder, ec)) {
        const std::string entry = file.path().filename().u8string();
        if (!file.is_regular_file(ec) || file.is_symlink(ec)) return false;
        if (entry == kSetTag) {
            if (ReadSmallFile(file.path().u8string()) != TagText(prefixName, marker)) return false;
            tagged = true;
        } else if (!IsTemporaryName(entry) && !IsNameOfSet(entry, prefixName, marker)) {
            return false;
        }
        any = true;
    }
    return !ec && (tagged || any);
}

}  // namespace

bool IsNameOfSet(const std::string& entry, const std::string& prefixName, const std::string& marker) {
    const std::string head = prefixName + marker;
    if (entry.compare(0, head.size(), head) == 0) {
        const std::string tail = entry.substr(head.size());
        if (tail == kChecksumSuffix || PieceNumberIn(tail) > 0) return true;
    }
    return IsRecoveryName(entry, prefixName);
}

bool IsRecoveryName(const std::string& entry, const std::string& bigName) {
    const std::string volume = bigName + ".vol", end = ".par2";
    const bool volumeName = entry.size() > volume.size() + end.size() && entry.compare(0, volume.size(), volume) == 0 &&
                            entry.compare(entry.size() - end.size(), end.size(), end) == 0;
    return entry == bigName + end || volumeName;
}

bool StagingFolder::Create(const std::string& prefix, const std::string& marker) {
    const std::string folder = FolderOf(prefix);
    std::error_code ec;
    error_ = 0;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        // Short, so that any piece name that fits the file system fits inside.
        const std::string name = Paths::InFolder(folder, kStagingHead + RandomLetters(8));
        if (fs::create_directory(Paths::Native(name), ec)) path_ = name;
        if (ec && ec != std::errc::file_exists) break;
    }
    if (path_.empty()) {
        error_ = ec.value();
        return false;
    }
    fs::permissions(Paths::Native(path_), fs::perms::owner_all, ec);
    // The tag is locked before it says anything: a tagged folder whose tag
    // no one holds is a leftover.
    const std::string tag = Paths::InFolder(path_, kSetTag);
    errno = 0;
    std::FILE* file = OpenFile(tag, "wb");
    bool ok = file != nullptr && lock_.Take(tag);
    if (ok) {
        const std::string text = TagText(FileNamePart(prefix), marker);
        ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    }
    if (file != nullptr) ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        error_ = errno != 0 ? errno : EIO;
        Remove();
    }
    return ok;
}

std::string StagingFolder::Inside(const std::string& finalName) const {
    return Paths::InFolder(path_, FileNamePart(finalName));
}

std::string StagingFolder::SpareName() {
    return Paths::InFolder(path_, std::string(kTemporaryNameStart) + "-old" + std::to_string(++spare_));
}

void StagingFolder::Remove() {
    if (path_.empty()) return;
    lock_.Release();
    std::error_code ec;
    // An older set moved aside can be hundreds of files. Where the file
    // system gives blocks back slowly (discard on every free), each removal
    // waits for the disk, so several wait at once.
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(Paths::Native(path_), ec)) {
        if (!entry.is_directory(ec)) files.push_back(entry.path());
    }
    if (files.size() > 1) {
        Team team(kDiskWaitThreads);
        team.Run(files.size(), [&](std::size_t i) {
            std::error_code removing;
            fs::remove(files[i], removing);
        });
    }
    fs::remove_all(Paths::Native(path_), ec);
    path_.clear();
}

Leftovers FindLeftovers(const std::string& prefix, const std::string& marker) {
    Leftovers found;
    const std::string prefixName = FileNamePart(prefix);
    const std::size_t headSize = std::char_traits<char>::length(kStagingHead);
    const std::size_t temporarySize = std::char_traits<char>::length(kTemporaryNameStart) + 8;
    std::error_code ec;
    for (const fs::directory_entry& dir : fs::directory_iterator(Paths::Native(FolderOf(prefix)), ec)) {
        const std::string name = dir.path().filename().u8string();
        const std::string path = dir.path().u8string();
        if (!IsTemporaryName(name) || dir.is_symlink(ec) || !OwnedByUser(path)) continue;
        if (name.size() == headSize + 8 && name.compare(0, headSize, kStagingHead) == 0 && dir.is_directory(ec)) {
            if (!IsStagingOf(dir.path(), prefixName, marker)) continue;
            if (IsLocked(Paths::InFolder(path, kSetTag)))
                found.splitRunning = true;
            else
                found.staging.push_back(path);
        } else if (name.size() == temporarySize && dir.is_regular_file(ec) && !IsLocked(path)) {
            found.temporaries.push_back(path);
        }
    }
    return found;
}

void RemoveLeftovers(const Leftovers& leftovers) {
    std::error_code ec;
    for (const std::string& folder : leftovers.staging) fs::remove_all(Paths::Native(folder), ec);
    for (const std::string& file : leftovers.temporaries) fs::remove(Paths::Native(file), ec);
}
