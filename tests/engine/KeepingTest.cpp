// A split, join or repair ends with the older state or the whole new one:
// names of other sets and other users stay theirs, a failing step puts back
// what it moved, and the checksums vouch for the bytes as written.
#include "engine/ChecksumFile.h"
#include "io/FileAccess.h"
#include "engine/PieceEngine.h"
#include "engine/SetFiles.h"
#include "engine/Staging.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class Keeping : public EngineTest {
protected:
    void SetUp() override {
        MakeBigFile("big", 30000);
        t.engine.SetUseChecksums(true);
    }
    // Every file in the folder with its bytes.
    std::map<std::string, std::string> Contents() const {
        std::map<std::string, std::string> all;
        for (const std::string& name : FolderEntries(dir.Path())) {
            if (fs::is_regular_file(dir / name)) all[name] = ReadFile(dir / name);
        }
        return all;
    }
};

std::string In(const std::string& folder, const std::string& name) { return Paths::InFolder(folder, name); }

bool IsRoot() {
#ifdef __linux__
    return geteuid() == 0;
#else
    return false;
#endif
}

TEST_F(Keeping, AFailingPlacingStepPutsEveryOlderFileBack) {
#ifndef __linux__
    GTEST_SKIP() << "Linux only: a bind mount";
#endif
    if (!IsRoot()) GTEST_SKIP() << "needs root to bind-mount a file";
    t.engine.SetRecovery(1);
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    ASSERT_TRUE(Exists(big + ".par2"));
    // The older checksum file cannot be moved: a copy of it is mounted over
    // it. It is the last older file to move aside, after the pieces and the
    // recovery files.
    const std::string sums = ChecksumFileName(big, kMarker);
    const std::map<std::string, std::string> before = Contents();
    fs::create_directory(dir / "aside");
    fs::copy_file(sums, In(dir / "aside", "copy"));
#ifdef __linux__
    ASSERT_EQ(mount((In(dir / "aside", "copy")).c_str(), sums.c_str(), nullptr, MS_BIND, nullptr), 0);
#endif
    WriteFile(big, PatternBytes(30000, 3));
    const TransferOutcome outcome = SplitPlan({15000, 15000});
#ifdef __linux__
    umount2(sums.c_str(), MNT_DETACH);
#endif
    fs::remove_all(dir / "aside");
    EXPECT_EQ(outcome, What::ChecksumsNotWritten);
    std::map<std::string, std::string> after = Contents();
    after.erase("big");
    std::map<std::string, std::string> expected = before;
    expected.erase("big");
    EXPECT_EQ(after, expected);  // pieces, checksum file, index and the volume as they were
    EXPECT_EQ(FolderEntries(dir.Path()).size(), expected.size() + 1);  // no staging folder left
}

TEST_F(Keeping, RoomForTheNewSetCountsItsRecoveryFiles) {
#ifndef __linux__
    GTEST_SKIP() << "Linux only: a small tmpfs";
#endif
    SmallDisk disk(dir / "disk", "120k");
    if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    t.engine.SetPiecePrefix(In(dir / "disk", "big"));
    t.engine.SetRecovery(1);
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    const std::vector<std::string> older = FolderEntries(dir / "disk");
    // The pieces alone would fit beside the older set; with their recovery files they do not.
    WriteFile(In(dir / "disk", "filler"), std::string(static_cast<std::size_t>(FreeBytesInFolder(dir / "disk") - 36000), 'x'));
    WriteFile(big, PatternBytes(30000, 4));
    t.engine.SetRecovery(2);
    const TransferOutcome outcome = SplitPlan({10000, 10000, 10000});
    EXPECT_EQ(outcome, What::NoRoomForSet);
    EXPECT_GT(outcome.bytes, 40000);
    fs::remove(In(dir / "disk", "filler"));
    EXPECT_EQ(FolderEntries(dir / "disk"), older);
    EXPECT_TRUE(FileHolds(In(dir / "disk", "big.Quorved_2"), bytes.substr(10000, 10000)));
}

TEST_F(Keeping, ASplitRefusesTheNamesOfAnotherSet) {
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    const std::map<std::string, std::string> before = Contents();
    // big.Quorved with the marker "_": its pieces and checksum file carry set big's names.
    const std::string other = dir / "big.Quorved";
    WriteFile(other, PatternBytes(20000, 5));
    t.engine.SetBigFilePath(other);
    t.engine.SetPiecePrefix(other);
    t.Plan({10000, 10000});
    const TransferOutcome outcome = t.engine.Split(100000, "_", PauseMode::Never, false);
    EXPECT_EQ(outcome, What::NamesTaken);
    EXPECT_EQ(outcome.untouched, std::vector<std::string>{dir / "big.Quorved_sha256"});
    std::map<std::string, std::string> after = Contents();
    after.erase("big.Quorved");
    EXPECT_EQ(after, before);

    // A recovery index of the same name that no checksum file of the set lists.
    WriteFile(big + ".par2", "made by someone else");
    t.engine.SetBigFilePath(big);
    t.engine.SetPiecePrefix(big);
    t.engine.SetRecovery(1);
    const TransferOutcome again = SplitPlan({10000, 10000, 10000});
    EXPECT_EQ(again, What::NamesTaken);
    EXPECT_EQ(again.untouched, std::vector<std::string>{big + ".par2"});
    EXPECT_EQ(ReadFile(big + ".par2"), "made by someone else");
    EXPECT_TRUE(FileHolds(Piece(1), bytes.substr(0, 10000)));
}

TEST_F(Keeping, AJoinRefusesAChecksumFileOfOtherPieces) {
    ASSERT_EQ(SplitPlan({10000, 20000}), What::Done);
    // Pieces of another file, with the first set's checksum file copied beside them.
    const std::string other = dir / "other";
    fs::create_directory(other);
    for (int n = 1; n <= 2; ++n) fs::copy_file(Piece(n), PieceName(In(other, "copy"), kMarker, n));
    fs::copy_file(ChecksumFileName(big, kMarker), ChecksumFileName(In(other, "copy"), kMarker));
    t.engine.SetPiecePrefix(In(other, "copy"));
    JoinInto(dir / "joined");
    const TransferOutcome outcome = Join();
    EXPECT_EQ(outcome, What::ChecksumsOfOtherSet);
    EXPECT_EQ(outcome.related, PiecePattern(In(other, "big"), kMarker));
    EXPECT_FALSE(Exists(dir / "joined"));
}

TEST_F(Keeping, ASplitOntoDisksBesideAnotherSetKeepsNamesOfItsOwn) {
    t.engine.SetRecovery(1);
    ASSERT_EQ(SplitPlan({7500, 7500, 7500, 7500}), What::Done);
    const std::map<std::string, std::string> before = Contents();
    // The same file onto disks of their own, each taking 10000 bytes; its
    // checksum file and recovery index stay beside the big file.
    fs::create_directory(dir / "b");
    t.engine.SetPiecePrefix(In(dir / "b", "big"));
    int asked = 0;
    t.engine.SetFreeSpaceQuery([&asked](const std::string&) -> int64_t { return ++asked <= 3 ? 10000 : 1 << 30; });
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, true), What::Done);
    EXPECT_EQ(t.engine.ChecksumFilePath(), ChecksumFileName(big, kMarker) + "~2");
    EXPECT_TRUE(Exists(dir / "big~2.par2"));
    std::map<std::string, std::string> after = Contents();
    after.erase("big.Quorved_sha256~2");
    after.erase("big~2.par2");
    EXPECT_EQ(after, before);  // the older set's checksum file and recovery index as they were

    // Its own checksum file is the one found for its pieces, and its
    // recovery files rebuild a lost one.
    EXPECT_EQ(LoadSet(In(dir / "b", "big"), kMarker, big).checksumPath, ChecksumFileName(big, kMarker) + "~2");
    fs::remove(In(dir / "b", "big.Quorved_2"));
    JoinInto(dir / "joined");
    t.engine.SetPieceCount(1);
    const TransferOutcome joined = Join();
    EXPECT_EQ(joined, What::Done);
    EXPECT_EQ(joined.rebuilt, std::vector<int32_t>{2});
    EXPECT_TRUE(FileHolds(dir / "joined", bytes));
}

TEST_F(Keeping, ASecondSplitOfTheSameSetWaitsItsTurn) {
    // While the first split writes its pieces, a second one of the same set
    // finds its staging folder held and refuses; the first ends well.
    TransferOutcome second;
    bool tried = false;
    t.view.onProgress = [&](int32_t position) {
        if (tried || position <= 0) return;
        tried = true;
        EngineUnderTest other;
        other.engine.SetUseChecksums(true);
        other.engine.SetBigFilePath(big);
        other.engine.SetPiecePrefix(big);
        other.Plan({15000, 15000});
        second = other.engine.Split(100000, kMarker, PauseMode::Never, false);
    };
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    ASSERT_TRUE(tried);
    EXPECT_EQ(second, What::SplitRunning);
    EXPECT_TRUE(FileHolds(Piece(3), bytes.substr(20000)));
    JoinInto(dir / "joined");
    EXPECT_EQ(Join(), What::Done);
}

TEST_F(Keeping, OnlyOurOwnLeftoversOfKilledRunsGo) {
    // What a killed split left: its tagged staging folder with a recovery
    // file's temporary; a killed repair's temporary beside the pieces.
    const std::string left = dir / ".~quorvel-deadbeef";
    fs::create_directory(left);
    WriteFile(In(left, ".~quorvel-set"), "big\n" + kMarker + "\n");
    WriteFile(In(left, "big.Quorved_1"), "piece");
    WriteFile(In(left, ".~quorvelabcd1234"), "recovery data");
    WriteFile(dir / ".~quorvelrepair01", "a rebuilt piece");
    // Not ours to take: another set's staging folder, one holding a file
    // of the user's, and a temporary a running program holds.
    const std::string otherSet = dir / ".~quorvel-othrset1";
    fs::create_directory(otherSet);
    WriteFile(In(otherSet, ".~quorvel-set"), "other\n" + kMarker + "\n");
    const std::string usersFile = dir / ".~quorvel-usrfile1";
    fs::create_directory(usersFile);
    WriteFile(In(usersFile, "notes.txt"), "mine");
    WriteFile(dir / ".~quorvelinuse001", "being written");
    FileLock held;
    ASSERT_TRUE(held.Take(dir / ".~quorvelinuse001"));

    const Leftovers found = FindLeftovers(big, kMarker);
    EXPECT_EQ(found.staging, std::vector<std::string>{left});
    EXPECT_FALSE(found.splitRunning);
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    EXPECT_FALSE(Exists(left));
    EXPECT_FALSE(Exists(dir / ".~quorvelrepair01"));
    EXPECT_TRUE(Exists(In(otherSet, ".~quorvel-set")));
    EXPECT_TRUE(Exists(In(usersFile, "notes.txt")));
    EXPECT_TRUE(Exists(dir / ".~quorvelinuse001"));
}

TEST_F(Keeping, AJoinOrCheckNamesWhatAnInterruptedSplitLeft) {
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    const std::string left = dir / ".~quorvel-deadbeef";
    fs::create_directory(left);
    WriteFile(In(left, ".~quorvel-set"), "big\n" + kMarker + "\n");
    fs::rename(Piece(2), In(left, ".~quorvel-old1"));
    EXPECT_EQ(LoadSet(big, kMarker).leftStaging, left);
    JoinInto(dir / "joined");
    t.engine.SetPieceCount(1);
    const TransferOutcome outcome = Join();
    EXPECT_EQ(outcome, What::PieceMissing);
    EXPECT_EQ(outcome.leftStaging, left);
    EXPECT_TRUE(Exists(left));  // a failed join removes nothing
}

// A writer changes the file while it is copied: the checksums must speak of
// the bytes as they were written, so that a wrong file is never whole.
class Changing {
public:
    Changing(std::string name, int64_t at) : name_(std::move(name)), at_(at) {
        thread_ = std::thread([this] {
            for (char c = 0; !stop_; c = char(c ^ 0x5A)) {
                std::fstream file(name_, std::ios::in | std::ios::out | std::ios::binary);
                file.seekp(at_);
                file.put(c);
            }
        });
    }
    ~Changing() {
        stop_ = true;
        thread_.join();
    }

private:
    std::string name_;
    int64_t at_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(Keeping, ABigFileThatChangesDuringTheSplitFailsIt) {
    MakeBigFile("big", 3000000);
    TransferOutcome outcome;
    {
        Changing writer(big, 2500000);
        // Byte by byte: the split takes long enough for the clock of the
        // file's times to move on.
        t.Plan({1000000, 1000000, 1000000});
        outcome = t.engine.Split(0, kMarker, PauseMode::Never, false);
    }
    EXPECT_EQ(outcome, What::BigFileChanged);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"big"});
}

TEST_F(Keeping, AJoinByteByByteChecksTheBytesItWrote) {
    ASSERT_EQ(SplitPlan({10000, 10000, 10000}), What::Done);
    const std::string original = ReadFile(Piece(2));
    for (int run = 0; run < 6; ++run) {
        SCOPED_TRACE(run);
        JoinInto(dir / "joined");
        TransferOutcome outcome;
        {
            Changing writer(Piece(2), 5000);
            outcome = t.engine.Join(0, kMarker, PauseMode::Never);
        }
        WriteFile(Piece(2), original);
        t.engine.SetBigFilePath(big);
        if (outcome.Ok()) {
            EXPECT_TRUE(FileHolds(dir / "joined", bytes));
        }
        fs::remove(dir / "joined");
    }
}

}  // namespace
