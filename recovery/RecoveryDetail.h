// Small helpers the recovery sources share: slice arithmetic over the
// pieces, failures and stops. Not for use outside recovery/.
#pragma once

#include "recovery/Recovery.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cerrno>
#include <exception>
#include <new>
#include <system_error>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace RecoveryDetail {

inline int64_t SumOf(const std::vector<int64_t>& sizes) {
    return std::accumulate(sizes.begin(), sizes.end(), int64_t{0});
}

inline int64_t Padded4(int64_t bytes) { return (bytes + 3) / 4 * 4; }

// Slices [first, last) that bytes [start, start + size) touch.
struct SliceRange {
    int64_t first = 0, last = 0;
};
inline SliceRange Touched(int64_t start, int64_t size, int64_t sliceSize) {
    if (size <= 0) return {};
    return {start / sliceSize, (start + size - 1) / sliceSize + 1};
}

inline std::vector<int64_t> Starts(const std::vector<int64_t>& sizes) {
    std::vector<int64_t> starts(sizes.size(), 0);
    for (std::size_t i = 1; i < sizes.size(); ++i) starts[i] = starts[i - 1] + sizes[i - 1];
    return starts;
}

inline RecoveryError Error(int error, std::string reason) {
    RecoveryError e;
    e.error = error;
    e.reason = std::move(reason);
    return e;
}

// A failure reading, writing or flushing `file` (piece `piece`, from 0).
inline RecoveryError FileError(RecoveryError::Step step, int error, std::string reason, std::string file,
                               int piece = -1) {
    RecoveryError e = Error(error, std::move(reason));
    e.step = step;
    e.file = std::move(file);
    e.piece = piece;
    return e;
}

// What escapes the work (memory running out, above all) as a failure: the
// work runs on threads of ours, where an exception would end the process.
template <class Work>
RecoveryResult Guarded(Work&& work) {
    RecoveryResult result;
    try {
        return work();
    } catch (const std::bad_alloc&) {
        result.failure = Error(ENOMEM, "not enough memory");
    } catch (const std::system_error& e) {
        const std::error_condition errnoLike = e.code().default_error_condition();
        result.failure = Error(errnoLike.category() == std::generic_category() ? errnoLike.value() : 0, e.what());
    } catch (const std::exception& e) {
        result.failure = Error(0, e.what());
    } catch (...) {
        result.failure = Error(0, "an unexpected failure");
    }
    return result;
}

inline bool Stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed); }

// The most lost slices a rebuild solves for within `memoryLimit`: their
// matrix and, while it is inverted, the matrix beside its inverse (two
// bytes an entry each: six bytes an entry in all), and at least one row of
// the rebuilt data. 0 when not even that.
inline std::size_t MostLostSlices(int64_t memoryLimit, int64_t sliceSize) {
    if (sliceSize <= 0 || sliceSize >= memoryLimit) return 0;
    const int64_t left = (memoryLimit - sliceSize) / 6;
    auto m = int64_t(std::sqrt(double(left)));
    while (m > 0 && m * m > left) --m;
    while ((m + 1) * (m + 1) <= left) ++m;
    return std::size_t(m);
}

// Rows of the rebuilt data one pass holds: what the matrix leaves of the memory.
inline std::size_t RowsPerPass(int64_t memoryLimit, int64_t sliceSize, std::size_t lostSlices) {
    const int64_t left = memoryLimit - 2 * int64_t(lostSlices) * int64_t(lostSlices);
    return std::size_t(std::clamp<int64_t>(left / sliceSize, 1, int64_t(std::max<std::size_t>(lostSlices, 1))));
}

// Slices go through the code a part at a time, so that the hashes and the
// rows find the part still in the processor's cache.
inline constexpr std::size_t kPartBytes = 1 << 20;

}  // namespace RecoveryDetail
