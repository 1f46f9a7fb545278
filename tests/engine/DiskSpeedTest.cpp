// Copying at the disk's own speed without giving up what the disk holds: the
// kernel copies in large calls (blocks shared on a copy-on-write file system,
// a stop still heard inside a piece), and staged pieces are waited for once
// before they take their names.
#include "engine/PieceEngine.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#ifdef __linux__
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef __linux__
int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A file system made by `mkfs` on a sparse loop file `image` of `size`,
// mounted at `at` for as long as it lives. Needs root and the mkfs tool;
// Reason() says why it is not mounted.
class LoopDisk {
public:
    LoopDisk(const std::string& image, const std::string& size, const std::string& mkfs, const std::string& at)
        : at_(at) {
        if (geteuid() != 0) {
            reason_ = "needs root to mount a loop file";
            return;
        }
        const std::string tool = mkfs.substr(0, mkfs.find(' '));
        if (Shell("command -v " + tool + " >/dev/null 2>&1") != 0) {
            reason_ = "needs " + tool;
            return;
        }
        fs::create_directory(at);
        if (Shell("truncate -s " + size + " '" + image + "' && " + mkfs + " '" + image + "' >/dev/null 2>&1") != 0 ||
            Shell("mount -o loop '" + image + "' '" + at + "'") != 0) {
            reason_ = "could not make and mount " + tool + " on a loop file";
            return;
        }
        mounted_ = true;
    }
    ~LoopDisk() { if (mounted_) umount2(at_.c_str(), 0); }
    LoopDisk(const LoopDisk&) = delete;
    LoopDisk& operator=(const LoopDisk&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }

    // Bytes in use, once what waits in the cache is written.
    int64_t Used() const {
        const int fd = open(at_.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            syncfs(fd);
            close(fd);
        }
        struct statvfs info {};
        if (statvfs(at_.c_str(), &info) != 0) return -1;
        return static_cast<int64_t>(info.f_blocks - info.f_bfree) * static_cast<int64_t>(info.f_frsize);
    }

private:
    std::string at_;
    std::string reason_;
    bool mounted_ = false;
};
#endif

class DiskSpeed : public EngineTest {};

// On XFS with reflink, pieces that start on block borders share the big
// file's blocks, and the joined file shares the pieces'; the checksums are
// still taken from what the pieces hold, so the join checks out.
TEST_F(DiskSpeed, SplitAndJoinOnACopyOnWriteFileSystemShareBlocks) {
#ifndef __linux__
    GTEST_SKIP() << "Linux only: an XFS loop mount";
#else
    LoopDisk disk(dir / "xfs.img", "512M", "mkfs.xfs -q -m reflink=1", dir / "xfs");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    constexpr int64_t kMiB = 1 << 20, kSlack = 2 * kMiB;  // the new files' own bookkeeping
    const std::string bytes16 = PatternBytes(16 * kMiB, 7);
    const std::string file = dir / "xfs/big";
    WriteFile(file, bytes16);
    t.engine.SetBigFilePath(file);
    t.engine.SetPiecePrefix(file);
    t.engine.SetUseChecksums(true);
    const int64_t before = disk.Used();
    for (const int32_t memory : {100000, 64 << 20}) {
        SCOPED_TRACE("memory " + std::to_string(memory));
        t.Plan({4 * kMiB, 4 * kMiB, 4 * kMiB, 4 * kMiB});
        ASSERT_EQ(t.engine.Split(memory, kMarker, PauseMode::Never, false), What::Done);
        EXPECT_LT(disk.Used() - before, kSlack);
        EXPECT_TRUE(FileHolds(PieceName(file, kMarker, 3), bytes16.substr(8 * kMiB, 4 * kMiB)));

        JoinInto(dir / "xfs/joined");
        const TransferOutcome joined = t.engine.Join(memory, kMarker, PauseMode::Never);
        ASSERT_EQ(joined, What::Done);
        EXPECT_TRUE(joined.checked);
        EXPECT_TRUE(FileHolds(dir / "xfs/joined", bytes16));
        EXPECT_LT(disk.Used() - before, kSlack);
        fs::remove(dir / "xfs/joined");
        t.engine.SetBigFilePath(file);
    }
#endif
}

// A kernel copy of a large piece goes in several calls: the bar moves inside
// the piece, and a stop set at its first move ends the split before the
// piece is whole, leaving nothing.
TEST_F(DiskSpeed, AStopIsHeardInsideALargePieceCopiedByTheKernel) {
    const std::string file = dir / "sparse";
    WriteFile(file, "");
    fs::resize_file(file, 256 << 20);  // holes: read as zeros, no disk to fill first
    t.engine.SetBigFilePath(file);
    t.engine.SetPiecePrefix(file);
    t.Plan({256 << 20});
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, false), What::Done);
    const int32_t whole = *std::max_element(t.view.progress.begin(), t.view.progress.end());
    const auto& seen = t.view.progress;
    const auto inside = std::count_if(seen.begin(), seen.end(), [&](int32_t p) { return p > 0 && p < whole; });
    // A bar that stands still until the whole piece is copied has no stop either.
    EXPECT_GE(inside, 3);

    std::atomic<bool> stop{false};
    t.Reset();
    t.engine.SetStopFlag(&stop);
    t.engine.SetBigFilePath(file);
    t.engine.SetPiecePrefix(dir / "again");
    t.Plan({256 << 20});
    t.view.onProgress = [&stop](int32_t position) { if (position > 0) stop = true; };
    EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, false), What::Stopped);
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"sparse", "sparse.Quorved_1"}));
}

// The disk writes the staged pieces while the copy goes on; bytes it could
// not write (here: a loop file on a tmpfs too small for them) fail the split
// before any piece takes its name, instead of a set that holds nothing.
TEST_F(DiskSpeed, PiecesTheDiskCouldNotWriteNeverTakeTheirNames) {
#ifndef __linux__
    GTEST_SKIP() << "Linux only: a loop mount on a small tmpfs";
#else
    SmallDisk under(dir / "under", "12M");
    if (!under.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    LoopDisk disk(dir / "under/ext2.img", "64M", "mkfs.ext2 -q -F", dir / "ext2");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    const std::string file = dir / "ext2/big";
    const std::string bytes24 = PatternBytes(24 << 20, 5);
    // Most of the big file stays in the cache: the disk under it is full
    // long before the pieces come.
    WriteFile(file, bytes24);
    t.engine.SetBigFilePath(file);
    t.engine.SetPiecePrefix(file);
    t.Plan({4 << 20, 4 << 20, 4 << 20, 4 << 20, 4 << 20, 4 << 20});
    const TransferOutcome outcome = t.engine.Split(100000, kMarker, PauseMode::Never, false);
    EXPECT_EQ(outcome, What::CannotCreatePiece);
    EXPECT_NE(outcome.error, 0);
    EXPECT_EQ(FolderEntries(dir / "ext2"), (std::vector<std::string>{"big", "lost+found"}));
#endif
}

}  // namespace
