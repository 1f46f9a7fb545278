#include "io/FileAccess.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <filesystem>

namespace {

TEST(PrefixFromPieceName, FindsTheRightMostMarkerFollowedByANumber) {
    struct Case {
        const char* name;
        const char* marker;
        const char* prefix;
    } cases[] = {
        {"/tmp/Setup.exe.Quorved_7", ".Quorved_", "/tmp/Setup.exe"},
        {"/tmp/Setup.exe.Quorved_12", ".Quorved_", "/tmp/Setup.exe"},
        {"/a.Quorved_1.Quorved_3", ".Quorved_", "/a.Quorved_1"},  // the later of two markers
        {"/a.Quorved_1.Quorved_", ".Quorved_", "/a"},             // a marker at the very end is no match
        {"/a.Quorved_", ".Quorved_", ""},
        {"/a.quorved_1", ".Quorved_", ""},  // letter case matters
        {"/tmp/Setup.exe", ".Quorved_", ""},
        {".Quorved_1", ".Quorved_", ""},
        {"x.part9", ".part", "x"},
        {"/tmp/Setup.exe1", "", ""},  // an empty marker never matches
        {"", ".Quorved_", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrefixFromPieceName(c.name, c.marker), c.prefix) << c.name << " with " << c.marker;
    }
}

TEST(PieceNames, PathsAndNumbers) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux names ('/'); WindowsPaths holds the same rules with '\\' and drive letters";
#else
    EXPECT_EQ(MakePiecePrefix("/", "/x/Setup.exe"), "/Setup.exe");
    EXPECT_EQ(MakePiecePrefix("/tmp", "/x/Setup.exe"), "/tmp/Setup.exe");
    EXPECT_EQ(MakePiecePrefix("/ab", "Setup.exe"), "/ab/Setup.exe");  // short folders get their separator
    EXPECT_EQ(MakePiecePrefix("/tmp/", "Setup.exe"), "/tmp/Setup.exe");
    EXPECT_EQ(BigFileTarget("/pieces/Setup.exe", "/big"), "/big/Setup.exe");
    EXPECT_EQ(BigFileTarget("/pieces/Setup.exe", "/"), "/Setup.exe");
    EXPECT_EQ(FileNamePart("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(FileNamePart("c.txt"), "c.txt");
    EXPECT_EQ(FileNamePart("/a/b/"), "");
    EXPECT_EQ(PieceName("/t/S", ".Quorved_", 9), "/t/S.Quorved_9");
    EXPECT_EQ(PieceName("/t/S", ".Quorved_", 10), "/t/S.Quorved_10");
    EXPECT_EQ(PieceName("/t/S", ".Quorved_", 11), "/t/S.Quorved_11");
    EXPECT_EQ(PiecePattern("/t/S", ".Quorved_"), "/t/S.Quorved_*");
    // Choosing piece 5 of a set finds the same prefix as choosing piece 1.
    EXPECT_EQ(PrefixFromPieceName(PieceName("/t/S", ".Quorved_", 5), ".Quorved_"),
              PrefixFromPieceName(PieceName("/t/S", ".Quorved_", 1), ".Quorved_"));
#endif
}

#ifdef _WIN32
TEST(WindowsPaths, DriveRootsAndBackslashes) {
    EXPECT_EQ(MakePiecePrefix("C:\\", "D:\\x\\Setup.exe"), "C:\\Setup.exe");  // a drive root keeps its one '\\'
    EXPECT_EQ(MakePiecePrefix("A:\\", "Setup.exe"), "A:\\Setup.exe");
    EXPECT_EQ(MakePiecePrefix("C:\\ab", "Setup.exe"), "C:\\ab\\Setup.exe");
    EXPECT_EQ(MakePiecePrefix("C:\\tmp\\", "Setup.exe"), "C:\\tmp\\Setup.exe");
    EXPECT_EQ(BigFileTarget("A:\\Setup.exe", "C:\\"), "C:\\Setup.exe");
    EXPECT_EQ(BigFileTarget("A:\\Setup.exe", "C:\\big"), "C:\\big\\Setup.exe");
    EXPECT_EQ(FileNamePart("C:\\a\\b\\c.txt"), "c.txt");
    EXPECT_EQ(FileNamePart("C:\\a\\b\\"), "");
    EXPECT_EQ(PieceName("A:\\S", ".Quorved_", 10), "A:\\S.Quorved_10");
    EXPECT_EQ(PrefixFromPieceName("A:\\Setup.exe.Quorved_7", ".Quorved_"), "A:\\Setup.exe");
    // The drive root, not the drive's current folder ("C:"), holds "C:\\x".
    EXPECT_EQ(FolderOf("C:\\x"), "C:\\");
    EXPECT_EQ(FolderOf("C:\\a\\x"), "C:\\a");
    EXPECT_EQ(FolderOf("\\x"), "\\");
    EXPECT_EQ(FolderOf("x"), ".");
    EXPECT_FALSE(IsUsableMarker("a\\b"));
}

// Names that differ in letter case only are one name here: an older set so
// named is found (and so replaced by a split), its numbers read as written.
TEST(WindowsPaths, PiecesInAnyLetterCase) {
    TempFolder dir;
    WriteFile(dir / "SETUP.EXE.QUORVED_12", "x");
    WriteFile(dir / "Setup.exe.Quorved_x", "x");
    const std::vector<NumberedPiece> found = ExistingPieces(dir / "setup.exe", ".Quorved_");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].number, 12);
    EXPECT_EQ(found[0].name, dir / "SETUP.EXE.QUORVED_12");
}

// A set whose pieces lie in a drive root is found there and joins back.
TEST(WindowsPaths, SetInADriveRoot) {
    TempFolder dir;
    const std::string root = dir.Path().substr(0, 3);
    ASSERT_EQ(root.substr(1), ":\\");
    const std::string prefix = Paths::InFolder(root, FileNamePart(dir.Path()) + "-set");
    if (std::FILE* probe = OpenFile(prefix, "wb")) {
        std::fclose(probe);
        std::remove(prefix.c_str());
    } else {
        GTEST_SKIP() << "cannot write into " << root << " (Wine's C: can be written)";
    }
    WriteFile(dir / "big", PatternBytes(25000));
    EngineUnderTest t;
    t.engine.SetBigFilePath(dir / "big");
    t.engine.SetPiecePrefix(prefix);
    t.Plan({10000, 10000, 5000});
    ASSERT_EQ(t.engine.Split(100000, kMarker, PauseMode::Never, false), What::Done);
    WriteFile(PieceName(prefix, kMarker, 5), "after a gap");
    const DiscoveredPieces found = DiscoverPieces(prefix, kMarker);
    EXPECT_EQ(found.count, 3);
    EXPECT_EQ(found.end, DiscoveredPieces::End::NextMissing);  // piece 5 was seen in the root's listing
    std::remove(PieceName(prefix, kMarker, 5).c_str());
    t.engine.SetPieces(found.count, found.sizes);
    t.engine.SetBigFilePath(dir / "joined");
    EXPECT_EQ(t.engine.Join(100000, kMarker, PauseMode::Never), What::Done);
    EXPECT_TRUE(FileHolds(dir / "joined", PatternBytes(25000)));
    for (int n = 1; n <= 3; ++n) std::remove(PieceName(prefix, kMarker, n).c_str());
}
#endif

TEST(PauseRule, FloppyPrefixesAndModes) {
    struct Case {
        int32_t mode;
        const char* prefix;
        bool pauses;
    } cases[] = {
        {0, "/home/u/x", true},  {0, "A:\\x", true},       {2, "A:\\x", false}, {2, "/home/u/x", false},
        {1, "A:\\x", true},      {1, "B:\\x", true},       {1, "a:\\x", false}, {1, "C:\\x", false},
        {1, "/home/u/x", false}, {1, "", false},           {7, "A:\\x", true},  {7, "/home/u/x", false},
        {-1, "B", true},         {-1, "/home/u/x", false},
    };
    for (const auto& c : cases) {
        // The stored values: 0 Always, 1 Sometimes, 2 Never; others behave as Sometimes.
        EXPECT_EQ(PausesBeforePieces(static_cast<PauseMode>(c.mode), c.prefix), c.pauses)
            << "mode " << c.mode << " prefix " << c.prefix;
    }
    EXPECT_FALSE(IsFloppyPrefix("a:\\x"));
    EXPECT_TRUE(IsFloppyPrefix("B"));
}

TEST(FileSizeOf, MeasuresRegularFilesOnly) {
    TempFolder dir;
    WriteFile(dir / "empty", "");
    WriteFile(dir / "three", "abc");
    EXPECT_EQ(FileSizeOf(dir / "missing"), -1);
    EXPECT_EQ(FileSizeOf(dir / "empty"), 0);
    EXPECT_EQ(FileSizeOf(dir / "three"), 3);
    EXPECT_EQ(FileSizeOf(dir.Path()), -1);
#ifndef _WIN32  // links, FIFOs and /dev: Linux only
    std::filesystem::create_symlink(dir / "three", dir / "link");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(FileSizeOf(dir / "link"), 3);
    EXPECT_EQ(FileSizeOf(dir / "fifo"), -1);  // would block if it were opened
    EXPECT_EQ(FileSizeOf("/dev/zero"), -1);   // would never end
#endif
}

TEST(DiscoverPieces, CountsUpToTheFirstGapIncludingEmptyPieces) {
    TempFolder dir;
    const std::string prefix = dir / "S";
    EXPECT_TRUE(DiscoverPieces(prefix, ".Quorved_").firstMissing);

    WriteFile(prefix + ".Quorved_1", "aaaa");
    WriteFile(prefix + ".Quorved_2", "");
    WriteFile(prefix + ".Quorved_3", "cc");
    WriteFile(prefix + ".Quorved_5", "eeeee");
    const DiscoveredPieces found = DiscoverPieces(prefix, ".Quorved_");
    EXPECT_FALSE(found.firstMissing);
    EXPECT_EQ(found.count, 3);
    EXPECT_EQ(found.sizes, (std::vector<int64_t>{0, 4, 0, 2}));
    EXPECT_EQ(found.total, 6);
#ifndef _WIN32  // where names differing in case only are the same file, they are the same set
    // With another marker the same files are not a set.
    EXPECT_TRUE(DiscoverPieces(prefix, ".quorved_").firstMissing);
#endif
}

}  // namespace

// Any file of a set names it: a piece, the checksum file, the recovery files.
TEST(SetPrefix, AnyFileOfASetNamesIt) {
    const std::string m = ".Quorved_";
    for (const char* name : {"/d/Setup.exe.Quorved_3", "/d/Setup.exe.Quorved_sha256", "/d/Setup.exe.Quorved_sha256~2",
                             "/d/Setup.exe.par2", "/d/Setup.exe.vol00+01.par2", "/d/Setup.exe.vol12+10.par2",
                             "/d/Setup.exe~2.par2", "/d/Setup.exe~2.vol01+02.par2"})
        EXPECT_EQ(SetPrefixOf(name, m), "/d/Setup.exe") << name;
    // A name of its own that merely looks alike stays what it is.
    EXPECT_EQ(SetPrefixOf("/d/notes.vol.par2", m), "/d/notes.vol");
    EXPECT_EQ(SetPrefixOf("/d/a.volx+1.par2", m), "/d/a.volx+1");
    for (const char* name : {"/d/Setup.exe", ".par2", "/d/Setup.par", "/d/x.par2.txt"})
        EXPECT_EQ(SetPrefixOf(name, m), "") << name;
}

TEST(PieceOfPresentSet, NeedsAFileOfTheSetAndPieceOneOrTheChecksumFile) {
    TempFolder dir;
    WriteFile(dir / "S.Quorved_1", "a");
    WriteFile(dir / "S.Quorved_2", "b");
    EXPECT_TRUE(IsPieceOfPresentSet(dir / "S.Quorved_2", ".Quorved_"));
    EXPECT_TRUE(IsPieceOfPresentSet(dir / "S.Quorved_9", ".Quorved_"));  // beyond the set: the join reports it
    for (const char* name : {"S.Quorved_02", "S.Quorved_2x", "S.Quorved_", "T.Quorved_2", "S.Quorved_sha256x"})
        EXPECT_FALSE(IsPieceOfPresentSet(dir / name, ".Quorved_")) << name;
    // The set's checksum and recovery files name it too.
    for (const char* name : {"S.Quorved_sha256", "S.par2", "S.vol03+02.par2"})
        EXPECT_TRUE(IsPieceOfPresentSet(dir / name, ".Quorved_")) << name;
    EXPECT_FALSE(IsPieceOfPresentSet(dir / "S.Quorved_2", ""));
    // Piece 1 lost: the checksum file still says there is a set.
    WriteFile(dir / "U.Quorved_2", "b");
    EXPECT_FALSE(IsPieceOfPresentSet(dir / "U.Quorved_2", ".Quorved_"));
    WriteFile(dir / "U.Quorved_sha256", "");
    EXPECT_TRUE(IsPieceOfPresentSet(dir / "U.Quorved_2", ".Quorved_"));
}
