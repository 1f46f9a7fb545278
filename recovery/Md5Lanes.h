// MD5 of up to eight messages of the same length at once. A single MD5 is a
// chain of dependent steps (about 650 MB/s on one core); eight chains side by
// side in the lanes of AVX2 registers go several times faster in all. The
// PAR 2.0 format asks for an MD5 of every slice, and slices are all of one
// length, so the slices are hashed eight at a time. Without AVX2 each lane
// is the system library's MD5.
#pragma once

#include "io/Digests.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class Md5Lanes {
public:
    static constexpr int kLanes = 8;

    // `count` messages (1..kLanes) are hashed from here on.
    explicit Md5Lanes(int count);
    ~Md5Lanes();
    Md5Lanes(const Md5Lanes&) = delete;
    Md5Lanes& operator=(const Md5Lanes&) = delete;

    // The next `size` bytes of each message: parts[i] for message i.
    void Update(const unsigned char* const* parts, std::size_t size);
    // The digests of the `count` messages; the lanes then start over.
    void Final(Md5Digest* digests);

    // True when the eight-lane code runs on this processor.
    static bool Wide();

private:
    struct Wide8;
    int count_;
    std::unique_ptr<Wide8> wide_;
    std::unique_ptr<Md5[]> narrow_;
};
