#include "recovery/WholeFileMd5.h"

#include "recovery/Buffers.h"
#include "io/PositionedReader.h"
#include "recovery/RecoveryDetail.h"

#include <algorithm>
#include <cerrno>

namespace RecoveryDetail {

WholeFileMd5::WholeFileMd5(std::string file, int64_t total, const std::atomic<bool>* stop)
    : file_(std::move(file)), total_(total), stop_(stop) {
    thread_ = std::thread([this] { Run(); });
}

WholeFileMd5::~WholeFileMd5() {
    quit_ = true;
    if (thread_.joinable()) thread_.join();
}

bool WholeFileMd5::Wait(Md5Digest& whole, Md5Digest& first16k, RecoveryError& failure) {
    thread_.join();
    whole = whole_;
    first16k = first16k_;
    if (!ok_) failure = failure_;
    return ok_;
}

void WholeFileMd5::Run() {
    PositionedReader reader;
    AlignedBuffer buffer(kPartBytes);
    if (buffer.data == nullptr || !reader.Open(file_)) {
        failure_ = Error(buffer.data == nullptr ? ENOMEM : errno, "cannot open " + file_);
        return;
    }
    Md5 md5;
    for (int64_t at = 0; at < total_; at += int64_t(buffer.size)) {
        if (quit_ || (stop_ != nullptr && stop_->load(std::memory_order_relaxed))) {
            failure_ = Error(ECANCELED, "stopped");
            return;
        }
        const auto size = std::size_t(std::min<int64_t>(int64_t(buffer.size), total_ - at));
        if (!reader.ReadAt(buffer.aligned, size, at)) {
            failure_ = Error(errno, errno == 0 ? file_ + " became shorter" : "cannot read " + file_);
            return;
        }
        if (at == 0) first16k_ = Md5Of(buffer.aligned, std::min<std::size_t>(size, 16384));
        md5.Update(buffer.aligned, size);
    }
    if (total_ == 0) first16k_ = Md5Of(nullptr, 0);
    ok_ = md5.Final(whole_);
    if (!ok_) failure_ = Error(0, "the MD5 of " + file_ + " failed");
}

}  // namespace RecoveryDetail
