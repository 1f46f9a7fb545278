#include "recovery/Gf16.h"
#include "recovery/Md5Lanes.h"
#include "recovery/Par2Packets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// Bit by bit, independent of the tables.
uint16_t SlowMultiply(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (int bit = 15; bit >= 0; --bit) {
        product <<= 1;
        if (product & 0x10000) product ^= Gf16::kGenerator;
        if (b & (1u << bit)) product ^= a;
    }
    return uint16_t(product);
}

TEST(Gf16, ProductsMatchKnownValues) {
    struct Case {
        uint16_t a, b, product;
    } const cases[] = {
        {0, 0x1234, 0},         {1, 0xBEEF, 0xBEEF},      {3, 3, 5},           {0x8000, 2, 0x100B},
        {0x100, 0x100, 0x100B}, {0x8000, 0x8000, 0x8EFA}, {0xFFFF, 1, 0xFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Gf16::Multiply(c.a, c.b), c.product) << c.a << " * " << c.b;
        EXPECT_EQ(SlowMultiply(c.a, c.b), c.product) << c.a << " * " << c.b;
    }
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        const auto a = uint16_t(random()), b = uint16_t(random());
        ASSERT_EQ(Gf16::Multiply(a, b), SlowMultiply(a, b));
        if (b != 0) {
            ASSERT_EQ(Gf16::Multiply(Gf16::Divide(a, b), b), a);
        }
    }
    EXPECT_EQ(Gf16::Exp(16), 0x100B);
    EXPECT_EQ(Gf16::Power(2, Gf16::kOrder), 1);
    EXPECT_EQ(Gf16::Power(0x1234, 0), 1);
}

TEST(Gf16, InputConstantsSkipExponentsSharingAFactorWithTheOrder) {
    const uint16_t expected[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 0x100B};
    for (uint32_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(Par2::InputConstant(i), expected[i]) << i;
}

TEST(Gf16, RegionProductAgreesWithSingleProductsAtAnyAlignment) {
    std::mt19937 random(11);
    for (const std::size_t bytes : {2u, 30u, 4096u, 70002u}) {
        for (const std::size_t shift : {0u, 2u, 16u}) {
            std::vector<unsigned char> src(bytes + shift), dest(bytes + shift), tables;
            for (auto& b : src) b = uint8_t(random());
            for (auto& b : dest) b = uint8_t(random());
            tables = dest;
            const auto factor = uint16_t(random() | 2);
            std::vector<unsigned char> expected = dest;
            for (std::size_t w = shift; w + 1 < bytes + shift; w += 2) {
                const uint16_t p = SlowMultiply(src[w] | src[w + 1] << 8, factor);
                expected[w] ^= uint8_t(p);
                expected[w + 1] ^= uint8_t(p >> 8);
            }
            Gf16::MultiplyAdd(src.data() + shift, dest.data() + shift, factor, bytes);
            Gf16::MultiplyAddTables(src.data() + shift, tables.data() + shift, factor, bytes);
            EXPECT_EQ(dest, expected) << bytes << " bytes at " << shift;
            EXPECT_EQ(tables, expected) << bytes << " bytes at " << shift;
        }
    }
}

// Sizes whose rows of [m | I] fill the aligned row stride unevenly.
// Buffers come from different allocators (a slice read into a part, a row
// of the rebuilt data): nothing makes their addresses agree modulo 16.
TEST(Gf16, RegionProductOfBuffersAlignedUnlikeAgreesWithTheTables) {
    struct Case {
        std::size_t srcShift, destShift;
    } const cases[] = {{0, 2}, {2, 0}, {0, 8}, {14, 4}, {1, 0}, {0, 1}, {3, 16}, {16, 7}};
    std::mt19937 random(13);
    for (const std::size_t bytes : {2u, 34u, 16384u, 16386u, 70002u}) {
        for (const Case& c : cases) {
            // 16-aligned storage, so that the shifts are the addresses' own.
            std::vector<uint64_t> srcStore(bytes / 8 + 4), destStore(bytes / 8 + 4);
            auto* src = reinterpret_cast<unsigned char*>(srcStore.data()) + c.srcShift;
            auto* dest = reinterpret_cast<unsigned char*>(destStore.data()) + c.destShift;
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(srcStore.data()) % 16, 0u);
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(destStore.data()) % 16, 0u);
            for (std::size_t i = 0; i < bytes; ++i) src[i] = uint8_t(random());
            for (std::size_t i = 0; i < bytes; ++i) dest[i] = uint8_t(random());
            std::vector<unsigned char> expected(dest, dest + bytes);
            const std::vector<unsigned char> source(src, src + bytes);
            const auto factor = uint16_t(random() | 2);
            Gf16::MultiplyAddTables(source.data(), expected.data(), factor, bytes);
            Gf16::MultiplyAdd(src, dest, factor, bytes);
            EXPECT_EQ(std::vector<unsigned char>(dest, dest + bytes), expected)
                << bytes << " bytes, source at " << c.srcShift << ", destination at " << c.destShift;
            EXPECT_EQ(std::vector<unsigned char>(src, src + bytes), source) << "the source is left as it was";
        }
    }
}

TEST(Gf16, InvertsAMatrixAndRefusesASingularOne) {
    for (const std::size_t n : {1u, 2u, 37u, 130u}) {
        std::vector<uint16_t> m(n * n);
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t l = 0; l < n; ++l) m[j * n + l] = Gf16::Power(Par2::InputConstant(uint32_t(l)), j);
        const std::vector<uint16_t> original = m;
        ASSERT_TRUE(Gf16::Invert(m.data(), n)) << n;
        for (std::size_t r = 0; r < n; ++r)
            for (std::size_t c = 0; c < n; ++c) {
                uint16_t sum = 0;
                for (std::size_t k = 0; k < n; ++k) sum ^= Gf16::Multiply(original[r * n + k], m[k * n + c]);
                ASSERT_EQ(sum, r == c) << n << ": " << r << ", " << c;
            }
        if (n < 2) continue;
        std::vector<uint16_t> singular = original;
        std::copy_n(original.begin(), n, singular.end() - std::ptrdiff_t(n));  // two rows alike
        EXPECT_FALSE(Gf16::Invert(singular.data(), n)) << n;
        // Asked after each column whether to go on: No ends it there.
        std::size_t asked = 0;
        singular = original;
        EXPECT_FALSE(Gf16::Invert(singular.data(), n, [&](std::size_t done) { return ++asked, done < 2; })) << n;
        EXPECT_EQ(asked, 2u);
    }
}

}  // namespace

// The eight-lane MD5 against the library's, for every way a message ends
// within a block and for fewer messages than lanes, fed in uneven parts.
TEST(Md5Lanes, AgreesWithTheLibraryForAnyLengthAndLaneCount) {
    std::mt19937 random(5);
    for (const std::size_t length : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u, 70001u}) {
        for (const int count : {1, 3, 8}) {
            const std::vector<unsigned char> blank(length, 0);
            std::vector<std::vector<unsigned char>> messages(std::size_t(count), blank);
            for (auto& m : messages)
                for (auto& byte : m) byte = static_cast<unsigned char>(random());
            Md5Lanes lanes(count);
            for (std::size_t at = 0, step = 1; at < length; at += step, step = step * 3 + 7) {
                const std::size_t size = std::min(step, length - at);
                std::vector<const unsigned char*> parts;
                for (const auto& m : messages) parts.push_back(m.data() + at);
                lanes.Update(parts.data(), size);
            }
            Md5Digest digests[Md5Lanes::kLanes];
            lanes.Final(digests);
            for (int l = 0; l < count; ++l)
                EXPECT_EQ(digests[l], Md5Of(messages[std::size_t(l)].data(), length))
                    << "length " << length << ", lane " << l << " of " << count;
        }
    }
}
