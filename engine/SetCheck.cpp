#include "engine/SetCheck.h"

#include "io/FileAccess.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "io/Sha256.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <new>
#include <system_error>
#include <thread>

namespace {

// Hashes a whole file in slices, looking at `cancel` between them: once a
// piece is known to be bad the whole file's verdict no longer matters.
FileDigest HashWholeFile(const std::string& name, int64_t size, const std::atomic<bool>& cancel) {
    constexpr int64_t kSliceBytes = 64 * 1024 * 1024;
    FileDigest result;
    std::FILE* file = OpenFile(name, "rb");
    if (file == nullptr) {
        result.error = errno;
        return result;
    }
    Sha256 hash;
    bool ok = true;
    while (ok && result.bytes < size && !cancel.load(std::memory_order_relaxed)) {
        const int64_t slice = std::min(kSliceBytes, size - result.bytes);
        ok = HashFileRange(file, result.bytes, slice, hash, &result.error);
        if (ok) result.bytes += slice;
    }
    std::fclose(file);
    // A file that grew after it was measured is not the file the set was made from.
    if (ok && result.bytes == size && FileSizeOf(name) == size) {
        result.hex = hash.Final();
        result.ok = true;
    }
    return result;
}

}  // namespace

SetCheck CheckSet(const ChecksumSet& set, const std::string& marker, const std::string& prefix) {
    SetCheck check;
    const auto count = static_cast<int32_t>(set.finished ? set.count : set.digests.size());
    auto path = [&](int32_t n) {
        return n == 0 ? Paths::InFolder(FolderOf(prefix), set.bigFileName) : PieceName(prefix, marker, n);
    };
    auto expectedSize = [&](int32_t n) {
        return n == 0 ? set.total : static_cast<std::size_t>(n) <= set.sizes.size() ? set.sizes[n - 1] : -1;
    };
    auto report = [&](SetCheck::Problem problem, int32_t n, int64_t actual, int error) {
        check.problem = problem;
        check.piece = n;
        check.file = path(n);
        check.expectedSize = expectedSize(n);
        check.actualSize = actual;
        check.error = error;
        return check;
    };

    // Sizes first: they cost nothing, and hashing stops before the first bad one.
    int32_t firstBad = 0;
    SetCheck::Problem firstProblem = SetCheck::Problem::None;
    int64_t firstActual = -1;
    int firstError = 0;
    for (int32_t n = 1; n <= count && firstBad == 0; ++n) {
        const std::string untrusted = UntrustedLinkTo(path(n));
        if (!untrusted.empty()) {
            SetCheck link = report(SetCheck::Problem::LinkNotTrusted, n, -1, 0);
            link.file = untrusted;
            return link;
        }
        const int64_t size = FileSizeOf(path(n), &firstError);
        if (size < 0 || (expectedSize(n) >= 0 && size != expectedSize(n))) {
            firstBad = n;
            // Only a name with nothing behind it is missing; one there that
            // cannot be opened keeps its reason.
            firstProblem = size >= 0              ? SetCheck::Problem::WrongSize
                           : firstError == ENOENT ? SetCheck::Problem::Missing
                                                  : SetCheck::Problem::Unreadable;
            firstActual = size;
        }
    }
    if (firstBad == 0 && !set.finished) {
        firstBad = count + 1;
        firstProblem = SetCheck::Problem::Missing;
    }

    // The whole file on a thread of its own while the pieces are hashed here.
    std::atomic<bool> cancel{false};
    FileDigest whole;
    std::thread wholeThread;
    const int64_t wholeSize = set.finished ? FileSizeOf(path(0)) : -1;
    const bool checkWhole = firstBad == 0 && wholeSize >= 0 && wholeSize == set.total;
    if (checkWhole) {
        try {
            wholeThread = std::thread([&] {
                // Memory running out must not end the process from this thread.
                try {
                    whole = HashWholeFile(path(0), wholeSize, cancel);
                } catch (const std::bad_alloc&) {
                    whole = FileDigest{};
                    whole.error = ENOMEM;
                }
            });
        } catch (const std::system_error&) {
            whole = HashWholeFile(path(0), wholeSize, cancel);
        }
    }
    auto joinWhole = [&] {
        cancel = true;
        if (wholeThread.joinable()) wholeThread.join();
    };

    const int32_t hashUpTo = firstBad == 0 ? count : firstBad - 1;
    for (int32_t n = 1; n <= hashUpTo; ++n) {
        const FileDigest digest = HashFile(path(n));
        if (!digest.ok) {
            joinWhole();
            return report(SetCheck::Problem::Unreadable, n, digest.bytes, digest.error);
        }
        if (digest.bytes != expectedSize(n) || digest.hex != set.digests[static_cast<std::size_t>(n) - 1]) {
            joinWhole();
            return report(SetCheck::Problem::Damaged, n, digest.bytes, 0);
        }
    }
    if (firstBad != 0) return report(firstProblem, firstBad, firstActual, firstError);

    if (wholeThread.joinable()) wholeThread.join();
    if (wholeSize >= 0 && !checkWhole) return report(SetCheck::Problem::WrongSize, 0, wholeSize, 0);
    if (checkWhole) {
        if (!whole.ok && whole.error != 0) return report(SetCheck::Problem::Unreadable, 0, whole.bytes, whole.error);
        if (!whole.ok || whole.hex != set.wholeDigest) return report(SetCheck::Problem::Damaged, 0, whole.bytes, 0);
        check.wholeChecked = true;
    }
    return check;
}

std::vector<int32_t> BadPieces(const ChecksumSet& set, const std::string& marker, const std::string& folder) {
    std::vector<int32_t> bad;
    for (int32_t n = 1; n <= static_cast<int32_t>(set.digests.size()); ++n) {
        const std::string name = Paths::InFolder(folder, set.PieceFileName(n, marker));
        const int64_t expected = static_cast<std::size_t>(n) <= set.sizes.size() ? set.sizes[n - 1] : -1;
        const int64_t size = FileSizeOf(name);
        // One reached through another user's link is not read: it counts as lost.
        if (size < 0 || size != expected || !UntrustedLinkTo(name).empty()) {
            bad.push_back(n);
            continue;
        }
        const FileDigest digest = HashFile(name);
        if (!digest.ok || digest.bytes != expected || digest.hex != set.digests[static_cast<std::size_t>(n) - 1]) {
            bad.push_back(n);
        }
    }
    return bad;
}
