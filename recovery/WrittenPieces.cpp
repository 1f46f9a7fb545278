#include "recovery/WrittenPieces.h"

#include "recovery/RecoveryDetail.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

using RecoveryDetail::Error;

namespace {
// How often a reader waiting for bytes looks at the stop flag.
constexpr auto kStopLook = std::chrono::milliseconds(20);
}  // namespace

WrittenPieces::WrittenPieces(std::vector<int64_t> sizes)
    : sizes_(std::move(sizes)), writing_(sizes_.size()), paths_(sizes_.size()) {}

bool WrittenPieces::Writing(std::size_t index, int fd) {
    if (index >= writing_.size()) {
        errno = EINVAL;
        return false;
    }
    auto reader = std::make_shared<PositionedReader>();
    if (!reader->OpenOwn(fd)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    writing_[index] = std::move(reader);
    return true;
}

void WrittenPieces::Named(std::size_t index, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= paths_.size()) return;
    paths_[index] = path;
    writing_[index].reset();  // closed once no reader holds it
}

void WrittenPieces::Written(int64_t bytes) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_ = std::max(bytes_, bytes);
        wake = !awaited_.empty() && *awaited_.begin() <= bytes_;
    }
    if (wake) written_.notify_all();
}

void WrittenPieces::End() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    written_.notify_all();
}

bool WrittenPieces::WaitFor(int64_t upTo, const std::atomic<bool>* stop, RecoveryError& failure) {
    std::unique_lock<std::mutex> lock(mutex_);
    // The stop flag is another's and never notifies: it is looked at now and then.
    const auto awaiting = awaited_.insert(upTo);
    while (bytes_ < upTo && !ended_ && !RecoveryDetail::Stopped(stop)) written_.wait_for(lock, kStopLook);
    awaited_.erase(awaiting);
    if (bytes_ >= upTo) return true;
    failure = RecoveryDetail::Stopped(stop) ? Error(ECANCELED, "stopped")
                                            : Error(0, "the pieces ended after " + std::to_string(bytes_) + " bytes");
    return false;
}

std::shared_ptr<PositionedReader> WrittenPieces::Open(std::size_t index, RecoveryError& failure) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < paths_.size() && !paths_[index].empty()) {
        auto reader = std::make_shared<PositionedReader>();
        if (reader->Open(paths_[index])) return reader;
        failure = Error(errno, "cannot open " + paths_[index]);
        return nullptr;
    }
    if (index < writing_.size() && writing_[index]) return writing_[index];
    failure = Error(0, "piece " + std::to_string(index + 1) + " is not being written");
    return nullptr;
}

int WrittenPieces::Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(awaited_.size());
}
