// Sizes beyond 32 bits: a file larger than 4 GiB cut into pieces of
// 4294967295 bytes, the largest file a FAT32 disk holds.
#include "engine/PieceEngine.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

void WriteAt(const std::string& name, int64_t offset, const std::string& bytes) {
    std::fstream file(name, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(offset);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good());
}

bool SameContents(const std::string& a, const std::string& b) {
    std::ifstream left(a, std::ios::binary), right(b, std::ios::binary);
    std::vector<char> x(1 << 20), y(1 << 20);
    while (left && right) {
        left.read(x.data(), static_cast<std::streamsize>(x.size()));
        right.read(y.data(), static_cast<std::streamsize>(y.size()));
        if (left.gcount() != right.gcount() || !std::equal(x.begin(), x.begin() + left.gcount(), y.begin()))
            return false;
    }
    return left.eof() && right.eof();
}

TEST(LargeFile, SplitsIntoFat32SizedPiecesAndJoinsBackIdentical) {
    const int64_t piece = 4294967295LL;
    const int64_t size = piece + 3000001;
    TempFolder dir;
    const fs::space_info space = fs::space(dir.Path());
    if (space.available < static_cast<std::uintmax_t>(3 * size)) {
        GTEST_SKIP() << "needs " << 3 * size / (1 << 20) << " MiB free in " << dir.Path() << ", has "
                     << space.available / (1 << 20) << " MiB";
    }
    const std::string big = dir / "big";
    WriteFile(big, "");
    fs::resize_file(big, static_cast<std::uintmax_t>(size));  // sparse
    // Marks where 32-bit arithmetic would go wrong: 2 GiB, the piece border, the end.
    WriteAt(big, 0, PatternBytes(4096, 1));
    WriteAt(big, (int64_t(1) << 31) - 2000, PatternBytes(4000, 2));
    WriteAt(big, piece - 3000, PatternBytes(6000, 3));
    WriteAt(big, size - 5000, PatternBytes(5000, 4));

    RecordingView view;
    TPieceEngine engine(EnglishText);
    engine.SetView(&view);
    engine.SetBigFilePath(big);
    engine.SetPiecePrefix(dir / "big");
    engine.SetPieceCount(2);
    engine.SetPieceSize(1, piece);
    engine.SetPieceSize(2, size - piece);
    ASSERT_EQ(engine.Split(100000, kMarker, PauseMode::Never, false), What::Done);
    EXPECT_EQ(view.lines, (std::vector<std::string>{"4294967295", "3000001"}));
    EXPECT_EQ(view.progress.back(), 0);
    EXPECT_EQ(view.progress[view.progress.size() - 2], 1000);

    const DiscoveredPieces found = DiscoverPieces(dir / "big", kMarker);
    ASSERT_EQ(found.count, 2);
    EXPECT_EQ(found.total, size);
    engine.SetPieces(found.count, found.sizes);
    engine.SetBigFilePath(dir / "joined");
    ASSERT_EQ(engine.Join(100000, kMarker, PauseMode::Never), What::Done);
    EXPECT_EQ(FileSizeOf(dir / "joined"), size);
    EXPECT_TRUE(SameContents(big, dir / "joined"));
}

}  // namespace
