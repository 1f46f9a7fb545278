// Recovery files from elsewhere: any bytes as big.par2 beside a set with a
// lost piece go through the scan, the count `check` reports and a rebuild.
// None may crash, hang or take more than its memory limit.
#include "io/Digests.h"
#include "recovery/Recovery.h"
#include "tests/fuzz/FuzzedSet.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = Fuzzed::SetFolder();
    const std::string par2 = folder + "/big.par2";
    std::ofstream(par2, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), std::streamsize(size));

    RecoveryRepair request;
    request.recoveryFiles = {par2};
    request.name = "big";
    for (int n = 1; n <= Fuzzed::kPieces; ++n) {
        request.pieces.push_back(folder + "/big.Quorved_" + std::to_string(n));
        request.pieceSizes.push_back(Fuzzed::kPieceBytes);
    }
    request.lost = {1};
    request.outputs = {folder + "/rebuilt"};
    request.memoryLimit = 8 << 20;

    CountRebuildable(request);
    if (RepairPieces(request).ok) {
        // Other bytes with valid MD5s can rebuild "a" piece 2, which the
        // engine's SHA-256 then refuses; a rebuild of another size is a fault here.
        std::ifstream in(request.outputs[0], std::ios::binary | std::ios::ate);
        if (in.tellg() != Fuzzed::kPieceBytes) std::abort();
    }
    std::filesystem::remove(request.outputs[0]);
    return 0;
}

#ifdef QUORVEL_LIBFUZZER
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

// Mutations would almost never get past the packets' MD5s: after each one,
// every packet whose length fits gets its MD5 made right again.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    static const char magic[8] = {'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};
    for (size_t at = 0; at + 64 <= size;) {
        if (std::memcmp(data + at, magic, 8) != 0) {
            at += 4;
            continue;
        }
        uint64_t length = 0;
        std::memcpy(&length, data + at + 8, 8);
        if (length < 64 || length % 4 != 0 || length > size - at) {
            at += 4;
            continue;
        }
        const Md5Digest md5 = Md5Of(data + at + 32, length - 32);
        std::memcpy(data + at + 16, md5.data(), md5.size());
        at += length;
    }
    return size;
}
#endif
