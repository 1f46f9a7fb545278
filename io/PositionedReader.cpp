#include "io/PositionedReader.h"

#include "io/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <utility>
#ifdef _WIN32
#include <windows.h>

#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

int64_t ReadSomeAt(int fd, void* buffer, std::size_t size, int64_t offset) {
#ifdef _WIN32
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD read = 0;
    if (ReadFile(handle, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &read, &at)) return read;
    const DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    // A handle not open for reading, as pread's EBADF.
    errno = error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE ? EBADF : EIO;
    return -1;
#else
    for (;;) {
        const ssize_t read = pread(fd, buffer, size, static_cast<off_t>(offset));
        if (read >= 0 || errno != EINTR) return read;
    }
#endif
}

bool ReadAllAt(int fd, void* buffer, std::size_t size, int64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const int64_t read = ReadSomeAt(fd, bytes, size, offset);
        if (read <= 0) {
            if (read == 0) errno = 0;
            return false;
        }
        bytes += read;
        offset += read;
        size -= static_cast<std::size_t>(read);
    }
    return true;
}

#ifdef _WIN32

int OwnReadingDescriptor(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    // Only for a caller's handle that reads: a read of nothing tells, without moving it.
    char none;
    DWORD read = 0;
    if (handle == INVALID_HANDLE_VALUE || !ReadFile(handle, &none, 0, &read, nullptr)) return errno = EBADF, -1;
    const HANDLE own = ReOpenFile(handle, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (own == INVALID_HANDLE_VALUE) return errno = EACCES, -1;
    const int result = _open_osfhandle(reinterpret_cast<intptr_t>(own), _O_RDONLY | _O_BINARY);
    if (result < 0) CloseHandle(own);
    return result;
}

void CloseDescriptor(int fd) { _close(fd); }

#else

int OwnReadingDescriptor(int fd) { return fcntl(fd, F_DUPFD_CLOEXEC, 0); }

void CloseDescriptor(int fd) { close(fd); }

#endif

PositionedReader::PositionedReader(PositionedReader&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

PositionedReader& PositionedReader::operator=(PositionedReader&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool PositionedReader::Open(const std::string& name) {
    Close();
#ifdef _WIN32
    const int error = _wsopen_s(&fd_, Paths::Native(name).c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO, _S_IREAD);
    if (error != 0) {
        errno = error;
        fd_ = -1;
    }
#else
    // Without waiting: a FIFO planted under a recovery file's name would
    // block the open until someone writes to it. Only a regular file is read.
    fd_ = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return false;
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        Close();
        errno = error;
        return false;
    }
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
#endif
    return fd_ >= 0;
}

bool PositionedReader::OpenOwn(int fd) {
    Close();
    fd_ = OwnReadingDescriptor(fd);
    return fd_ >= 0;
}

int64_t PositionedReader::Size() const {
#ifdef _WIN32
    struct _stat64 info {};
    return _fstat64(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#else
    struct stat info {};
    return fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#endif
}

void PositionedReader::Close() {
    if (fd_ >= 0) CloseDescriptor(fd_);
    fd_ = -1;
}
