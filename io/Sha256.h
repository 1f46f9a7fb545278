// SHA-256 through the system's library (io/Digests.h: OpenSSL's EVP,
// on Windows the system's CNG), over bytes in memory or over a byte range of
// an open file. Digests are 64 lowercase hex digits, as sha256sum prints them.
#pragma once

#include "io/Digests.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

inline constexpr std::size_t kSha256HexDigits = 64;

// A running hash: Update as often as needed, then Final.
class Sha256 {
public:
    void Update(const void* data, std::size_t size) { hash_.Update(data, size); }
    // The digest of everything given since the start or the last Final; the
    // hash then starts over. Empty only when the library itself failed.
    std::string Final();

private:
    Hash hash_{HashKind::Sha256};
};

// The digest of bytes in memory.
std::string Sha256Hex(const void* data, std::size_t size);
std::string Sha256Hex(const std::string& bytes);

// True when text is 64 hex digits (either case).
bool IsSha256Hex(const std::string& text);

// Bytes read at a time when hashing a file: large enough that a read costs
// little, small enough to stay in the processor's cache between the read and
// the hash.
inline constexpr std::size_t kHashReadBytes = 128 * 1024;

// Feeds bytes [offset, offset + length) of the open file descriptor fd into
// hash, reading with pread: the descriptor's position is left alone, so
// another thread may go on copying through it. Bytes just written come from
// the page cache. False when a read fails (error = its errno) or the file
// ends early (error = 0). On Windows a read at an offset moves the position
// of the handle and of every duplicate of it; it is put back at the end, and
// another thread needs a handle of its own (BackgroundHasher opens one).
bool HashFileRange(int fd, int64_t offset, int64_t length, Sha256& hash, int* error = nullptr);
// The same with the caller's buffer, for callers that hash many ranges.
bool HashFileRange(int fd, int64_t offset, int64_t length, Sha256& hash, char* buffer, std::size_t bufferSize,
                   int* error);
// The same for a stream's descriptor. Bytes still in the stream's own buffer
// are not seen: flush a stream that is written first.
bool HashFileRange(std::FILE* file, int64_t offset, int64_t length, Sha256& hash, int* error = nullptr);

// The digest of a whole named file.
struct FileDigest {
    bool ok = false;
    int error = 0;      // errno of a failed open or read
    int64_t bytes = 0;  // bytes hashed
    std::string hex;
};
FileDigest HashFile(const std::string& name);
