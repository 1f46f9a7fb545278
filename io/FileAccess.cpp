#include "io/FileAccess.h"

#include <sys/types.h>
#include <cerrno>
#include <system_error>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif
#ifdef _WIN32
#include <windows.h>

#include <io.h>
#include <exception>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
// Whether a link may be followed for writing: it belongs to the user running
// the program, or to the owner of its folder (the rule the kernel's
// protected_symlinks applies, which many systems leave off).
bool IsTrustedLink(const fs::path& link) {
#ifdef _WIN32
    // Creating links needs a privilege there: no user plants one for another.
    (void)link;
    return true;
#else
    struct stat own {
    }, folder{};
    if (lstat(link.c_str(), &own) != 0) return false;
    if (own.st_uid == geteuid()) return true;
    const fs::path parent = link.has_parent_path() ? link.parent_path() : fs::path(".");
    return stat(parent.c_str(), &folder) == 0 && folder.st_uid == own.st_uid;
#endif
}
}  // namespace

// Seeks and cuts past 2 GiB need 64-bit off_t; mingw has it only with
// _FILE_OFFSET_BITS=64, which the build sets.
static_assert(sizeof(off_t) == 8, "64-bit file positions");

int64_t FileSizeOf(const std::string& name) { return FileSizeOf(name, nullptr); }

int64_t FileSizeOf(const std::string& name, int* error) {
    int ignored = 0;
    int& why = error != nullptr ? *error : ignored;
    why = 0;
    // Only regular files have a size: a FIFO would block the open and a
    // device such as /dev/zero never ends.
    std::error_code ec;
    const fs::path path = Paths::Native(name);
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        why = ec && ec.value() != 0 ? ec.value() : ENOENT;
        return -1;
    }
    if (!fs::is_regular_file(status)) {
        why = fs::is_directory(status) ? EISDIR : EINVAL;
        return -1;
    }
    std::FILE* file = OpenFile(name, "rb");
    if (file == nullptr) {
        why = errno != 0 ? errno : EACCES;
        return -1;
    }
    std::fclose(file);
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > static_cast<std::uintmax_t>(std::numeric_limits<int64_t>::max())) {
        why = ec ? ec.value() : EOVERFLOW;
        return -1;
    }
    return static_cast<int64_t>(size);
}

std::vector<std::string> FolderEntryNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(Paths::Native(folder.empty() ? "." : folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        names.push_back(it->path().filename().u8string());
    }
    return names;
}

void RemoveFile(const std::string& name) {
    std::error_code ec;
    fs::remove(Paths::Native(name), ec);
}

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
#ifdef _WIN32
    // Read-only holds for every user, also where opening for writing would
    // not tell (Wine run by root).
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
#endif
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
    // The volume and the file's index on it; links are not followed.
    const HANDLE file =
        CreateFileW(Paths::Native(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return id;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info)) {
        id.known = true;
        id.device = info.dwVolumeSerialNumber;
        id.inode = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    CloseHandle(file);
#endif
    return id;
}

std::string LinkDestination(const std::string& name, std::string* untrusted) {
    fs::path path = Paths::Native(name);
    std::error_code ec;
    if (untrusted != nullptr) untrusted->clear();
    // As many links as the system itself follows before it gives up.
    for (int hop = 0; hop < 40; ++hop) {
        const fs::file_status status = fs::symlink_status(path, ec);
        if (!fs::is_symlink(status)) {
            if (fs::exists(status)) return path.u8string();
            const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
            return fs::is_directory(fs::status(folder, ec)) ? path.u8string() : std::string();
        }
        if (untrusted != nullptr && untrusted->empty() && !IsTrustedLink(path)) *untrusted = path.u8string();
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) return {};
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return {};
}

bool OwnedByUser(const std::string& name) {
#ifdef _WIN32
    (void)name;
    return true;
#else
    struct stat info {};
    return lstat(name.c_str(), &info) == 0 && info.st_uid == geteuid();
#endif
}

int PermissionsOf(const std::string& name) {
    std::error_code ec;
    const fs::file_status status = fs::status(Paths::Native(name), ec);
    if (ec || !fs::exists(status)) return -1;
    return static_cast<int>(status.permissions() & fs::perms::mask);
}

void SetPermissions(const std::string& name, int permissions) {
    if (permissions < 0) return;
    std::error_code ec;
    fs::permissions(Paths::Native(name), static_cast<fs::perms>(permissions) & fs::perms::mask, ec);
}

FileStamp StampOf(const std::string& name) {
    FileStamp stamp;
#ifdef _WIN32
    std::error_code ec;
    const fs::path path = Paths::Native(name);
    const auto size = fs::file_size(path, ec);
    if (ec) return stamp;
    const auto written = fs::last_write_time(path, ec);
    if (ec) return stamp;
    stamp.known = true;
    stamp.id = IdentityOf(LinkDestination(name));
    stamp.size = static_cast<int64_t>(size);
    stamp.modified = static_cast<int64_t>(written.time_since_epoch().count());
#else
    struct stat info {};
    if (stat(name.c_str(), &info) != 0) return stamp;
    stamp.known = true;
    stamp.id.known = true;
    stamp.id.device = static_cast<unsigned long long>(info.st_dev);
    stamp.id.inode = static_cast<unsigned long long>(info.st_ino);
    stamp.size = static_cast<int64_t>(info.st_size);
    stamp.modified = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed = int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
#endif
    return stamp;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

#ifdef _WIN32
namespace {
// Where the Windows lock sits: past the end of every file there is.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

HANDLE OpenForLock(const std::string& name) {
    return CreateFileW(Paths::Native(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool LockHandle(HANDLE handle) {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}
}  // namespace

bool FileLock::Take(const std::string& name) {
    Release();
    const HANDLE handle = OpenForLock(name);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (!LockHandle(handle)) {
        CloseHandle(handle);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(handle);
    return true;
}

void FileLock::Release() {
    if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing the handle ends its lock
    handle_ = kNone;
}

bool IsLocked(const std::string& name) {
    const HANDLE handle = OpenForLock(name);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool locked = !LockHandle(handle) && GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(handle);  // and with it a lock just taken
    return locked;
}
#else
bool FileLock::Take(const std::string& name) {
    Release();
    const int fd = open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

void FileLock::Release() {
    if (handle_ != kNone) close(static_cast<int>(handle_));
    handle_ = kNone;
}

bool IsLocked(const std::string& name) {
    const int fd = open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool locked = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return locked;
}
#endif

bool Stream::Open(const std::string& name, const char* mode, bool buffered) {
    Close();
    file_ = OpenFile(name, mode);
    if (file_ != nullptr && !buffered) std::setvbuf(file_, nullptr, _IONBF, 0);
    return file_ != nullptr;
}

bool Stream::Close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}
