// A transfer never destroys its input, never passes a failure off as success
// and leaves exactly the set it made.
#include "engine/ChecksumFile.h"
#include "io/FileAccess.h"
#include "engine/PieceEngine.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#ifdef __linux__
#include <pwd.h>
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

TEST_F(Safety, ResplitIntoFewerPiecesRemovesOnlyPiecesItsChecksumFileProves) {
    // With the older set's checksum file its extra piece is provably its own
    // and goes; without one the split refuses, naming it, and removes it only
    // when told to. Either way the next join restores the new file alone.
    for (const bool checksums : {true, false}) {
        SCOPED_TRACE(checksums);
        t.engine.SetUseChecksums(checksums);
        t.engine.SetRemoveUnprovenPieces(false);
        t.engine.SetBigFilePath(big);
        t.engine.SetPiecePrefix(big);
        WriteFile(big, bytes);
        ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
        const std::string shorter = PatternBytes(15000, 7);
        WriteFile(big, shorter);
        TransferOutcome resplit = SplitPlan({10000, 5000});
        if (!checksums) {
            EXPECT_EQ(resplit, What::UnprovenPieces);
            EXPECT_EQ(resplit.untouched, std::vector<std::string>{Piece(3)});
            EXPECT_TRUE(FileHolds(Piece(2), bytes.substr(10000, 10000)));  // nothing changed
            t.engine.SetRemoveUnprovenPieces(true);
            resplit = SplitPlan({10000, 5000});
        }
        ASSERT_EQ(resplit, What::Done);
        EXPECT_FALSE(Exists(Piece(3)));
        EXPECT_TRUE(resplit.untouched.empty());
        EXPECT_TRUE(FileHolds(Piece(2), shorter.substr(10000)));
        JoinInto(dir / "joined");
        ASSERT_EQ(Join(), What::Done);
        EXPECT_TRUE(FileHolds(dir / "joined", shorter));
        fs::remove(dir / "joined");
    }
}

TEST_F(Safety, AnOlderPieceOfAnotherSizeIsNotProvenTheOlderSets) {
    // The checksum file lists piece 3 by name, but the file there now is
    // another: the split neither removes it nor lets it follow unasked.
    t.engine.SetUseChecksums(true);
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    WriteFile(Piece(3), "someone's own file");
    const TransferOutcome resplit = SplitPlan({20000, 10000});
    EXPECT_EQ(resplit, What::UnprovenPieces);
    EXPECT_EQ(resplit.untouched, std::vector<std::string>{Piece(3)});
    EXPECT_EQ(ReadFile(Piece(3)), "someone's own file");
    EXPECT_TRUE(FileHolds(Piece(1), bytes.substr(0, 10000)));
}

TEST_F(Safety, StalePieceRemovalSparesTheBigFile) {
    // Re-splitting a piece of an older set: the big file carries the name of
    // that set's piece 3, and is never taken for a stray piece.
    const std::string input = dir / "x.Quorved_3";
    fs::rename(big, input);
    WriteFile(dir / "x.Quorved_4", "stale");
    t.engine.SetBigFilePath(input);
    t.engine.SetPiecePrefix(dir / "x");
    const TransferOutcome refused = SplitPlan({20000, 10000});
    EXPECT_EQ(refused, What::UnprovenPieces);
    EXPECT_EQ(refused.untouched, std::vector<std::string>{dir / "x.Quorved_4"});
    t.engine.SetRemoveUnprovenPieces(true);
    ASSERT_EQ(SplitPlan({20000, 10000}), What::Done);
    EXPECT_TRUE(FileHolds(input, bytes));
    EXPECT_FALSE(Exists(dir / "x.Quorved_4"));
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

TEST_F(Safety, JoinRefusesEveryFileOfItsSetAndIgnoresAStrayOneAfterIt) {
    t.engine.SetUseChecksums(true);
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    const std::string sums = ChecksumFileName(big, kMarker), text = ReadFile(sums);
    fs::create_hard_link(Piece(2), dir / "alias");
    WriteFile(big + ".vol0+1.par2", "recovery");
    t.view = RecordingView();
    for (const std::string& target : {sums, Piece(7), big + ".par2", big + ".vol0+1.par2", dir / "alias"}) {
        JoinInto(target);
        EXPECT_EQ(Join(), What::TargetInSet) << target;
    }
    EXPECT_EQ(ReadFile(sums), text);
    EXPECT_TRUE(FileHolds(Piece(2), bytes.substr(10000)));
    EXPECT_EQ(ReadFile(big + ".vol0+1.par2"), "recovery");
    EXPECT_TRUE(t.view.calls.empty());
    // The checksum file ends the set at piece 2: a folder numbered 3 is none of it.
    fs::create_directory(Piece(3));
    EXPECT_EQ(DiscoverPieces(big, kMarker).end, DiscoveredPieces::End::Whole);
}

TEST_F(Safety, JoinWritesThroughOnlyLinksOfItsUserOrOfTheirFoldersOwner) {
#ifdef __linux__
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "links of user nobody need root and that user";
    ASSERT_EQ(SplitPlan({30000}), What::Done);
    fs::create_directories(dir / "shared/nobodys");  // shared: world-writable and sticky, as /tmp
    chmod((dir / "shared").c_str(), 01777);
    // Links of user nobody, as if it had planted them (the kernel sees no
    // difference), and root's own link to one of them.
    fs::create_symlink(big, dir / "shared/planted");
    fs::create_symlink(big, dir / "shared/nobodys/own");
    fs::create_symlink(dir / "shared/planted", dir / "shared/chain");
    for (const char* name : {"shared/planted", "shared/nobodys", "shared/nobodys/own"}) {
        ASSERT_EQ(lchown((dir / name).c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    for (const auto& [link, followed] : std::vector<std::pair<std::string, bool>>{
             {"shared/planted", false}, {"shared/chain", false}, {"shared/nobodys/own", true}}) {
        WriteFile(big, "keep me");
        JoinInto(dir / link);
        const TransferOutcome outcome = Join();
        EXPECT_EQ(outcome, followed ? What::Done : What::LinkNotTrusted) << link;
        EXPECT_EQ(outcome.file, followed ? "" : dir / "shared/planted");
        EXPECT_TRUE(FileHolds(big, followed ? bytes : "keep me")) << link;
    }
#else
    GTEST_SKIP() << "links of another user: Linux only";
#endif
}

// A join that skipped the whole file's comparison, or called a piece it
// cannot read damaged, fails here, whatever the copy's block size.
TEST_F(Safety, JoinTellsABadWholeFileAndAnUnreadablePieceFromADamagedOne) {
    t.engine.SetUseChecksums(true);
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    const std::string sums = ReadFile(ChecksumFileName(big, kMarker)), piece = ReadFile(Piece(2));
    std::string badWhole = sums, badPiece = piece;
    char& whole = badWhole[badWhole.rfind('\n', badWhole.size() - 2) + 1];  // the last line
    whole = whole == '0' ? '1' : '0';
    badPiece[777] ^= 1;
    for (const int32_t maxRam : {0, 100000, 1048576}) {
        for (const auto& [sumsText, piece2, expected] : std::vector<std::tuple<std::string, std::string, PieceOutcome>>{
                 {sums, piece, {What::Done, 0}},
                 {badWhole, piece, {What::JoinedFileDamaged, 0}},
                 {sums, badPiece, {What::PieceDamaged, 2}},
                 {sums, "", {What::CannotReadPiece, 2}}}) {  // a folder of piece 2's name
            WriteFile(ChecksumFileName(big, kMarker), sumsText);
            fs::remove_all(Piece(2));
            piece2.empty() ? (void)fs::create_directory(Piece(2)) : WriteFile(Piece(2), piece2);
            JoinInto(dir / "joined");
            EXPECT_EQ(t.engine.Join(maxRam, kMarker, PauseMode::Never), expected) << maxRam;
            EXPECT_EQ(fs::remove(dir / "joined"), expected.what == What::Done);
        }
    }
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
    // Too small for the set: refused before anything is written.
    const TransferOutcome full = SplitPlan({1000000, 1000000, 1000000});
    EXPECT_EQ(full, What::NoRoomForSet);
    EXPECT_EQ(full.error, ENOSPC);
    EXPECT_EQ(full.bytes, 3000000);
    EXPECT_TRUE(FolderEntries(disk).empty());
    // A disk that says it has room and then fills: the pieces that fitted are taken back.
    t.engine.SetFreeSpaceQuery([](const std::string&) { return int64_t(1) << 40; });
    // Writing the piece failed, with the disk's reason: no sizes differ.
    const TransferOutcome filled = SplitPlan({1000000, 1000000, 1000000});
    EXPECT_EQ(filled, What::WriteFailed);
    EXPECT_EQ(filled.error, ENOSPC);
    EXPECT_GT(filled.piece, 0);
    EXPECT_EQ(filled.file, PieceName(disk + "/big", kMarker, filled.piece));
    EXPECT_TRUE(FileHolds(big, input));
    EXPECT_TRUE(FolderEntries(disk).empty());

    t.engine.SetPiecePrefix(big);
    ASSERT_EQ(SplitPlan({1000000, 1000000, 1000000}), What::Done);
    WriteFile(disk + "/target", "old contents");
    JoinInto(disk + "/target");
    const TransferOutcome overTarget = Join();
    EXPECT_EQ(overTarget, What::WriteFailed);
    EXPECT_EQ(overTarget.error, ENOSPC);
    EXPECT_EQ(overTarget.file, disk + "/target");
    EXPECT_TRUE(FileHolds(disk + "/target", "old contents"));
    EXPECT_EQ(FolderEntries(disk), (std::vector<std::string>{"target"}));

    JoinInto(disk + "/fresh");
    const TransferOutcome fresh = Join();
    EXPECT_EQ(fresh, What::WriteFailed);
    EXPECT_EQ(fresh.error, ENOSPC);
    EXPECT_EQ(fresh.file, disk + "/fresh");
    EXPECT_EQ(FolderEntries(disk), (std::vector<std::string>{"target"}));
    EXPECT_TRUE(FileHolds(big, input));
#endif
}

}  // namespace
