// Names of files as the program holds them (UTF-8, the native separator) and
// the paths the system takes. Standard library only.
#pragma once

#include <filesystem>
#include <string>

// '\' on Windows, '/' elsewhere.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

namespace Paths {
// The native path of a UTF-8 name.
std::filesystem::path Native(const std::string& name);
// The name in the folder: folder + separator + name, leaving the separator
// out when the folder already ends with one (a root such as "/" or "C:\").
std::string InFolder(const std::string& folder, const std::string& name);
}  // namespace Paths

// The text after the last native separator; the whole text if there is none.
std::string FileNamePart(const std::string& path);

// The folder part of a path: "." when it has none, the root when the path
// sits directly in it.
std::string FolderOf(const std::string& path);
