#include "recovery/Buffers.h"

#include "recovery/Gf16.h"

#include <algorithm>
#include <cstdlib>

namespace RecoveryDetail {

AlignedBuffer::AlignedBuffer(std::size_t bytes) : size(bytes) {
    data = static_cast<unsigned char*>(std::calloc(bytes + 64, 1));
    if (data == nullptr) return;
    aligned = data + (64 - reinterpret_cast<uintptr_t>(data) % 64) % 64;
    // Every page written once now: the code reads a row before it writes
    // it, and a page first read is the shared zero page, whose copy on the
    // first write then stops every core (a TLB flush) for each page.
    auto* touch = static_cast<volatile unsigned char*>(data);
    for (std::size_t at = 0; at < bytes + 64; at += 4096) touch[at] = 0;
}

AlignedBuffer::~AlignedBuffer() { std::free(data); }

Rows::Rows(std::size_t count, std::size_t sliceBytes) : slice_(sliceBytes) {
    for (std::size_t i = 0; i < count; ++i) rows_.push_back(std::make_unique<AlignedBuffer>(sliceBytes));
}

bool Rows::Ok() const {
    return std::all_of(rows_.begin(), rows_.end(), [](const auto& r) { return r->data != nullptr; });
}

void Rows::Feed(std::size_t g, const unsigned char* part, std::size_t at, std::size_t size, const uint16_t* factors) {
    const std::size_t n = rows_.size(), groups = Groups();
    const std::size_t first = n * g / groups, last = n * (g + 1) / groups;
    constexpr std::size_t kChunk = 32 << 10;
    for (std::size_t done = 0; done < size; done += kChunk) {
        const std::size_t chunk = std::min(kChunk, size - done);
        for (std::size_t r = first; r < last; ++r)
            Gf16::MultiplyAdd(part + done, rows_[r]->aligned + at + done, factors[r], chunk);
    }
}

}  // namespace RecoveryDetail
