#include "recovery/SliceFeed.h"

#include "io/Digests.h"
#include "recovery/Gf16.h"
#include "recovery/Md5Lanes.h"

#include <cerrno>
#include <memory>

namespace RecoveryDetail {

bool FeedPass(Team& team, Rows& out, BigFileBytes& big, const RecoveryPlan& plan, uint32_t firstRow,
              std::vector<Par2::SliceChecksum>* checksums, const RecoveryCreate& request, int64_t workBefore,
              int64_t work, RecoveryError& failure) {
    constexpr int kLanes = Md5Lanes::kLanes;
    const auto slice = std::size_t(plan.sliceSize);
    const std::size_t partBytes = std::min(slice, kPartBytes);
    std::vector<std::unique_ptr<AlignedBuffer>> parts;
    for (int l = 0; l < kLanes; ++l) parts.push_back(std::make_unique<AlignedBuffer>(partBytes));
    for (const auto& p : parts)
        if (p->data == nullptr) return (failure = Error(ENOMEM, "not enough memory"), false);
    const std::size_t rows = out.Count();
    std::vector<uint16_t> factors(rows * kLanes);
    for (uint32_t first = 0; first < plan.inputSlices; first += kLanes) {
        const int count = int(std::min<uint32_t>(kLanes, plan.inputSlices - first));
        for (int l = 0; l < count; ++l) {
            const uint16_t constant = Par2::InputConstant(first + uint32_t(l));
            for (std::size_t r = 0; r < rows; ++r)
                factors[std::size_t(l) * rows + r] = Gf16::Power(constant, firstRow + uint32_t(r));
        }
        Md5Lanes md5(count);
        uint32_t crc[kLanes] = {};
        const unsigned char* lanes[kLanes];
        for (int l = 0; l < kLanes; ++l) lanes[l] = parts[std::size_t(l)]->aligned;
        for (std::size_t at = 0; at < slice; at += partBytes) {
            if (Stopped(request.stop)) return (failure = Error(ECANCELED, "stopped"), false);
            const std::size_t size = std::min(partBytes, slice - at);
            for (int l = 0; l < count; ++l) {
                const int64_t offset = int64_t(first + uint32_t(l)) * plan.sliceSize + int64_t(at);
                if (!big.Read(offset, size, parts[std::size_t(l)]->aligned, failure)) return false;
            }
            const std::size_t units = (checksums != nullptr ? 1 + std::size_t(count) : 0) + out.Groups();
            team.Run(units, [&](std::size_t unit) {
                if (checksums != nullptr && unit == 0) return md5.Update(lanes, size);
                if (checksums != nullptr && unit <= std::size_t(count))
                    return void(crc[unit - 1] = Crc32(crc[unit - 1], lanes[unit - 1], size));
                const std::size_t group = unit - (checksums != nullptr ? 1 + std::size_t(count) : 0);
                for (int l = 0; l < count; ++l)
                    out.Feed(group, lanes[l], at, size, factors.data() + std::size_t(l) * rows);
            });
            const int64_t fed = int64_t(first) * plan.sliceSize + int64_t(at + size) * count;
            if (request.progress) request.progress(workBefore + std::min(fed, big.Total()), work);
        }
        if (checksums != nullptr) {
            Md5Digest digests[kLanes];
            md5.Final(digests);
            for (int l = 0; l < count; ++l) (*checksums)[first + uint32_t(l)] = {digests[l], crc[l]};
        }
    }
    if (Stopped(request.stop)) return (failure = Error(ECANCELED, "stopped"), false);
    return true;
}

}  // namespace RecoveryDetail
