#include "tests/fuzz/FuzzedSet.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace Fuzzed {

std::string BigFileBytes() {
    std::string bytes(static_cast<std::size_t>(kPieces * kPieceBytes), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

namespace {

// Removes the folder when the process ends.
struct Folder {
    std::string path;
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& SetFolder() {
    static const Folder folder{[] {
        namespace fs = std::filesystem;
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::random_device random;
        fs::path made;
        do made = base / ("quorvel-fuzz-" + std::to_string(random()));
        while (!fs::create_directory(made));
        const std::string pattern = made.string();
        const std::string bytes = BigFileBytes();
        for (int n : {1, 3}) {
            std::ofstream(pattern + "/big.Quorved_" + std::to_string(n), std::ios::binary)
                .write(bytes.data() + (n - 1) * kPieceBytes, kPieceBytes);
        }
        return pattern;
    }()};
    return folder.path;
}

}  // namespace Fuzzed
