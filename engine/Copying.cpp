#include "engine/Copying.h"

#include "io/FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// From this block size on, the stream's own buffer only adds copying.
constexpr int32_t kDirectBlockBytes = 64 * 1024;
constexpr int64_t kPageBytes = 4096;
// A copy inside the kernel needs no buffer of ours, so the memory setting
// does not size it. Each call is one clone on a copy-on-write file system:
// small calls made a join of 1 GiB there 100 times slower than cat. A call
// of this size is still short on a slow disk, so the bar and a stop answer.
constexpr int64_t kKernelChunkBytes = 64 * 1024 * 1024;
}  // namespace

void ProgressMeter::Start() {
    last_ = 0;
    view_.SetProgress(0);
}

void ProgressMeter::Scale(int64_t total) {
    total_ = total;
    piece_ = count_ = 0;
}

void ProgressMeter::PausingScale(int64_t sumSoFar, int32_t piece, int32_t count) {
    total_ = sumSoFar;
    piece_ = piece;
    count_ = count;
}

void ProgressMeter::Rewind(int64_t done) {
    done_ = done;
    last_ = Position(done_);
    view_.SetProgress(last_);
}

void ProgressMeter::Advance(int64_t bytes) {
    if (copied) copied(bytes);
    done_ += bytes;
    const int32_t position = Position(done_);
    if (position != last_) {
        last_ = position;
        view_.SetProgress(position);
    }
}

int64_t ProgressMeter::BytesUntilMove(int64_t limit) const {
    if (limit <= 1) return limit;
    if (Position(done_ + 1) != last_) return 1;
    if (Position(done_ + limit) == last_) return limit;
    int64_t low = 2, high = limit;  // positions never fall within one piece
    while (low < high) {
        const int64_t middle = low + (high - low) / 2;
        if (Position(done_ + middle) != last_)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

int32_t ProgressMeter::Position(int64_t done) const {
    return count_ > 0 ? PausingJoinPosition(done, total_, piece_, count_) : ProgressPosition(done, total_);
}

CopyMode::CopyMode(int32_t limit)
    : maxBuffer(std::max(limit, 0)), buffered(maxBuffer < kDirectBlockBytes), kernelCopy(!buffered) {}

// Reserves the disk blocks for `length` bytes of a file from `offset` on,
// without changing its size: the file system then allocates them at once
// instead of block by block as they are written. Best effort; a file that is
// thrown away or cut short gives them back.
void Reserve(std::FILE* file, int64_t offset, int64_t length) {
#ifdef __linux__
    if (length > 0) (void)fallocate(fileno(file), FALLOC_FL_KEEP_SIZE, offset, length);
#else
    (void)file, (void)offset, (void)length;
#endif
}

// Lets the system drop its cached copy of a file about to be replaced: the
// joined bytes then reuse that memory at once. Without this, a join over an
// existing file of 1 GiB ran several times slower than one into a new file.
void ForgetCachedContents(const std::string& name) {
#ifdef __linux__
    // Never waits for a FIFO or a device of that name.
    const int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) (void)posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
#else
    (void)name;
#endif
}

// The file system's block size for an open file; 4096 when it cannot be told.
int64_t FileSystemBlock(std::FILE* file) {
#ifndef _WIN32
    struct stat info {};
    if (fstat(fileno(file), &info) == 0 && info.st_blksize > 0) return static_cast<int64_t>(info.st_blksize);
#else
    (void)file;
#endif
    return 4096;
}

bool IsDiskFull(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC;
}

namespace {

// Blocks whose size is a power of two, at least a page, start on borders
// the kernel copies fastest: 65536 copies faster than 100000 or 98304.
int64_t BlockSize(int32_t maxBuffer, int64_t count) {
    int64_t size = std::min<int64_t>(maxBuffer, kMaxBufferBytes);
    if (size >= kPageBytes) {
        int64_t power = kPageBytes;
        while (power * 2 <= size) power *= 2;
        size = power;
    }
    return std::min(size, count);
}

// Copies one block inside the kernel, without a user-space buffer. Returns
// the bytes copied; 0 at the end of the input; -1 on failure, with
// `unsupported` set when these two files cannot be copied that way at all.
int64_t KernelCopy(std::FILE* in, std::FILE* out, int64_t count, bool& unsupported) {
#ifdef __linux__
    for (;;) {
        const ssize_t copied =
            copy_file_range(fileno(in), nullptr, fileno(out), nullptr, static_cast<std::size_t>(count), 0);
        if (copied >= 0) return copied;
        if (errno == EINTR) continue;
        unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF ||
                      errno == EPERM || errno == ETXTBSY;
        return -1;
    }
#else
    (void)in, (void)out, (void)count;
    unsupported = true;
    return -1;
#endif
}

enum class Copied { All, Failed, NoBuffer };

// Copies in chunks of kKernelChunkBytes inside the kernel while the files
// allow it; turns the mode's kernel copy off (and returns true with the
// positions still in step) where they do not.
bool KernelBlocks(std::FILE* in, std::FILE* out, int64_t count, CopyMode& mode, int64_t& copied,
                  ProgressMeter& meter, const std::atomic<bool>* stop, int& error) {
    const int64_t size = kKernelChunkBytes;
    while (mode.kernelCopy && copied < count) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
        const int64_t chunk = std::min(size, count - copied);
        int64_t done = 0;
        bool unsupported = false;
        while (done < chunk) {
            errno = 0;
            const int64_t step = KernelCopy(in, out, chunk - done, unsupported);
            if (step < 0 && unsupported && done == 0) break;  // the positions are still in step
            if (step <= 0) {                                  // the input ended early, or the disk is full
                error = step < 0 ? errno : 0;
                return false;
            }
            done += step;
        }
        if (unsupported) {
            mode.kernelCopy = false;
            break;
        }
        copied += chunk;
        meter.Advance(chunk);
    }
    return true;
}

// Copies the rest through a buffer of `size` bytes, halved until it can be had.
Copied BufferCopy(std::FILE* in, std::FILE* out, int64_t count, int64_t size, int64_t& copied, ProgressMeter& meter,
                  const std::atomic<bool>* stop, int& error) {
    std::unique_ptr<char[]> buffer;
    while (!buffer && size > 0) {
        buffer.reset(new (std::nothrow) char[static_cast<std::size_t>(size)]);
        if (!buffer) size /= 2;
    }
    if (!buffer) return Copied::NoBuffer;
    while (copied < count) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return Copied::Failed;
        const auto chunk = static_cast<std::size_t>(std::min(size, count - copied));
        // Bytes a read did not deliver are never written.
        errno = 0;
        if (std::fread(buffer.get(), 1, chunk, in) != chunk) {
            error = std::ferror(in) ? errno : 0;
            return Copied::Failed;
        }
        if (std::fwrite(buffer.get(), 1, chunk, out) != chunk) {
            error = errno;
            return Copied::Failed;
        }
        copied += static_cast<int64_t>(chunk);
        meter.Advance(static_cast<int64_t>(chunk));
    }
    return Copied::All;
}

// Copies byte by byte, moving the bar exactly where it would move after
// every single byte.
bool ByteCopy(std::FILE* in, std::FILE* out, int64_t count, int64_t copied, ProgressMeter& meter,
              const std::atomic<bool>* stop, int& error) {
    while (copied < count) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
        const int64_t run = meter.BytesUntilMove(count - copied);
        for (int64_t i = 0; i < run; ++i) {
            errno = 0;
            const int c = std::getc(in);
            if (c == EOF || std::putc(c, out) == EOF) {
                error = c == EOF && !std::ferror(in) ? 0 : errno;
                return false;
            }
        }
        copied += run;
        meter.Advance(run);
    }
    return true;
}

}  // namespace

bool CopyBytes(std::FILE* in, std::FILE* out, int64_t count, CopyMode& mode, ProgressMeter& meter,
               const std::atomic<bool>* stop, int& error) {
    error = 0;
    if (count <= 0) return true;
    const int64_t size = BlockSize(mode.maxBuffer, count);
    int64_t copied = 0;
    if (!KernelBlocks(in, out, count, mode, copied, meter, stop, error)) return false;
    if (copied == count) return true;
    switch (BufferCopy(in, out, count, size, copied, meter, stop, error)) {
    case Copied::All: return true;
    case Copied::Failed: return false;
    case Copied::NoBuffer: break;
    }
    return ByteCopy(in, out, count, copied, meter, stop, error);
}
