// The PAR 2.0 format's checksums: MD5 (OpenSSL's libcrypto; on Windows the
// system's CNG) and CRC32 (zlib; on Windows a table).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Md5Digest = std::array<unsigned char, 16>;

struct Md5State;

// A running MD5: Update as often as needed, then Final, which starts over.
class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void Update(const void* data, std::size_t size);
    // False only when the system's library failed.
    bool Final(Md5Digest& digest);

private:
    void Restart();
    Md5State* state_ = nullptr;
    bool ok_ = false;
};

Md5Digest Md5Of(const void* data, std::size_t size);

// CRC32 as zip and the PAR 2.0 format use it; crc is the value so far (0 at
// the start).
uint32_t Crc32(uint32_t crc, const void* data, std::size_t size);
