#include "engine/TransferView.h"

#include <algorithm>
#include <cmath>
#include <limits>

int32_t ProgressPosition(int64_t done, int64_t total) {
    if (total <= 0 || done <= 0) return 0;
    if (done >= total) return kProgressScale;
    if (done <= std::numeric_limits<int64_t>::max() / kProgressScale) {
        return static_cast<int32_t>(done * kProgressScale / total);
    }
    return static_cast<int32_t>(static_cast<long double>(done) * kProgressScale / static_cast<long double>(total));
}

int32_t PausingJoinPosition(int64_t done, int64_t sumSoFar, int32_t piece, int32_t count) {
    if (piece >= count) return ProgressPosition(done, sumSoFar);
    if (sumSoFar <= 0 || done <= 0) return 0;
    // kProgressScale * piece / (count - 0.5), written so that it is exact
    // whenever it is a whole number; done == sumSoFar then lands on it exactly.
    const double top = 2.0 * kProgressScale * piece / (2.0 * count - 1.0);
    const double position = std::floor(top * (static_cast<double>(done) / static_cast<double>(sumSoFar)));
    return static_cast<int32_t>(std::clamp(position, 0.0, double(kProgressScale)));
}
