#include "io/Sha256.h"

#include "io/FileAccess.h"
#include "io/PositionedReader.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <utility>
#ifdef _WIN32
#include <windows.h>

#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

std::string Sha256::Final() {
    constexpr unsigned kDigestBytes = kSha256HexDigits / 2;
    unsigned char digest[kDigestBytes];
    if (!hash_.Final(digest)) return {};
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(kSha256HexDigits, '0');
    for (unsigned i = 0; i < kDigestBytes; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return hex;
}

std::string Sha256Hex(const void* data, std::size_t size) {
    Sha256 hash;
    hash.Update(data, size);
    return hash.Final();
}

std::string Sha256Hex(const std::string& bytes) { return Sha256Hex(bytes.data(), bytes.size()); }

bool IsSha256Hex(const std::string& text) {
    if (text.size() != kSha256HexDigits) return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

namespace {

#ifdef _WIN32
// A read at an offset moves a Windows handle's position too (the handle is
// not opened for overlapped reads): it is put back when this goes.
class PositionKeeper {
public:
    explicit PositionKeeper(int fd) : handle_(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) {
        kept_ = handle_ != INVALID_HANDLE_VALUE && SetFilePointerEx(handle_, LARGE_INTEGER{}, &position_, FILE_CURRENT);
    }
    ~PositionKeeper() {
        if (kept_) SetFilePointerEx(handle_, position_, nullptr, FILE_BEGIN);
    }
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

private:
    HANDLE handle_;
    LARGE_INTEGER position_{};
    bool kept_ = false;
};
#endif

}  // namespace

bool HashFileRange(int fd, int64_t offset, int64_t length, Sha256& hash, char* buffer, std::size_t bufferSize,
                   int* error) {
    if (error != nullptr) *error = 0;
#ifdef _WIN32
    const PositionKeeper keeper(fd);
#endif
    while (length > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(length, bufferSize));
        const int64_t read = ReadSomeAt(fd, buffer, want, offset);
        if (read <= 0) {
            if (read < 0 && error != nullptr) *error = errno;
            return false;
        }
        hash.Update(buffer, static_cast<std::size_t>(read));
        offset += read;
        length -= read;
    }
    return true;
}

bool HashFileRange(int fd, int64_t offset, int64_t length, Sha256& hash, int* error) {
    if (error != nullptr) *error = 0;
    if (length <= 0) return true;
    const auto bufferSize = static_cast<std::size_t>(std::min<int64_t>(length, kHashReadBytes));
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[bufferSize]);
    if (!buffer) {
        if (error != nullptr) *error = ENOMEM;
        return false;
    }
    return HashFileRange(fd, offset, length, hash, buffer.get(), bufferSize, error);
}

bool HashFileRange(std::FILE* file, int64_t offset, int64_t length, Sha256& hash, int* error) {
#ifdef _WIN32
    return HashFileRange(_fileno(file), offset, length, hash, error);
#else
    return HashFileRange(fileno(file), offset, length, hash, error);
#endif
}

FileDigest HashFile(const std::string& name) {
    FileDigest result;
    std::FILE* file = OpenFile(name, "rb");
    if (file == nullptr) {
        result.error = errno;
        return result;
    }
#ifdef _WIN32
    const int fd = _fileno(file);
#else
    const int fd = fileno(file);
    (void)posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // a cold file: read ahead generously
#endif
    Sha256 hash;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kHashReadBytes]);
    if (!buffer) result.error = ENOMEM;
    while (buffer) {
        const int64_t read = ReadSomeAt(fd, buffer.get(), kHashReadBytes, result.bytes);
        if (read < 0) result.error = errno;
        if (read <= 0) break;
        hash.Update(buffer.get(), static_cast<std::size_t>(read));
        result.bytes += read;
    }
    std::fclose(file);
    if (result.error == 0) {
        result.hex = hash.Final();
        result.ok = !result.hex.empty();
    }
    return result;
}
