#include "engine/BackgroundHasher.h"

#include "io/FileAccess.h"
#include "io/PositionedReader.h"
#include "io/Sha256.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>
#include <utility>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Ranges a lane may have waiting (each holds its file open): the copy waits
// beyond this rather than hold open ever more pieces of a set of thousands.
constexpr std::size_t kMaxQueuedRanges = 64;
constexpr std::size_t kRecentSources = 4;
// The most one job hashes: a lane looks at the stop flag between jobs, so a
// stop is seen within this many bytes however large the ranges submitted.
constexpr int64_t kMaxJobBytes = 16 * 1024 * 1024;

// What a caller's descriptor is open on, and how (Linux: its access mode).
struct FdFacts {
    uint64_t device = 0, inode = 0;
    int mode = 0;
};

#ifdef _WIN32

bool Describe(int fd, FdFacts& facts) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return false;
    facts.device = info.dwVolumeSerialNumber;
    facts.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

#else

bool Describe(int fd, FdFacts& facts) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    facts.device = static_cast<uint64_t>(info.st_dev);
    facts.inode = static_cast<uint64_t>(info.st_ino);
    facts.mode = fcntl(fd, F_GETFL) & O_ACCMODE;
    return true;
}

#endif

}  // namespace

// The hasher's own duplicate of a caller's descriptor, shared by the jobs
// that read through it and closed after the last of them.
struct BackgroundHasher::Source {
    int fd = -1;
    int callerFd = -1;
    // What the caller's descriptor was open on: a number closed and given to
    // another file by the caller must not be taken for the same source.
    uint64_t device = 0, inode = 0;
    int mode = 0;
    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    ~Source() {
        if (fd >= 0) CloseDescriptor(fd);
    }
};

BackgroundHasher::BackgroundHasher() {
    try {
        lanes_[kPieceLane].thread = std::thread(&BackgroundHasher::Run, this, kPieceLane);
    } catch (const std::system_error&) {
        return;
    }
    try {
        lanes_[kWholeLane].thread = std::thread(&BackgroundHasher::Run, this, kWholeLane);
        started_ = true;
    } catch (const std::system_error&) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        work_.notify_all();
        lanes_[kPieceLane].thread.join();
    }
}

BackgroundHasher::~BackgroundHasher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    done_.notify_all();
    for (LaneState& lane : lanes_) {
        if (lane.thread.joinable()) lane.thread.join();
    }
}

BackgroundHasher::Digest BackgroundHasher::Failed(int error) {
    Digest digest;
    digest.error = error;
    return digest;
}

std::shared_ptr<BackgroundHasher::Source> BackgroundHasher::SourceFor(int fd) {
    FdFacts facts;
    if (fd < 0 || !Describe(fd, facts)) return nullptr;
    for (const auto& recent : recentSources_) {
        if (recent->callerFd == fd && recent->device == facts.device && recent->inode == facts.inode &&
            recent->mode == facts.mode) {
            return recent;
        }
    }
    auto source = std::make_shared<Source>();
    source->fd = OwnReadingDescriptor(fd);
    if (source->fd < 0) return nullptr;
    source->callerFd = fd;
    source->device = facts.device;
    source->inode = facts.inode;
    source->mode = facts.mode;
    // A new descriptor per block would run out of descriptors while the
    // hashing lags behind the copy.
    if (recentSources_.size() >= kRecentSources) recentSources_.erase(recentSources_.begin());
    recentSources_.push_back(source);
    return source;
}

void BackgroundHasher::SetStopFlag(const std::atomic<bool>* stop) { stop_.store(stop); }

bool BackgroundHasher::Stopped() const {
    const std::atomic<bool>* stop = stop_.load();
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

void BackgroundHasher::Queue(Job job, Lane lane) {
    // No thread would ever take it: the caller must not wait for room.
    if (!started_) return;
    std::unique_lock<std::mutex> lock(mutex_);
    for (int l = kPieceLane; l <= kWholeLane; ++l) {
        if (lane != Lane::Both && (l == kPieceLane) != (lane == Lane::Piece)) continue;
        LaneState& state = lanes_[l];
        if (job.kind == Job::Kind::Range) {
            done_.wait(lock, [&] { return stopping_ || state.queue.size() < kMaxQueuedRanges; });
        }
        // A lane that lags behind gets the next block of the same file as
        // part of the waiting job: one read and one wake-up for many blocks.
        Job* last = state.queue.empty() ? nullptr : &state.queue.back();
        if (job.kind == Job::Kind::Range && last != nullptr && last->kind == Job::Kind::Range && job.source &&
            last->source == job.source && last->offset + last->length == job.offset &&
            last->length + job.length <= kMaxJobBytes) {
            last->length += job.length;
            continue;
        }
        state.queue.push_back(job);
        pending_ += 1;
        work_.notify_all();
    }
}

void BackgroundHasher::Drain() {
    recentSources_.clear();
    if (!started_) return;
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return stopping_ || pending_ == 0; });
}

bool BackgroundHasher::Submit(int fd, int64_t offset, int64_t length, Lane lane) {
    if (finished_) return false;
    if (length <= 0) return true;
    const std::shared_ptr<Source> source = SourceFor(fd);
    // A range that cannot be read still goes in: its lane then reports the failure.
    for (int64_t done = 0; done < length;) {
        Job job;
        job.source = source;
        job.offset = offset + done;
        job.length = std::min(length - done, kMaxJobBytes);
        done += job.length;
        Queue(std::move(job), lane);
    }
    return source != nullptr;
}

bool BackgroundHasher::Submit(std::FILE* file, int64_t offset, int64_t length, Lane lane) {
#ifdef _WIN32
    return Submit(file != nullptr ? _fileno(file) : -1, offset, length, lane);
#else
    return Submit(file != nullptr ? fileno(file) : -1, offset, length, lane);
#endif
}

int32_t BackgroundHasher::EndPiece() {
    if (finished_) return endedPieces_;
    Job job;
    job.kind = Job::Kind::End;
    Queue(std::move(job), Lane::Piece);
    return ++endedPieces_;
}

bool BackgroundHasher::PieceReady(int32_t n, Digest* digest) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (n < 1 || static_cast<std::size_t>(n) > pieces_.size()) return false;
    if (digest != nullptr) *digest = pieces_[static_cast<std::size_t>(n) - 1];
    return true;
}

BackgroundHasher::Digest BackgroundHasher::WaitPiece(int32_t n) {
    if (n < 1 || n > endedPieces_ || !started_) return Failed(started_ ? EINVAL : EAGAIN);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return stopping_ || pieces_.size() >= static_cast<std::size_t>(n); });
    if (pieces_.size() < static_cast<std::size_t>(n)) return Failed(broken_ != 0 ? broken_ : EINTR);
    return pieces_[static_cast<std::size_t>(n) - 1];
}

BackgroundHasher::Digest BackgroundHasher::Finish() {
    if (!started_) return Failed(EAGAIN);
    if (!finished_) {
        Job job;
        job.kind = Job::Kind::End;
        Queue(std::move(job), Lane::Whole);
        finished_ = true;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] {
        return stopping_ || (!whole_.empty() && pieces_.size() >= static_cast<std::size_t>(endedPieces_));
    });
    return whole_.empty() ? Failed(broken_ != 0 ? broken_ : EINTR) : whole_.front();
}

// A lane that throws (memory running out) would end the process: it stops
// the hasher instead, and every digest waited for fails with the reason.
void BackgroundHasher::Run(int lane) {
    try {
        Serve(lane);
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            broken_ = ENOMEM;
            stopping_ = true;
        }
        work_.notify_all();
        done_.notify_all();
    }
}

void BackgroundHasher::Serve(int lane) {
    LaneState& state = lanes_[lane];
    Sha256 hash;
    Digest running;  // what this lane has hashed since its last End
    running.ok = true;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kHashReadBytes]);
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [&] { return stopping_ || !state.queue.empty(); });
            if (stopping_) return;
            job = std::move(state.queue.front());
            state.queue.pop_front();
        }
        Digest ended;
        // Stopped: the rest of the queue is passed through unread, so that
        // every waiter has its (failed) digest at once.
        if (running.ok && job.kind != Job::Kind::End && Stopped()) {
            running.ok = false;
            running.error = EINTR;
        }
        switch (job.kind) {
        case Job::Kind::Range:
            // After a failed read the rest of the piece is not worth reading.
            if (!running.ok) break;
            if (!buffer || !job.source) {
                running.ok = false;
                running.error = !buffer ? ENOMEM : EBADF;
                break;
            }
            running.ok = HashFileRange(job.source->fd, job.offset, job.length, hash, buffer.get(), kHashReadBytes,
                                       &running.error);
            if (running.ok) running.bytes += job.length;
            break;
        case Job::Kind::End:
            ended = std::move(running);
            ended.hex = hash.Final();  // also starts the hash over
            if (!ended.ok || ended.hex.empty()) {
                ended.ok = false;
                ended.hex.clear();
            }
            running = Digest();
            running.ok = true;
            break;
        }
        job.source.reset();  // the last job of a source closes its descriptor here, off the caller's thread
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (job.kind == Job::Kind::End) (lane == kPieceLane ? pieces_ : whole_).push_back(std::move(ended));
            pending_ -= 1;
        }
        done_.notify_all();
    }
}
