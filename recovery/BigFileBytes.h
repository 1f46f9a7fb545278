// The big file's bytes, read from the file itself or from its pieces.
#pragma once

#include "io/PositionedReader.h"
#include "recovery/Recovery.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace RecoveryDetail {

class BigFileBytes {
public:
    BigFileBytes(std::vector<std::string> files, std::vector<int64_t> sizes);
    int64_t Total() const { return total_; }
    // Bytes [offset, offset + size) into buffer, zeros past the end.
    bool Read(int64_t offset, std::size_t size, unsigned char* buffer, RecoveryError& failure);

private:
    std::vector<std::string> files_;
    std::vector<int64_t> sizes_, starts_;
    int64_t total_;
    PositionedReader reader_;
    std::size_t open_ = SIZE_MAX;
};

}  // namespace RecoveryDetail
