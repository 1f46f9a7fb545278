#include "recovery/Digests.h"

#include <algorithm>
#include <new>
#ifdef _WIN32
#include <windows.h>  // first: bcrypt.h builds on its types

#include <bcrypt.h>
#else
#include <openssl/evp.h>
#include <zlib.h>
#endif

#ifdef _WIN32

struct Md5State {
    BCRYPT_HASH_HANDLE hash = nullptr;
};

namespace {

BCRYPT_ALG_HANDLE Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        return BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_MD5_ALGORITHM, nullptr, 0)) ? handle
                                                                                                      : nullptr;
    }();
    return provider;
}

void EndState(Md5State* s) {
    if (s->hash != nullptr) BCryptDestroyHash(s->hash);
    s->hash = nullptr;
}

Md5State* NewState() { return new (std::nothrow) Md5State; }

void FreeState(Md5State* s) {
    if (s != nullptr) EndState(s);
    delete s;
}

bool StartState(Md5State* s) {
    EndState(s);
    return Provider() != nullptr && BCRYPT_SUCCESS(BCryptCreateHash(Provider(), &s->hash, nullptr, 0, nullptr, 0, 0));
}

bool UpdateState(Md5State* s, const void* data, std::size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {  // CNG takes 32-bit lengths
        const auto part = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
        if (!BCRYPT_SUCCESS(BCryptHashData(s->hash, bytes, part, 0))) return false;
        bytes += part;
        size -= part;
    }
    return true;
}

bool FinishState(Md5State* s, unsigned char* digest) {
    return BCRYPT_SUCCESS(BCryptFinishHash(s->hash, digest, 16, 0));
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

struct Md5State {
    EVP_MD_CTX* context = nullptr;
};

namespace {

Md5State* NewState() {
    auto* s = new (std::nothrow) Md5State;
    if (s != nullptr) s->context = EVP_MD_CTX_new();
    return s;
}

void FreeState(Md5State* s) {
    if (s != nullptr) EVP_MD_CTX_free(s->context);
    delete s;
}

bool StartState(Md5State* s) { return s->context != nullptr && EVP_DigestInit_ex(s->context, EVP_md5(), nullptr) == 1; }

bool UpdateState(Md5State* s, const void* data, std::size_t size) {
    return EVP_DigestUpdate(s->context, data, size) == 1;
}

bool FinishState(Md5State* s, unsigned char* digest) {
    unsigned int length = 0;
    return EVP_DigestFinal_ex(s->context, digest, &length) == 1 && length == 16;
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

Md5::Md5() : state_(NewState()) { Restart(); }

Md5::~Md5() { FreeState(state_); }

void Md5::Restart() { ok_ = state_ != nullptr && StartState(state_); }

void Md5::Update(const void* data, std::size_t size) {
    if (ok_ && size > 0) ok_ = UpdateState(state_, data, size);
}

bool Md5::Final(Md5Digest& digest) {
    const bool ok = ok_ && FinishState(state_, digest.data());
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
