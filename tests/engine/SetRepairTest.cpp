#include "engine/ChecksumFile.h"
#include "engine/SetCheck.h"
#include "engine/SetRepair.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/recovery/CraftedPar2.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <cerrno>
#include <system_error>
#include <stdexcept>
#include <new>
#include <functional>

namespace fs = std::filesystem;

namespace {

// A set of four pieces of 1000 bytes and one of 500, its checksum file and
// recovery files for `lost` pieces beside them.
struct Set {
    TempFolder dir;
    std::string file = dir / "Setup.exe", big = PatternBytes(4500);
    ChecksumSet sums;

    explicit Set(int lost) {
        WriteFile(file, big);
        for (int n = 1; n <= 5; ++n) WriteFile(Piece(n), big.substr(std::size_t(n - 1) * 1000, 1000));
        const std::string path = WriteChecksumsFor(file, kMarker);
        const RecoverySetWritten written =
            WriteRecoverySet(file, {1000, 1000, 1000, 1000, 500}, lost, dir.Path(), path, kMarker);
        EXPECT_TRUE(written.ok) << written.reason;
        const ChecksumRead read = ReadChecksumFile(path, kMarker);
        EXPECT_EQ(read.status, ChecksumRead::Status::Ok) << read.reason;
        sums = read.set;
        EXPECT_EQ(sums.recoveryNames.size(), written.files.size());
    }
    std::string Piece(int n) const { return dir / ("Setup.exe.Quorved_" + std::to_string(n)); }
    std::string Expected(int n) const { return big.substr(std::size_t(n - 1) * 1000, 1000); }
};

// Rebuilds `numbers` in place from the recovery files in `folder`.
SetRepair RebuildIn(const ChecksumSet& sums, const std::string& folder, const std::vector<int32_t>& numbers) {
    return RebuildPieces(sums, kMarker, folder, numbers, RecoveryFilesOf(sums, folder, folder), RebuildInto::Pieces);
}

// An engine that splits `file` into pieces named after `prefix`.
void SplitSetUp(EngineUnderTest& t, const std::string& file, const std::string& prefix, bool checksums, int lost) {
    t.engine.SetBigFilePath(file);
    t.engine.SetPiecePrefix(prefix);
    t.engine.SetUseChecksums(checksums);
    t.engine.SetRecovery(lost);
}

TEST(SetRepair, RebuildsBadPiecesInTheirPlace) {
    for (const std::vector<int32_t>& bad : {std::vector<int32_t>{2, 5}, std::vector<int32_t>{1, 4}}) {
        Set set(2);
        std::remove(set.Piece(bad[0]).c_str());
        WriteFile(set.Piece(bad[1]), set.Expected(bad[1]).substr(1) + "!");  // one byte off, same size
        ASSERT_EQ(BadPieces(set.sums, kMarker, set.dir.Path()), bad);
        const SetRepair repair = RebuildIn(set.sums, set.dir.Path(), bad);
        ASSERT_TRUE(repair.ok) << repair.reason;
        EXPECT_EQ(repair.rebuilt, bad);
        for (std::size_t i = 0; i < bad.size(); ++i) {
            EXPECT_TRUE(FileHolds(repair.files[i], set.Expected(bad[i])));
            EXPECT_EQ(repair.files[i], set.Piece(bad[i]));
        }
        EXPECT_TRUE(BadPieces(set.sums, kMarker, set.dir.Path()).empty());
    }
}

TEST(SetRepair, ChangesNothingWhenTheRecoveryFilesFallShort) {
    Set set(1);
    for (const int n : {1, 3}) std::remove(set.Piece(n).c_str());
    const std::vector<std::string> before = FolderEntries(set.dir.Path());
    const auto recovery = RecoveryFilesOf(set.sums, set.dir.Path(), set.dir.Path());
    const SetRepair count = CountRebuildable(set.sums, kMarker, set.dir.Path(), {1, 3}, recovery);
    EXPECT_EQ(count.missing, 2);
    EXPECT_EQ(count.rebuildable, 1);
    const SetRepair repair = RebuildPieces(set.sums, kMarker, set.dir.Path(), {1, 3}, recovery, RebuildInto::Pieces);
    EXPECT_FALSE(repair.ok);
    EXPECT_EQ(FolderEntries(set.dir.Path()), before);
}

// The checksum file at `path` as one that lists no recovery files, and the
// index without its slice checksums (as another tool may write it), so
// that only the pieces' own digests can tell a planted slice.
void UnlistAndDropSliceChecksums(const std::string& path, const std::string& index) {
    ChecksumRead read = ReadChecksumFile(path, kMarker);
    ASSERT_EQ(read.status, ChecksumRead::Status::Ok);
    read.set.recoveryNames.clear();
    read.set.recoveryDigests.clear();
    ChecksumWriter writer;
    ASSERT_TRUE(writer.Rewrite(path, kMarker, read.set));
    WriteFile(index, WithoutPackets(ReadFile(index), "IFSC"));
}

std::vector<std::string> ParFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& name : FolderEntries(folder))
        if (name.find(".par2") != std::string::npos) files.push_back(folder + kPathSeparator + name);
    return files;
}

// A planted Setup.exe.vol00+00.par2 with the genuine set's ID: listed, the
// genuine files are used first; unlisted (and without the index's slice
// checksums), its slices are tried, fail the piece's digest and are
// dropped for the genuine ones. The repair rebuilds exactly either way.
TEST(SetRepair, APlantedVolumeWithTheSetsIdDoesNotShadowTheGenuineOnes) {
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed);
        Set set(1);
        const std::string planted = set.dir / "Setup.exe.vol00+00.par2";
        WriteFile(planted, PlantedSlices(ParFilesIn(set.dir.Path()), '\x33'));
#ifndef _WIN32
        // Named like a volume, but a FIFO: weighing the files must not wait in it.
        ASSERT_EQ(mkfifo((set.dir / "Setup.exe.vol99+1.par2").c_str(), 0600), 0);
#endif
        if (!listed) {
            UnlistAndDropSliceChecksums(set.dir / "Setup.exe.Quorved_sha256", set.dir / "Setup.exe.par2");
            set.sums = ReadChecksumFile(set.dir / "Setup.exe.Quorved_sha256", kMarker).set;
        }
        std::remove(set.Piece(2).c_str());
        const auto recovery = RecoveryFilesOf(set.sums, set.dir.Path(), set.dir.Path());
        EXPECT_NE(std::find(recovery.begin(), recovery.end(), planted), recovery.end());
        EXPECT_EQ(CountRebuildable(set.sums, kMarker, set.dir.Path(), {2}, recovery).rebuildable, 1);
        const SetRepair repair = RebuildPieces(set.sums, kMarker, set.dir.Path(), {2}, recovery, RebuildInto::Pieces);
        ASSERT_TRUE(repair.ok) << repair.reason;
        EXPECT_TRUE(FileHolds(set.Piece(2), set.Expected(2)));
    }
}

// Files the checksum file does not vouch for make up for listed ones that
// are gone; with only planted slices to make up, nothing is changed.
TEST(SetRepair, UnlistedFilesServeOnlyWhereTheListedOnesFallShort) {
    Set set(1);
    std::remove(set.Piece(2).c_str());
    const std::vector<std::string> genuine = ParFilesIn(set.dir.Path());
    ASSERT_EQ(genuine.size(), 3u);  // the index and two volumes
    const std::string volume = genuine[2], copy = set.dir / "Setup.exe.vol07+01.par2", bytes = ReadFile(volume);
    const std::string planted = PlantedSlices(genuine, '\x33');
    std::remove(volume.c_str());
    auto recovery = RecoveryFilesOf(set.sums, set.dir.Path(), set.dir.Path());
    EXPECT_EQ(CountRebuildable(set.sums, kMarker, set.dir.Path(), {2}, recovery).rebuildable, 0);
    // Another file of the volume's packets: not what the checksum file lists.
    WriteFile(copy, bytes + std::string(8, '\0'));
    recovery = RecoveryFilesOf(set.sums, set.dir.Path(), set.dir.Path());
    EXPECT_EQ(recovery.back(), copy);
    EXPECT_EQ(CountRebuildable(set.sums, kMarker, set.dir.Path(), {2}, recovery).rebuildable, 1);
    SetRepair repair = RebuildPieces(set.sums, kMarker, set.dir.Path(), {2}, recovery, RebuildInto::Pieces);
    ASSERT_TRUE(repair.ok) << repair.reason;
    EXPECT_TRUE(FileHolds(set.Piece(2), set.Expected(2)));

    std::remove(set.Piece(2).c_str());
    WriteFile(copy, planted);
    const std::vector<std::string> before = FolderEntries(set.dir.Path());
    repair = RebuildIn(set.sums, set.dir.Path(), {2});
    EXPECT_FALSE(repair.ok);
    EXPECT_TRUE(repair.foreignData);
    EXPECT_EQ(FolderEntries(set.dir.Path()), before);
}

class RecoveryTransfer : public EngineTest {
protected:
    void SetUp() override {
        MakeBigFile("Setup.exe", 5000);
        t.engine.SetUseChecksums(true);
        t.engine.SetRecovery(2);
        ASSERT_EQ(SplitPlan({1000, 1000, 1000, 1000, 1000}), What::Done);
        JoinInto(dir / "joined");
    }
};

// Every file of a folder with its bytes.
std::map<std::string, std::string> Contents(const std::string& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& name : FolderEntries(folder)) {
        const std::string path = folder + kPathSeparator + name;
        contents[name] = fs::is_directory(path) ? "<folder>" : ReadFile(path);
    }
    return contents;
}

// Lost pieces, wherever they are in the set and however they are lost, are
// rebuilt straight into the target: the pieces' folder is left as it was,
// the rebuild has a bar of its own, and the totals are the set's.
TEST_F(RecoveryTransfer, JoinRebuildsLostPiecesIntoItsTarget) {
    const ChecksumRead read = ReadChecksumFile(t.engine.ChecksumFilePath(), kMarker);
    ASSERT_EQ(read.status, ChecksumRead::Status::Ok);
    EXPECT_FALSE(read.set.recoveryNames.empty());  // the split listed its recovery files
    fs::create_directory(dir / "out");
    const std::string target = dir / "out" + kPathSeparator + "joined";
    enum class Loss { Missing, OtherBytes, WrongSize, Unreadable };
    struct Case {
        std::vector<std::pair<int, Loss>> lost;
    } const cases[] = {
        {{{1, Loss::Missing}}},
        {{{3, Loss::Missing}}},
        {{{5, Loss::WrongSize}}},
        {{{2, Loss::Missing}, {4, Loss::OtherBytes}}},  // the damage found while copying
        {{{1, Loss::Unreadable}, {5, Loss::Missing}}},
    };
    for (const auto& c : cases) {
        std::vector<int32_t> numbers;
        std::string rebuildCall = "Rebuild";  // as the view records it
        for (const auto& [n, loss] : c.lost) {
            numbers.push_back(n);
            rebuildCall += " " + std::to_string(n);
            const std::string piece = Piece(n);
            std::remove(piece.c_str());
            if (loss == Loss::OtherBytes) WriteFile(piece, PatternBytes(1000, 7));
            if (loss == Loss::WrongSize) WriteFile(piece, "damaged");
            if (loss == Loss::Unreadable) fs::create_directory(piece);
        }
        const std::map<std::string, std::string> before = Contents(dir.Path());
        t.view = RecordingView();
        JoinInto(target);
        const TransferOutcome outcome = Join();
        ASSERT_EQ(outcome, What::Done) << numbers[0];
        EXPECT_EQ(outcome.rebuilt, numbers);
        EXPECT_TRUE(outcome.checked);
        EXPECT_TRUE(FileHolds(target, bytes));
        EXPECT_TRUE(Contents(dir.Path()) == before) << "the pieces' folder changed";
        // Five pieces listed, the bar through every byte of the set before
        // the rebuild starts; the rebuild's own bar then ends at its end.
        EXPECT_EQ(t.view.lines, std::vector<std::string>(5, "1000"));
        const auto rebuild = std::find(t.view.calls.begin(), t.view.calls.end(), rebuildCall);
        ASSERT_NE(rebuild, t.view.calls.end());
        EXPECT_NE(std::find(t.view.calls.begin(), rebuild, "Progress 1000"), rebuild);
        EXPECT_NE(std::find(rebuild, t.view.calls.end(), "Progress 1000"), t.view.calls.end());
        for (const auto& [n, loss] : c.lost) {
            fs::remove_all(Piece(n));
            WriteFile(Piece(n), bytes.substr(std::size_t(n - 1) * 1000, 1000));
        }
        fs::remove(target);
    }
}

// Pieces on a write-protected disk: the join rebuilds into its target and
// writes nothing beside them (it could not).
TEST_F(RecoveryTransfer, JoinRebuildsFromAReadOnlyFolder) {
    std::remove(Piece(3).c_str());
    const std::map<std::string, std::string> before = Contents(dir.Path());
    TempFolder elsewhere;
    const std::string disk = elsewhere / "disk";
    ReadOnlyView view(dir.Path(), disk);
    if (!view.Mounted()) GTEST_SKIP() << "mounting is not permitted here";
    const std::string target = elsewhere / "joined";
    t.engine.SetPiecePrefix(disk + kPathSeparator + "Setup.exe");
    JoinInto(target);
    const TransferOutcome outcome = Join();
    ASSERT_EQ(outcome, What::Done);
    EXPECT_EQ(outcome.rebuilt, std::vector<int32_t>{3});
    EXPECT_TRUE(FileHolds(target, bytes));
    EXPECT_TRUE(Contents(disk) == before);
}

// A target whose disk fills up while a lost piece is rebuilt into it: the
// join says it was rebuilding, which piece could not be written where, and
// that the disk is full; no target is left.
TEST_F(EngineTest, AJoinWhoseRebuildFindsTheDiskFullSaysWhereAndWhy) {
    MakeBigFile("Setup.exe", 5 * 40960);
    t.engine.SetUseChecksums(true);
    t.engine.SetRecovery(1);
    ASSERT_EQ(SplitPlan({40960, 40960, 40960, 40960, 40960}), What::Done);
    std::remove(Piece(3).c_str());
    // Room for the four sound pieces, none for the fifth.
    SmallDisk disk(dir / "disk", "160k");
    if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    const std::string target = dir / "disk" + kPathSeparator + "joined";
    JoinInto(target);
    const TransferOutcome outcome = Join();
    EXPECT_EQ(outcome, What::WriteFailed);
    EXPECT_TRUE(outcome.rebuilding);
    EXPECT_EQ(outcome.piece, 3);
    EXPECT_EQ(outcome.file, target);
    EXPECT_EQ(outcome.error, ENOSPC);
    EXPECT_TRUE(FolderEntries(dir / "disk").empty());
}

// Recovery files of another version of the file rebuild other bytes: the
// join fails naming the piece, and the older file at the target's name
// stays as it was.
TEST_F(RecoveryTransfer, JoinWithAnotherFilesRecoveryFilesNamesNothing) {
    std::string other = bytes;
    other[2500] ^= 1;
    TempFolder elsewhere;
    WriteFile(elsewhere / "Setup.exe", other);
    EngineUnderTest split;
    SplitSetUp(split, elsewhere / "Setup.exe", elsewhere / "Setup.exe", true, 2);
    split.Plan({1000, 1000, 1000, 1000, 1000});
    ASSERT_EQ(split.engine.Split(100000, kMarker, PauseMode::Never, false), What::Done);
    for (const auto& f : ParFilesIn(elsewhere.Path())) WriteFile(dir / FileNamePart(f), ReadFile(f));
    std::remove(Piece(3).c_str());
    WriteFile(dir / "joined", "older");
    const std::vector<std::string> entries = FolderEntries(dir.Path());
    JoinInto(dir / "joined");
    const TransferOutcome outcome = Join();
    EXPECT_EQ(outcome, (PieceOutcome{What::RebuiltPieceDiffers, 3}));
    EXPECT_EQ(ReadFile(dir / "joined"), "older");
    EXPECT_EQ(FolderEntries(dir.Path()), entries);
}

// A join rebuilds past a planted volume as a repair does: with the files
// listed, and with neither listing nor the index's slice checksums.
TEST_F(RecoveryTransfer, JoinRebuildsPastAPlantedVolume) {
    WriteFile(dir / "Setup.exe.vol00+00.par2", PlantedSlices(ParFilesIn(dir.Path()), '\x33'));
    std::remove(Piece(3).c_str());
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed);
        if (!listed) {
            UnlistAndDropSliceChecksums(t.engine.ChecksumFilePath(), dir / "Setup.exe.par2");
        }
        t.view = RecordingView();
        JoinInto(dir / "joined");
        const TransferOutcome outcome = Join();
        ASSERT_EQ(outcome, What::Done);
        EXPECT_EQ(outcome.rebuilt, std::vector<int32_t>{3});
        EXPECT_TRUE(FileHolds(dir / "joined", bytes));
        fs::remove(dir / "joined");
    }
}

// Disk by disk from one folder: the lost piece's range is left, and the
// recovery files beside the pieces rebuild it; their copies are gone after.
TEST_F(RecoveryTransfer, JoinDiskByDiskFromOneFolderRebuilds) {
    std::remove(Piece(2).c_str());
    std::vector<std::string> entries = FolderEntries(dir.Path());
    const TransferOutcome outcome = t.engine.Join(100000, kMarker, PauseMode::Always);
    ASSERT_EQ(outcome, What::Done);
    EXPECT_EQ(outcome.rebuilt, std::vector<int32_t>{2});
    EXPECT_TRUE(FileHolds(dir / "joined", bytes));
    EXPECT_EQ(t.view.questions.size(), 5u);  // the pieces' disks; the recovery files were in the drive
    entries.push_back("joined");
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(FolderEntries(dir.Path()), entries);
}

// A set split onto disks (each volume of the recovery files on a disk of its
// own, the index beside the checksum file), joined disk by disk.
class RecoveryDisks : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(file, bytes);
        fs::create_directory(drive);
        EngineUnderTest split;
        SplitSetUp(split, file, drive + kPathSeparator + "Setup.exe", true, 2);
        split.view.onQuestion = [&] { TakeOut(); };
        split.Plan({1000, 1000, 1000, 1000, 1000});
        ASSERT_EQ(split.engine.Split(100000, kMarker, PauseMode::Always, false), What::Done);
        TakeOut();
        disks.erase(disks.begin());  // what was in the drive before disk 1
        ASSERT_GE(disks.size(), 7u);  // five pieces and at least two volumes
        fs::remove(file);
    }
    // The disk in the drive goes out, with what is on it.
    void TakeOut() {
        disks.emplace_back();
        for (const auto& name : FolderEntries(drive)) {
            disks.back()[name] = ReadFile(drive + kPathSeparator + name);
            fs::remove(drive + kPathSeparator + name);
        }
    }
    // Answers each disk question with that disk in the drive.
    void PutInDisks(RecordingView& view) {
        view.onQuestion = [this, &view] {
            for (const auto& name : FolderEntries(drive)) fs::remove(drive + kPathSeparator + name);
            const std::string& text = view.questions.back().text;
            const std::size_t at = text.find_first_of("0123456789");
            const auto n = std::size_t(std::stoi(text.substr(at)));
            if (n >= 1 && n <= disks.size())
                for (const auto& [name, content] : disks[n - 1]) WriteFile(drive + kPathSeparator + name, content);
        };
    }
    TransferOutcome JoinDiskByDisk(EngineUnderTest& t) {
        t.engine.SetUseChecksums(true);
        t.engine.SetPiecePrefix(drive + kPathSeparator + "Setup.exe");
        t.engine.SetBigFilePath(file);
        t.engine.SetPieceCount(1);
        PutInDisks(t.view);
        return t.engine.Join(100000, kMarker, PauseMode::Always);
    }

    TempFolder dir;
    const std::string file = dir / "Setup.exe", drive = dir / "drive", bytes = PatternBytes(5000);
    std::vector<std::map<std::string, std::string>> disks;  // disks[n - 1]: disk n's files
};

TEST_F(RecoveryDisks, AJoinAsksForTheRecoveryDisksAfterTheLastPiece) {
    disks[2].clear();                                        // piece 3 lost
    disks[3].begin()->second = PatternBytes(1000, 3);        // piece 4 damaged, found while copying
    std::vector<std::string> before = FolderEntries(dir.Path());
    EngineUnderTest t;
    const TransferOutcome outcome = JoinDiskByDisk(t);
    ASSERT_EQ(outcome, What::Done);
    EXPECT_EQ(outcome.rebuilt, (std::vector<int32_t>{3, 4}));
    EXPECT_TRUE(FileHolds(file, bytes));
    ASSERT_EQ(t.view.questions.size(), disks.size());
    for (std::size_t n = 1; n <= disks.size(); ++n) {
        const std::string question = EnglishText(55) + std::to_string(n) + "?";
        EXPECT_EQ(t.view.questions[n - 1].text,
                  n <= 5 ? question : question + "\nA recovery file goes in this drive.");
    }
    before.push_back("Setup.exe");
    std::sort(before.begin(), before.end());
    EXPECT_EQ(FolderEntries(dir.Path()), before);  // no copy of a recovery file left beside the target
}

TEST_F(RecoveryDisks, TooManyLostIsSaidBeforeAnyRecoveryDiskIsAskedFor) {
    for (const int n : {1, 3, 5}) disks[std::size_t(n - 1)].clear();
    WriteFile(file, "older");
    const std::vector<std::string> before = FolderEntries(dir.Path());
    EngineUnderTest t;
    const TransferOutcome outcome = JoinDiskByDisk(t);
    EXPECT_EQ(outcome, What::RecoveryTooFew);
    EXPECT_EQ(outcome.missingPieces, (std::vector<int32_t>{1, 3, 5}));
    EXPECT_EQ(outcome.rebuildable, 2);
    EXPECT_EQ(t.view.questions.size(), 5u);
    EXPECT_EQ(ReadFile(file), "older");
    EXPECT_EQ(FolderEntries(dir.Path()), before);
}

// A new split over a set with recovery files: done, the older recovery
// files it does not write again are gone; stopped at the end of the copy
// (while the recovery files are made), every file is as it was.
TEST_F(RecoveryTransfer, ASplitOverASetReplacesItsRecoveryFilesOrChangesNothing) {
    for (const bool stop : {true, false}) {
        bytes[7] ^= 1;
        WriteFile(big, bytes);
        const std::map<std::string, std::string> before = Contents(dir.Path());
        t.engine.SetBigFilePath(big);
        t.engine.SetRecovery(1);
        std::atomic<bool> stopFlag{false};
        t.engine.SetStopFlag(&stopFlag);
        t.view.onProgress = [&](int32_t position) { stopFlag = stop && position >= kProgressScale; };
        const TransferOutcome outcome = SplitPlan({1000, 1000, 1000, 1000, 1000});
        t.view.onProgress = nullptr;
        const std::map<std::string, std::string> after = Contents(dir.Path());
        if (stop) {
            EXPECT_EQ(outcome, What::Stopped);
            EXPECT_TRUE(after == before);
            continue;
        }
        ASSERT_EQ(outcome, What::Done);
        const ChecksumRead read = ReadChecksumFile(t.engine.ChecksumFilePath(), kMarker);
        ASSERT_EQ(read.status, ChecksumRead::Status::Ok);
        std::vector<std::string> found;
        for (const auto& f : FindRecoveryFiles(dir.Path(), "Setup.exe")) found.push_back(FileNamePart(f));
        EXPECT_EQ(found, read.set.recoveryNames);
        EXPECT_EQ(after.size(), 7 + found.size());  // big, 5 pieces, sums, the recovery files; no staging
    }
}

// A split onto disks asks for each volume's disk after the last piece's and
// keeps the index beside the checksum file; No to a volume's disk leaves
// the pieces whole and says the recovery files are missing.
TEST(RecoveryOnDisks, EachVolumeGoesToADiskOfItsOwn) {
    for (const int declineVolume : {0, 2}) {
        TempFolder dir;
        const std::string file = dir / "Setup.exe", bytes = PatternBytes(5000);
        WriteFile(file, bytes);
        const std::string drive = dir / "drive";
        fs::create_directory(drive);
        EngineUnderTest t;
        SplitSetUp(t, file, drive + kPathSeparator + "Setup.exe", true, 2);
        std::vector<std::vector<std::string>> disks;  // what each disk holds once taken out
        auto takeOut = [&] {
            disks.push_back(FolderEntries(drive));
            for (const auto& name : disks.back()) fs::remove(drive + kPathSeparator + name);
        };
        t.view.onQuestion = takeOut;
        for (int n = 1; n <= 5 + declineVolume; ++n) t.view.answers.push_back(n != 5 + declineVolume || n == 5);
        t.Plan({1000, 1000, 1000, 1000, 1000});
        const TransferOutcome outcome = t.engine.Split(100000, kMarker, PauseMode::Always, false);
        takeOut();
        const ChecksumRead read = ReadChecksumFile(t.engine.ChecksumFilePath(), kMarker);
        ASSERT_EQ(read.status, ChecksumRead::Status::Ok);
        for (int n = 1; n <= 5; ++n)
            EXPECT_EQ(disks[std::size_t(n)], std::vector<std::string>{"Setup.exe.Quorved_" + std::to_string(n)});
        if (declineVolume > 0) {
            EXPECT_EQ(outcome, What::RecoveryNotWritten);
            EXPECT_TRUE(read.set.recoveryNames.empty());
            ASSERT_EQ(disks.size(), 8u);  // the volume written before the No stays on its disk
            EXPECT_EQ(disks[6].size(), 1u);
            continue;
        }
        ASSERT_EQ(outcome, What::Done);
        const std::size_t volumes = read.set.recoveryNames.size() - 1;
        ASSERT_GE(volumes, 2u);
        EXPECT_EQ(read.set.recoveryNames[0], "Setup.exe.par2");
        EXPECT_TRUE(Exists(dir / "Setup.exe.par2"));  // beside the checksum file and the big file
        ASSERT_EQ(t.view.questions.size(), 5 + volumes);
        EXPECT_EQ(t.view.questions.back().text, EnglishText(55) + std::to_string(5 + volumes) + "?");
        for (std::size_t v = 1; v <= volumes; ++v)
            EXPECT_EQ(disks[5 + v], std::vector<std::string>{read.set.recoveryNames[v]});
    }
}

// The recovery files in a folder by name, with their bytes.
std::map<std::string, std::string> RecoveryFilesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& f : FindRecoveryFiles(folder, "Setup.exe")) files[FileNamePart(f)] = ReadFile(f);
    return files;
}

// A staged split makes its recovery files from the pieces as it writes them,
// whatever the copy mode, hashing or not (a stream's buffer is flushed before
// its bytes are read): they are those of the whole file, and rebuild a piece.
TEST(RecoveryWhileCopying, ASplitsRecoveryFilesAreThoseOfItsPiecesInEveryCopyMode) {
    const std::vector<int64_t> sizes{100000, 100000, 100000, 100000, 60000};
    TempFolder reference;
    WriteFile(reference / "Setup.exe", PatternBytes(460000, 7));
    ASSERT_TRUE(WriteRecoverySet(reference / "Setup.exe", sizes, 2, reference.Path(), "", kMarker).ok);
    const std::map<std::string, std::string> expected = RecoveryFilesIn(reference.Path());
    struct Case {
        int32_t maxBuffer;  // 0: byte by byte; under 64 KiB: through the streams' buffers; else inside the kernel
        bool checksums;
    } const cases[] = {{0, false}, {1000, false}, {1000, true}, {100000, true}, {100000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("memory " + std::to_string(c.maxBuffer) + (c.checksums ? " with checksums" : ""));
        TempFolder dir;
        const std::string file = dir / "Setup.exe", bytes = PatternBytes(460000, 7);
        WriteFile(file, bytes);
        EngineUnderTest t;
        SplitSetUp(t, file, file, c.checksums, 2);
        t.Plan(sizes);
        ASSERT_EQ(t.engine.Split(c.maxBuffer, kMarker, PauseMode::Never, false), What::Done);
        EXPECT_TRUE(RecoveryFilesIn(dir.Path()) == expected);
        if (!c.checksums) continue;
        const ChecksumRead read = ReadChecksumFile(t.engine.ChecksumFilePath(), kMarker);
        ASSERT_EQ(read.status, ChecksumRead::Status::Ok);
        const std::string piece3 = dir / "Setup.exe.Quorved_3";
        std::remove(piece3.c_str());
        const SetRepair repair = RebuildIn(read.set, dir.Path(), {3});
        ASSERT_TRUE(repair.ok) << repair.reason;
        EXPECT_TRUE(FileHolds(piece3, bytes.substr(200000, 100000)));
    }
}

// The big file is read once, by the copy: bytes changed in it right after
// the copy read them never reach the set. The split fails (the file's stamp
// changed), or the set it leaves is whole as written: every piece matches
// the checksum file and the recovery files rebuild the bytes the pieces hold.
TEST(RecoveryWhileCopying, BytesChangedInTheBigFileAfterTheCopyReadThemNeverReachTheSet) {
    for (const int32_t maxBuffer : {0, 1000, 100000}) {
        SCOPED_TRACE("memory " + std::to_string(maxBuffer));
        TempFolder dir;
        const std::string file = dir / "Setup.exe", bytes = PatternBytes(500000, 3);
        WriteFile(file, bytes);
        EngineUnderTest t;
        SplitSetUp(t, file, file, true, 1);
        bool changed = false;
        t.view.onProgress = [&](int32_t position) {
            if (changed || position < kProgressScale * 3 / 10) return;  // piece 1 copied, piece 2 under way
            changed = true;
            std::fstream big(file, std::ios::in | std::ios::out | std::ios::binary);
            std::string other = bytes.substr(0, 100000);
            for (char& c : other) c = char(~c);
            big.write(other.data(), std::streamsize(other.size()));
        };
        t.Plan({100000, 100000, 100000, 100000, 100000});
        const TransferOutcome outcome = t.engine.Split(maxBuffer, kMarker, PauseMode::Never, false);
        ASSERT_TRUE(changed);
        if (outcome == What::BigFileChanged) {
            EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"Setup.exe"});
            continue;
        }
        ASSERT_EQ(outcome, What::Done);
        const ChecksumRead read = ReadChecksumFile(t.engine.ChecksumFilePath(), kMarker);
        ASSERT_EQ(read.status, ChecksumRead::Status::Ok);
        EXPECT_TRUE(BadPieces(read.set, kMarker, dir.Path()).empty());
        const std::string piece1 = dir / "Setup.exe.Quorved_1";
        EXPECT_TRUE(FileHolds(piece1, bytes.substr(0, 100000)));  // as the copy read it
        std::remove(piece1.c_str());
        const SetRepair repair = RebuildIn(read.set, dir.Path(), {1});
        ASSERT_TRUE(repair.ok) << repair.reason;
        EXPECT_TRUE(FileHolds(piece1, bytes.substr(0, 100000)));
    }
}

// More lost than the recovery files can rebuild is said before anything is
// written, naming every missing and every damaged piece.
TEST_F(RecoveryTransfer, JoinWithTooManyLostNamesThemAllAndWritesNothing) {
    for (const int n : {1, 3}) std::remove(Piece(n).c_str());
    WriteFile(Piece(5), "damaged");
    const std::vector<std::string> before = FolderEntries(dir.Path());
    t.view = RecordingView();
    const TransferOutcome outcome = Join();
    EXPECT_EQ(outcome, What::RecoveryTooFew);
    EXPECT_EQ(outcome.missing, 3);
    EXPECT_EQ(outcome.rebuildable, 2);
    EXPECT_EQ(outcome.missingPieces, (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(outcome.damagedPieces, std::vector<int32_t>{5});
    EXPECT_EQ(outcome.pieceStem, "Setup.exe.Quorved_");
    EXPECT_EQ(FolderEntries(dir.Path()), before);
    EXPECT_TRUE(t.view.lines.empty());  // not a piece shown: nothing was under way
}

// Whatever escapes the recovery work on the task's thread (memory running
// out while a volume's disk is asked for) ends the task with a reason, never
// the process; the progress made until then reached the waiting thread.
TEST(RecoveryTaskFailure, WhatTheWorkThrowsBecomesTheTasksFailure) {
    struct Case {
        const char* name;
        std::function<void()> thrower;
        int error;
    } const cases[] = {
        {"memory", [] { throw std::bad_alloc(); }, ENOMEM},
        {"threads", [] { throw std::system_error(EAGAIN, std::generic_category()); }, EAGAIN},
        {"other", [] { throw std::runtime_error("odd"); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::string file = dir / "Setup.exe";
        WriteFile(file, PatternBytes(5000));
        RecoveryCreate request = RecoveryRequest(file, {1000, 1000, 1000, 1000, 1000}, 2, dir.Path());
        request.volumeFolder = dir / "volumes";
        fs::create_directory(request.volumeFolder);
        request.beforeVolume = [&](uint32_t, int64_t) { return c.thrower(), true; };
        RecoveryTask task(std::move(request));
        int progressCalls = 0;
        const RecoveryResult result = task.Wait(nullptr, [&](int64_t done, int64_t total) {
            EXPECT_LE(done, total);
            ++progressCalls;
        });
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.failure.error, c.error);
        EXPECT_FALSE(result.failure.reason.empty());
        EXPECT_GT(progressCalls, 0);
        EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"Setup.exe", "volumes"}));
        EXPECT_TRUE(FolderEntries(dir / "volumes").empty());
    }
}

}  // namespace
