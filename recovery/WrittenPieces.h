// The pieces of a big file as a copy writes them, for recovery data made
// while the copy goes on: read from what was written, the recovery files
// vouch for the pieces' bytes, and the big file is read by the copy alone.
// The copying thread says where each piece is and how much of the big file
// is in the pieces; readers wait for the bytes they need.
#pragma once

#include "io/PositionedReader.h"
#include "recovery/Recovery.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class WrittenPieces {
public:
    explicit WrittenPieces(std::vector<int64_t> sizes);
    WrittenPieces(const WrittenPieces&) = delete;
    WrittenPieces& operator=(const WrittenPieces&) = delete;

    const std::vector<int64_t>& Sizes() const { return sizes_; }

    // The copying thread's side. Piece `index` (from 0) is being written
    // through fd, which must also read (a piece has no name before it is
    // whole); false with errno set when no descriptor of its own can be had.
    bool Writing(std::size_t index, int fd);
    // Piece `index` is whole under `path`: readers open it by its name, and
    // no descriptor stays open for it.
    void Named(std::size_t index, const std::string& path);
    // Bytes [0, bytes) of the big file are in the pieces' files (not in a
    // stream's buffer).
    void Written(int64_t bytes);
    // No more bytes come: the copy is through, failed or stopped.
    void End();

    // The readers' side. Waits until bytes [0, upTo) are written; false (and
    // why) when the writing ended short of them or a stop came first.
    bool WaitFor(int64_t upTo, const std::atomic<bool>* stop, RecoveryError& failure);
    // Piece `index` for reading, once any of its bytes are written: opened
    // by its name, or (not named yet) the one descriptor of it kept here,
    // which reads at offsets and so may be shared. Null (and why) on failure.
    std::shared_ptr<PositionedReader> Open(std::size_t index, RecoveryError& failure);
    // How many readers wait for bytes now: a test stops one that waits.
    int Waiting();

private:
    const std::vector<int64_t> sizes_;
    std::mutex mutex_;
    std::condition_variable written_;
    std::vector<std::shared_ptr<PositionedReader>> writing_;  // pieces not named yet
    std::vector<std::string> paths_;
    int64_t bytes_ = 0;
    bool ended_ = false;
    // What each waiting reader waits for: a reader is woken when its bytes
    // are in, not at every block the copy writes.
    std::multiset<int64_t> awaited_;
};
