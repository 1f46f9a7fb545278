// Arithmetic in GF(2^16) with the generator 0x1100B, the field of the PAR 2.0
// format's Reed-Solomon code: single products through log tables, and the
// region operation the coding spends its time in (dest ^= factor * src over
// 16-bit little-endian words). The region operation uses gf-complete's SIMD
// code where it is built in, a split-table loop elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Gf16 {

inline constexpr uint32_t kGenerator = 0x1100B;
inline constexpr uint32_t kOrder = 65535;  // of the multiplicative group

uint16_t Multiply(uint16_t a, uint16_t b);
// b must not be 0.
uint16_t Divide(uint16_t a, uint16_t b);
// base^exponent, any exponent.
uint16_t Power(uint16_t base, uint64_t exponent);
// 2^exponent.
uint16_t Exp(uint32_t exponent);

// dest[i] ^= factor * src[i] for `bytes / 2` words; bytes is even. src and
// dest are best aligned alike (16 bytes); then the SIMD code runs throughout.
// Any other alignment is sound, only slower: src is copied first (dest
// at an odd address takes the split-table loop).
void MultiplyAdd(const void* src, void* dest, uint16_t factor, std::size_t bytes);

// The same with the split-table loop whatever is built in: the bench
// compares the two, the tests check one against the other.
void MultiplyAddTables(const void* src, void* dest, uint16_t factor, std::size_t bytes);

// Whether MultiplyAdd uses gf-complete.
bool UsesSimdLibrary();

// Inverts the n x n matrix (row-major) in place; false when it is singular,
// or when `goOn` (asked after each of the n columns, with the count done)
// says to end, leaving the matrix undefined. Large matrices take long.
bool Invert(uint16_t* matrix, std::size_t n, const std::function<bool(std::size_t done)>& goOn = {});

}  // namespace Gf16
