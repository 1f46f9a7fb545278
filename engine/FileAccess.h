// Small file-system helpers shared by the naming functions and the engine:
// UTF-8 names to native paths, opening streams, and the checks that keep a
// transfer from touching its own input. Every call here reports failure as a
// value; none throws.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace Paths {
// The native path of a UTF-8 name.
std::filesystem::path Native(const std::string& name);
}  // namespace Paths

// std::fopen with a UTF-8 name (wide call on Windows).
std::FILE* OpenFile(const std::string& name, const char* mode);

// An open stream that is closed on every way out; Close() reports whether the
// last buffered bytes reached the file.
class Stream {
public:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream() { Close(); }

    // Large blocks go straight to the system calls; bytes and small blocks
    // go through the stream's buffer, so that one byte is not one system call.
    bool Open(const std::string& name, const char* mode, bool buffered);
    bool Close();
    // Takes an open stream over (null for none).
    void Adopt(std::FILE* file) {
        Close();
        file_ = file;
    }
    std::FILE* get() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};

// True when both names lead to the same existing file (hard links and
// symbolic links included). A name that does not exist is never the same.
bool SameFile(const std::string& a, const std::string& b);

// True when the name exists as a regular file or as a symbolic link (the
// kinds of entry a transfer may replace; a folder never is).
bool IsReplaceableEntry(const std::string& name);

// True when an existing entry may give way to a new file of its name: a
// regular file (links followed) that could also be opened for writing, or a
// link that leads nowhere. A read-only file or a folder may not.
bool MayReplace(const std::string& name);

// Which file an entry is (device and inode; on Windows the volume and the
// file's index), to tell later whether a name still leads to the file
// written under it.
struct FileIdentity {
    bool known = false;
    unsigned long long device = 0, inode = 0;
    bool operator==(const FileIdentity& o) const { return known && o.known && device == o.device && inode == o.inode; }
};
FileIdentity IdentityOf(const std::string& name);  // links not followed

// The end of a chain of symbolic links starting at `name`: `name` itself
// when it is no link. Empty when the chain loops, or when it ends at a name
// that does not exist in a folder that does not exist either.
std::string LinkDestination(const std::string& name);

// The folder part of a path: "." when it has none, the root when the path
// sits directly in it.
std::string FolderOf(const std::string& path);
