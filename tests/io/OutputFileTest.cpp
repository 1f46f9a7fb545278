// The one writer of the program: a file takes its final name only when whole,
// and its temporary fits wherever the final name does.
#include "io/FileAccess.h"
#include "io/OutputFile.h"
#include "recovery/Recovery.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>
#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

TEST(OutputFile, ANameAsLongAsTheFileSystemTakesGetsItsFileAndNoLeftover) {
    TempFolder dir;
    // 240 bytes: a temporary named after it with anything added would not fit a 255-byte name.
    const std::string name = dir / std::string(240, 'n');
    for (const bool buffered : {false, true}) {
        SCOPED_TRACE(buffered);
        OutputFile file;
        ASSERT_TRUE(file.Open(name, buffered));
        ASSERT_TRUE(file.Write("whole", 5));
        ASSERT_TRUE(file.WriteAt("W", 1, 0));
        EXPECT_EQ(file.Written(), 5);
        ASSERT_TRUE(file.Commit(true));
        EXPECT_EQ(ReadFile(name), "Whole");
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{std::string(240, 'n')});
    }
    // Recovery files of a big file of that name: <name>.par2 is 245 bytes.
    const std::string big = dir / std::string(240, 'b');
    WriteFile(big, PatternBytes(3000));
    RecoveryCreate request;
    request.bigFile = big;
    request.folder = dir.Path();
    request.pieceSizes = {1000, 1000, 1000};
    request.lostPieces = 1;
    const RecoveryResult made = CreateRecoveryFiles(request);
    EXPECT_TRUE(made.ok) << made.failure.reason;
    EXPECT_TRUE(Exists(big + ".par2"));
}

TEST(OutputFile, AnAbandonedFileLeavesTheFinalNameAsItWas) {
    TempFolder dir;
    WriteFile(dir / "kept", "older");
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(dir / "kept", false));
        ASSERT_TRUE(file.Write("newer", 5));
    }  // neither committed nor kept
    EXPECT_EQ(ReadFile(dir / "kept"), "older");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"kept"});
}

TEST(OutputFile, WrittenPastTheCacheTheBytesAreExactAndNotHeldTwice) {
    TempFolder dir;
    const std::string name = dir / "volume";
    OutputFile file;
    ASSERT_TRUE(file.Open(name, false));
    if (!file.WriteAroundCache()) GTEST_SKIP() << "this file system has no writes past the cache";
    // Across the 8 MiB blocks at odd places, and a last partial block.
    const std::string bytes = PatternBytes((int64_t(20) << 20) + 13);
    std::size_t at = 0;
    for (const std::size_t n : {std::size_t(3), std::size_t(9 << 20) + 1, std::size_t(7 << 20), std::size_t(0)}) {
        ASSERT_TRUE(file.Write(bytes.data() + at, n));
        at += n;
        EXPECT_EQ(file.Written(), int64_t(at));
    }
    ASSERT_TRUE(file.Write(bytes.data() + at, bytes.size() - at));
    EXPECT_EQ(file.Written(), int64_t(bytes.size()));
    ASSERT_TRUE(file.Commit(true));
#ifdef __linux__
    // Both whole blocks went to the disk without a copy in the cache.
    const int fd = open(name.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::size_t span = std::size_t(16) << 20;
    void* map = mmap(nullptr, span, PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(map, MAP_FAILED);
    std::vector<unsigned char> resident(span / std::size_t(sysconf(_SC_PAGESIZE)));
    ASSERT_EQ(mincore(map, span, resident.data()), 0);
    EXPECT_EQ(std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }), 0);
    munmap(map, span);
    close(fd);
#endif
    EXPECT_TRUE(ReadFile(name) == bytes);
}

TEST(OutputFile, AFullDiskPastTheCacheSaysSoAndLeavesNothing) {
    TempFolder dir;
    SmallDisk disk(dir / "disk", "4m");
    if (!disk.Mounted()) GTEST_SKIP() << "needs root and Linux to mount a tmpfs";
    OutputFile file;
    ASSERT_TRUE(file.Open(dir / "disk/volume", false));
    if (!file.WriteAroundCache()) GTEST_SKIP() << "this file system has no writes past the cache";
    const std::string bytes = PatternBytes(int64_t(9) << 20);
    EXPECT_FALSE(file.Write(bytes.data(), bytes.size()) && file.Commit(true));
    EXPECT_EQ(file.Error(), ENOSPC);
    file.Abandon();
    EXPECT_TRUE(FolderEntries(dir / "disk").empty());
}

}  // namespace
