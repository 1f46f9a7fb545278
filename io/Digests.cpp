#include "io/Digests.h"

#include <algorithm>
#include <new>
#include <utility>
#ifdef _WIN32
#include <windows.h>  // first: bcrypt.h builds on its types

#include <bcrypt.h>
#else
#include <openssl/evp.h>
#include <zlib.h>
#endif

#ifdef _WIN32

struct HashState {
    BCRYPT_HASH_HANDLE hash = nullptr;
};

namespace {

// One provider per algorithm for the whole process: opening it is the costly part.
BCRYPT_ALG_HANDLE Provider(HashKind kind) {
    auto open = [](LPCWSTR algorithm) {
        BCRYPT_ALG_HANDLE handle = nullptr;
        return BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0)) ? handle : nullptr;
    };
    static const BCRYPT_ALG_HANDLE md5 = open(BCRYPT_MD5_ALGORITHM);
    static const BCRYPT_ALG_HANDLE sha256 = open(BCRYPT_SHA256_ALGORITHM);
    return kind == HashKind::Md5 ? md5 : sha256;
}

void EndState(HashState* s) {
    if (s->hash != nullptr) BCryptDestroyHash(s->hash);
    s->hash = nullptr;
}

HashState* NewState(HashKind) { return new (std::nothrow) HashState; }

void FreeState(HashState* s) {
    if (s != nullptr) EndState(s);
    delete s;
}

bool StartState(HashState* s, HashKind kind) {
    EndState(s);
    const BCRYPT_ALG_HANDLE provider = Provider(kind);
    return provider != nullptr && BCRYPT_SUCCESS(BCryptCreateHash(provider, &s->hash, nullptr, 0, nullptr, 0, 0));
}

bool UpdateState(HashState* s, const void* data, std::size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {  // CNG takes 32-bit lengths
        const auto part = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
        if (!BCRYPT_SUCCESS(BCryptHashData(s->hash, bytes, part, 0))) return false;
        bytes += part;
        size -= part;
    }
    return true;
}

bool FinishState(HashState* s, unsigned char* digest, std::size_t bytes) {
    return BCRYPT_SUCCESS(BCryptFinishHash(s->hash, digest, static_cast<ULONG>(bytes), 0));
}

// The reflected polynomial 0xEDB88320, a byte at a time.
struct CrcTable {
    uint32_t entry[256];
    CrcTable() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[i] = c;
        }
    }
};

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, std::size_t size) {
    static const CrcTable table;
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table.entry[(crc ^ p[i]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

#else

struct HashState {
    EVP_MD_CTX* context = nullptr;
};

namespace {

HashState* NewState(HashKind) {
    auto* s = new (std::nothrow) HashState;
    if (s != nullptr) s->context = EVP_MD_CTX_new();
    return s;
}

void FreeState(HashState* s) {
    if (s != nullptr) EVP_MD_CTX_free(s->context);
    delete s;
}

bool StartState(HashState* s, HashKind kind) {
    return s->context != nullptr &&
           EVP_DigestInit_ex(s->context, kind == HashKind::Md5 ? EVP_md5() : EVP_sha256(), nullptr) == 1;
}

bool UpdateState(HashState* s, const void* data, std::size_t size) {
    return EVP_DigestUpdate(s->context, data, size) == 1;
}

bool FinishState(HashState* s, unsigned char* digest, std::size_t bytes) {
    unsigned int length = 0;
    return EVP_DigestFinal_ex(s->context, digest, &length) == 1 && length == bytes;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, std::size_t size) {
    const auto* p = static_cast<const Bytef*>(data);
    while (size > 0) {  // zlib takes 32-bit lengths
        const auto part = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<uint32_t>(crc32(crc, p, part));
        p += part;
        size -= part;
    }
    return crc;
}

#endif

Hash::Hash(HashKind kind) : kind_(kind), state_(NewState(kind)) { Restart(); }

Hash::~Hash() { FreeState(state_); }

Hash::Hash(Hash&& other) noexcept
    : kind_(other.kind_), state_(std::exchange(other.state_, nullptr)), ok_(std::exchange(other.ok_, false)) {}

Hash& Hash::operator=(Hash&& other) noexcept {
    if (this != &other) {
        FreeState(state_);
        kind_ = other.kind_;
        state_ = std::exchange(other.state_, nullptr);
        ok_ = std::exchange(other.ok_, false);
    }
    return *this;
}

void Hash::Restart() { ok_ = state_ != nullptr && StartState(state_, kind_); }

void Hash::Update(const void* data, std::size_t size) {
    if (ok_ && size > 0) ok_ = UpdateState(state_, data, size);
}

bool Hash::Final(unsigned char* digest) {
    const bool ok = ok_ && FinishState(state_, digest, DigestBytes());
    Restart();
    return ok;
}

Md5Digest Md5Of(const void* data, std::size_t size) {
    Md5 hash;
    hash.Update(data, size);
    Md5Digest digest{};
    hash.Final(digest);
    return digest;
}
