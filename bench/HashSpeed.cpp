// Hashing speed on a file already in the page cache: one plain SHA-256 pass,
// then the background hasher fed block by block as a copy would feed it
// (a digest per piece and one for the whole file, on its two threads).
//   quorvel-hash-speed FILE [BLOCK_BYTES] [PIECE_BYTES]   defaults: 65536 104857600
#include "engine/BackgroundHasher.h"
#include "engine/PieceNaming.h"
#include "engine/Sha256.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

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
    const FileDigest plain = HashFile(name);
    const double plainSeconds = Seconds(start);

    const int fd = open(name.c_str(), O_RDONLY);
    start = std::chrono::steady_clock::now();
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
    const double backgroundSeconds = Seconds(start);
    close(fd);

    if (!plain.ok || !whole.ok || plain.hex != whole.hex) {
        std::fprintf(stderr, "the digests differ\n");
        return 1;
    }
    std::printf("one SHA-256 pass:   %.3f s, %.0f MB/s\n", plainSeconds, mb / plainSeconds);
    std::printf("background hasher:  %.3f s, %.0f MB/s of file (pieces and whole file, %lld-byte blocks;"
                " submitting took %.3f s)\n",
                backgroundSeconds, mb / backgroundSeconds, static_cast<long long>(block), submitSeconds);
    return 0;
}
