// Hashing speed on a file already in the page cache: one plain SHA-256 pass,
// then the background hasher fed block by block as a copy would feed it
// (a digest per piece and one for the whole file, on its two threads).
//   quorvel-hash-speed FILE [BLOCK_BYTES] [PIECE_BYTES]   defaults: 65536 104857600
#include "engine/BackgroundHasher.h"
#include "engine/PieceNaming.h"
#include "io/Sha256.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor seconds of all the process's threads: what the hashing costs
// whatever else the machine is doing.
double CpuSeconds(std::clock_t since) { return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [BLOCK_BYTES] [PIECE_BYTES]\n", argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    const int64_t block = argc > 2 ? std::atoll(argv[2]) : 65536;
    const int64_t piece = argc > 3 ? std::atoll(argv[3]) : 104857600;
    const int64_t size = FileSizeOf(name);
    if (size < 0 || block <= 0 || piece <= 0) {
        std::fprintf(stderr, "cannot use %s\n", name.c_str());
        return 2;
    }
    const double mb = static_cast<double>(size) / 1e6;

    auto start = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    const FileDigest plain = HashFile(name);
    const double plainSeconds = Seconds(start), plainCpu = CpuSeconds(cpu);

    const int fd = open(name.c_str(), O_RDONLY);
    start = std::chrono::steady_clock::now();
    cpu = std::clock();
    BackgroundHasher hasher;
    int64_t inPiece = 0;
    for (int64_t at = 0; at < size; at += block) {
        const int64_t n = std::min(block, size - at);
        hasher.Submit(fd, at, n);
        inPiece += n;
        if (inPiece >= piece || at + n == size) {
            hasher.EndPiece();
            inPiece = 0;
        }
    }
    const double submitSeconds = Seconds(start);
    const BackgroundHasher::Digest whole = hasher.Finish();
    const double backgroundSeconds = Seconds(start), backgroundCpu = CpuSeconds(cpu);
    close(fd);

    if (!plain.ok || !whole.ok || plain.hex != whole.hex) {
        std::fprintf(stderr, "the digests differ\n");
        return 1;
    }
    std::printf("one SHA-256 pass:   %.3f s, %.0f MB/s (processor: %.3f s, %.0f MB/s)\n", plainSeconds,
                mb / plainSeconds, plainCpu, mb / plainCpu);
    std::printf(
        "background hasher:  %.3f s, %.0f MB/s of file, pieces and whole file in %lld-byte blocks\n"
        "                    (processor: %.3f s for both hashes; the copying thread spent %.3f s submitting)\n",
        backgroundSeconds, mb / backgroundSeconds, static_cast<long long>(block), backgroundCpu, submitSeconds);
    return 0;
}
