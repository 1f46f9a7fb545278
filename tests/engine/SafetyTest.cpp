// A transfer never destroys its input, never passes a failure off as success
// and leaves exactly the set it made.
#include "engine/FileAccess.h"
#include "engine/PieceEngine.h"
#include "engine/PieceNaming.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#ifdef __linux__
#include <sys/mount.h>
#endif

namespace fs = std::filesystem;

namespace {

class Safety : public EngineTest {
protected:
    void SetUp() override { MakeBigFile("big", 30000); }
};

TEST_F(Safety, JoinOfNoPiecesIsNotSuccessAndTouchesNothing) {
    t.engine.SetBigFilePath(dir / "target");
    t.Plan({});
    EXPECT_EQ(Join(), What::DisksNotEntered);
    EXPECT_FALSE(Exists(dir / "target"));
    EXPECT_TRUE(t.view.calls.empty());
}

TEST_F(Safety, ResplitIntoFewerPiecesLeavesNoStalePiece) {
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    const std::string shorter = PatternBytes(15000, 7);
    WriteFile(big, shorter);
    ASSERT_EQ(SplitPlan({10000, 5000}), What::Done);
    EXPECT_FALSE(Exists(Piece(3)));
    JoinInto(dir / "restored");
    ASSERT_EQ(Join(), What::Done);
    EXPECT_TRUE(FileHolds(dir / "restored", shorter));
}

TEST_F(Safety, StalePieceRemovalSparesTheBigFile) {
    // Re-splitting a piece of an older set: the big file carries the name of
    // that set's piece 3.
    const std::string input = dir / "x.Quorved_3";
    fs::rename(big, input);
    WriteFile(dir / "x.Quorved_4", "stale");
    t.engine.SetBigFilePath(input);
    t.engine.SetPiecePrefix(dir / "x");
    ASSERT_EQ(SplitPlan({20000, 10000}), What::Done);
    EXPECT_TRUE(FileHolds(input, bytes));
}

TEST_F(Safety, SplitRefusesAPieceThatIsTheBigFile) {
    for (const char* kind : {"hard link", "symbolic link"}) {
        SCOPED_TRACE(kind);
#ifdef _WIN32
        if (kind[0] == 's') continue;  // no symbolic links here
#endif
        fs::remove(Piece(2));
        if (kind[0] == 'h')
            fs::create_hard_link(big, Piece(2));
        else
            fs::create_symlink(big, Piece(2));
        EXPECT_EQ(SplitPlan({10000, 10000, 10000}), (PieceOutcome{What::CannotCreatePiece, 2}));
        EXPECT_TRUE(FileHolds(big, bytes));
        EXPECT_FALSE(Exists(Piece(1)));
    }
}

TEST_F(Safety, SplitDoesNotRemoveAFolderInAPiecesPlace) {
    fs::create_directory(Piece(1));
    EXPECT_EQ(SplitPlan({30000}), (PieceOutcome{What::CannotCreatePiece, 1}));
    EXPECT_TRUE(fs::is_directory(Piece(1)));
}

TEST_F(Safety, SplitReplacesOlderPiecesWithoutWritingThroughTheirLinks) {
    WriteFile(dir / "other", "keep me");
    fs::create_hard_link(dir / "other", Piece(1));
    ASSERT_EQ(SplitPlan({30000}), What::Done);
    EXPECT_TRUE(FileHolds(Piece(1), bytes));
    EXPECT_TRUE(FileHolds(dir / "other", "keep me"));
}

TEST_F(Safety, JoinRefusesATargetThatIsOneOfItsPieces) {
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    fs::create_hard_link(Piece(2), dir / "alias");
    JoinInto(dir / "alias");
    t.view = RecordingView();
    EXPECT_EQ(Join(), What::CannotCreateBigFile);
    EXPECT_TRUE(FileHolds(Piece(2), bytes.substr(10000)));
    EXPECT_TRUE(t.view.calls.empty());
}

TEST_F(Safety, FailedJoinLeavesAnExistingTargetAndStraysNothing) {
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    WriteFile(dir / "target", "old contents");
    JoinInto(dir / "target");
    WriteFile(Piece(2), "cut short");
    EXPECT_EQ(Join(), What::SizesDiffer);
    EXPECT_TRUE(FileHolds(dir / "target", "old contents"));
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"big", "big.Quorved_1", "big.Quorved_2", "target"}));

    // Where no file had the name, nothing half-joined appears under it.
    JoinInto(dir / "fresh");
    t.engine.SetPieceSize(2, 20000);
    EXPECT_EQ(Join(), What::SizesDiffer);
    EXPECT_FALSE(Exists(dir / "fresh"));
}

TEST_F(Safety, SuccessfulJoinReplacesAnExistingTargetKeepingItsPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: permission bits and symbolic links";
#else
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    WriteFile(dir / "target", "old contents");
    fs::permissions(dir / "target", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(dir / "target", dir / "link");
    JoinInto(dir / "link");  // written where the link points
    ASSERT_EQ(Join(), What::Done);
    EXPECT_TRUE(FileHolds(dir / "target", bytes));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(fs::status(dir / "target").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 5u);
#endif
}

#ifdef _WIN32
// The rename over an existing file must replace it; a read-only file is
// Windows' own kind of file that may not be replaced.
TEST_F(Safety, JoinReplacesAnExistingTargetButNotAReadOnlyOne) {
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    WriteFile(dir / "target", "old contents");
    JoinInto(dir / "target");
    ASSERT_EQ(Join(), What::Done);
    EXPECT_TRUE(FileHolds(dir / "target", bytes));

    WriteFile(dir / "target", "old contents");
    fs::permissions(dir / "target", fs::perms::owner_read);
    EXPECT_EQ(Join(), What::CannotCreateBigFile);
    EXPECT_TRUE(FileHolds(dir / "target", "old contents"));
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 4u);
    fs::permissions(dir / "target", fs::perms::owner_all);  // so that the folder can go
}
#else
// Bytes of disk a file occupies.
int64_t DiskUsage(const std::string& name) {
    struct stat info {};
    return stat(name.c_str(), &info) == 0 ? int64_t(info.st_blocks) * 512 : -1;
}
#endif

TEST_F(Safety, FailedTransfersGiveBackTheSpaceTheyReserved) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: space reserved ahead (fallocate)";
#else
    t.Plan({10000, 20000});
    WriteFile(big, bytes.substr(0, 15000));  // shrank after it was measured
    EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, false), What::SizesDiffer);
    EXPECT_LE(DiskUsage(Piece(2)), 8192);

    WriteFile(big, bytes);
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, false), What::Done);
    JoinInto(dir / "joined");
    WriteFile(Piece(2), "cut short");
    EXPECT_EQ(Join(), What::SizesDiffer);
    EXPECT_LE(DiskUsage(dir / "joined"), 16384);
#endif
}

TEST(MayReplace, OnlyWritableFilesAndDanglingLinks) {
    TempFolder dir;
    WriteFile(dir / "file", "x");
    WriteFile(dir / "readonly", "x");
    fs::permissions(dir / "readonly", fs::perms::owner_read);
    fs::create_directory(dir / "folder");
    EXPECT_TRUE(MayReplace(dir / "file"));
    EXPECT_FALSE(MayReplace(dir / "folder"));
    EXPECT_FALSE(MayReplace(dir / "missing"));
#ifdef _WIN32
    EXPECT_FALSE(MayReplace(dir / "readonly"));  // the read-only attribute holds for every user
    fs::permissions(dir / "readonly", fs::perms::owner_all);
#else
    fs::create_symlink(dir / "file", dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_TRUE(MayReplace(dir / "link"));
    EXPECT_TRUE(MayReplace(dir / "dangling"));
    if (geteuid() != 0) {  // root may write anything
        EXPECT_FALSE(MayReplace(dir / "readonly"));
    }
#endif
}

TEST_F(Safety, JoinIntoAFolderThatDoesNotExistCannotCreateTheBigFile) {
    ASSERT_EQ(SplitPlan({30000}), What::Done);
    JoinInto(dir / "no/such/folder/target");
    EXPECT_EQ(Join(), What::CannotCreateBigFile);
    JoinInto(dir.Path());  // nor can a folder be replaced
    EXPECT_EQ(Join(), What::CannotCreateBigFile);
}

TEST_F(Safety, HugeMemoryLimitIsCappedAndStillCopies) {
    t.Plan({30000});
    ASSERT_EQ(t.engine.Split(INT32_MAX, kMarker, PauseMode::Never, false), What::Done);
    EXPECT_TRUE(FileHolds(Piece(1), bytes));
}

// A real full disk: a 1 MiB tmpfs. Needs root (as in CI) or, failing that, a
// private user and mount namespace in which this test runs again.
TEST_F(Safety, FullDiskFailsWithoutHarmingTheInputOrAnExistingTarget) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: a small tmpfs";
#else
    const std::string disk = dir / "disk";
    fs::create_directory(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0) {
        if (std::getenv("QUORVEL_IN_NAMESPACE") != nullptr) GTEST_SKIP() << "cannot mount a tmpfs here";
        if (std::system("unshare -rm true >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "needs root or user namespaces (unshare -rm) to mount a small tmpfs";
        }
        char self[4096];
        const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        ASSERT_GT(length, 0);
        self[length] = '\0';
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string command = std::string("QUORVEL_IN_NAMESPACE=1 unshare -rm '") + self +
                                    "' --gtest_filter=" + info->test_suite_name() + "." + info->name();
        EXPECT_EQ(std::system(command.c_str()), 0);
        return;
    }
    struct Unmount {
        std::string at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};

    const std::string input = PatternBytes(3000000, 3);
    WriteFile(big, input);
    t.engine.SetPiecePrefix(disk + "/big");
    const TransferOutcome full = SplitPlan({1000000, 1000000, 1000000});
    EXPECT_EQ(full, What::SizesDiffer);
    EXPECT_EQ(full.error, ENOSPC);
    EXPECT_TRUE(FileHolds(big, input));
    EXPECT_TRUE(FolderEntries(disk).empty());  // the pieces that fitted are taken back

    t.engine.SetPiecePrefix(big);
    ASSERT_EQ(SplitPlan({1000000, 1000000, 1000000}), What::Done);
    WriteFile(disk + "/target", "old contents");
    JoinInto(disk + "/target");
    EXPECT_EQ(Join(), What::SizesDiffer);
    EXPECT_TRUE(FileHolds(disk + "/target", "old contents"));
    EXPECT_EQ(FolderEntries(disk), (std::vector<std::string>{"target"}));

    JoinInto(disk + "/fresh");
    EXPECT_EQ(Join(), What::SizesDiffer);
    EXPECT_EQ(FolderEntries(disk), (std::vector<std::string>{"target"}));
    EXPECT_TRUE(FileHolds(big, input));
#endif
}

}  // namespace
