// The big file's bytes, read from the file itself or from its pieces,
// whole or as a copy writes them.
#pragma once

#include "io/PositionedReader.h"
#include "recovery/Recovery.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace RecoveryDetail {

class BigFileBytes {
public:
    BigFileBytes(std::vector<std::string> files, std::vector<int64_t> sizes);
    // From pieces a copy is writing: a read waits until its bytes are
    // written, and fails when the writing ends short of them or `stop` comes.
    BigFileBytes(std::shared_ptr<WrittenPieces> written, const std::atomic<bool>* stop);
    int64_t Total() const { return total_; }
    // What ends a wait for bytes not written yet.
    void StopWaitingOn(const std::atomic<bool>* stop) { stop_ = stop; }
    // Bytes [offset, offset + size) into buffer, zeros past the end.
    bool Read(int64_t offset, std::size_t size, unsigned char* buffer, RecoveryError& failure);

private:
    bool OpenPiece(std::size_t piece, RecoveryError& failure);
    std::string NameOf(std::size_t piece) const;

    std::shared_ptr<WrittenPieces> written_;
    const std::atomic<bool>* stop_ = nullptr;
    std::vector<std::string> files_;
    std::vector<int64_t> sizes_, starts_;
    int64_t total_;
    // Shared with the pieces being written: a piece without a name yet is
    // read through their one descriptor of it.
    std::shared_ptr<PositionedReader> reader_;
    std::size_t open_ = SIZE_MAX;
};

}  // namespace RecoveryDetail
