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
    : sizes_(std::move(sizes)), writing_(sizes_.size(), -1), paths_(sizes_.size()) {}

WrittenPieces::~WrittenPieces() {
    for (const int fd : writing_)
        if (fd >= 0) CloseDescriptor(fd);
}

bool WrittenPieces::Writing(std::size_t index, int fd) {
    const int own = OwnReadingDescriptor(fd);
    if (own < 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= writing_.size()) {
        CloseDescriptor(own);
        errno = EINVAL;
        return false;
    }
    if (writing_[index] >= 0) CloseDescriptor(writing_[index]);
    writing_[index] = own;
    return true;
}

void WrittenPieces::Named(std::size_t index, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= paths_.size()) return;
    paths_[index] = path;
    if (writing_[index] >= 0) CloseDescriptor(writing_[index]);
    writing_[index] = -1;
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

bool WrittenPieces::Open(std::size_t index, PositionedReader& reader, RecoveryError& failure) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < paths_.size() && !paths_[index].empty()) {
        if (reader.Open(paths_[index])) return true;
        failure = Error(errno, "cannot open " + paths_[index]);
        return false;
    }
    if (index < writing_.size() && writing_[index] >= 0) {
        // A descriptor of the reader's own: the copy lets go of its own once the piece has a name.
        if (reader.OpenOwn(writing_[index])) return true;
        failure = Error(errno, "cannot read piece " + std::to_string(index + 1));
        return false;
    }
    failure = Error(0, "piece " + std::to_string(index + 1) + " is not being written");
    return false;
}

int WrittenPieces::Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(awaited_.size());
}
