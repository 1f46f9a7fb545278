// Digests through the system's library: OpenSSL's libcrypto (EVP, which uses
// the processor's SHA instructions where there are any), on Windows the
// system's CNG. MD5 for the PAR 2.0 format, SHA-256 for the checksum file.
// CRC32 from zlib, on Windows from a table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum class HashKind { Md5, Sha256 };

// The running hash of the system's library.
struct HashState;

// A running hash: Update as often as needed, then Final, which starts over.
class Hash {
public:
    explicit Hash(HashKind kind);
    ~Hash();
    Hash(Hash&& other) noexcept;
    Hash& operator=(Hash&& other) noexcept;
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;

    void Update(const void* data, std::size_t size);
    // Writes DigestBytes() bytes; false only when the library failed.
    bool Final(unsigned char* digest);
    std::size_t DigestBytes() const { return kind_ == HashKind::Md5 ? 16 : 32; }

private:
    void Restart();
    HashKind kind_;
    HashState* state_ = nullptr;
    bool ok_ = false;
};

using Md5Digest = std::array<unsigned char, 16>;

class Md5 : public Hash {
public:
    Md5() : Hash(HashKind::Md5) {}
    bool Final(Md5Digest& digest) { return Hash::Final(digest.data()); }
};

Md5Digest Md5Of(const void* data, std::size_t size);

// CRC32 as zip and the PAR 2.0 format use it; crc is the value so far (0 at
// the start).
uint32_t Crc32(uint32_t crc, const void* data, std::size_t size);
