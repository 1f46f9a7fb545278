#include "io/OutputFile.h"

#include "io/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <stdio_ext.h>
#endif

namespace fs = std::filesystem;

namespace {

// Tries with new random names while a name is taken.
constexpr int kNameAttempts = 100;

// Writes around the cache go in blocks of this size, at offsets it divides:
// a multiple of every disk's sector size.
constexpr std::size_t kAroundBlock = std::size_t(8) << 20;

#ifdef __linux__
// Turns writing past the cache on or off for an open file.
bool SetDirect(int fd, bool on) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}
#endif

#ifdef _WIN32
// errno for the reason a rename failed.
int RenameError(DWORD error) {
    switch (error) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_DISK_FULL: return ENOSPC;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    default: return EIO;
    }
}
#endif

#ifdef __linux__
// Gives a nameless file a name. Through /proc first: linking by descriptor
// alone needs a privilege ordinary users lack.
bool LinkNameless(int fd, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != ENOENT) return false;
    return linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}
#endif

}  // namespace

std::string RandomLetters(int count) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof kLetters) - 2);
    std::string result;
    for (int i = 0; i < count; ++i) result += kLetters[pick(random)];
    return result;
}

std::string TemporaryNameBeside(const std::string& name) {
    // Not derived from the final name: any name the file system takes must
    // leave room for its temporary.
    return Paths::InFolder(FolderOf(name), kTemporaryNameStart + RandomLetters(8));
}

namespace {
// A new file of that name, open for reading and writing; -1 with errno set
// (EEXIST when the name is taken).
int CreateExclusive(const std::string& name) {
#ifdef _WIN32
    int fd = -1;
    const int error = _wsopen_s(&fd, Paths::Native(name).c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _SH_DENYNO,
                                _S_IREAD | _S_IWRITE);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return fd;
#else
    // A link planted under the name is never followed, whatever it points to.
    return open(name.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0666);
#endif
}
}  // namespace

bool OutputFile::Fail() {
    if (error_ == 0) error_ = errno;
    return false;
}

bool OutputFile::Open(const std::string& finalName, bool buffered) {
    Abandon();
    error_ = 0;
    written_ = 0;
    finalName_ = finalName;
    tempName_.clear();
    int fd = -1;
#ifdef __linux__
    // A nameless file in the destination's folder: nothing is left behind
    // when the process is killed, whatever the moment. Open for reading as
    // well, so that what was written can be hashed back.
    fd = open(FolderOf(finalName).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return Fail();
#endif
    for (int attempt = 0; fd < 0 && attempt < kNameAttempts; ++attempt) {
        tempName_ = TemporaryNameBeside(finalName);
        fd = CreateExclusive(tempName_);
        if (fd < 0 && errno != EEXIST) {
            tempName_.clear();
            return Fail();
        }
    }
    if (fd < 0) {
        tempName_.clear();
        error_ = EEXIST;
        return false;
    }
    // A named temporary in use is no leftover of a killed run.
    if (!tempName_.empty()) lock_.Take(tempName_);
#ifdef _WIN32
    stream_.Adopt(_fdopen(fd, "w+b"));
#else
    stream_.Adopt(fdopen(fd, "w+b"));
#endif
    if (stream_.get() == nullptr) {
        error_ = errno;
#ifdef _WIN32
        _close(fd);
#else
        close(fd);
#endif
        Abandon();
        return false;
    }
    if (!buffered) std::setvbuf(stream_.get(), nullptr, _IONBF, 0);
    return true;
}

bool OutputFile::WriteAt(const void* data, std::size_t size, int64_t offset) {
    return Settle() && PutAt(data, size, offset);
}

bool OutputFile::Write(const void* data, std::size_t size) {
    if (!around_) return PutAt(data, size, written_);
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const std::size_t n = std::min(size, kAroundBlock - aroundFill_);
        std::memcpy(around_.get() + aroundFill_, bytes, n);
        aroundFill_ += n;
        bytes += n;
        size -= n;
        if (aroundFill_ == kAroundBlock && !PutAround()) return false;
    }
    return true;
}

bool OutputFile::WriteAroundCache() {
#ifdef __linux__
    if (stream_.get() == nullptr || written_ != 0 || around_) return false;
    if (std::fflush(stream_.get()) != 0) return false;
    const int fd = fileno(stream_.get());
    if (!SetDirect(fd, true)) return false;
    void* block = nullptr;
    if (posix_memalign(&block, 4096, kAroundBlock) != 0) {
        (void)SetDirect(fd, false);
        return false;
    }
    around_.reset(static_cast<unsigned char*>(block));
    aroundFill_ = 0;
    return true;
#else
    return false;
#endif
}

bool OutputFile::PutAround() {
    const std::size_t n = aroundFill_;
    const int64_t at = written_;
    aroundFill_ = 0;
    if (n == 0 || PutAt(around_.get(), n, at)) return true;
    if (error_ != EINVAL) return false;
#ifdef __linux__
    // A file system that takes the flag but not these writes: the rest
    // through the cache.
    if (!SetDirect(fileno(stream_.get()), false)) return false;
    error_ = 0;
    const std::size_t done = std::size_t(written_ - at);
    return PutAt(around_.get() + done, n - done, at + int64_t(done));
#else
    return false;
#endif
}

bool OutputFile::Settle() {
    if (!around_) return true;
#ifdef __linux__
    // The last block is not a whole number of sectors.
    if (!SetDirect(fileno(stream_.get()), false)) return Fail();
#endif
    const bool ok = PutAround();
    around_.reset();
    return ok;
}

bool OutputFile::PutAt(const void* data, std::size_t size, int64_t offset) {
    if (stream_.get() == nullptr) return false;
    const int fd = fileno(stream_.get());
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
#ifdef _WIN32
        if (_lseeki64(fd, offset, SEEK_SET) < 0) return Fail();
        const int moved = _write(fd, bytes, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
#else
        const ssize_t moved = pwrite(fd, bytes, size, static_cast<off_t>(offset));
        if (moved < 0 && errno == EINTR) continue;
#endif
        if (moved <= 0) {
            if (moved == 0) errno = ENOSPC;
            return Fail();
        }
        bytes += moved;
        offset += moved;
        size -= static_cast<std::size_t>(moved);
        written_ = std::max(written_, offset);
    }
    return true;
}

int64_t OutputFile::Size() {
    if (stream_.get() == nullptr) return -1;
    if (!Settle()) return -1;
    if (std::fflush(stream_.get()) != 0) {
        Fail();
#ifdef __GLIBC__
        // What could not be written must not follow later, after the cut.
        __fpurge(stream_.get());
#endif
    }
#ifdef _WIN32
    std::error_code ec;
    const auto size = fs::file_size(Paths::Native(tempName_), ec);
    return ec ? -1 : static_cast<int64_t>(size);
#else
    struct stat info {};
    if (fstat(fileno(stream_.get()), &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
#endif
}

bool OutputFile::Truncate(int64_t size) {
    if (stream_.get() == nullptr || !Settle()) return false;
#ifdef __GLIBC__
    __fpurge(stream_.get());
#endif
#ifdef _WIN32
    std::fflush(stream_.get());
    std::error_code ec;
    fs::resize_file(Paths::Native(tempName_), static_cast<std::uintmax_t>(size), ec);
    return !ec;
#else
    return ftruncate(fileno(stream_.get()), static_cast<off_t>(size)) == 0 || Fail();
#endif
}

bool OutputFile::Sync() {
    if (stream_.get() == nullptr || !Settle()) return false;
    if (std::fflush(stream_.get()) != 0) return Fail();
    const int fd = fileno(stream_.get());
#ifdef _WIN32
    return _commit(fd) == 0 || Fail();
#elif defined(__linux__)
    return fdatasync(fd) == 0 || Fail();
#else
    return fsync(fd) == 0 || Fail();
#endif
}

void OutputFile::StartWriteBack(int64_t offset, int64_t length) {
    if (stream_.get() == nullptr || !Settle()) return;
#ifdef __linux__
    (void)sync_file_range(fileno(stream_.get()), static_cast<off_t>(offset), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE);
#else
    (void)offset, (void)length;
#endif
}

bool OutputFile::Commit(bool replace, bool waitForDisk) {
    if (stream_.get() == nullptr) return false;
    if (!Settle()) {
        Abandon();
        return false;
    }
#ifdef __linux__
    if (!waitForDisk) {
        if (std::fflush(stream_.get()) != 0) {
            Fail();
            Abandon();
            return false;
        }
        StartWriteBack();
    }
#else
    waitForDisk = true;  // no write-back to start and wait for later
#endif
    // Named before it is on the disk, a power loss could leave an empty or
    // partial file under the final name.
    if (waitForDisk && !Sync()) {
        Abandon();
        return false;
    }
    std::error_code ec;
    const fs::path finalPath = Paths::Native(finalName_);
#ifndef _WIN32
    if (replace) {
        // The new file takes the place of the old one with the old one's mode.
        struct stat old {};
        if (stat(finalName_.c_str(), &old) == 0) (void)fchmod(fileno(stream_.get()), old.st_mode & 07777);
    }
#endif
#ifdef __linux__
    if (tempName_.empty()) {
        // Named beside the final name first when replacing, so that the
        // rename below swaps the two in one step.
        std::string linked = finalName_;
        bool ok = false;
        for (int attempt = 0; attempt < kNameAttempts && !ok; ++attempt) {
            if (replace) linked = TemporaryNameBeside(finalName_);
            ok = LinkNameless(fileno(stream_.get()), linked);
            if (!ok && (!replace || errno != EEXIST)) break;
        }
        if (!ok) {
            Fail();
            Abandon();
            return false;
        }
        const bool closed = stream_.Close();
        if (!closed || (replace && std::rename(linked.c_str(), finalName_.c_str()) != 0)) {
            error_ = errno;
            unlink(linked.c_str());
            return false;
        }
        return true;
    }
#endif
    const bool closed = stream_.Close();
    if (!closed) {
        error_ = errno;
        Abandon();
        return false;
    }
#ifdef _WIN32
    // One step: the name holds the old file or the new one, never neither;
    // without replace, an existing file makes the rename itself fail.
    if (!MoveFileExW(Paths::Native(tempName_).c_str(), finalPath.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        error_ = RenameError(GetLastError());
        Abandon();
        return false;
    }
#else
    if (!replace && fs::exists(fs::symlink_status(finalPath, ec))) {
        error_ = EEXIST;
        Abandon();
        return false;
    }
    // One step: the name holds the old file or the new one, never neither.
    fs::rename(Paths::Native(tempName_), finalPath, ec);
    if (ec) {
        error_ = ec.value();
        Abandon();
        return false;
    }
#endif
    tempName_.clear();
    lock_.Release();
    return true;
}

bool SyncFile(const std::string& name) {
#ifdef __linux__
    // A descriptor of its own serves: the bytes wait in the file, not in one
    // descriptor, and a write the disk failed is reported to every later
    // flush of the file.
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool ok = fdatasync(fd) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return ok;
#else
    (void)name;  // Commit flushed it before the name was given
    return true;
#endif
}

bool SyncFolder(const std::string& path) {
#ifdef _WIN32
    // NTFS and FAT have no flush of a folder's entries from user space; a
    // rename there is written through by the system.
    (void)path;
    return true;
#else
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    const int error = errno;
    close(fd);
    errno = error;
    return ok;
#endif
}

void OutputFile::Abandon() {
    around_.reset();
    aroundFill_ = 0;
    if (stream_.get() != nullptr) {
#ifdef __GLIBC__
        __fpurge(stream_.get());  // nothing more to write into a file that is thrown away
#endif
        stream_.Close();
    }
    lock_.Release();
    if (!tempName_.empty()) {
        std::error_code ec;
        fs::remove(Paths::Native(tempName_), ec);
        tempName_.clear();
    }
}
