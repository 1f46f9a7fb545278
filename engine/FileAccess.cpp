#include "engine/FileAccess.h"

#include "engine/PieceNaming.h"

#include <system_error>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

fs::path Paths::Native(const std::string& name) { return fs::u8path(name); }

std::FILE* OpenFile(const std::string& name, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(Paths::Native(name).c_str(), wideMode.c_str());
#else
    return std::fopen(name.c_str(), mode);
#endif
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const bool same = fs::equivalent(Paths::Native(a), Paths::Native(b), ec);
    return !ec && same;
}

bool IsReplaceableEntry(const std::string& name) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(Paths::Native(name), ec);
    if (ec) return false;
    return status.type() == fs::file_type::regular || status.type() == fs::file_type::symlink;
}

bool MayReplace(const std::string& name) {
    std::error_code ec;
    const fs::path path = Paths::Native(name);
    const fs::file_status link = fs::symlink_status(path, ec);
    if (ec) return false;
    const fs::file_status target = fs::status(path, ec);
    if (fs::is_symlink(link) && !fs::exists(target)) return true;
    if (!fs::is_regular_file(target)) return false;
    std::FILE* file = OpenFile(name, "r+b");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

FileIdentity IdentityOf(const std::string& name) {
    FileIdentity id;
#ifndef _WIN32
    struct stat info {};
    if (lstat(name.c_str(), &info) == 0) {
        id.known = true;
        id.device = static_cast<unsigned long long>(info.st_dev);
        id.inode = static_cast<unsigned long long>(info.st_ino);
    }
#else
    (void)name;
#endif
    return id;
}

std::string LinkDestination(const std::string& name) {
    fs::path path = Paths::Native(name);
    std::error_code ec;
    // As many links as the system itself follows before it gives up.
    for (int hop = 0; hop < 40; ++hop) {
        const fs::file_status status = fs::symlink_status(path, ec);
        if (!fs::is_symlink(status)) {
            if (fs::exists(status)) return path.u8string();
            const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
            return fs::is_directory(fs::status(folder, ec)) ? path.u8string() : std::string();
        }
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) return {};
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return {};
}

std::string FolderOf(const std::string& path) {
    const std::string::size_type last = path.rfind(kPathSeparator);
    if (last == std::string::npos) return ".";
    if (last == 0) return std::string(1, kPathSeparator);
    std::string folder = path.substr(0, last);
#ifdef _WIN32
    // "C:\x" lives in the drive root "C:\", not in the drive's current folder "C:".
    if (folder.size() == 2 && folder[1] == ':') folder += kPathSeparator;
#endif
    return folder;
}
