#include "recovery/Md5Lanes.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORVEL_MD5_AVX2 1
#include <immintrin.h>
#endif

namespace {
constexpr uint32_t kStart[4] = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};
}  // namespace

// Eight running states and the bytes of a block not complete yet, alike in
// length for every lane.
struct Md5Lanes::Wide8 {
    alignas(32) uint32_t state[4][kLanes];
    unsigned char tail[kLanes][64];
    std::size_t tailBytes = 0;
    uint64_t length = 0;
    void Start() {
        for (int w = 0; w < 4; ++w)
            for (int l = 0; l < kLanes; ++l) state[w][l] = kStart[w];
        tailBytes = 0;
        length = 0;
    }
};

#ifdef QUORVEL_MD5_AVX2
namespace {

// Eight rows of eight words become eight columns: r[j] then holds word j of every lane.
__attribute__((target("avx2"))) inline void Transpose(__m256i r[8]) {
    const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpackhi_epi32(r[0], r[1]);
    const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
    const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]), t5 = _mm256_unpackhi_epi32(r[4], r[5]);
    const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]), t7 = _mm256_unpackhi_epi32(r[6], r[7]);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
    r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

#define MD5_ROTATE(x, s) _mm256_or_si256(_mm256_slli_epi32(x, s), _mm256_srli_epi32(x, 32 - (s)))
#define MD5_F(b, c, d) _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)))
#define MD5_G(b, c, d) _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c)))
#define MD5_H(b, c, d) _mm256_xor_si256(_mm256_xor_si256(b, c), d)
#define MD5_I(b, c, d) _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, ones)))
#define MD5_STEP(f, a, b, c, d, g, k, s)                                                                              \
    a = _mm256_add_epi32(b,                                                                                           \
                         MD5_ROTATE(_mm256_add_epi32(_mm256_add_epi32(a, f(b, c, d)),                                 \
                                                     _mm256_add_epi32(m[g], _mm256_set1_epi32(static_cast<int>(k)))), \
                                    s))

__attribute__((target("avx2"))) void Blocks(uint32_t (*state)[Md5Lanes::kLanes], const unsigned char* const* ptr,
                                            std::size_t blocks) {
    __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(state[0]));
    __m256i b = _mm256_load_si256(reinterpret_cast<const __m256i*>(state[1]));
    __m256i c = _mm256_load_si256(reinterpret_cast<const __m256i*>(state[2]));
    __m256i d = _mm256_load_si256(reinterpret_cast<const __m256i*>(state[3]));
    const __m256i ones = _mm256_set1_epi32(-1);
    for (std::size_t n = 0; n < blocks; ++n) {
        __m256i m[16];
        for (int half = 0; half < 2; ++half) {
            for (int l = 0; l < Md5Lanes::kLanes; ++l)
                m[half * 8 + l] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ptr[l] + n * 64 + half * 32));
            Transpose(m + half * 8);
        }
        const __m256i a0 = a, b0 = b, c0 = c, d0 = d;
        MD5_STEP(MD5_F, a, b, c, d, 0, 0xd76aa478u, 7);
        MD5_STEP(MD5_F, d, a, b, c, 1, 0xe8c7b756u, 12);
        MD5_STEP(MD5_F, c, d, a, b, 2, 0x242070dbu, 17);
        MD5_STEP(MD5_F, b, c, d, a, 3, 0xc1bdceeeu, 22);
        MD5_STEP(MD5_F, a, b, c, d, 4, 0xf57c0fafu, 7);
        MD5_STEP(MD5_F, d, a, b, c, 5, 0x4787c62au, 12);
        MD5_STEP(MD5_F, c, d, a, b, 6, 0xa8304613u, 17);
        MD5_STEP(MD5_F, b, c, d, a, 7, 0xfd469501u, 22);
        MD5_STEP(MD5_F, a, b, c, d, 8, 0x698098d8u, 7);
        MD5_STEP(MD5_F, d, a, b, c, 9, 0x8b44f7afu, 12);
        MD5_STEP(MD5_F, c, d, a, b, 10, 0xffff5bb1u, 17);
        MD5_STEP(MD5_F, b, c, d, a, 11, 0x895cd7beu, 22);
        MD5_STEP(MD5_F, a, b, c, d, 12, 0x6b901122u, 7);
        MD5_STEP(MD5_F, d, a, b, c, 13, 0xfd987193u, 12);
        MD5_STEP(MD5_F, c, d, a, b, 14, 0xa679438eu, 17);
        MD5_STEP(MD5_F, b, c, d, a, 15, 0x49b40821u, 22);
        MD5_STEP(MD5_G, a, b, c, d, 1, 0xf61e2562u, 5);
        MD5_STEP(MD5_G, d, a, b, c, 6, 0xc040b340u, 9);
        MD5_STEP(MD5_G, c, d, a, b, 11, 0x265e5a51u, 14);
        MD5_STEP(MD5_G, b, c, d, a, 0, 0xe9b6c7aau, 20);
        MD5_STEP(MD5_G, a, b, c, d, 5, 0xd62f105du, 5);
        MD5_STEP(MD5_G, d, a, b, c, 10, 0x02441453u, 9);
        MD5_STEP(MD5_G, c, d, a, b, 15, 0xd8a1e681u, 14);
        MD5_STEP(MD5_G, b, c, d, a, 4, 0xe7d3fbc8u, 20);
        MD5_STEP(MD5_G, a, b, c, d, 9, 0x21e1cde6u, 5);
        MD5_STEP(MD5_G, d, a, b, c, 14, 0xc33707d6u, 9);
        MD5_STEP(MD5_G, c, d, a, b, 3, 0xf4d50d87u, 14);
        MD5_STEP(MD5_G, b, c, d, a, 8, 0x455a14edu, 20);
        MD5_STEP(MD5_G, a, b, c, d, 13, 0xa9e3e905u, 5);
        MD5_STEP(MD5_G, d, a, b, c, 2, 0xfcefa3f8u, 9);
        MD5_STEP(MD5_G, c, d, a, b, 7, 0x676f02d9u, 14);
        MD5_STEP(MD5_G, b, c, d, a, 12, 0x8d2a4c8au, 20);
        MD5_STEP(MD5_H, a, b, c, d, 5, 0xfffa3942u, 4);
        MD5_STEP(MD5_H, d, a, b, c, 8, 0x8771f681u, 11);
        MD5_STEP(MD5_H, c, d, a, b, 11, 0x6d9d6122u, 16);
        MD5_STEP(MD5_H, b, c, d, a, 14, 0xfde5380cu, 23);
        MD5_STEP(MD5_H, a, b, c, d, 1, 0xa4beea44u, 4);
        MD5_STEP(MD5_H, d, a, b, c, 4, 0x4bdecfa9u, 11);
        MD5_STEP(MD5_H, c, d, a, b, 7, 0xf6bb4b60u, 16);
        MD5_STEP(MD5_H, b, c, d, a, 10, 0xbebfbc70u, 23);
        MD5_STEP(MD5_H, a, b, c, d, 13, 0x289b7ec6u, 4);
        MD5_STEP(MD5_H, d, a, b, c, 0, 0xeaa127fau, 11);
        MD5_STEP(MD5_H, c, d, a, b, 3, 0xd4ef3085u, 16);
        MD5_STEP(MD5_H, b, c, d, a, 6, 0x04881d05u, 23);
        MD5_STEP(MD5_H, a, b, c, d, 9, 0xd9d4d039u, 4);
        MD5_STEP(MD5_H, d, a, b, c, 12, 0xe6db99e5u, 11);
        MD5_STEP(MD5_H, c, d, a, b, 15, 0x1fa27cf8u, 16);
        MD5_STEP(MD5_H, b, c, d, a, 2, 0xc4ac5665u, 23);
        MD5_STEP(MD5_I, a, b, c, d, 0, 0xf4292244u, 6);
        MD5_STEP(MD5_I, d, a, b, c, 7, 0x432aff97u, 10);
        MD5_STEP(MD5_I, c, d, a, b, 14, 0xab9423a7u, 15);
        MD5_STEP(MD5_I, b, c, d, a, 5, 0xfc93a039u, 21);
        MD5_STEP(MD5_I, a, b, c, d, 12, 0x655b59c3u, 6);
        MD5_STEP(MD5_I, d, a, b, c, 3, 0x8f0ccc92u, 10);
        MD5_STEP(MD5_I, c, d, a, b, 10, 0xffeff47du, 15);
        MD5_STEP(MD5_I, b, c, d, a, 1, 0x85845dd1u, 21);
        MD5_STEP(MD5_I, a, b, c, d, 8, 0x6fa87e4fu, 6);
        MD5_STEP(MD5_I, d, a, b, c, 15, 0xfe2ce6e0u, 10);
        MD5_STEP(MD5_I, c, d, a, b, 6, 0xa3014314u, 15);
        MD5_STEP(MD5_I, b, c, d, a, 13, 0x4e0811a1u, 21);
        MD5_STEP(MD5_I, a, b, c, d, 4, 0xf7537e82u, 6);
        MD5_STEP(MD5_I, d, a, b, c, 11, 0xbd3af235u, 10);
        MD5_STEP(MD5_I, c, d, a, b, 2, 0x2ad7d2bbu, 15);
        MD5_STEP(MD5_I, b, c, d, a, 9, 0xeb86d391u, 21);
        a = _mm256_add_epi32(a, a0);
        b = _mm256_add_epi32(b, b0);
        c = _mm256_add_epi32(c, c0);
        d = _mm256_add_epi32(d, d0);
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(state[0]), a);
    _mm256_store_si256(reinterpret_cast<__m256i*>(state[1]), b);
    _mm256_store_si256(reinterpret_cast<__m256i*>(state[2]), c);
    _mm256_store_si256(reinterpret_cast<__m256i*>(state[3]), d);
}

}  // namespace

bool Md5Lanes::Wide() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#else
bool Md5Lanes::Wide() { return false; }
#endif

Md5Lanes::Md5Lanes(int count) : count_(std::clamp(count, 1, kLanes)) {
    if (Wide()) {
        wide_.reset(new Wide8);
        wide_->Start();
    } else {
        narrow_.reset(new Md5[std::size_t(count_)]);
    }
}

Md5Lanes::~Md5Lanes() = default;

#ifdef QUORVEL_MD5_AVX2
namespace {
// Lanes past `count` hash lane 0's bytes again, and are never read out.
void FillLanes(const unsigned char* const* parts, int count, std::size_t offset, const unsigned char** out) {
    for (int l = 0; l < Md5Lanes::kLanes; ++l) out[l] = parts[l < count ? l : 0] + offset;
}
}  // namespace
#endif

void Md5Lanes::Update(const unsigned char* const* parts, std::size_t size) {
    if (!wide_) {
        for (int l = 0; l < count_; ++l) narrow_[l].Update(parts[l], size);
        return;
    }
#ifdef QUORVEL_MD5_AVX2
    Wide8& w = *wide_;
    w.length += size;
    std::size_t at = 0;
    const unsigned char* lanes[kLanes];
    if (w.tailBytes > 0) {
        const std::size_t take = std::min(size, 64 - w.tailBytes);
        for (int l = 0; l < count_; ++l) std::memcpy(w.tail[l] + w.tailBytes, parts[l], take);
        w.tailBytes += take;
        at = take;
        if (w.tailBytes < 64) return;
        for (int l = 0; l < kLanes; ++l) lanes[l] = w.tail[l < count_ ? l : 0];
        Blocks(w.state, lanes, 1);
        w.tailBytes = 0;
    }
    const std::size_t blocks = (size - at) / 64;
    FillLanes(parts, count_, at, lanes);
    if (blocks > 0) Blocks(w.state, lanes, blocks);
    at += blocks * 64;
    w.tailBytes = size - at;
    for (int l = 0; l < count_; ++l) std::memcpy(w.tail[l], parts[l] + at, w.tailBytes);
#endif
}

void Md5Lanes::Final(Md5Digest* digests) {
    if (!wide_) {
        for (int l = 0; l < count_; ++l) narrow_[l].Final(digests[l]);
        return;
    }
#ifdef QUORVEL_MD5_AVX2
    Wide8& w = *wide_;
    // The same padding for every lane: 0x80, zeros, the length in bits.
    unsigned char pad[128] = {0x80};
    const std::size_t padBytes = (w.tailBytes < 56 ? 56 : 120) - w.tailBytes;
    const uint64_t bits = w.length * 8;
    unsigned char end[8];
    for (int i = 0; i < 8; ++i) end[i] = static_cast<unsigned char>(bits >> (8 * i));
    const unsigned char* padParts[kLanes];
    for (int l = 0; l < kLanes; ++l) padParts[l] = pad;
    Update(padParts, padBytes);
    for (int l = 0; l < kLanes; ++l) padParts[l] = end;
    Update(padParts, 8);
    for (int l = 0; l < count_; ++l)
        for (int word = 0; word < 4; ++word)
            for (int i = 0; i < 4; ++i)
                digests[l][std::size_t(word * 4 + i)] = static_cast<unsigned char>(w.state[word][l] >> (8 * i));
    w.Start();
#endif
}
