#include "engine/ChecksumFile.h"
#include "engine/PieceEngine.h"
#include "engine/PieceNaming.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <climits>
#include <filesystem>

namespace {

const std::vector<int64_t> kFloppyPlan{1457664, 1457664, 84672};

class Transfer : public EngineTest {
protected:
    void SetUp() override { MakeBigFile("Setup.exe", 3000000); }
    // Splits into the floppy plan, then points the engine at a join of that set into `target`.
    void SplitThenPrepareJoin(const std::string& target) {
        ASSERT_EQ(SplitPlan(kFloppyPlan), What::Done);
        JoinInto(target);
        t.view = RecordingView();
    }
};

TEST_F(Transfer, SplitWritesExactSlicesWhateverTheMemoryLimit) {
    for (int32_t maxRam : {100000, 0, 1, 4095, 65536, INT32_MAX}) {
        SCOPED_TRACE("MaxRAM " + std::to_string(maxRam));
        t.Reset();
        t.engine.SetBigFilePath(big);
        t.engine.SetPiecePrefix(big);
        t.Plan(kFloppyPlan);
        ASSERT_EQ(t.engine.Split(maxRam, kMarker, PauseMode::Sometimes, false), What::Done);
        EXPECT_TRUE(FileHolds(Piece(1), bytes.substr(0, 1457664)));
        EXPECT_TRUE(FileHolds(Piece(2), bytes.substr(1457664, 1457664)));
        EXPECT_TRUE(FileHolds(Piece(3), bytes.substr(2915328)));
        EXPECT_EQ(t.view.lines, (std::vector<std::string>{"1457664", "1457664", "84672"}));
        EXPECT_TRUE(t.view.questions.empty());
        EXPECT_EQ(t.view.calls.back(), "Progress 0");
        EXPECT_NE(std::find(t.view.progress.begin(), t.view.progress.end(), 1000), t.view.progress.end());
        EXPECT_EQ(t.engine.CurrentPieceName(), Piece(3));
    }
}

TEST_F(Transfer, SplitReportsTheViewInOrder) {
    t.Plan({2000000, 1000000});
    // The system copies each piece in one call (its calls take 64 MiB,
    // whatever the memory setting) where it can; the bar moves only when its
    // position changes.
    ASSERT_EQ(t.engine.Split(1500000, kMarker, PauseMode::Never, false), What::Done);
    std::vector<std::string> expected{"Clear",        "Range 0 1000",     "Progress 0",  "Show " + Piece(1),
                                      "Add 2000000",  "Select 0",         "RepaintList", "Progress 666",
                                      "Show " + Piece(2), "Add 1000000", "Select 1",
                                      "RepaintList",  "Progress 1000",    "Select -1",   "Progress 0"};
#ifdef _WIN32
    // No kernel copy there: the memory setting's buffer moves the bar inside the first piece.
    expected.insert(expected.begin() + 7, "Progress 349");
#endif
    EXPECT_EQ(t.view.calls, expected);
    // Through a buffer (a memory setting under 64 KiB) the bar moves inside a piece as well.
    t.Reset();
    t.engine.SetBigFilePath(big);
    t.engine.SetPiecePrefix(big);
    t.Plan({2000000, 1000000});
    ASSERT_EQ(t.engine.Split(60000, kMarker, PauseMode::Never, false), What::Done);
    EXPECT_GT(std::count_if(t.view.progress.begin(), t.view.progress.end(), [](int32_t p) { return p > 0 && p < 666; }),
              10);
}

TEST_F(Transfer, PlanShortOfTheFileFailsAndTakesItsPiecesBack) {
    EXPECT_EQ(SplitPlan({1000000, 1000000}), What::SizesDiffer);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"Setup.exe"});
}

TEST_F(Transfer, MissingBigFileIsReportedBeforeAnythingHappens) {
    t.engine.SetBigFilePath(dir / "nothing");
    t.Plan({10});
    EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Always, false), What::CannotReadBigFile);
    EXPECT_TRUE(t.view.calls.empty());
    t.engine.SetBigFilePath(dir.Path());  // a folder is no big file either
    EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Always, false), What::CannotReadBigFile);
}

TEST_F(Transfer, SometimesPausesOnlyForFloppyPrefixes) {
    // Relative prefixes, so that they can start with A or a.
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::u8path(dir.Path()));
    for (const char* prefix : {"Apieces", "apieces"}) {
        t.Reset();
        t.engine.SetBigFilePath(big);
        t.engine.SetPiecePrefix(prefix);
        t.Plan(kFloppyPlan);
        EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Sometimes, false), What::Done);
        const bool floppy = prefix[0] == 'A';
        ASSERT_EQ(t.view.questions.size(), floppy ? 3u : 0u) << prefix;
        if (floppy) {
            EXPECT_EQ(t.view.questions[0].text, "Ready for diskette/file number 1?");
            EXPECT_EQ(t.view.questions[2].text, "Ready for diskette/file number 3?");
            EXPECT_EQ(t.view.questions[0].caption, "Change diskette");
            EXPECT_EQ(t.view.questions[0].icon, TransferView::Icon::Question);
        }
    }
    std::filesystem::current_path(saved);
}

#ifdef _WIN32
// Drives A: and B: of the Wine prefix the tests run in are folders of the build.
TEST_F(Transfer, SometimesPausesForEveryPieceOnDrivesAAndB) {
  for (const char* drive : {"A:\\", "B:\\"}) {
    SCOPED_TRACE(drive);
    std::error_code ec;
    if (!std::filesystem::is_directory(drive, ec)) GTEST_SKIP() << "no drive " << drive << " here";
    const std::string prefix = Paths::InFolder(drive, FileNamePart(dir.Path()));
    t.Reset();
    t.engine.SetBigFilePath(big);
    t.engine.SetPiecePrefix(prefix);
    t.Plan(kFloppyPlan);
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Sometimes, false), What::Done);
    EXPECT_EQ(t.view.questions.size(), 3u);
    EXPECT_TRUE(FileHolds(PieceName(prefix, kMarker, 3), bytes.substr(2915328)));

    // Joined from the drive: the pieces are asked for one by one as well.
    t.view = RecordingView();
    t.engine.SetBigFilePath(dir / "restored");
    t.Plan({0, 0, 0});
    EXPECT_EQ(t.engine.Join(100000, kMarker, PauseMode::Sometimes), What::Done);
    EXPECT_EQ(t.view.questions.size(), 3u);
    EXPECT_TRUE(FileHolds(dir / "restored", bytes));
    for (int n = 1; n <= 3; ++n) std::remove(PieceName(prefix, kMarker, n).c_str());
    std::remove((dir / "restored").c_str());
  }
}

// The free space is what Windows reports to this user for the folder's
// volume; another process may write meanwhile, so it lies between two asks.
TEST_F(Transfer, FreeSpaceIsWhatWindowsReports) {
    const auto ask = [](const wchar_t* folder) {
        ULARGE_INTEGER available{};
        EXPECT_TRUE(GetDiskFreeSpaceExW(folder, &available, nullptr, nullptr));
        return static_cast<int64_t>(available.QuadPart);
    };
    const int64_t before = ask(L"C:\\");
    const int64_t ours = FreeBytesInFolder("C:\\");
    const int64_t after = ask(L"C:\\");
    EXPECT_GT(ours, 0);
    const int64_t slack = 64 << 20;
    EXPECT_GE(ours, std::min(before, after) - slack);
    EXPECT_LE(ours, std::max(before, after) + slack);
    EXPECT_EQ(FreeBytesInFolder("C:\\no such folder\\x"), 0);  // no answer counts as no room
}
#endif

TEST_F(Transfer, NoToTheSecondDiskTakesBackTheFirstPiece) {
    t.Plan(kFloppyPlan);
    t.view.answers = {true, false};
    EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Always, false), What::DisksNotEntered);
    EXPECT_FALSE(Exists(Piece(1)));
    EXPECT_FALSE(Exists(Piece(2)));
    EXPECT_EQ(t.view.calls.back(), "Progress 0");
}

TEST_F(Transfer, NoToTheFirstDiskOfAJoinLeavesTheTargetAsItWas) {
    const std::string target = dir / "existing";
    WriteFile(target, "old contents");
    SplitThenPrepareJoin(target);
    t.view.answers = {false};
    EXPECT_EQ(t.engine.Join(100000, kMarker, PauseMode::Always), What::DisksNotEntered);
    EXPECT_TRUE(FileHolds(target, "old contents"));
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 5u);  // big file, three pieces, target: no leftovers
}

TEST_F(Transfer, JoinRestoresTheFileWhateverTheMemoryLimit) {
    SplitThenPrepareJoin(dir / "restored");
    for (int32_t maxRam : {100000, 0, 7, 1000003}) {
        SCOPED_TRACE("MaxRAM " + std::to_string(maxRam));
        JoinInto(dir / "restored");
        EXPECT_EQ(t.engine.Join(maxRam, kMarker, PauseMode::Never), What::Done);
        EXPECT_TRUE(FileHolds(dir / "restored", bytes));
    }
}

TEST_F(Transfer, PausingJoinStopsAtTheMissingPieceAndLeavesNoPartialFile) {
    ASSERT_EQ(SplitPlan({250000, 250000, 250000, 2250000}), What::Done);
    std::filesystem::remove(Piece(3));
    const std::string target = dir / "restored";
    t.engine.SetBigFilePath(target);
    t.Plan({0, 0, 0, 0});  // the number of disks was given, nothing measured yet
    EXPECT_EQ(t.engine.Join(100000, kMarker, PauseMode::Always), (PieceOutcome{What::CannotReadPiece, 3}));
    EXPECT_FALSE(Exists(target));
}

TEST_F(Transfer, PieceThatGrewAfterBeingMeasuredFailsTheJoin) {
    SplitThenPrepareJoin(dir / "restored");
    WriteFile(Piece(2), bytes.substr(1457664, 1457664) + "more");
    EXPECT_EQ(Join(), What::SizesDiffer);
}

TEST_F(Transfer, PieceThatShrankEndsTheJoinAtOnce) {
    SplitThenPrepareJoin(dir / "restored");
    t.Plan(kFloppyPlan);
    WriteFile(Piece(1), bytes.substr(0, 1000));
    EXPECT_EQ(Join(), What::SizesDiffer);
    EXPECT_FALSE(Exists(dir / "restored"));
}

// The window shows the piece last reached and retries the same set with
// what the engine kept.
TEST_F(Transfer, JoinNamesThePieceItEndedOnAndKeepsTheChosenOneWhenRefused) {
    SplitThenPrepareJoin(dir / "restored");
    t.engine.SetCurrentPieceName(Piece(2));
    t.engine.SetBigFilePath(Piece(3));
    EXPECT_EQ(Join(), What::TargetInSet);
    EXPECT_EQ(t.engine.CurrentPieceName(), Piece(2));

    t.engine.SetBigFilePath(dir / "restored");
    std::filesystem::remove(Piece(3));
    EXPECT_EQ(Join(), (PieceOutcome{What::CannotReadPiece, 3}));
    EXPECT_EQ(t.engine.CurrentPieceName(), Piece(3));
    EXPECT_EQ(t.engine.PieceSizes(), (std::vector<int64_t>{0, 1457664, 1457664, 84672}));
}

TEST_F(Transfer, JoinTakesTheCountAndSizesFromTheChecksumFile) {
    t.engine.SetUseChecksums(true);
    SplitThenPrepareJoin(dir / "restored");
    t.Plan({5});  // a count the user gave, not the set's
    ASSERT_EQ(Join(), What::Done);
    EXPECT_TRUE(FileHolds(dir / "restored", bytes));
    EXPECT_EQ(t.engine.PieceCount(), 3);
    EXPECT_EQ(t.engine.PieceSizes(), (std::vector<int64_t>{0, 1457664, 1457664, 84672}));
    EXPECT_EQ(t.engine.ChecksumFilePath(), ChecksumFileName(big, kMarker));

    // Without a checksum file the join goes by the count it was given and names none.
    std::filesystem::remove(ChecksumFileName(big, kMarker));
    JoinInto(dir / "restored");
    ASSERT_EQ(Join(), What::Done);
    EXPECT_EQ(t.engine.ChecksumFilePath(), "");
}

TEST_F(Transfer, PausingJoinMovesTheBarByPiecesReachedSoFar) {
    t.engine.SetPiecePrefix(dir / "p");
    for (int n = 1; n <= 3; ++n) WriteFile(PieceName(dir / "p", kMarker, n), std::string(1000, 'a' + n));
    t.engine.SetBigFilePath(dir / "joined");
    t.Plan({0, 0, 0});
    ASSERT_EQ(t.engine.Join(100000, kMarker, PauseMode::Always), What::Done);
    EXPECT_EQ(t.view.progress, (std::vector<int32_t>{0, 400, 800, 1000, 0}));
    EXPECT_EQ(t.view.lines, (std::vector<std::string>{"1000", "1000", "1000"}));
    EXPECT_EQ(t.engine.PieceSizes(), (std::vector<int64_t>{0, 1000, 1000, 1000}));
}

TEST_F(Transfer, EmptyPiecesCompleteWithTheBarAtZero) {
    t.engine.SetPiecePrefix(dir / "p");
    WriteFile(PieceName(dir / "p", kMarker, 1), "");
    WriteFile(PieceName(dir / "p", kMarker, 2), "");
    t.engine.SetBigFilePath(dir / "joined");
    for (PauseMode pauseMode : {PauseMode::Always, PauseMode::Never}) {
        t.view = RecordingView();
        t.Plan({0, 0});
        EXPECT_EQ(t.engine.Join(100000, kMarker, pauseMode), What::Done);
        EXPECT_EQ(t.view.lines, (std::vector<std::string>{"0", "0"}));
        EXPECT_EQ(t.view.progress, (std::vector<int32_t>{0, 0}));
        EXPECT_TRUE(FileHolds(dir / "joined", ""));
    }
}

TEST_F(Transfer, ByteCopyingShowsTheSamePositionsAsOneByteBlocks) {
    WriteFile(big, bytes.substr(0, 2500));
    std::vector<int32_t> seen[2];
    for (int32_t maxRam : {0, 1}) {
        t.view = RecordingView();
        t.Plan({700, 1800});
        ASSERT_EQ(t.engine.Split(maxRam, kMarker, PauseMode::Never, false), What::Done);
        seen[maxRam] = t.view.progress;
    }
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0].size(), 1002u);  // 0, every step from 1 to 1000, 0
}

TEST(ProgressPosition, StaysWithinTheBar) {
    const int64_t huge = INT64_MAX / 2;
    struct Case {
        int64_t done, total;
        int32_t position;
    } cases[] = {{0, 0, 0},
                 {5, 0, 0},
                 {0, 3, 0},
                 {1, 3, 333},
                 {2, 3, 666},
                 {3, 3, 1000},
                 {4, 3, 1000},
                 {-1, 3, 0},
                 {huge, huge, 1000},
                 {huge / 2 + 1, huge, 500},
                 {INT64_MAX - 1, INT64_MAX, 999}};
    for (const auto& c : cases) EXPECT_EQ(ProgressPosition(c.done, c.total), c.position) << c.done << "/" << c.total;
    EXPECT_EQ(PausingJoinPosition(1000, 1000, 1, 3), 400);
    EXPECT_EQ(PausingJoinPosition(2000, 2000, 2, 3), 800);
    EXPECT_EQ(PausingJoinPosition(3000, 3000, 3, 3), 1000);
    EXPECT_EQ(PausingJoinPosition(0, 0, 1, 3), 0);
    // Large pieces still land exactly on the mark.
    EXPECT_EQ(PausingJoinPosition(4294967295LL * 7, 4294967295LL * 7, 7, 11), 666);
}

class FreeSpaceSplit : public Transfer {
protected:
    // A disk of 1457664 bytes that is full after every piece until it is swapped.
    void UseSwappedDisk() {
        t.engine.SetFreeSpaceQuery([this](const std::string& folder) -> int64_t {
            queriedFolder = folder;
            const int64_t free = fresh ? 1457664 : 0;
            fresh = false;
            return free;
        });
        t.view.onQuestion = [this] { fresh = true; };
    }
    bool fresh = true;
    std::string queriedFolder;
};

TEST_F(FreeSpaceSplit, FillsEachDiskAskingForTheNext) {
    for (PauseMode pauseMode : {PauseMode::Always, PauseMode::Never}) {
        SCOPED_TRACE("pause mode " + std::to_string(static_cast<int>(pauseMode)));
        t.view = RecordingView();
        fresh = true;
        UseSwappedDisk();
        t.Plan({5});  // replaced by the engine's own plan
        ASSERT_EQ(t.engine.Split(100000, kMarker, pauseMode, true), What::Done);
        EXPECT_EQ(t.engine.PieceCount(), 3);
        EXPECT_EQ(t.engine.PieceSizes(), (std::vector<int64_t>{0, 1457664, 1457664, 84672}));
        EXPECT_TRUE(FileHolds(Piece(3), bytes.substr(2915328)));
        EXPECT_EQ(queriedFolder, dir.Path());
        if (pauseMode == PauseMode::Never) {
            // The first disk is fresh; pieces 2 and 3 each find a full disk.
            ASSERT_EQ(t.view.questions.size(), 2u);
            EXPECT_EQ(t.view.questions[0].text,
                      "No available space on this diskette! Ready for diskette/file number 2?");
            EXPECT_EQ(t.view.questions[0].icon, TransferView::Icon::Exclamation);
            EXPECT_EQ(t.view.questions[0].caption, "Change diskette");
        } else {
            ASSERT_EQ(t.view.questions.size(), 3u);
            EXPECT_EQ(t.view.questions[1].text, "Ready for diskette/file number 2?");
        }
    }
}

TEST_F(FreeSpaceSplit, FullDiskAnsweredNoCreatesNothing) {
    int asked = 0;
    t.engine.SetFreeSpaceQuery([](const std::string&) -> int64_t { return 0; });
    t.view.onQuestion = [&] { ++asked; };
    t.view.answers = {true, true, false};  // the disk stays full
    EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, true), What::DisksNotEntered);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(t.view.questions[2].text, "No available space on this diskette! Ready for diskette/file number 1?");
    EXPECT_FALSE(Exists(Piece(1)));

    // A language whose full-disk text has no trailing blank still reads as two sentences.
    t.engine.SetTextLookup(
        [](int n) { return n == EngineEntry::NoRoomOnDisk ? std::string("Kein Platz!") : EnglishText(n); });
    t.view.questions.clear();
    t.view.answers = {false};
    EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, true), What::DisksNotEntered);
    EXPECT_EQ(t.view.questions[0].text, "Kein Platz! Ready for diskette/file number 1?");
}

TEST_F(FreeSpaceSplit, AnsweredNoKeepsThePiecesItHadCut) {
    UseSwappedDisk();
    t.view.answers = {true, false};  // disk 2 comes, disk 3 does not
    EXPECT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, true), What::DisksNotEntered);
    EXPECT_FALSE(Exists(Piece(1)));
    EXPECT_EQ(t.engine.PieceCount(), 2);
    EXPECT_EQ(t.engine.PieceSizes(), (std::vector<int64_t>{0, 1457664, 1457664}));
    EXPECT_EQ(t.engine.CurrentPieceName(), Piece(2));
}

TEST_F(FreeSpaceSplit, RoomyDiskTakesTheWholeFileAndLargeCountsAreKept) {
    t.engine.SetFreeSpaceQuery([](const std::string&) -> int64_t { return int64_t(1) << 40; });
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, true), What::Done);
    EXPECT_EQ(t.engine.PieceCount(), 1);
    EXPECT_TRUE(FileHolds(Piece(1), bytes));
}

}  // namespace
