#include "engine/PieceEngine.h"

#include "engine/BackgroundHasher.h"
#include "engine/ChecksumFile.h"
#include "engine/FileAccess.h"
#include "engine/OutputFile.h"
#include "engine/PieceNaming.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

int64_t FreeBytesInFolder(const std::string& folder) {
    std::error_code ec;
    const fs::space_info info = fs::space(Paths::Native(folder), ec);
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
    Stream file;
    if (file.Open(name, "rb", false)) (void)posix_fadvise(fileno(file.get()), 0, 0, POSIX_FADV_DONTNEED);
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
    // Back to `done` bytes, after bytes that were copied had to be given up.
    void Rewind(int64_t done) {
        done_ = done;
        last_ = Position(done_);
        view_.SetProgress(last_);
    }
    // Told of every run of bytes copied, before the bar moves (the hashing).
    std::function<void(int64_t bytes)> copied;

    void Advance(int64_t bytes) {
        if (copied) copied(bytes);
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
            if (Position(done_ + middle) != last_)
                high = middle;
            else
                low = middle + 1;
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

// Copies count bytes from in to out in blocks of at most maxBuffer bytes.
// False when a read comes back short, a write fails or the stop flag is
// set; `error` then holds errno where the system gave one (0 for an input
// that ended early). `kernelCopy` says whether blocks may be copied inside
// the kernel (unbuffered streams only); it is turned off for the rest of the
// transfer where the files do not allow it.
bool CopyBytes(std::FILE* in, std::FILE* out, int64_t count, int32_t maxBuffer, bool& kernelCopy, ProgressMeter& meter,
               const std::atomic<bool>* stop, int& error) {
    auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
    error = 0;
    if (count <= 0) return true;
    int64_t size = BlockSize(maxBuffer, count);
    int64_t copied = 0;
    while (kernelCopy && size > 0 && copied < count) {
        if (stopped()) return false;
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
            errno = 0;
            if (std::fread(buffer.get(), 1, chunk, in) != chunk) {
                error = std::ferror(in) ? errno : 0;
                return false;
            }
            if (std::fwrite(buffer.get(), 1, chunk, out) != chunk) {
                error = errno;
                return false;
            }
            copied += static_cast<int64_t>(chunk);
            meter.Advance(static_cast<int64_t>(chunk));
        }
        return true;
    }
    while (copied < count) {
        if (stopped()) return false;
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

// A piece this split gave its final name, to take back if the split fails.
struct WrittenPiece {
    std::string name;
    FileIdentity id;
};

// Removes the pieces of an earlier set of the same name that are in reach,
// before the new set is written, so that old and new pieces never mix.
// Spares the big file, the pieces this split wrote, and what is no file
// (the split then stops at that number).
void RemoveOlderSet(const std::string& prefix, const std::string& marker, const std::string& bigFile,
                    const std::vector<WrittenPiece>& keep, const std::string& keepChecksums) {
    // Its checksum file too: a join would take the set from it.
    const std::string checksums = ChecksumFileName(prefix, marker);
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(Paths::Native(checksums), ec)) && !SameFile(checksums, keepChecksums) &&
        !SameFile(checksums, bigFile)) {
        fs::remove(Paths::Native(checksums), ec);
    }
    for (const NumberedPiece& piece : ExistingPieces(prefix, marker)) {
        if (!IsReplaceableEntry(piece.name) || !MayReplace(piece.name) || SameFile(piece.name, bigFile)) continue;
        const FileIdentity id = IdentityOf(piece.name);
        bool ours = false;
        for (const WrittenPiece& written : keep) ours = ours || written.id == id;
        if (ours) continue;
        fs::remove(Paths::Native(piece.name), ec);
    }
}

// Takes back the pieces a failed or stopped split wrote, where their names
// still lead to them (a disk that was changed holds other files).
void RemoveWrittenPieces(std::vector<WrittenPiece>& written) {
    for (const WrittenPiece& piece : written) {
        if (!(IdentityOf(piece.name) == piece.id)) continue;
        std::error_code ec;
        fs::remove(Paths::Native(piece.name), ec);
    }
    written.clear();
}

}  // namespace

TPieceEngine::TPieceEngine(TextLookup texts, FreeSpaceQuery freeSpace)
    : texts_(std::move(texts)), freeSpace_(std::move(freeSpace)) {}

void TPieceEngine::SetPieceCount(int32_t count) {
    PieceCount = std::max(count, 0);
    PieceSizes.resize(static_cast<std::size_t>(PieceCount) + 1, 0);
}

int32_t TPieceEngine::Split(int32_t maxBuffer, const std::string& marker, PauseMode pauseMode, bool useFreeSpace) {
    return Transfer(Direction::Split, maxBuffer, marker, pauseMode, useFreeSpace);
}

int32_t TPieceEngine::Join(int32_t maxBuffer, const std::string& marker, PauseMode pauseMode) {
    return Transfer(Direction::Join, maxBuffer, marker, pauseMode, false);
}

int32_t TPieceEngine::TakeSetFromChecksums(const std::string& marker, bool pausing, ChecksumSet& expected) {
    ChecksumFilePath = FindChecksumFile(PiecePrefix, marker, BigFilePath);
    if (ChecksumFilePath.empty()) return kTransferOk;  // made elsewhere, or before checksums: counted
    const ChecksumRead read = ReadChecksumFile(ChecksumFilePath, marker);
    if (read.status == ChecksumRead::Status::Unfinished) {
        // What a killed split left: name the first planned piece not there.
        for (int32_t n = 1; n <= read.set.count; ++n) {
            if (FileSizeOf(PieceName(PiecePrefix, marker, n)) < 0) {
                FailureSubject = PieceName(PiecePrefix, marker, n);
                return kPieceMissing;
            }
        }
        FailureSubject = ChecksumFilePath;
        return kChecksumsUnfinished;
    }
    if (read.status != ChecksumRead::Status::Ok || read.set.count < 1 ||
        read.set.digests.size() != static_cast<std::size_t>(read.set.count)) {
        FailureSubject = ChecksumFilePath;
        LastError = read.error;
        return kChecksumsDamaged;
    }
    expected = read.set;
    SetPieceCount(expected.count);
    for (int32_t n = 1; n <= expected.count; ++n) PieceSizes[n] = expected.sizes[std::size_t(n - 1)];
    if (pausing) return kTransferOk;  // the pieces come disk by disk: each is checked as it is read
    // Every piece is at hand: one that is missing or of another size fails
    // the join before anything is written.
    for (int32_t n = 1; n <= PieceCount; ++n) {
        const std::string name = PieceName(PiecePrefix, marker, n);
        const int64_t size = FileSizeOf(name);
        if (size == PieceSizes[n]) continue;
        std::error_code ec;
        FailureSubject = fs::exists(fs::symlink_status(Paths::Native(name), ec)) ? std::to_string(n) : name;
        return size < 0 && FailureSubject == name ? kPieceMissing : kPieceDamaged;
    }
    return kTransferOk;
}

bool TPieceEngine::Stopped() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

std::string TPieceEngine::Text(EngineEntry::Id entry) const { return texts_ ? texts_(entry) : std::string(); }

std::string TPieceEngine::FullDiskQuestion() const {
    std::string full = Text(EngineEntry::NoRoomOnDisk);
    // Not every language's text ends in a blank; the two sentences must not run together.
    if (!full.empty() && full.back() != ' ') full += ' ';
    return full + Text(EngineEntry::ReadyForDiskNumber);
}

int32_t TPieceEngine::Transfer(Direction direction, int32_t maxBuffer, const std::string& marker, PauseMode pauseMode,
                               bool useFreeSpace) {
    NullView nullView;
    TransferView& view = view_ != nullptr ? *view_ : nullView;
    const bool split = direction == Direction::Split;
    useFreeSpace = useFreeSpace && split;
    maxBuffer = std::max(maxBuffer, 0);
    const bool buffered = maxBuffer < kDirectBlockBytes;
    bool kernelCopy = !buffered;
    SetPieceCount(PieceCount);
    LastError = 0;
    FailureSubject.clear();
    Checked = false;
    const bool pausing = PausesBeforePieces(pauseMode, PiecePrefix);
    ChecksumSet expected;  // a join's checksum file, where it has one

    // The big file: read for a split; for a join written under a temporary
    // name and given the target's name only on success. Nothing else is
    // touched when this fails.
    Stream bigIn;
    OutputFile bigOut;
    std::string target;  // a join's target, links followed
    bool replacing = false;
    int64_t bigSize = 0;
    if (split) {
        bigSize = FileSizeOf(BigFilePath);
        errno = 0;
        if (bigSize < 0 || !bigIn.Open(BigFilePath, "rb", buffered)) {
            LastError = errno;
            return kCannotReadBigFile;
        }
    } else {
        if (PieceCount == 0) return kDisksNotEntered;  // nothing joined is not success
        if (UseChecksums) {
            const int32_t result = TakeSetFromChecksums(marker, pausing, expected);
            if (result != kTransferOk) return result;
        }
        for (int32_t n = 1; n <= PieceCount; ++n) {
            if (SameFile(BigFilePath, PieceName(PiecePrefix, marker, n))) return kCannotCreateBigFile;
        }
        // A link is written through, to where it leads; a link that loops or
        // leads into no folder is no place to write.
        target = LinkDestination(BigFilePath);
        if (target.empty()) return kCannotCreateBigFile;
        std::error_code ec;
        replacing = fs::exists(fs::status(Paths::Native(target), ec));
        if (replacing && !MayReplace(target)) return kCannotCreateBigFile;
        if (replacing) ForgetCachedContents(target);
        if (!bigOut.Open(target, buffered)) {
            LastError = bigOut.Error();
            return kCannotCreateBigFile;
        }
    }
    std::FILE* bigStream = split ? bigIn.get() : bigOut.get();
    ProgressMeter meter(view);
    OutputFile pieceOut;
    std::vector<WrittenPiece> written;  // this split's pieces, under their final names
    ChecksumWriter sums;                // a split's checksum file
    std::unique_ptr<BackgroundHasher> hasher;
    auto fail = [&](int32_t code, int error = 0) {
        LastError = error;
        if (Stopped()) code = kStopped;
        hasher.reset();
        pieceOut.Abandon();
        RemoveWrittenPieces(written);
        if (!sums.Path().empty()) sums.Remove();
        bigIn.Close();
        bigOut.Abandon();
        view.SetProgress(0);
        return code;
    };

    int64_t remaining = 0;
    if (useFreeSpace) {
        remaining = bigSize;
        PieceCount = 1;
        PieceSizes.resize(2);
        FreeSpaceFolder = FolderOf(PiecePrefix);
    }
    if (split) RemoveOlderSet(PiecePrefix, marker, BigFilePath, written, {});
    if (split && UseChecksums) {
        // Begun before the first piece and marked unfinished, so that what a
        // killed split leaves never joins. A split that changes disks keeps
        // it beside the big file: the pieces' disks may have no room for it.
        const std::string besidePieces = ChecksumFileName(PiecePrefix, marker);
        const std::string besideBig = ChecksumFileIn(FolderOf(BigFilePath), PiecePrefix, marker);
        std::vector<int64_t> planned;
        if (!useFreeSpace) planned.assign(PieceSizes.begin() + 1, PieceSizes.end());
        bool begun = false;
        for (const std::string& path : pausing || useFreeSpace ? std::vector<std::string>{besideBig, besidePieces}
                                                               : std::vector<std::string>{besidePieces, besideBig}) {
            if (begun) break;
            ChecksumFilePath = path;
            begun = sums.Begin(path, FileNamePart(BigFilePath), marker, bigSize, planned, !useFreeSpace);
        }
        if (!begun) {
            FailureSubject = ChecksumFilePath;
            return fail(kChecksumsNotWritten, sums.LastError());
        }
    }
    if ((split && UseChecksums) || !expected.digests.empty()) hasher = std::make_unique<BackgroundHasher>();
    int32_t hashed = 0;  // pieces whose digest was recorded or compared
    // Takes the digests that are ready (or, with `wait`, all up to piece n):
    // a split records them, a join compares them with its checksum file.
    auto takeDigests = [&](int32_t upTo, bool wait) {
        BackgroundHasher::Digest digest;
        while (hashed < upTo &&
               (wait ? (digest = hasher->WaitPiece(hashed + 1), true) : hasher->PieceReady(hashed + 1, &digest))) {
            hashed += 1;
            if (split && (!digest.ok || !sums.RecordPiece(hashed, PieceSizes[hashed], digest.hex))) {
                FailureSubject = sums.Path();
                return fail(kChecksumsNotWritten, digest.ok ? sums.LastError() : digest.error);
            }
            // A piece that could not be read back is no damaged piece.
            if (!split && !digest.ok) return fail(hashed, digest.error);
            if (!split && digest.hex != expected.digests[std::size_t(hashed - 1)]) {
                FailureSubject = std::to_string(hashed);
                return fail(kPieceDamaged);
            }
        }
        return int32_t(kTransferOk);
    };

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
    int32_t listed = 0;     // pieces whose size the view lists
    bool diskFull = false;  // the last free-space piece filled its disk
    for (int32_t j = 1; j <= PieceCount; ++j) {
        const std::string number = std::to_string(j) + "?";
        if (Stopped()) return fail(kStopped);
        if (pausing && !diskFull) {
            if (!view.AskYesNo(Text(EngineEntry::ReadyForDiskNumber) + number, Text(EngineEntry::ChangeDisk),
                               TransferView::Icon::Question))
                return fail(kDisksNotEntered);
            view.RepaintMainWindow();
            if (split) RemoveOlderSet(PiecePrefix, marker, BigFilePath, written, sums.Path());
        }
        if (useFreeSpace) {
            int64_t free = 0;
            while (diskFull || (free = freeSpace_ ? freeSpace_(FreeSpaceFolder) : 0) <= 0) {
                if (!view.AskYesNo(FullDiskQuestion() + number, Text(EngineEntry::ChangeDisk),
                                   TransferView::Icon::Exclamation)) {
                    return fail(kDisksNotEntered);
                }
                diskFull = false;
                RemoveOlderSet(PiecePrefix, marker, BigFilePath, written, sums.Path());
            }
            if (free < remaining) {
                PieceSizes[j] = free;
                remaining -= free;
                if (j == PieceCount) {
                    PieceCount += 1;
                    PieceSizes.push_back(0);
                }
            } else {
                PieceSizes[j] = remaining;
                remaining = 0;
            }
        }
        CurrentPieceName = PieceName(PiecePrefix, marker, j);

        Stream piece;
        std::error_code ec;
        if (split) {
            // Whatever still holds a piece's name after the older set is gone
            // (the big file itself, a folder, a FIFO, a read-only file) is
            // never opened: a FIFO would block the split for good.
            if (fs::exists(fs::symlink_status(Paths::Native(CurrentPieceName), ec))) return fail(j);
            if (!pieceOut.Open(CurrentPieceName, buffered)) return fail(j, pieceOut.Error());
        } else {
            const int64_t size = FileSizeOf(CurrentPieceName);
            if (size < 0 || SameFile(CurrentPieceName, target)) return fail(j);
            if (pausingJoin) {
                PieceSizes[j] = size;
                int64_t sumSoFar = 0;
                for (int32_t n = 1; n <= j; ++n) sumSoFar += PieceSizes[n];
                meter.PausingScale(sumSoFar, j, PieceCount);
            }
            errno = 0;
            if (!piece.Open(CurrentPieceName, "rb", buffered)) return fail(j, errno);
        }

        view.ShowCurrentPiece(CurrentPieceName);
        if (j > listed) {
            view.AddPieceSize(std::to_string(PieceSizes[j]));
            listed = j;
        } else {
            view.CorrectPieceSize(j - 1, std::to_string(PieceSizes[j]));
        }
        view.SelectPiece(j - 1);
        view.RepaintPieceList();

        std::FILE* in = split ? bigStream : piece.get();
        std::FILE* out = split ? pieceOut.get() : bigStream;
        Reserve(out, split ? 0 : sumOfPieces, PieceSizes[j]);
        // Hashed from the page cache on the hasher's threads while the next
        // block is copied. A split hashes the big file's bytes (a free-space
        // piece only once it is whole: the disk may take less); a join the
        // piece's bytes, and the joined file's as written where no stream
        // buffer stands between.
        int64_t inAt = split ? sumOfPieces : 0, outAt = split ? 0 : sumOfPieces;
        meter.copied = nullptr;
        if (hasher && !useFreeSpace) {
            meter.copied = [&, in, out](int64_t bytes) {
                if (split || buffered) {
                    hasher->Submit(in, inAt, bytes, BackgroundHasher::Lane::Both);
                } else {
                    hasher->Submit(in, inAt, bytes, BackgroundHasher::Lane::Piece);
                    hasher->Submit(out, outAt, bytes, BackgroundHasher::Lane::Whole);
                }
                inAt += bytes;
                outAt += bytes;
            };
        }
        int error = 0;
        const bool copied = CopyBytes(in, out, PieceSizes[j], maxBuffer, kernelCopy, meter, stop_, error);
        meter.copied = nullptr;
        if (!copied) {
            if (Stopped()) return fail(kStopped);
            if (!useFreeSpace || !IsDiskFull(error)) return fail(kSizesDiffer, error);
            // The disk took less than it said it had room for (the file
            // system's own bookkeeping): keep the whole blocks that fit and
            // ask for the next disk for the rest.
            const int64_t block = FileSystemBlock(out);
            const int64_t kept = std::clamp<int64_t>(pieceOut.Size(), 0, PieceSizes[j]) / block * block;
            if (!pieceOut.Truncate(kept)) return fail(kSizesDiffer, pieceOut.Error());
            if (fseeko(bigStream, static_cast<off_t>(sumOfPieces + kept), SEEK_SET) != 0) {
                return fail(kSizesDiffer, errno);
            }
            meter.Rewind(sumOfPieces + kept);
            remaining += PieceSizes[j] - kept;
            diskFull = true;
            if (kept == 0) {
                // Nothing fitted: this number goes to the next disk.
                pieceOut.Abandon();
                j -= 1;
                continue;
            }
            if (j == PieceCount) {
                PieceCount += 1;
                PieceSizes.push_back(0);
            }
            PieceSizes[j] = kept;
            view.CorrectPieceSize(j - 1, std::to_string(kept));
        }
        if (split) {
            const int64_t size = pieceOut.Size();
            if (size != PieceSizes[j]) return fail(kSizesDiffer, pieceOut.Error());
            if (!pieceOut.Commit(false)) return fail(j, pieceOut.Error());
            written.push_back({CurrentPieceName, IdentityOf(CurrentPieceName)});
            if (hasher) {
                if (useFreeSpace) hasher->Submit(bigStream, sumOfPieces, size, BackgroundHasher::Lane::Both);
                hasher->EndPiece();
                if (const int32_t result = takeDigests(j, false); result != kTransferOk) return result;
            }
            sumOfPieces += size;
        } else {
            errno = 0;
            if (!piece.Close()) return fail(kSizesDiffer, errno);
            // A piece that changed since it was measured is not the set's piece.
            if (FileSizeOf(CurrentPieceName) != PieceSizes[j]) return fail(kSizesDiffer);
            if (hasher) {
                hasher->EndPiece();
                // Before the next disk goes in, this one's piece is checked.
                if (const int32_t result = takeDigests(j, pausingJoin); result != kTransferOk) return result;
            }
            sumOfPieces += PieceSizes[j];
        }
    }

    view.SelectPiece(-1);
    BackgroundHasher::Digest whole;
    if (hasher) {
        whole = hasher->Finish();
        if (const int32_t result = takeDigests(PieceCount, true); result != kTransferOk) return result;
    }
    if (split) {
        if (FileSizeOf(BigFilePath) != sumOfPieces) return fail(kSizesDiffer);
        if (hasher && (!whole.ok || !sums.Finish(whole.hex))) {
            FailureSubject = sums.Path();
            return fail(kChecksumsNotWritten, whole.ok ? sums.LastError() : whole.error);
        }
        bigIn.Close();
        view.SetProgress(0);
        return kTransferOk;
    }
    if (bigOut.Size() != sumOfPieces) return fail(kSizesDiffer, bigOut.Error());
    if (hasher && (!whole.ok || whole.hex != expected.wholeDigest)) {
        FailureSubject = FileNamePart(target);
        return fail(kJoinedFileDamaged, whole.error);
    }
    if (Stopped()) return fail(kStopped);
    Checked = hasher != nullptr;
    view.SetProgress(0);
    if (!bigOut.Commit(replacing)) {
        LastError = bigOut.Error();
        return kCannotCreateBigFile;
    }
    return kTransferOk;
}
