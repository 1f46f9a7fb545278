#include "engine/ChosenSet.h"
#include "engine/PieceNaming.h"
#include "io/OutputFile.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace fs = std::filesystem;

namespace {

// A set of four pieces of 1000 bytes and one of 500, the whole file beside
// them, its checksum file and, for lost > 0, recovery files for that many
// pieces.
struct Set {
    TempFolder dir;
    std::string file = dir / "Setup.exe", big = PatternBytes(4500);

    explicit Set(int lost) {
        WriteFile(file, big);
        for (int n = 1; n <= 5; ++n) WriteFile(Piece(n), Expected(n));
        const std::string sums = WriteChecksumsFor(file, kMarker);
        if (lost > 0) {
            const RecoverySetWritten written =
                WriteRecoverySet(file, {1000, 1000, 1000, 1000, 500}, lost, dir.Path(), sums, kMarker);
            EXPECT_TRUE(written.ok) << written.reason;
        }
    }
    std::string Piece(int n) const { return dir / ("Setup.exe.Quorved_" + std::to_string(n)); }
    std::string Expected(int n) const { return big.substr(std::size_t(n - 1) * 1000, 1000); }
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& name : FolderEntries(dir.Path())) files[name] = fs::is_directory(dir / name) ? "" : ReadFile(dir / name);
        return files;
    }
};

std::vector<BadPiece::Why> Reasons(const CheckedSet& checked) {
    std::vector<BadPiece::Why> why;
    for (const BadPiece& piece : checked.bad) why.push_back(piece.why);
    return why;
}

TEST(ChosenSet, AGoodSetMatchesWithItsWholeFileAndCountsItsBytes) {
    Set set(0);
    std::vector<std::pair<int64_t, int64_t>> calls;
    const CheckedSet checked =
        CheckChosenSet(set.file, kMarker, nullptr, [&](int64_t done, int64_t total) { calls.emplace_back(done, total); });
    ASSERT_TRUE(checked.loaded.Ok());
    EXPECT_TRUE(checked.Ok());
    EXPECT_EQ(checked.count, 5);
    EXPECT_TRUE(checked.bad.empty());
    EXPECT_EQ(checked.whole, CheckedSet::Whole::Matched);
    // The pieces and the whole file, both read in full; never more than that.
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(int64_t{9000}, int64_t{9000}));
    for (const auto& [done, total] : calls) EXPECT_LE(done, total);

    // Only the whole file differs: no piece is bad, yet the set is not good.
    std::string other = set.big;
    other[4000] ^= 1;
    WriteFile(set.file, other);
    const CheckedSet wholeDiffers = CheckChosenSet(set.file, kMarker);
    EXPECT_TRUE(wholeDiffers.bad.empty());
    EXPECT_EQ(wholeDiffers.whole, CheckedSet::Whole::Damaged);
    EXPECT_FALSE(wholeDiffers.Ok());
}

// Every bad piece is named with its reason, in order, not only the first;
// a folder under a piece's name is unreadable, not missing.
TEST(ChosenSet, NamesEveryBadPieceAndWhatTheRecoveryFilesCanDo) {
    Set set(2);
    std::remove(set.Piece(2).c_str());
    fs::remove(set.Piece(3));
    fs::create_directory(set.Piece(3));
    WriteFile(set.Piece(4), "short");
    WriteFile(set.Piece(5), set.Expected(5).substr(1) + "!");  // same size, one byte off
    const CheckedSet checked = CheckChosenSet(set.file, kMarker);
    ASSERT_TRUE(checked.loaded.Ok());
    EXPECT_EQ(checked.BadNumbers(), (std::vector<int32_t>{2, 3, 4, 5}));
    using Why = BadPiece::Why;
    EXPECT_EQ(Reasons(checked), (std::vector<Why>{Why::Missing, Why::Unreadable, Why::WrongSize, Why::Damaged}));
    EXPECT_EQ(checked.bad[0].file, set.Piece(2));
    EXPECT_EQ(checked.bad[2].actualSize, 5);
    EXPECT_EQ(checked.bad[2].expectedSize, 1000);
    // A bad piece makes the whole file's verdict moot.
    EXPECT_EQ(checked.whole, CheckedSet::Whole::NotChecked);
    EXPECT_TRUE(checked.HasRecoveryFiles());
    EXPECT_EQ(checked.rebuildable, 2);
    EXPECT_EQ(checked.RecoveryShortBy(), 2);
    EXPECT_FALSE(checked.Ok());
}

TEST(ChosenSet, ASetWithoutItsChecksumFileIsNotChecked) {
    Set set(0);
    std::remove((set.file + ".Quorved_sha256").c_str());
    const CheckedSet checked = CheckChosenSet(set.file, kMarker);
    EXPECT_EQ(checked.loaded.status, LoadedSet::Status::NoChecksumFile);
    EXPECT_FALSE(checked.Ok());
    const RepairedSet repaired = RepairChosenSet(set.file, kMarker);
    EXPECT_FALSE(repaired.attempted);
    EXPECT_FALSE(repaired.Ok());
}

TEST(ChosenSet, RepairPutsEveryBadPieceInPlace) {
    Set set(2);
    std::remove(set.Piece(1).c_str());
    WriteFile(set.Piece(4), set.Expected(4).substr(1) + "!");
    int phases = 0;
    int64_t last = -1;
    const RepairedSet repaired = RepairChosenSet(set.file, kMarker, nullptr, [&](int64_t done, int64_t) {
        if (done < last || last < 0) ++phases;
        last = done;
    });
    ASSERT_TRUE(repaired.attempted);
    ASSERT_TRUE(repaired.Ok()) << repaired.repair.reason;
    EXPECT_EQ(repaired.check.BadNumbers(), (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(repaired.repair.rebuilt, (std::vector<int32_t>{1, 4}));
    EXPECT_TRUE(repaired.repair.notPlaced.empty());
    for (const int n : {1, 4}) EXPECT_TRUE(FileHolds(set.Piece(n), set.Expected(n)));
    EXPECT_GE(phases, 1);
    EXPECT_TRUE(CheckChosenSet(set.file, kMarker).Ok());

    // A good set: nothing to do, nothing tried.
    const RepairedSet again = RepairChosenSet(set.file, kMarker);
    EXPECT_TRUE(again.Ok());
    EXPECT_FALSE(again.attempted);
}

TEST(ChosenSet, TooManyBadPiecesSayHowFarShortAndChangeNothing) {
    Set set(1);
    for (const int n : {1, 3, 5}) WriteFile(set.Piece(n), "x");
    const auto before = set.Files();
    const RepairedSet repaired = RepairChosenSet(set.file, kMarker);
    EXPECT_EQ(repaired.check.BadNumbers(), (std::vector<int32_t>{1, 3, 5}));
    EXPECT_EQ(repaired.check.rebuildable, 1);
    EXPECT_EQ(repaired.check.RecoveryShortBy(), 2);
    ASSERT_TRUE(repaired.attempted);
    EXPECT_FALSE(repaired.Ok());
    EXPECT_EQ(repaired.repair.missing, 3);
    EXPECT_EQ(repaired.repair.rebuildable, 1);
    EXPECT_TRUE(repaired.repair.rebuilt.empty());
    EXPECT_TRUE(set.Files() == before);

    // Without recovery files there is nothing to rebuild from.
    Set bare(0);
    std::remove(bare.Piece(2).c_str());
    const CheckedSet checked = CheckChosenSet(bare.file, kMarker);
    EXPECT_FALSE(checked.HasRecoveryFiles());
    EXPECT_EQ(checked.RecoveryShortBy(), 1);
}

// Stopped while checking, or once the rebuilding has begun: no verdict of a
// good set, no piece changed.
TEST(ChosenSet, StopEndsTheCheckAndTheRepairLeavingThePiecesAsTheyWere) {
    {
        Set set(0);
        std::atomic<bool> stop{true};
        const CheckedSet checked = CheckChosenSet(set.file, kMarker, &stop);
        EXPECT_TRUE(checked.stopped);
        EXPECT_FALSE(checked.Ok());
        // Stopped once the first piece is read: no other piece is read after it.
        std::remove(set.file.c_str());
        stop = false;
        int64_t lastDone = 0;
        const CheckedSet first = CheckChosenSet(set.file, kMarker, &stop, [&](int64_t done, int64_t) {
            lastDone = done;
            if (done > 0) stop = true;
        });
        EXPECT_TRUE(first.stopped);
        EXPECT_EQ(lastDone, 1000);
    }
    Set set(2);
    std::remove(set.Piece(2).c_str());
    WriteFile(set.Piece(3), "short");
    const auto before = set.Files();
    std::atomic<bool> stop{false};
    bool checkEnded = false;
    const RepairedSet repaired = RepairChosenSet(set.file, kMarker, &stop, [&](int64_t done, int64_t total) {
        // The check ends at done == total; the next call is the rebuilding's.
        if (checkEnded) stop = true;
        if (done == total) checkEnded = true;
    });
    ASSERT_TRUE(repaired.attempted);
    EXPECT_TRUE(repaired.Stopped());
    EXPECT_FALSE(repaired.Ok());
    EXPECT_TRUE(repaired.repair.rebuilt.empty());
    EXPECT_TRUE(set.Files() == before);
}

// Recovery files of another version of the file (same name, same size,
// other bytes) in place of the set's own: the check counts nothing they
// could rebuild, and says why.
TEST(ChosenSet, RecoveryFilesOfAnotherVersionCountNothing) {
    Set set(1);
    TempFolder elsewhere;
    WriteFile(elsewhere / "Setup.exe", PatternBytes(4500, 7));
    ASSERT_TRUE(WriteRecoverySet(elsewhere / "Setup.exe", {1000, 1000, 1000, 1000, 500}, 1, elsewhere.Path(), {},
                                 kMarker)
                    .ok);
    for (const auto& name : FolderEntries(elsewhere.Path()))
        if (name.find(".par2") != std::string::npos) WriteFile(set.dir / name, ReadFile(elsewhere / name));
    std::remove(set.Piece(2).c_str());
    std::remove(set.file.c_str());
    const CheckedSet checked = CheckChosenSet(set.file, kMarker);
    ASSERT_EQ(checked.BadNumbers(), std::vector<int32_t>{2});
    EXPECT_EQ(checked.rebuildable, 0);
    EXPECT_TRUE(checked.recoveryOfOtherVersion);
    EXPECT_EQ(checked.RecoveryShortBy(), 1);
}

// Without the whole file beside them, the pieces in order are weighed
// against the checksum file's line for it, in the same read as their own:
// a line that no join would accept fails the check too.
TEST(ChosenSet, AWholeFileLineThePiecesDoNotMatchIsCaughtWithoutTheWholeFile) {
    Set set(0);
    std::remove(set.file.c_str());
    const std::string sums = set.dir / "Setup.exe.Quorved_sha256";
    const ChecksumRead read = ReadChecksumFile(sums, kMarker);
    ASSERT_EQ(read.status, ChecksumRead::Status::Ok);
    for (const bool zeroed : {false, true}) {
        SCOPED_TRACE(zeroed);
        ChecksumSet lines = read.set;
        if (zeroed) lines.wholeDigest = std::string(64, '0');
        ChecksumWriter writer;
        ASSERT_TRUE(writer.Rewrite(sums, kMarker, lines));
        int64_t lastTotal = 0;
        const CheckedSet checked =
            CheckChosenSet(set.file, kMarker, nullptr, [&](int64_t, int64_t total) { lastTotal = total; });
        EXPECT_TRUE(checked.bad.empty());
        EXPECT_EQ(checked.whole, zeroed ? CheckedSet::Whole::JoinedDiffers : CheckedSet::Whole::Absent);
        EXPECT_EQ(checked.Ok(), !zeroed);
        EXPECT_EQ(lastTotal, 4500);  // the pieces are read once
        EXPECT_EQ(RepairChosenSet(set.file, kMarker, nullptr, nullptr).Ok(), !zeroed);
    }
}

// A stop once the rebuilding's passes are through, while the rebuilt piece
// is checked against its digest, still ends the repair: the piece is not
// put in place and nothing of it is left.
TEST(ChosenSet, AStopWhileTheRebuiltPieceIsCheckedEndsTheRepair) {
    Set set(1);
    std::remove(set.Piece(2).c_str());
    const auto before = set.Files();
    std::atomic<bool> stop{false};
    bool checkEnded = false, rebuilding = false;
    int ends = 0;
    const RepairedSet repaired = RepairChosenSet(set.file, kMarker, &stop, [&](int64_t done, int64_t total) {
        // The check ends at done == total; the rebuilding starts over and
        // ends there too, its passes through.
        if (checkEnded && done < total) rebuilding = true;
        if (done == total) checkEnded = true;
        if (rebuilding && done == total) stop = true, ++ends;
    });
    ASSERT_TRUE(repaired.attempted);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(repaired.repair.stopped);
    EXPECT_TRUE(repaired.repair.rebuilt.empty());
    EXPECT_TRUE(set.Files() == before);
}

// A rebuild that cannot finish says which file it failed on, reading or
// writing, and why; the rebuilt piece's temporary file is named as the
// piece, and nothing is left behind.
TEST(ChosenSet, AFailedRebuildNamesTheFileTheStepAndTheReason) {
    using Step = RecoveryError::Step;
    enum class Spoil { ReadOnlyFolder, SoundPieceGoneWhileRebuilding };
    struct Case {
        Spoil spoil;
        Step step;
        int32_t piece;
        int error;
    } const cases[] = {
        {Spoil::ReadOnlyFolder, Step::Write, 2, EROFS},
        {Spoil::SoundPieceGoneWhileRebuilding, Step::Read, 5, ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.spoil));
        Set set(1);
        std::remove(set.Piece(2).c_str());
        TempFolder elsewhere;
        std::string file = set.file, folder = set.dir.Path();
        std::unique_ptr<ReadOnlyView> view;
        if (c.spoil == Spoil::ReadOnlyFolder) {
            folder = elsewhere / "disk";
            view = std::make_unique<ReadOnlyView>(set.dir.Path(), folder);
            if (!view->Mounted()) GTEST_SKIP() << "mounting is not permitted here";
            file = folder + kPathSeparator + "Setup.exe";
        }
        bool checkEnded = false, spoiled = false;
        const RepairedSet repaired = RepairChosenSet(file, kMarker, nullptr, [&](int64_t done, int64_t total) {
            // The check ends at done == total; the next call is the rebuilding's.
            if (checkEnded && !spoiled && c.spoil == Spoil::SoundPieceGoneWhileRebuilding) {
                spoiled = true;
                std::remove(set.Piece(5).c_str());
            }
            if (done == total) checkEnded = true;
        });
        ASSERT_TRUE(repaired.attempted);
        EXPECT_FALSE(repaired.Ok());
        const SetRepair& repair = repaired.repair;
        EXPECT_EQ(repair.failedStep, c.step);
        EXPECT_EQ(repair.failedPiece, c.piece);
        EXPECT_EQ(repair.failedFile, PieceName(folder + kPathSeparator + "Setup.exe", kMarker, c.piece));
        EXPECT_EQ(repair.error, c.error);
        EXPECT_TRUE(repair.rebuilt.empty());
        EXPECT_FALSE(Exists(set.Piece(2)));
        for (const std::string& name : FolderEntries(set.dir.Path()))
            EXPECT_EQ(name.rfind(kTemporaryNameStart, 0), std::string::npos) << name << " was left behind";
    }
}

TEST(ChosenSet, RepairNeedsAFolderItMayWrite) {
    TempFolder dir;
    EXPECT_TRUE(MayRepairIn(dir.Path()));
    EXPECT_FALSE(MayRepairIn(dir / "absent"));
}

}  // namespace
