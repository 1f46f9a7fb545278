#include "recovery/WholeFileMd5.h"

#include "recovery/Buffers.h"
#include "recovery/RecoveryDetail.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace RecoveryDetail {

WholeFileMd5::WholeFileMd5(BigFileBytes source, const std::atomic<bool>* stop)
    : source_(std::move(source)), stop_(stop) {
    // Ended early, the owner stops this thread and waits for it: a wait for
    // bytes not written yet must end then too.
    source_.StopWaitingOn(&quit_);
    // Without a thread of its own the MD5 is taken in Wait, on the caller's:
    // the same bytes, later.
    try {
        thread_ = std::thread([this] { RunGuarded(); });
    } catch (const std::system_error&) {
    }
}

WholeFileMd5::~WholeFileMd5() {
    quit_ = true;
    if (thread_.joinable()) thread_.join();
}

bool WholeFileMd5::Wait(Md5Digest& whole, Md5Digest& first16k, RecoveryError& failure) {
    if (thread_.joinable()) {
        thread_.join();
    } else if (!ran_) {
        RunGuarded();
    }
    whole = whole_;
    first16k = first16k_;
    if (!ok_) failure = failure_;
    return ok_;
}

void WholeFileMd5::RunGuarded() {
    ran_ = true;
    const RecoveryResult result = RecoveryDetail::Guarded([this] {
        Run();
        return RecoveryResult{};
    });
    if (!result.failure.reason.empty()) {
        ok_ = false;
        failure_ = result.failure;
    }
}

void WholeFileMd5::Run() {
    AlignedBuffer buffer(kPartBytes);
    if (buffer.data == nullptr) {
        failure_ = Error(ENOMEM, "not enough memory");
        return;
    }
    const int64_t total = source_.Total();
    Md5 md5;
    for (int64_t at = 0; at < total; at += int64_t(buffer.size)) {
        if (quit_ || (stop_ != nullptr && stop_->load(std::memory_order_relaxed))) {
            failure_ = Error(ECANCELED, "stopped");
            return;
        }
        const auto size = std::size_t(std::min<int64_t>(int64_t(buffer.size), total - at));
        if (!source_.Read(at, size, buffer.aligned, failure_)) return;
        if (at == 0) first16k_ = Md5Of(buffer.aligned, std::min<std::size_t>(size, 16384));
        md5.Update(buffer.aligned, size);
    }
    if (total == 0) first16k_ = Md5Of(nullptr, 0);
    ok_ = md5.Final(whole_);
    if (!ok_) failure_ = Error(0, "the whole file's MD5 failed");
}

}  // namespace RecoveryDetail
