// What a transfer does when the file system works against it: links in the
// target's place, special files and gaps among the pieces, an older set under
// the same names, a disk that takes less than it said it had room for.
#include "engine/PieceEngine.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class Faults : public EngineTest {
protected:
    void SetUp() override { MakeBigFile("big", 30000); }
};

TEST_F(Faults, JoinTargetLinksAreFollowedOrRefused) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: symbolic links and umask";
#else
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    // A link to a name in an existing folder: the file appears there, with
    // the mode every new file gets.
    fs::create_directory(dir / "elsewhere");
    fs::create_symlink("elsewhere/new", dir / "link");
    JoinInto(dir / "link");
    ASSERT_EQ(Join(), What::Done);
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_TRUE(FileHolds(dir / "elsewhere/new", bytes));
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fs::status(dir / "elsewhere/new").permissions(), fs::perms(0666 & ~mask));

    // Links that loop or lead into no folder are no place to write.
    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    fs::create_symlink("nofolder/x", dir / "nowhere");
    for (const char* name : {"loop1", "nowhere"}) {
        JoinInto(dir / name);
        EXPECT_EQ(Join(), What::CannotCreateBigFile) << name;
        EXPECT_TRUE(fs::is_symlink(dir / name)) << name;
    }
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 8u);  // nothing else appeared
#endif
}

TEST_F(Faults, DiscoveryTellsAGapFromTheEndOfTheSet) {
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    EXPECT_EQ(DiscoverPieces(big, kMarker).end, DiscoveredPieces::End::Whole);
    fs::remove(Piece(2));
    DiscoveredPieces found = DiscoverPieces(big, kMarker);
    EXPECT_EQ(found.count, 1);
    EXPECT_EQ(found.end, DiscoveredPieces::End::NextMissing);
    // Piece 2 there but of no use: a FIFO, a folder, a link to nowhere.
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
#ifdef _WIN32
        if (kind != 1) continue;  // no FIFOs or symbolic links here
#endif
        if (kind == 0) {
#ifndef _WIN32
            ASSERT_EQ(mkfifo(Piece(2).c_str(), 0600), 0);
#endif
        } else if (kind == 1) {
            fs::create_directory(Piece(2));
        } else {
            fs::create_symlink(dir / "nothing", Piece(2));
        }
        EXPECT_EQ(DiscoverPieces(big, kMarker).end, DiscoveredPieces::End::NextUnreadable);
        fs::remove(Piece(2));
    }
    // Names that only look like pieces are no pieces.
    fs::remove(Piece(3));
    for (const char* odd : {".Quorved_02", ".Quorved_3x", ".Quorved_sha256", ".Quorved_3.~quorvelabcdefgh"}) {
        WriteFile(big + odd, "x");
    }
    EXPECT_EQ(DiscoverPieces(big, kMarker).end, DiscoveredPieces::End::Whole);
}

TEST_F(Faults, SplitNeverMixesAnOlderSetAndNeverOpensSpecialFiles) {
    // An older, longer set under the same names, from another file.
    for (int n = 1; n <= 5; ++n) WriteFile(Piece(n), "old piece " + std::to_string(n));
    WriteChecksumsFor(big, kMarker);  // which proves them pieces of an earlier split
#ifdef _WIN32
    fs::create_directory(Piece(7));  // no FIFOs here; a folder is out of reach all the same
#else
    ASSERT_EQ(mkfifo(Piece(7).c_str(), 0600), 0);     // out of this split's reach: left alone
#endif
    // The older pieces are gone before the first new one is written: a
    // question before piece 2 sees only new piece 1.
    t.view.onQuestion = [&] {
        if (t.view.questions.size() == 2) {
            EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"big", "big.Quorved_1", "big.Quorved_7"}));
        }
    };
    t.Plan({10000, 20000});
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Always, false), What::Done);
    EXPECT_TRUE(FileHolds(Piece(1), bytes.substr(0, 10000)));
    EXPECT_TRUE(FileHolds(Piece(2), bytes.substr(10000)));
    EXPECT_FALSE(Exists(Piece(3)));

#ifndef _WIN32
    // A FIFO in a piece's place fails the split at its number at once;
    // the earlier set's piece 1 stays as it was.
    fs::remove(Piece(2));
    ASSERT_EQ(mkfifo(Piece(2).c_str(), 0600), 0);
    EXPECT_EQ(SplitPlan({10000, 20000}), (PieceOutcome{What::CannotCreatePiece, 2}));
    EXPECT_TRUE(FileHolds(Piece(1), bytes.substr(0, 10000)));
    for (const std::string& entry : FolderEntries(dir.Path())) EXPECT_NE(entry.rfind(".~quorvel", 0), 0u) << entry;
    EXPECT_TRUE(fs::is_fifo(Piece(2)));
#endif
}

TEST_F(Faults, FreeSpacePiecesThatOverfillTheirDiskAreCutAndContinued) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: a small tmpfs";
#endif
    SmallDisk disk(dir / "disk", "64k");
    if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    MakeBigFile("big", 200000);
    t.engine.SetUseChecksums(true);
    t.engine.SetPiecePrefix(dir / "disk/big");
    // The disk claims 10000 bytes more than it takes, as a file system's
    // own bookkeeping does; at each question the disk is swapped for an
    // empty one (its pieces moved aside).
    fs::create_directory(dir / "taken");
    t.engine.SetFreeSpaceQuery([&](const std::string& folder) {
        const int64_t free = FreeBytesInFolder(folder);
        return free > 0 ? free + 10000 : free;
    });
    auto swapDisk = [&] {
        for (const auto& name : FolderEntries(dir / "disk")) {
            fs::copy_file(dir / ("disk/" + name), dir / ("taken/" + name));
            fs::remove(dir / ("disk/" + name));
        }
    };
    t.view.onQuestion = swapDisk;
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, true), What::Done);
    swapDisk();

    const int32_t count = t.engine.PieceCount();
    ASSERT_GE(count, 4);
    std::string joined;
    for (int n = 1; n <= count; ++n) {
        const std::string piece = ReadFile(PieceName(dir / "taken/big", kMarker, n));
        EXPECT_EQ(piece.size() % 4096 == 0 || n == count, true) << n;  // cut at whole blocks
        EXPECT_EQ(t.view.lines[std::size_t(n - 1)], std::to_string(piece.size())) << n;
        joined += piece;
    }
    EXPECT_EQ(joined, bytes);
    EXPECT_EQ(t.view.lines.size(), std::size_t(count));
    EXPECT_NE(std::find_if(t.view.calls.begin(), t.view.calls.end(),
                           [](const std::string& call) { return call.rfind("Correct ", 0) == 0; }),
              t.view.calls.end());

    // The pieces' disks had no room to spare: the checksums lie beside the
    // big file, where a join into that folder finds them.
    EXPECT_EQ(t.engine.ChecksumFilePath(), dir / "big.Quorved_sha256");
    t.engine.SetPiecePrefix(dir / "taken/big");
    JoinInto(dir / "restored");
    const TransferOutcome restored = Join();
    ASSERT_EQ(restored, What::Done);
    EXPECT_TRUE(restored.checked);
    EXPECT_TRUE(FileHolds(dir / "restored", bytes));
}

// A disk that fills up under a staged split (it claimed room enough) fails
// the split at once, though its recovery files wait for bytes that will never
// come; nothing is left on the disk.
TEST_F(Faults, AStagedSplitWhoseDiskFillsUpEndsItsRecoveryFilesAndLeavesNothing) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: a small tmpfs";
#endif
    SmallDisk disk(dir / "disk", "256k");
    if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    MakeBigFile("big", 600000);
    t.engine.SetPiecePrefix(dir / "disk/big");
    t.engine.SetFreeSpaceQuery([](const std::string&) { return int64_t(1) << 40; });
    t.engine.SetRecovery(1);
    for (const int32_t maxBuffer : {1000, 100000}) {
        for (const bool checksums : {false, true}) {
            SCOPED_TRACE("memory " + std::to_string(maxBuffer) + (checksums ? " with checksums" : ""));
            t.engine.SetUseChecksums(checksums);
            t.Plan({100000, 100000, 100000, 100000, 100000, 100000});
            const TransferOutcome outcome = t.engine.Split(maxBuffer, kMarker, PauseMode::Never, false);
            EXPECT_EQ(outcome, What::WriteFailed);
            EXPECT_EQ(outcome.error, ENOSPC);
            EXPECT_EQ(outcome.file, PieceName(dir / "disk/big", kMarker, outcome.piece));
            EXPECT_TRUE(FolderEntries(dir / "disk").empty());
        }
    }
}

// A split onto disks of their own keeps its checksum file beside the big file,
// under a name of its own where another set's lies there already.
TEST_F(Faults, ASplitOntoOtherDisksNeverReplacesAnotherSetsChecksumFile) {
    MakeBigFile("big", 30000);
    t.engine.SetUseChecksums(true);
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    const std::string local = ReadFile(dir / "big.Quorved_sha256");
    fs::create_directory(dir / "taken");
    t.engine.SetPiecePrefix(dir / "taken" + kPathSeparator + "big");
    t.Plan({10000, 20000});
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Always, false), What::Done);
    EXPECT_EQ(ReadFile(dir / "big.Quorved_sha256"), local);
    EXPECT_EQ(t.engine.ChecksumFilePath(), dir / "big.Quorved_sha256~2");
    EXPECT_TRUE(Exists(dir / "big.Quorved_sha256~2"));
}

// Sets with a checksum file: the join takes the set from it and checks
// every byte on the way.
class CheckedSets : public EngineTest {
protected:
    void SetUp() override {
        MakeBigFile("big", 40000);
        t.engine.SetUseChecksums(true);
        ASSERT_EQ(SplitPlan({10000, 10000, 10000, 10000}), What::Done);
        WriteFile(dir / "target", "old contents");
        JoinInto(dir / "target");
    }
    void Flip(int n, std::size_t at) {
        std::string piece = ReadFile(Piece(n));
        piece[at] ^= 1;
        WriteFile(Piece(n), piece);
    }
};

TEST_F(CheckedSets, DamagedOrMissingPiecesFailTheJoinAndNameThePiece) {
    EXPECT_TRUE(Exists(dir / "big.Quorved_sha256"));
    Flip(3, 9999);
    EXPECT_EQ(Join(), (PieceOutcome{What::PieceDamaged, 3}));
    EXPECT_TRUE(FileHolds(dir / "target", "old contents"));

    Flip(3, 9999);
    WriteFile(Piece(2), ReadFile(Piece(2)) + "x");  // one byte too many
    EXPECT_EQ(Join(), (PieceOutcome{What::PieceDamaged, 2}));

    fs::remove(Piece(2));
    EXPECT_EQ(Join(), What::PieceMissing);
    EXPECT_EQ(Join().file, Piece(2));
    EXPECT_TRUE(FileHolds(dir / "target", "old contents"));
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 6u);  // nothing else appeared
}

TEST_F(CheckedSets, APausingJoinChecksEachPieceBeforeTheNextDisk) {
    Flip(1, 0);
    EXPECT_EQ(t.engine.Join(100000, kMarker, PauseMode::Always), What::PieceDamaged);
    EXPECT_EQ(t.view.questions.size(), 1u);  // never asked for disk 2
    EXPECT_TRUE(FileHolds(dir / "target", "old contents"));

    Flip(1, 0);
    t.view = RecordingView();
    const TransferOutcome joined = t.engine.Join(100000, kMarker, PauseMode::Always);
    ASSERT_EQ(joined, What::Done);
    EXPECT_TRUE(joined.checked);
    EXPECT_TRUE(FileHolds(dir / "target", bytes));
}

TEST_F(CheckedSets, AnUnfinishedChecksumFileNeverJoins) {
    // As a split killed before its end leaves it.
    std::string sums = ReadFile(dir / "big.Quorved_sha256");
    sums.replace(sums.find("finished"), 8, "unfinished");
    sums.erase(sums.rfind('\n', sums.size() - 2) + 1);  // no whole-file line yet
    WriteFile(dir / "big.Quorved_sha256", sums);
    EXPECT_EQ(Join(), What::ChecksumsUnfinished);
    fs::remove(Piece(4));
    JoinInto(dir / "target");
    const TransferOutcome missing = Join();
    EXPECT_EQ(missing, What::PieceMissing);
    EXPECT_EQ(missing.file, Piece(4));
    EXPECT_TRUE(FileHolds(dir / "target", "old contents"));
}

}  // namespace
