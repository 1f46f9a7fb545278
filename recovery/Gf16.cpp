#include "recovery/Gf16.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>
#ifdef QUORVEL_HAVE_GF_COMPLETE
extern "C" {
#include <gf_complete.h>
}
#endif

namespace Gf16 {
namespace {

struct Tables {
    uint16_t log[65536];
    uint16_t exp[2 * 65536];  // doubled, so that log a + log b needs no reduction
    Tables() {
        uint32_t value = 1;
        for (uint32_t i = 0; i < kOrder; ++i) {
            exp[i] = exp[i + kOrder] = static_cast<uint16_t>(value);
            log[value] = static_cast<uint16_t>(i);
            value <<= 1;
            if (value & 0x10000) value ^= kGenerator;
        }
        exp[2 * kOrder] = exp[2 * kOrder + 1] = 0;
        log[0] = 0;  // never read: 0 is handled before any lookup
    }
};

const Tables& T() {
    static const Tables tables;
    return tables;
}

#ifdef QUORVEL_HAVE_GF_COMPLETE
// gf-complete's default for w = 16 is this generator with its SIMD split
// tables; the region call takes an int length.
struct Library {
    gf_t field{};
    bool ok = false;
    Library() {
        ok = gf_init_hard(&field, 16, GF_MULT_DEFAULT, GF_REGION_DEFAULT, GF_DIVIDE_DEFAULT, kGenerator, 0, 0, nullptr,
                          nullptr) != 0;
    }
};

Library& Lib() {
    static Library library;
    return library;
}
#endif

}  // namespace

uint16_t Multiply(uint16_t a, uint16_t b) {
    if (a == 0 || b == 0) return 0;
    const Tables& t = T();
    return t.exp[t.log[a] + t.log[b]];
}

uint16_t Divide(uint16_t a, uint16_t b) {
    if (a == 0) return 0;
    const Tables& t = T();
    return t.exp[t.log[a] + kOrder - t.log[b]];
}

uint16_t Power(uint16_t base, uint64_t exponent) {
    if (exponent == 0) return 1;
    if (base == 0) return 0;
    const Tables& t = T();
    return t.exp[(t.log[base] * (exponent % kOrder)) % kOrder];
}

uint16_t Exp(uint32_t exponent) { return T().exp[exponent % kOrder]; }

void MultiplyAddTables(const void* src, void* dest, uint16_t factor, std::size_t bytes) {
    if (factor == 0) return;
    const auto* in = static_cast<const unsigned char*>(src);
    auto* out = static_cast<unsigned char*>(dest);
    const std::size_t words = bytes / 2;
    if (factor == 1) {
        for (std::size_t i = 0; i < 2 * words; ++i) out[i] ^= in[i];
        return;
    }
    // A word's product is that of its low byte plus that of its high byte.
    uint16_t low[256], high[256];
    for (unsigned b = 0; b < 256; ++b) {
        low[b] = Multiply(static_cast<uint16_t>(b), factor);
        high[b] = Multiply(static_cast<uint16_t>(b << 8), factor);
    }
    for (std::size_t i = 0; i < words; ++i) {
        const uint16_t product = low[in[2 * i]] ^ high[in[2 * i + 1]];
        out[2 * i] ^= static_cast<unsigned char>(product);
        out[2 * i + 1] ^= static_cast<unsigned char>(product >> 8);
    }
}

void MultiplyAdd(const void* src, void* dest, uint16_t factor, std::size_t bytes) {
#ifdef QUORVEL_HAVE_GF_COMPLETE
    Library& lib = Lib();
    // It takes no word at an odd address either: that goes by the tables.
    if (lib.ok && (reinterpret_cast<std::uintptr_t>(dest) & 1) == 0) {
        const auto* in = static_cast<const char*>(src);
        auto* out = static_cast<char*>(dest);
        const std::size_t misfit = (reinterpret_cast<std::uintptr_t>(src) ^ reinterpret_cast<std::uintptr_t>(dest)) & 15;
        if (misfit == 0) {
            constexpr std::size_t kPart = std::size_t{1} << 30;
            for (std::size_t done = 0; done < bytes;) {
                const std::size_t part = std::min(kPart, bytes - done);
                lib.field.multiply_region.w32(&lib.field, const_cast<char*>(in + done), out + done, factor,
                                              static_cast<int>(part), 1);
                done += part;
            }
            return;
        }
        // The library aborts the process on a source aligned unlike its
        // destination: such a source goes through a buffer aligned as the
        // destination is, a part at a time (parts of whole 16 bytes keep
        // the destination's alignment from part to part).
        constexpr std::size_t kBounce = 16 << 10;
        alignas(16) char bounce[kBounce + 16];
        char* const copy = bounce + (reinterpret_cast<std::uintptr_t>(dest) & 15);
        for (std::size_t done = 0; done < bytes;) {
            const std::size_t part = std::min(kBounce, bytes - done);
            std::memcpy(copy, in + done, part);
            lib.field.multiply_region.w32(&lib.field, copy, out + done, factor, static_cast<int>(part), 1);
            done += part;
        }
        return;
    }
#endif
    MultiplyAddTables(src, dest, factor, bytes);
}

bool UsesSimdLibrary() {
#ifdef QUORVEL_HAVE_GF_COMPLETE
    return Lib().ok;
#else
    return false;
#endif
}

bool Invert(uint16_t* m, std::size_t n, const std::function<bool(std::size_t done)>& goOn) {
    // Gauss-Jordan on [m | I], each row of both halves side by side and
    // every row 64-byte aligned, so that eliminating a column from a row is
    // one region product (SIMD where built in): a matrix of a few thousand
    // rows takes three times as long otherwise. The region code reads
    // little-endian words, as uint16_t is on the machines we build for.
    const std::size_t width = 2 * n, stride = (width + 31) / 32 * 32;  // words; rows 64 bytes apart
    std::vector<uint16_t> block(n * stride + 32, 0);
    const auto shift = (64 - reinterpret_cast<uintptr_t>(block.data()) % 64) % 64 / 2;
    uint16_t* a = block.data() + shift;
    auto row = [&](std::size_t r) { return a + r * stride; };
    for (std::size_t r = 0; r < n; ++r) {
        std::memcpy(row(r), m + r * n, n * sizeof(uint16_t));
        row(r)[n + r] = 1;
    }
    const uint16_t probe = 1;
    const bool littleEndian = *reinterpret_cast<const unsigned char*>(&probe) == 1;
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        while (pivot < n && row(pivot)[col] == 0) ++pivot;
        if (pivot == n) return false;
        if (pivot != col) std::swap_ranges(row(pivot), row(pivot) + width, row(col));
        uint16_t* const p = row(col);
        const uint16_t scale = p[col];
        for (std::size_t k = col; k < width; ++k) p[k] = Divide(p[k], scale);
        for (std::size_t r = 0; r < n; ++r) {
            uint16_t* const q = row(r);
            const uint16_t f = q[col];
            if (r == col || f == 0) continue;
            if (littleEndian) {
                // From the 64 bytes holding this column to the row's zero
                // padding: whole aligned blocks, which the SIMD code takes
                // without edges (the pivot row is zero before its column).
                const std::size_t from = col / 32 * 32;
                MultiplyAdd(p + from, q + from, f, (stride - from) * sizeof(uint16_t));
            } else {
                for (std::size_t k = col; k < width; ++k) q[k] ^= Multiply(f, p[k]);
            }
        }
        if (goOn && !goOn(col + 1)) return false;
    }
    for (std::size_t r = 0; r < n; ++r) std::memcpy(m + r * n, row(r) + n, n * sizeof(uint16_t));
    return true;
}

}  // namespace Gf16
