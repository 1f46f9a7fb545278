#include "engine/FileAccess.h"

#include "engine/PieceNaming.h"

#include <system_error>

namespace fs = std::filesystem;

fs::path FsPath(const std::string& name) { return fs::u8path(name); }

std::FILE* OpenFile(const std::string& name, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(FsPath(name).c_str(), wideMode.c_str());
#else
    return std::fopen(name.c_str(), mode);
#endif
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const bool same = fs::equivalent(FsPath(a), FsPath(b), ec);
    return !ec && same;
}

bool IsReplaceableEntry(const std::string& name) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(FsPath(name), ec);
    if (ec) return false;
    return status.type() == fs::file_type::regular || status.type() == fs::file_type::symlink;
}

bool MayReplace(const std::string& name) {
    std::error_code ec;
    const fs::path path = FsPath(name);
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
