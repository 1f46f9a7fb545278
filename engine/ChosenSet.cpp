#include "engine/ChosenSet.h"

#include "engine/PieceNaming.h"
#include "io/FileAccess.h"
#include "io/Paths.h"
#include "io/PositionedReader.h"
#include "io/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <filesystem>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Slices small enough that Stop answers within a moment on a slow disk.
constexpr int64_t kSliceBytes = 4 << 20;

bool Stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed); }

// Bytes [offset, offset + length) of the file into both hashes.
bool HashTwice(std::FILE* file, int64_t offset, int64_t length, Sha256& one, Sha256& two, int* error) {
    std::vector<char> buffer(kHashReadBytes);
    for (int64_t done = 0; done < length;) {
        const auto part = static_cast<std::size_t>(std::min<int64_t>(int64_t(buffer.size()), length - done));
        errno = 0;
        if (!ReadAllAt(fileno(file), buffer.data(), part, offset + done)) {
            *error = errno;
            return false;
        }
        one.Update(buffer.data(), part);
        two.Update(buffer.data(), part);
        done += int64_t(part);
    }
    return true;
}

struct Hashed {
    bool ok = false;
    bool stopped = false;
    int error = 0;
    std::string hex;
};

// Hashes `size` bytes of a file slice by slice, adding each slice to `done`
// and giving up at `cancel` or `stop`. A file that is longer than measured
// now is not the file that was measured.
// `joined`, when given, is fed the same bytes: the pieces in order are the
// whole file, hashed in the one read.
Hashed HashInSlices(const std::string& name, int64_t size, std::atomic<int64_t>& done, const std::atomic<bool>& cancel,
                    const std::atomic<bool>* stop, const std::function<void()>& between = {},
                    Sha256* joined = nullptr) {
    Hashed result;
    std::FILE* file = OpenFile(name, "rb");
    if (file == nullptr) {
        result.error = errno;
        return result;
    }
    Sha256 hash;
    int64_t hashed = 0;
    bool ok = true;
    while (ok && hashed < size) {
        if (cancel.load(std::memory_order_relaxed) || Stopped(stop)) {
            result.stopped = true;
            std::fclose(file);
            return result;
        }
        const int64_t slice = std::min(kSliceBytes, size - hashed);
        ok = joined == nullptr ? HashFileRange(file, hashed, slice, hash, &result.error)
                               : HashTwice(file, hashed, slice, hash, *joined, &result.error);
        if (ok) {
            hashed += slice;
            done += slice;
            if (between) between();
        }
    }
    std::fclose(file);
    if (ok && FileSizeOf(name) == size) {
        result.hex = hash.Final();
        result.ok = true;
    }
    return result;
}

}  // namespace

int32_t CheckedSet::RecoveryShortBy() const {
    const auto badCount = static_cast<int32_t>(bad.size());
    return std::max<int32_t>(badCount - rebuildable, 0);
}

std::vector<int32_t> CheckedSet::BadNumbers() const {
    std::vector<int32_t> numbers;
    for (const BadPiece& piece : bad) numbers.push_back(piece.number);
    return numbers;
}

CheckedSet CheckChosenSet(const std::string& prefix, const std::string& marker, const std::atomic<bool>* stop,
                          const CheckProgress& progress) {
    CheckedSet checked;
    checked.prefix = prefix;
    checked.loaded = LoadSet(prefix, marker);
    if (!checked.loaded.Ok()) return checked;
    const ChecksumSet& set = checked.loaded.read.set;
    checked.count = set.count;
    const std::string folder = FolderOf(prefix);

    // Sizes first: a piece of the wrong size needs no hashing to be bad.
    std::vector<bool> toHash(static_cast<std::size_t>(set.count) + 1, false);
    int64_t total = 0;
    for (int32_t n = 1; n <= set.count; ++n) {
        BadPiece piece;
        piece.number = n;
        piece.file = PieceName(prefix, marker, n);
        piece.expectedSize = static_cast<std::size_t>(n) <= set.sizes.size() ? set.sizes[n - 1] : -1;
        piece.link = UntrustedLinkTo(piece.file);
        if (!piece.link.empty()) {
            piece.why = BadPiece::Why::LinkNotTrusted;
            checked.bad.push_back(piece);
            continue;
        }
        piece.actualSize = FileSizeOf(piece.file, &piece.error);
        if (piece.actualSize < 0) {
            // Only a name with nothing behind it is missing; one there that
            // cannot be opened keeps its reason.
            piece.why = piece.error == ENOENT ? BadPiece::Why::Missing : BadPiece::Why::Unreadable;
            checked.bad.push_back(piece);
        } else if (piece.actualSize != piece.expectedSize) {
            piece.why = BadPiece::Why::WrongSize;
            piece.error = 0;
            checked.bad.push_back(piece);
        } else {
            toHash[static_cast<std::size_t>(n)] = true;
            total += piece.actualSize;
        }
    }

    // The whole file on a thread of its own while the pieces are hashed here;
    // once a piece is bad its verdict no longer matters.
    checked.wholeFile = Paths::InFolder(folder, set.bigFileName);
    checked.wholeSize = FileSizeOf(checked.wholeFile);
    const bool hashWhole = checked.bad.empty() && checked.wholeSize >= 0 && checked.wholeSize == set.total &&
                           UntrustedLinkTo(checked.wholeFile).empty();
    std::atomic<int64_t> done{0};
    std::atomic<bool> cancelWhole{false};
    // The whole file's thread wakes this one at each slice and at its end.
    std::mutex wholeMutex;
    std::condition_variable wholeMoved;
    bool wholeEnded = false;
    uint64_t wholeSlices = 0;
    const auto moved = [&](bool ended) {
        {
            std::lock_guard<std::mutex> lock(wholeMutex);
            wholeEnded = wholeEnded || ended;
            ++wholeSlices;
        }
        wholeMoved.notify_all();
    };
    Hashed whole;
    std::thread wholeThread;
    if (hashWhole) {
        total += checked.wholeSize;
        auto run = [&] {
            // Memory running out must not end the process from this thread.
            try {
                whole = HashInSlices(checked.wholeFile, checked.wholeSize, done, cancelWhole, stop,
                                     [&] { moved(false); });
            } catch (const std::bad_alloc&) {
                whole = Hashed{};
                whole.error = ENOMEM;
            }
            moved(true);
        };
        try {
            wholeThread = std::thread(run);
        } catch (const std::system_error&) {
            run();
        }
    }
    auto report = [&] {
        if (progress) progress(done.load(), total);
    };
    report();

    // Without the whole file, its line is checked against the pieces in order.
    const bool hashJoined = checked.bad.empty() && checked.wholeSize < 0;
    Sha256 joined;
    const std::atomic<bool> never{false};
    for (int32_t n = 1; n <= set.count && !checked.stopped; ++n) {
        if (!toHash[static_cast<std::size_t>(n)]) continue;
        const std::string name = PieceName(prefix, marker, n);
        const int64_t size = set.sizes[static_cast<std::size_t>(n) - 1];
        const Hashed digest = HashInSlices(name, size, done, never, stop, report, hashJoined ? &joined : nullptr);
        if (digest.stopped) {
            checked.stopped = true;
            break;
        }
        if (!digest.ok || digest.hex != set.digests[static_cast<std::size_t>(n) - 1]) {
            BadPiece piece;
            piece.number = n;
            piece.file = name;
            piece.expectedSize = size;
            piece.actualSize = size;
            piece.error = digest.error;
            piece.why = !digest.ok && digest.error != 0 ? BadPiece::Why::Unreadable : BadPiece::Why::Damaged;
            checked.bad.push_back(piece);
            cancelWhole = true;
        }
    }
    if (wholeThread.joinable()) {
        // The whole file may be on a slower disk than the pieces: its progress goes on.
        std::unique_lock<std::mutex> lock(wholeMutex);
        uint64_t seen = wholeSlices;
        while (!wholeEnded && !cancelWhole.load()) {
            wholeMoved.wait(lock, [&] { return wholeEnded || wholeSlices != seen; });
            seen = wholeSlices;
            lock.unlock();
            report();
            lock.lock();
        }
        lock.unlock();
        wholeThread.join();
    }
    if (Stopped(stop)) checked.stopped = true;
    std::sort(checked.bad.begin(), checked.bad.end(),
              [](const BadPiece& a, const BadPiece& b) { return a.number < b.number; });

    if (checked.wholeSize < 0) {
        const bool differs = hashJoined && !checked.stopped && checked.bad.empty() && joined.Final() != set.wholeDigest;
        checked.whole = differs ? CheckedSet::Whole::JoinedDiffers : CheckedSet::Whole::Absent;
    } else if (!hashWhole && checked.bad.empty() && checked.wholeSize != set.total) {
        checked.whole = CheckedSet::Whole::WrongSize;
    } else if (!hashWhole || whole.stopped || !checked.bad.empty() || checked.stopped) {
        checked.whole = CheckedSet::Whole::NotChecked;
    } else if (!whole.ok && whole.error != 0) {
        checked.whole = CheckedSet::Whole::Unreadable;
        checked.wholeError = whole.error;
    } else {
        checked.whole = whole.ok && whole.hex == set.wholeDigest ? CheckedSet::Whole::Matched
                                                                 : CheckedSet::Whole::Damaged;
    }

    if (!checked.bad.empty() && !checked.stopped && checked.HasRecoveryFiles()) {
        const SetRepair count =
            CountRebuildable(set, marker, folder, checked.BadNumbers(), checked.loaded.recoveryFiles);
        checked.rebuildable = count.rebuildable;
        checked.passedOver = count.passedOver;
        checked.recoveryOfOtherVersion = count.otherVersion && count.rebuildable == 0;
    }
    if (progress && !checked.stopped) progress(total, total);
    return checked;
}

bool MayRepairIn(const std::string& folder) {
#ifdef _WIN32
    std::error_code ec;
    return std::filesystem::is_directory(Paths::Native(folder), ec) &&
           _waccess(Paths::Native(folder).c_str(), 2) == 0;
#else
    return access(Paths::Native(folder).c_str(), W_OK | X_OK) == 0;
#endif
}

RepairedSet RepairChosenSet(const std::string& prefix, const std::string& marker, const std::atomic<bool>* stop,
                            const CheckProgress& progress) {
    RepairedSet repaired;
    repaired.check = CheckChosenSet(prefix, marker, stop, progress);
    const CheckedSet& check = repaired.check;
    if (!check.loaded.Ok() || check.stopped || check.bad.empty()) return repaired;
    repaired.attempted = true;
    repaired.repair = RebuildPieces(check.loaded.read.set, marker, FolderOf(prefix), check.BadNumbers(),
                                    check.loaded.recoveryFiles, RebuildInto::Pieces, stop, progress);
    return repaired;
}
