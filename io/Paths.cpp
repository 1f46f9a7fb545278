#include "io/Paths.h"

#include <exception>

namespace fs = std::filesystem;

fs::path Paths::Native(const std::string& name) {
#ifdef _WIN32
    // Windows names are UTF-16: text that is no UTF-8 cannot be converted,
    // and u8path throws. An empty path names no file, so every call fails.
    try {
        return fs::u8path(name);
    } catch (const std::exception&) {
        return {};
    }
#else
    return fs::u8path(name);
#endif
}

std::string Paths::InFolder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == kPathSeparator) return folder + name;
    return folder + kPathSeparator + name;
}

std::string FileNamePart(const std::string& path) {
    const std::string::size_type last = path.rfind(kPathSeparator);
    return last == std::string::npos ? path : path.substr(last + 1);
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
