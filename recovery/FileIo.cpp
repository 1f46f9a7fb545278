#include "recovery/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace RecoveryIo {
namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";  // a backslash is part of a name here
#endif

fs::path Native(const std::string& name) {
#if defined(__cpp_char8_t)
    return fs::path(std::u8string(name.begin(), name.end()));
#else
    return fs::u8path(name);
#endif
}

int CloseFd(int fd) {
#ifdef _WIN32
    return _close(fd);
#else
    return close(fd);
#endif
}

#ifdef _WIN32
int OpenNative(const std::string& name, int flags) {
    int fd = -1;
    const int error = _wsopen_s(&fd, Native(name).c_str(), flags | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (error != 0) errno = error;
    return error != 0 ? -1 : fd;
}
#endif

// A temporary beside `finalName`: short, so that it fits wherever the final
// name does, and starting as every temporary of the program does, so that
// what a killed run leaves is known for its own.
std::string TemporaryBeside(const std::string& finalName) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof kLetters) - 2);
    std::string name = ".~quorvel";
    for (int i = 0; i < 8; ++i) name += kLetters[pick(random)];
    const auto cut = finalName.find_last_of(kSeparators);
    return cut == std::string::npos ? name : finalName.substr(0, cut + 1) + name;
}

// Reads or writes exactly size bytes at offset, in as many calls as it
// takes; `done(end)` after each. An early end sets errno 0 (a read) or
// ENOSPC (a write).
template <typename Done>
bool Positioned(int fd, char* bytes, std::size_t size, int64_t offset, bool write, Done done) {
    while (size > 0) {
#ifdef _WIN32
        if (_lseeki64(fd, offset, SEEK_SET) < 0) return false;
        const auto part = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
        const long long moved = write ? _write(fd, bytes, part) : _read(fd, bytes, part);
#else
        const ssize_t moved = write ? pwrite(fd, bytes, size, static_cast<off_t>(offset))
                                    : pread(fd, bytes, size, static_cast<off_t>(offset));
        if (moved < 0 && errno == EINTR) continue;
#endif
        if (moved <= 0) {
            if (moved == 0) errno = write ? ENOSPC : 0;
            return false;
        }
        bytes += moved;
        offset += moved;
        size -= static_cast<std::size_t>(moved);
        done(offset);
    }
    return true;
}

}  // namespace

Reader::Reader(Reader&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Reader& Reader::operator=(Reader&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool Reader::Open(const std::string& name) {
    Close();
#ifdef _WIN32
    fd_ = OpenNative(name, _O_RDONLY);
#else
    fd_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
#endif
    return fd_ >= 0;
}

bool Reader::ReadAt(void* buffer, std::size_t size, int64_t offset) {
    return Positioned(fd_, static_cast<char*>(buffer), size, offset, false, [](int64_t) {});
}

int64_t Reader::Size() const {
#ifdef _WIN32
    struct _stat64 info {};
    return _fstat64(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#else
    struct stat info {};
    return fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#endif
}

void Reader::Close() {
    if (fd_ >= 0) CloseFd(fd_);
    fd_ = -1;
}

bool Writer::Create(const std::string& finalName) {
    Abandon();
    finalName_ = finalName;
    written_ = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName_ = TemporaryBeside(finalName);
#ifdef _WIN32
        fd_ = OpenNative(tempName_, _O_CREAT | _O_EXCL | _O_RDWR);
#else
        fd_ = open(tempName_.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0666);
        // Locked while it is written: a file in use is no leftover of a killed run.
        if (fd_ >= 0) (void)flock(fd_, LOCK_EX | LOCK_NB);
#endif
        if (fd_ >= 0) return true;
        if (errno != EEXIST) break;
    }
    tempName_.clear();
    return false;
}

bool Writer::WriteAt(const void* data, std::size_t size, int64_t offset) {
    return Positioned(fd_, const_cast<char*>(static_cast<const char*>(data)), size, offset, true,
                      [this](int64_t end) { written_ = std::max(written_, end); });
}

bool Writer::Write(const void* data, std::size_t size) { return WriteAt(data, size, written_); }

bool Writer::Commit() {
    if (fd_ < 0) return false;
#ifdef _WIN32
    bool ok = _commit(fd_) == 0;
#elif defined(__APPLE__)
    bool ok = fsync(fd_) == 0;
#else
    bool ok = fdatasync(fd_) == 0;
#endif
    int error = errno;
    ok = CloseFd(fd_) == 0 && ok;
    if (!ok && error == 0) error = errno;
    fd_ = -1;
    if (ok) {
#ifdef _WIN32
        ok = MoveFileExW(Native(tempName_).c_str(), Native(finalName_).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        if (!ok) error = EACCES;
#else
        ok = std::rename(tempName_.c_str(), finalName_.c_str()) == 0;
        if (!ok) error = errno;
#endif
    }
    if (!ok) {
        Abandon();
        errno = error;
        return false;
    }
    tempName_.clear();
    return true;
}

void Writer::Abandon() {
    if (fd_ >= 0) CloseFd(fd_);
    fd_ = -1;
    if (!tempName_.empty()) Remove(tempName_);
    tempName_.clear();
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(Native(folder.empty() ? "." : folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        const auto u8 = it->path().filename().u8string();
        names.emplace_back(u8.begin(), u8.end());
    }
    return names;
}

void Remove(const std::string& name) {
    std::error_code ec;
    fs::remove(Native(name), ec);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == ".") return name;
    const char last = folder.back();
#ifdef _WIN32
    const char* separator = "\\";  // as the engine writes paths there
#else
    const char* separator = "/";
#endif
    return std::string(kSeparators).find(last) != std::string::npos ? folder + name : folder + separator + name;
}

std::string BaseName(const std::string& path) {
    const auto cut = path.find_last_of(kSeparators);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace RecoveryIo
