// The shared parts of a transfer's copying: the one stream wrapper, the
// progress meter and the copy loop with its three modes (inside the kernel,
// through a buffer, byte by byte). Standard library only.
#pragma once

#include "engine/TransferView.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// Moves the progress bar as bytes are copied, only when its position changes.
class ProgressMeter {
public:
    explicit ProgressMeter(TransferView& view) : view_(view) {}

    void Start();
    void Scale(int64_t total);
    void PausingScale(int64_t sumSoFar, int32_t piece, int32_t count);
    // Back to `done` bytes, after bytes that were copied had to be given up.
    void Rewind(int64_t done);
    // Told of every run of bytes copied, before the bar moves (the hashing).
    std::function<void(int64_t bytes)> copied;

    void Advance(int64_t bytes);
    // How many of the next `limit` bytes can be copied before the bar has to
    // move: byte-by-byte copying then shows the same positions as moving the
    // bar after every byte.
    int64_t BytesUntilMove(int64_t limit) const;

private:
    int32_t Position(int64_t done) const;

    TransferView& view_;
    int64_t done_ = 0;
    int64_t total_ = 0;
    int32_t piece_ = 0;
    int32_t count_ = 0;
    int32_t last_ = 0;
};

// How a transfer copies, from its memory limit: a limit under one large
// block copies through the streams' buffers, larger ones inside the kernel
// where the files allow it (turned off for the rest of the transfer where
// they do not), 0 byte by byte. The limit sizes only a buffer of ours: the
// kernel copies in calls of 64 MiB, which on a copy-on-write file system
// share the blocks where the pieces start on block borders.
struct CopyMode {
    explicit CopyMode(int32_t maxBuffer);
    int32_t maxBuffer;
    bool buffered;    // streams keep a buffer of their own
    bool kernelCopy;  // blocks may be copied inside the kernel
};

// Copies count bytes from in to out. False when a read comes back short, a
// write fails or the stop flag is set; `error` then holds errno where the
// system gave one (0 for an input that ended early).
bool CopyBytes(std::FILE* in, std::FILE* out, int64_t count, CopyMode& mode, ProgressMeter& meter,
               const std::atomic<bool>* stop, int& error);

// Reserves the disk blocks for `length` bytes of a file from `offset` on,
// without changing its size. Best effort.
void Reserve(std::FILE* file, int64_t offset, int64_t length);
// Lets the system drop its cached copy of a regular file about to be
// replaced, so that the memory takes what is written next. The file is
// untouched.
void ForgetCachedContents(const std::string& name);
// The file system's block size for an open file; 4096 when it cannot be told.
int64_t FileSystemBlock(std::FILE* file);
bool IsDiskFull(int error);
