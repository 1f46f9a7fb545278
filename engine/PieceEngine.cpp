#include "engine/PieceEngine.h"

#include "engine/FileAccess.h"
#include "engine/PieceNaming.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#ifdef __linux__
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

int64_t FreeBytesInFolder(const std::string& folder) {
    std::error_code ec;
    const fs::space_info info = fs::space(FsPath(folder), ec);
    if (ec) return 0;  // no answer counts as no room: the user is asked for another disk
    const auto limit = static_cast<std::uintmax_t>(std::numeric_limits<int64_t>::max());
    return static_cast<int64_t>(std::min(info.available, limit));
}

int32_t ProgressPosition(int64_t done, int64_t total) {
    if (total <= 0 || done <= 0) return 0;
    if (done >= total) return 1000;
    if (done <= std::numeric_limits<int64_t>::max() / 1000) return static_cast<int32_t>(done * 1000 / total);
    return static_cast<int32_t>(static_cast<long double>(done) * 1000 / static_cast<long double>(total));
}

int32_t PausingJoinPosition(int64_t done, int64_t sumSoFar, int32_t piece, int32_t count) {
    if (piece >= count) return ProgressPosition(done, sumSoFar);
    if (sumSoFar <= 0 || done <= 0) return 0;
    // 1000 * piece / (count - 0.5), written so that it is exact whenever it is
    // a whole number; done == sumSoFar then lands on it exactly.
    const double top = 2000.0 * piece / (2.0 * count - 1.0);
    const double position = std::floor(top * (static_cast<double>(done) / static_cast<double>(sumSoFar)));
    return static_cast<int32_t>(std::clamp(position, 0.0, 1000.0));
}

namespace {

// From this block size on, the stream's own buffer only adds copying.
constexpr int32_t kDirectBlockBytes = 64 * 1024;
constexpr int64_t kPageBytes = 4096;

class NullView final : public TransferView {
public:
    void ClearPieceList() override {}
    void SetProgressRange(int32_t, int32_t) override {}
    void SetProgress(int32_t) override {}
    void ShowCurrentPiece(const std::string&) override {}
    void AddPieceSize(const std::string&) override {}
    void SelectPiece(int32_t) override {}
    void RepaintPieceList() override {}
    // Nobody to ask: a question is never taken as a changed disk.
    bool AskYesNo(const std::string&, const std::string&, Icon) override { return false; }
    void RepaintMainWindow() override {}
};

// An open stream that is closed on every way out; Close() reports whether the
// last buffered bytes reached the file.
class Stream {
public:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream() { Close(); }

    // Large blocks go straight to the system calls; bytes and small blocks
    // go through the stream's buffer, so that one byte is not one system call.
    bool Open(const std::string& name, const char* mode, bool buffered) {
        Close();
        file_ = OpenFile(name, mode);
        if (file_ != nullptr && !buffered) std::setvbuf(file_, nullptr, _IONBF, 0);
        return file_ != nullptr;
    }
    bool Close() {
        if (file_ == nullptr) return true;
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }
    std::FILE* get() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};

// Reserves the disk blocks for `length` bytes of a file from `offset` on,
// without changing its size: the file system then allocates them at once
// instead of block by block as they are written. Best effort.
void Reserve(std::FILE* file, int64_t offset, int64_t length) {
#ifdef __linux__
    if (length > 0) (void)fallocate(fileno(file), FALLOC_FL_KEEP_SIZE, offset, length);
#else
    (void)file, (void)offset, (void)length;
#endif
}

// Gives back the blocks reserved beyond the end of a file whose writing failed.
void ReleaseReserve(std::FILE* file) {
#ifdef __linux__
    struct stat info;
    if (std::fflush(file) == 0 && fstat(fileno(file), &info) == 0) (void)ftruncate(fileno(file), info.st_size);
#else
    (void)file;
#endif
}

// Lets the system drop its cached copy of a file about to be replaced: the
// joined bytes then reuse that memory at once. Without this, a join over an
// existing file of 1 GiB ran several times slower than one into a new file.
void ForgetCachedContents(const std::string& name) {
#ifdef __linux__
    Stream file;
    if (file.Open(name, "rb", false)) (void)posix_fadvise(fileno(file.get()), 0, 0, POSIX_FADV_DONTNEED);
#else
    (void)name;
#endif
}

// The output of a join. Where a file of the target's name exists, the join
// writes a temporary file beside it and puts it in the target's place only
// after success, so a refused or failed join leaves that file as it was.
class JoinOutput {
public:
    JoinOutput() = default;
    JoinOutput(const JoinOutput&) = delete;
    JoinOutput& operator=(const JoinOutput&) = delete;
    ~JoinOutput() {
        if (!finished_) Abandon();
    }

    bool Open(const std::string& target, bool buffered) {
        target_ = target;
        std::error_code ec;
        // Write where a link points, as writing through the link would.
        if (fs::is_symlink(fs::symlink_status(FsPath(target), ec))) {
            const fs::path resolved = fs::weakly_canonical(FsPath(target), ec);
            if (!ec) target_ = resolved.u8string();
        }
        replacing_ = fs::exists(fs::symlink_status(FsPath(target_), ec));
        if (!replacing_) {
            written_ = target_;
            return stream_.Open(written_, "wb", buffered);
        }
        if (!MayReplace(target_)) return false;
        ForgetCachedContents(target_);
        for (int attempt = 0; attempt < 100; ++attempt) {
            written_ = target_ + ".~quorvel" + std::to_string(attempt);
            if (stream_.Open(written_, "wbx", buffered)) return true;
            if (fs::exists(fs::symlink_status(FsPath(written_), ec))) continue;  // name taken
            break;
        }
        written_.clear();
        return false;
    }

    std::FILE* get() const { return stream_.get(); }
    const std::string& Target() const { return target_; }
    // The file the bytes go into: the target itself or the temporary file.
    const std::string& Written() const { return written_; }
    bool Close() { return stream_.Close(); }

    // Puts the joined file in the target's place; false when it cannot (the
    // joined bytes then stay in the temporary file).
    bool Commit() {
        stream_.Close();
        finished_ = true;
        if (!replacing_) return true;
        std::error_code ec;
        fs::permissions(FsPath(written_), fs::status(FsPath(target_), ec).permissions(), ec);
        // Removing the old file first is much faster than renaming over it on
        // ext4, which flushes a file renamed over another one to disk first.
        fs::remove(FsPath(target_), ec);
        fs::rename(FsPath(written_), FsPath(target_), ec);
        return !ec;
    }

    // After a failure: an existing file of the target's name stays as it
    // was; where there was none, the partial output stays under that name.
    void Abandon() {
        if (!replacing_ && stream_.get() != nullptr) ReleaseReserve(stream_.get());
        stream_.Close();
        finished_ = true;
        if (replacing_ && !written_.empty()) {
            std::error_code ec;
            fs::remove(FsPath(written_), ec);
        }
    }

private:
    Stream stream_;
    std::string target_;
    std::string written_;
    bool replacing_ = false;
    bool finished_ = false;
};

// Moves the progress bar as bytes are copied, only when its position changes.
class ProgressMeter {
public:
    explicit ProgressMeter(TransferView& view) : view_(view) {}

    void Start() {
        last_ = 0;
        view_.SetProgress(0);
    }
    void Scale(int64_t total) {
        total_ = total;
        piece_ = count_ = 0;
    }
    void PausingScale(int64_t sumSoFar, int32_t piece, int32_t count) {
        total_ = sumSoFar;
        piece_ = piece;
        count_ = count;
    }
    void Advance(int64_t bytes) {
        done_ += bytes;
        const int32_t position = Position(done_);
        if (position != last_) {
            last_ = position;
            view_.SetProgress(position);
        }
    }
    // How many of the next `limit` bytes can be copied before the bar has to
    // move: byte-by-byte copying then shows the same positions as moving the
    // bar after every byte.
    int64_t BytesUntilMove(int64_t limit) const {
        if (limit <= 1) return limit;
        if (Position(done_ + 1) != last_) return 1;
        if (Position(done_ + limit) == last_) return limit;
        int64_t low = 2, high = limit;  // positions never fall within one piece
        while (low < high) {
            const int64_t middle = low + (high - low) / 2;
            if (Position(done_ + middle) != last_) high = middle;
            else low = middle + 1;
        }
        return low;
    }

private:
    int32_t Position(int64_t done) const {
        return count_ > 0 ? PausingJoinPosition(done, total_, piece_, count_) : ProgressPosition(done, total_);
    }

    TransferView& view_;
    int64_t done_ = 0;
    int64_t total_ = 0;
    int32_t piece_ = 0;
    int32_t count_ = 0;
    int32_t last_ = 0;
};

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
        unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                      errno == EBADF || errno == EPERM || errno == ETXTBSY;
        return -1;
    }
#else
    (void)in, (void)out, (void)count;
    unsupported = true;
    return -1;
#endif
}

// Copies count bytes from in to out in blocks of at most maxBuffer bytes;
// false when a read comes back short or a write fails. `kernelCopy` says
// whether blocks may be copied inside the kernel (unbuffered streams only);
// it is turned off for the rest of the transfer where the files do not allow it.
bool CopyBytes(std::FILE* in, std::FILE* out, int64_t count, int32_t maxBuffer, bool& kernelCopy,
               ProgressMeter& meter, const std::atomic<bool>* stop) {
    auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
    if (count <= 0) return true;
    int64_t size = BlockSize(maxBuffer, count);
    int64_t copied = 0;
    while (kernelCopy && size > 0 && copied < count) {
        if (stopped()) return false;
        const int64_t chunk = std::min(size, count - copied);
        int64_t done = 0;
        bool unsupported = false;
        while (done < chunk) {
            const int64_t step = KernelCopy(in, out, chunk - done, unsupported);
            if (step < 0 && unsupported && done == 0) break;  // the positions are still in step
            if (step <= 0) return false;  // the input ended early, or the disk is full
            done += step;
        }
        if (unsupported) {
            kernelCopy = false;
            break;
        }
        copied += chunk;
        meter.Advance(chunk);
    }
    if (copied == count) return true;

    std::unique_ptr<char[]> buffer;
    while (!buffer && size > 0) {
        buffer.reset(new (std::nothrow) char[static_cast<std::size_t>(size)]);
        if (!buffer) size /= 2;
    }
    if (buffer) {
        while (copied < count) {
            if (stopped()) return false;
            const auto chunk = static_cast<std::size_t>(std::min(size, count - copied));
            // Bytes a read did not deliver are never written.
            if (std::fread(buffer.get(), 1, chunk, in) != chunk) return false;
            if (std::fwrite(buffer.get(), 1, chunk, out) != chunk) return false;
            copied += static_cast<int64_t>(chunk);
            meter.Advance(static_cast<int64_t>(chunk));
        }
        return true;
    }
    while (copied < count) {
        if (stopped()) return false;
        const int64_t run = meter.BytesUntilMove(count - copied);
        for (int64_t i = 0; i < run; ++i) {
            const int c = std::getc(in);
            if (c == EOF || std::putc(c, out) == EOF) return false;
        }
        copied += run;
        meter.Advance(run);
    }
    return true;
}

// Removes pieces count+1, count+2, ... left by an earlier, longer split of the
// same name, so that a later join cannot append them. Stops at the first
// number that is not there, and never removes the big file itself.
void RemoveStalePieces(const std::string& prefix, const std::string& marker, int32_t count,
                       const std::string& bigFile) {
    for (int32_t n = count + 1; n > 0; ++n) {
        const std::string name = PieceName(prefix, marker, n);
        if (!IsReplaceableEntry(name) || SameFile(name, bigFile)) return;
        std::error_code ec;
        fs::remove(FsPath(name), ec);
    }
}

}  // namespace

TPieceEngine::TPieceEngine(TextLookup texts, FreeSpaceQuery freeSpace)
    : texts_(std::move(texts)), freeSpace_(std::move(freeSpace)) {}

void TPieceEngine::SetPieceCount(int32_t count) {
    PieceCount = std::max(count, 0);
    PieceSizes.resize(static_cast<std::size_t>(PieceCount) + 1, 0);
}

int32_t TPieceEngine::Split(int32_t maxBuffer, const std::string& marker, int32_t pauseMode, bool useFreeSpace) {
    return Transfer(Direction::Split, maxBuffer, marker, pauseMode, useFreeSpace);
}

int32_t TPieceEngine::Join(int32_t maxBuffer, const std::string& marker, int32_t pauseMode) {
    return Transfer(Direction::Join, maxBuffer, marker, pauseMode, false);
}

bool TPieceEngine::Stopped() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

std::string TPieceEngine::Text(int entry) const { return texts_ ? texts_(entry) : std::string(); }

std::string TPieceEngine::FullDiskQuestion() const {
    std::string full = Text(230);
    // Not every language's text ends in a blank; the two sentences must not run together.
    if (!full.empty() && full.back() != ' ') full += ' ';
    return full + Text(55);
}

int32_t TPieceEngine::Transfer(Direction direction, int32_t maxBuffer, const std::string& marker,
                               int32_t pauseMode, bool useFreeSpace) {
    NullView nullView;
    TransferView& view = view_ != nullptr ? *view_ : nullView;
    const bool split = direction == Direction::Split;
    useFreeSpace = useFreeSpace && split;
    maxBuffer = std::max(maxBuffer, 0);
    const bool buffered = maxBuffer < kDirectBlockBytes;
    bool kernelCopy = !buffered;
    SetPieceCount(PieceCount);

    // The big file: read for a split; for a join created, or replaced only
    // on success. Nothing else is touched when this fails.
    Stream bigIn;
    JoinOutput bigOut;
    int64_t bigSize = 0;
    if (split) {
        bigSize = FileSizeOf(BigFilePath);
        if (bigSize < 0 || !bigIn.Open(BigFilePath, "rb", buffered)) return kCannotReadBigFile;
    } else {
        if (PieceCount == 0) return kDisksNotEntered;  // nothing joined is not success
        for (int32_t n = 1; n <= PieceCount; ++n) {
            if (SameFile(BigFilePath, PieceName(PiecePrefix, marker, n))) return kCannotCreateBigFile;
        }
        if (!bigOut.Open(BigFilePath, buffered)) return kCannotCreateBigFile;
    }
    std::FILE* bigStream = split ? bigIn.get() : bigOut.get();
    ProgressMeter meter(view);
    auto fail = [&](int32_t code) {
        bigIn.Close();
        bigOut.Abandon();
        view.SetProgress(0);
        return code;
    };

    const bool pausing = PausesBeforePieces(pauseMode, PiecePrefix);
    int64_t remaining = 0;
    if (useFreeSpace) {
        remaining = bigSize;
        PieceCount = 1;
        PieceSizes.resize(2);
        FreeSpaceFolder = FolderOf(PiecePrefix);
    }

    view.ClearPieceList();
    view.SetProgressRange(0, 1000);
    meter.Start();
    const bool pausingJoin = !split && pausing;
    if (split) {
        meter.Scale(bigSize);
    } else if (!pausingJoin) {
        int64_t total = 0;
        for (int32_t n = 1; n <= PieceCount; ++n) total += std::max<int64_t>(PieceSizes[n], 0);
        meter.Scale(total);
    }

    int64_t sumOfPieces = 0;
    for (int32_t j = 1; j <= PieceCount; ++j) {
        const std::string number = std::to_string(j) + "?";
        if (Stopped()) return fail(kStopped);
        if (pausing) {
            if (!view.AskYesNo(Text(55) + number, Text(56), TransferView::Icon::Question)) {
                return fail(Stopped() ? kStopped : kDisksNotEntered);
            }
            view.RepaintMainWindow();
        }
        if (useFreeSpace) {
            int64_t free = 0;
            while ((free = freeSpace_ ? freeSpace_(FreeSpaceFolder) : 0) <= 0) {
                if (!view.AskYesNo(FullDiskQuestion() + number, Text(56), TransferView::Icon::Exclamation)) {
                    return fail(Stopped() ? kStopped : kDisksNotEntered);
                }
            }
            if (free < remaining) {
                PieceSizes[j] = free;
                remaining -= free;
                PieceCount += 1;
                PieceSizes.push_back(0);
            } else {
                PieceSizes[j] = remaining;
                remaining = 0;
            }
        }
        CurrentPieceName = PieceName(PiecePrefix, marker, j);

        Stream piece;
        if (split) {
            // A piece that is the big file itself cannot be created.
            if (SameFile(CurrentPieceName, BigFilePath)) return fail(j);
            // A new file instead of truncating the old one: ext4 flushes a
            // truncated and rewritten file to disk when it is closed.
            if (IsReplaceableEntry(CurrentPieceName)) {
                if (!MayReplace(CurrentPieceName)) return fail(j);
                std::error_code ec;
                fs::remove(FsPath(CurrentPieceName), ec);
            }
            if (!piece.Open(CurrentPieceName, "wb", buffered)) return fail(j);
        } else {
            const int64_t size = FileSizeOf(CurrentPieceName);
            if (size < 0 || SameFile(CurrentPieceName, bigOut.Target()) || SameFile(CurrentPieceName, bigOut.Written())) {
                return fail(j);
            }
            if (pausingJoin) {
                PieceSizes[j] = size;
                int64_t sumSoFar = 0;
                for (int32_t n = 1; n <= j; ++n) sumSoFar += PieceSizes[n];
                meter.PausingScale(sumSoFar, j, PieceCount);
            }
            if (!piece.Open(CurrentPieceName, "rb", buffered)) return fail(j);
        }

        view.ShowCurrentPiece(CurrentPieceName);
        view.AddPieceSize(std::to_string(PieceSizes[j]));
        view.SelectPiece(j - 1);
        view.RepaintPieceList();

        std::FILE* in = split ? bigStream : piece.get();
        std::FILE* out = split ? piece.get() : bigStream;
        Reserve(out, split ? 0 : sumOfPieces, PieceSizes[j]);
        if (!CopyBytes(in, out, PieceSizes[j], maxBuffer, kernelCopy, meter, stop_)) {
            if (split) ReleaseReserve(out);
            return fail(Stopped() ? kStopped : kSizesDiffer);
        }
        if (!piece.Close()) return fail(kSizesDiffer);
        const int64_t written = FileSizeOf(CurrentPieceName);
        if (written != PieceSizes[j]) return fail(kSizesDiffer);
        sumOfPieces += written;
    }

    view.SelectPiece(-1);
    if (split) {
        bigIn.Close();
        view.SetProgress(0);
        if (FileSizeOf(BigFilePath) != sumOfPieces) return kSizesDiffer;
        RemoveStalePieces(PiecePrefix, marker, PieceCount, BigFilePath);
        return kTransferOk;
    }
    if (!bigOut.Close() || FileSizeOf(bigOut.Written()) != sumOfPieces) return fail(kSizesDiffer);
    view.SetProgress(0);
    return bigOut.Commit() ? kTransferOk : kCannotCreateBigFile;
}
