#include "recovery/BigFileBytes.h"

#include "recovery/RecoveryDetail.h"
#include "recovery/WrittenPieces.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace RecoveryDetail {

BigFileBytes::BigFileBytes(std::vector<std::string> files, std::vector<int64_t> sizes)
    : files_(std::move(files)), sizes_(std::move(sizes)), starts_(Starts(sizes_)), total_(SumOf(sizes_)) {}

BigFileBytes::BigFileBytes(std::shared_ptr<WrittenPieces> written, const std::atomic<bool>* stop)
    : written_(std::move(written)),
      stop_(stop),
      sizes_(written_->Sizes()),
      starts_(Starts(sizes_)),
      total_(SumOf(sizes_)) {}

std::string BigFileBytes::NameOf(std::size_t piece) const {
    return written_ ? "piece " + std::to_string(piece + 1) : files_[piece];
}

bool BigFileBytes::OpenPiece(std::size_t piece, RecoveryError& failure) {
    open_ = SIZE_MAX;
    if (written_) {
        reader_ = written_->Open(piece, failure);
        if (!reader_) return false;
    } else {
        reader_ = std::make_shared<PositionedReader>();
        if (!reader_->Open(files_[piece])) {
            failure = Error(errno, "cannot open " + files_[piece]);
            return false;
        }
    }
    open_ = piece;
    return true;
}

bool BigFileBytes::Read(int64_t offset, std::size_t size, unsigned char* buffer, RecoveryError& failure) {
    const int64_t end = std::min<int64_t>(offset + int64_t(size), total_);
    if (written_ && !written_->WaitFor(end, stop_, failure)) return false;
    if (end < offset + int64_t(size))
        std::memset(buffer + std::max<int64_t>(end - offset, 0), 0, size - std::max<int64_t>(end - offset, 0));
    auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
    std::size_t piece = std::size_t(it - starts_.begin()) - 1;
    while (offset < end) {
        const int64_t within = offset - starts_[piece];
        const int64_t part = std::min(end - offset, sizes_[piece] - within);
        if (part > 0) {
            if (open_ != piece && !OpenPiece(piece, failure)) return false;
            if (!reader_->ReadAt(buffer, std::size_t(part), within)) {
                failure = Error(errno, errno == 0 ? NameOf(piece) + " is shorter than it should be"
                                                  : "cannot read " + NameOf(piece));
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
