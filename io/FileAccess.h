// File-system helpers every floor above shares: sizes, opening streams,
// which file an entry is, links and their owners, locks, and the checks that
// keep a transfer from touching its own input. Every call here reports failure as a
// value; none throws.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "io/Paths.h"

#include <cstdint>
#include <cstddef>
#include <vector>

// Size in bytes of a regular file (links followed); -1 for anything that
// cannot be opened for reading or is not a regular file (folder, FIFO, device).
int64_t FileSizeOf(const std::string& name);
// The same, with the system's reason in *error when there is no size: ENOENT
// for nothing of that name, EISDIR for a folder, EINVAL for a FIFO or device
// (nothing with a size), otherwise the open's errno (EACCES: no permission).
int64_t FileSizeOf(const std::string& name, int* error);

// Names of the entries in a folder (not recursive); empty when unreadable.
std::vector<std::string> FolderEntryNames(const std::string& folder);
// Removes a file, if it can.
void RemoveFile(const std::string& name);

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
// that does not exist in a folder that does not exist either. untrusted,
// where given, receives the first link on the way that belongs neither to
// the user running the program nor to the owner of the folder it lies in
// (empty when there is none): in a shared folder such a link may have been
// planted to make a write land elsewhere.
std::string LinkDestination(const std::string& name, std::string* untrusted = nullptr);

// Whether the entry (links not followed) belongs to the user running the
// program. Always true on Windows, where no other user's entry lies among
// one's own files in the way a shared folder's do.
bool OwnedByUser(const std::string& name);

// A file's permission bits (links followed); -1 when unknown. Setting them
// is best effort: a file system without them keeps its own.
int PermissionsOf(const std::string& name);
void SetPermissions(const std::string& name, int permissions);

// What a file looked like at one moment: its size, when its bytes last
// changed and when the entry itself last changed. Two stamps that differ say
// that the file may hold other bytes now (links followed).
struct FileStamp {
    bool known = false;
    FileIdentity id;
    int64_t size = -1;
    int64_t modified = 0, changed = 0;  // nanoseconds
    bool operator==(const FileStamp& o) const {
        return known && o.known && id == o.id && size == o.size && modified == o.modified && changed == o.changed;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
FileStamp StampOf(const std::string& name);

// A lock on a file, held while the object lives: another run of the program
// then knows that the file is in use. Through flock on Linux; on Windows a
// byte-range lock far beyond any file's end, which keeps no one from reading
// or writing the file's bytes.
class FileLock {
public:
    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    // False when another holder has it (or the file cannot be opened). The
    // lock's own handle lets the file be renamed and removed meanwhile.
    bool Take(const std::string& name);
    void Release();

private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;  // a descriptor, or on Windows a HANDLE
};
// True when some process holds a FileLock on the entry.
bool IsLocked(const std::string& name);

