// Aligned memory for slices, and the rows of the code built from it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace RecoveryDetail {

// Memory for slices, aligned for the SIMD region code.
struct AlignedBuffer {
    explicit AlignedBuffer(std::size_t bytes);
    ~AlignedBuffer();
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    unsigned char* data = nullptr;
    unsigned char* aligned = nullptr;
    std::size_t size;
};

// Output rows of the code: row r gains coefficient(r) times each slice fed.
class Rows {
public:
    Rows(std::size_t count, std::size_t sliceBytes);
    bool Ok() const;
    std::size_t Count() const { return rows_.size(); }
    const unsigned char* Row(std::size_t r) const { return rows_[r]->aligned; }
    // Units of work for Team: groups of rows.
    std::size_t Groups() const { return std::min<std::size_t>(rows_.size(), 16); }
    // Adds factor[r] * part into bytes [at, at + size) of the rows of group
    // g, a few cache lines' worth at a time.
    void Feed(std::size_t g, const unsigned char* part, std::size_t at, std::size_t size, const uint16_t* factors);

private:
    std::size_t slice_;
    std::vector<std::unique_ptr<AlignedBuffer>> rows_;
};

}  // namespace RecoveryDetail
