#include "recovery/BigFileBytes.h"

#include "recovery/RecoveryDetail.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace RecoveryDetail {

BigFileBytes::BigFileBytes(std::vector<std::string> files, std::vector<int64_t> sizes)
    : files_(std::move(files)), sizes_(std::move(sizes)), starts_(Starts(sizes_)), total_(SumOf(sizes_)) {}

bool BigFileBytes::Read(int64_t offset, std::size_t size, unsigned char* buffer, RecoveryError& failure) {
    const int64_t end = std::min<int64_t>(offset + int64_t(size), total_);
    if (end < offset + int64_t(size))
        std::memset(buffer + std::max<int64_t>(end - offset, 0), 0, size - std::max<int64_t>(end - offset, 0));
    auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
    std::size_t piece = std::size_t(it - starts_.begin()) - 1;
    while (offset < end) {
        const int64_t within = offset - starts_[piece];
        const int64_t part = std::min(end - offset, sizes_[piece] - within);
        if (part > 0) {
            if (open_ != piece) {
                reader_.Close();
                open_ = piece;
                if (!reader_.Open(files_[piece])) {
                    open_ = SIZE_MAX;
                    failure = Error(errno, "cannot open " + files_[piece]);
                    return false;
                }
            }
            if (!reader_.ReadAt(buffer, std::size_t(part), within)) {
                failure = Error(errno, errno == 0 ? files_[piece] + " is shorter than it should be"
                                                  : "cannot read " + files_[piece]);
                return false;
            }
            buffer += part;
            offset += part;
        }
        ++piece;
    }
    return true;
}

}  // namespace RecoveryDetail
