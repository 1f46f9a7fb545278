// The recovery files' share of the time, for bench/recovery.sh:
//   quorvel-recovery-bench rates
//       MB/s of each part: GF(2^16) region products (gf-complete and the
//       portable tables), MD5, CRC32, on data in the processor's cache
//   quorvel-recovery-bench create BIG PIECE_BYTES K [MEMORY_BYTES]
//       writes BIG's recovery files beside it; prints the plan and seconds
//   quorvel-recovery-bench repair BIG PIECE_BYTES N...
//       rebuilds pieces N... (from 1) of BIG.Quorved_* into BIG.rebuilt_N
#include "io/Digests.h"
#include "recovery/Gf16.h"
#include "recovery/Md5Lanes.h"
#include "recovery/Recovery.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename Work>
double Rate(std::size_t bytes, Work work) {
    const auto start = std::chrono::steady_clock::now();
    int rounds = 0;
    do {
        work();
        ++rounds;
    } while (Since(start) < 0.5);
    return double(bytes) * rounds / Since(start) / 1e6;
}

std::vector<int64_t> Pieces(const std::string& big, int64_t piece) {
    std::FILE* f = std::fopen(big.c_str(), "rb");
    if (f == nullptr) return {};
    std::fseek(f, 0, SEEK_END);
    const int64_t total = ftello(f);
    std::fclose(f);
    std::vector<int64_t> sizes(std::size_t(total / piece), piece);
    if (total % piece != 0) sizes.push_back(total % piece);
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "rates") {
        std::vector<unsigned char> src(256 << 10, 7), dest(256 << 10, 3);
        for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<unsigned char>(i * 131);
        std::printf("GF(2^16) region, %s: %.0f MB/s\n", Gf16::UsesSimdLibrary() ? "gf-complete" : "tables (built in)",
                    Rate(src.size(), [&] { Gf16::MultiplyAdd(src.data(), dest.data(), 0x1234, src.size()); }));
        std::printf("GF(2^16) region, portable tables: %.0f MB/s\n",
                    Rate(src.size(), [&] { Gf16::MultiplyAddTables(src.data(), dest.data(), 0x1234, src.size()); }));
        Md5 md5;
        Md5Digest digest{};
        std::printf("MD5: %.0f MB/s\n", Rate(src.size(), [&] {
                        md5.Update(src.data(), src.size());
                        md5.Final(digest);
                    }));
        {
            Md5Lanes lanes(Md5Lanes::kLanes);
            std::vector<const unsigned char*> parts(Md5Lanes::kLanes, src.data());
            Md5Digest digests[Md5Lanes::kLanes];
            std::printf("MD5, %d messages side by side%s: %.0f MB/s\n", Md5Lanes::kLanes,
                        Md5Lanes::Wide() ? " (AVX2)" : "", Rate(src.size() * Md5Lanes::kLanes, [&] {
                            lanes.Update(parts.data(), src.size());
                            lanes.Final(digests);
                        }));
        }
        uint32_t crc = 0;
        std::printf("CRC32: %.0f MB/s\n", Rate(src.size(), [&] { crc = Crc32(crc, src.data(), src.size()); }));
        return 0;
    }
    if ((mode == "create" && argc >= 5) || (mode == "repair" && argc >= 5)) {
        const std::string big = argv[2];
        const int64_t piece = std::atoll(argv[3]);
        const std::vector<int64_t> sizes = Pieces(big, piece);
        const auto start = std::chrono::steady_clock::now();
        RecoveryResult result;
        if (mode == "create") {
            RecoveryCreate request;
            request.bigFile = big;
            request.folder = big.find('/') == std::string::npos ? "." : big.substr(0, big.rfind('/'));
            request.pieceSizes = sizes;
            request.lostPieces = std::atoi(argv[4]);
            if (argc > 5) request.memoryLimit = std::atoll(argv[5]);
            result = CreateRecoveryFiles(request);
            const RecoveryPlan& p = result.plan;
            std::printf("slice %lld bytes, %u input and %u recovery slices, %u files, %lld bytes\n",
                        (long long)p.sliceSize, p.inputSlices, p.recoverySlices, p.FileCount(),
                        (long long)p.totalBytes);
        } else {
            RecoveryRepair request;
            const std::string folder = big.find('/') == std::string::npos ? "." : big.substr(0, big.rfind('/'));
            const std::string name = big.substr(big.rfind('/') + 1);
            request.recoveryFiles = FindRecoveryFiles(folder, name);
            request.name = name;
            request.pieceSizes = sizes;
            for (std::size_t i = 0; i < sizes.size(); ++i)
                request.pieces.push_back(big + ".Quorved_" + std::to_string(i + 1));
            for (int i = 4; i < argc; ++i) {
                request.lost.push_back(std::atoi(argv[i]) - 1);
                request.outputs.push_back(big + ".rebuilt_" + argv[i]);
            }
            result = RepairPieces(request);
        }
        std::printf("%s in %.3f s%s%s\n", mode.c_str(), Since(start), result.ok ? "" : ": ",
                    result.failure.reason.c_str());
        return result.ok ? 0 : 1;
    }
    std::fprintf(stderr, "usage: %s rates | create BIG PIECE_BYTES K [MEMORY] | repair BIG PIECE_BYTES N...\n",
                 argv[0]);
    return 2;
}
