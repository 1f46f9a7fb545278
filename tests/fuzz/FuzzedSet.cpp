#include "tests/fuzz/FuzzedSet.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace Fuzzed {

std::string BigFileBytes() {
    std::string bytes(static_cast<std::size_t>(kPieces * kPieceBytes), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

const std::string& SetFolder() {
    static const std::string folder = [] {
        namespace fs = std::filesystem;
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "quorvel-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        const std::string bytes = BigFileBytes();
        for (int n : {1, 3}) {
            std::ofstream(pattern + "/big.Quorved_" + std::to_string(n), std::ios::binary)
                .write(bytes.data() + (n - 1) * kPieceBytes, kPieceBytes);
        }
        return pattern;
    }();
    return folder;
}

}  // namespace Fuzzed
