// The real quorvel-cli keeping sets whole: a split killed while its set takes
// its names, stray files and other sets' names, other users' files in a
// shared folder, a repair that cannot finish, and the modes of new files.
#include "io/Sha256.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

#ifndef _WIN32

// Every entry of a folder with the size and SHA-256 of what it holds
// ("<folder>" for a folder), to compare a folder byte for byte.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const std::string& name : FolderEntries(folder)) {
        const std::string path = folder + kPathSeparator + name;
        if (fs::is_directory(fs::symlink_status(path))) {
            files[name] = "<folder>";
        } else {
            const std::string bytes = ReadFile(path);
            files[name] = std::to_string(bytes.size()) + " " + Sha256Hex(bytes);
        }
    }
    return files;
}

// Staging folders (.~quorvel-XXXXXXXX) in a folder.
std::vector<std::string> StagingFolders(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : FolderEntries(folder))
        if (name.rfind(".~quorvel-", 0) == 0 && fs::is_directory(folder + kPathSeparator + name)) found.push_back(name);
    return found;
}

int Mode(const std::string& name) {
    struct stat info {};
    return lstat(name.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

ino_t Inode(const std::string& name) {
    struct stat info {};
    return lstat(name.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Waits until `name` no longer leads to the file `before` and, when `named`,
// until another file has taken its name; a few seconds at most.
bool ChangesSoon(const std::string& name, ino_t before, bool named) {
    for (int i = 0; i < 10000; ++i) {
        const ino_t now = Inode(name);
        if (now != before && (now != 0 || !named)) return true;
        usleep(1000);
    }
    return false;
}

// Waits until a staging folder in `folder` holds `piece`: the split is
// writing its new set, the disk only told to start on it; a few seconds at most.
bool StagedSoon(const std::string& folder, const std::string& piece) {
    for (int i = 0; i < 10000; ++i) {
        for (const std::string& staging : StagingFolders(folder))
            if (Exists(folder + kPathSeparator + staging + kPathSeparator + piece)) return true;
        usleep(1000);
    }
    return false;
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

#endif

// The new set's pieces are staged, each handed to the disk without waiting
// for it, and waited for all at once; then the older set's files go aside
// from piece 1 on, and the new set takes its names from the last piece (after
// its checksum file) to the first. A kill at any of those moments leaves what
// joins to the old file, to the new one, or fails saying what the split left;
// and the next split mends it all.
TEST(CliKeeping, AKillWhileTheNewSetTakesItsNamesNeverJoinsToAMix) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: a real process killed";
#else
    const std::string oldBytes = PatternBytes(2000000, 3), newBytes = PatternBytes(2000000, 4);
    for (const bool checksums : {true, false}) {
        const std::vector<std::string> flags =
            checksums ? std::vector<std::string>{} : std::vector<std::string>{"--no-checksum"};
        // The older set's pieces after the new ones only a checksum file proves.
        const std::string olderSize = checksums ? "8000" : "10000";
        // The first name the new set takes: its checksum file, or its last piece.
        const std::string firstPlaced = checksums ? "f.Quorved_sha256" : "f.Quorved_200";
        enum class After { Staged, Aside, Placing };
        const std::vector<std::pair<After, int>> kills{
            {After::Staged, 0}, {After::Staged, 5},   {After::Staged, 40},  {After::Aside, 0},   {After::Aside, 200},
            {After::Placing, 0}, {After::Placing, 20}, {After::Placing, 350}, {After::Placing, 700}};
        for (const auto& [after, delay] : kills) {
            const bool placing = after == After::Placing;
            SCOPED_TRACE(std::string(checksums ? "checksums" : "no checksums") + ", killed " + std::to_string(delay) +
                         " ms after " +
                         (after == After::Staged  ? "the first new piece was staged"
                          : after == After::Aside ? "piece 1 went aside"
                                                  : "the new set began to take its names"));
            TempFolder dir;
            const std::string f = dir / "f";
            // On a busy machine the watcher may sleep through the moment and
            // the split end whole: then the case starts again.
            bool caught = false;
            for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
                WriteFile(f, oldBytes);
                ASSERT_EQ(RunProcess(With({"split", f, "--size", olderSize}, flags)).status, 0);
                WriteFile(f, newBytes);
                const std::string watched = placing ? dir / firstPlaced : dir / "f.Quorved_1";
                const ino_t older = Inode(watched);
                CliProcess cli(dir.Path(), With({"split", "f", "--size", "10000"}, flags), {"", "3"});
                caught = after == After::Staged ? StagedSoon(dir.Path(), "f.Quorved_1")
                                                : ChangesSoon(watched, older, placing);
                if (caught) usleep(static_cast<useconds_t>(delay) * 1000);
                cli.Signal(SIGKILL);
                cli.Wait();
            }
            ASSERT_TRUE(caught) << "the split was never caught at that moment";
            const std::vector<std::string> left = StagingFolders(dir.Path());
            const std::string leftNote =
                left.empty() ? ""
                             : "An interrupted split of this file left " + dir / left[0] + " beside the smaller files.";
            std::string some;  // a piece there, or else the checksum file, as a user would name one
            for (int n = 1; n <= 250 && some.empty(); ++n)
                if (Exists(dir / ("f.Quorved_" + std::to_string(n)))) some = dir / ("f.Quorved_" + std::to_string(n));
            if (some.empty() && Exists(dir / "f.Quorved_sha256")) some = dir / "f.Quorved_sha256";
            if (!some.empty()) {
                const Outcome checked = RunProcess({"check", some});
                const Outcome joined = RunProcess(With({"join", some, "--to", dir / "joined"}, flags));
                if (joined.status == 0) {
                    const std::string got = ReadFile(dir / "joined");
                    EXPECT_TRUE(got == oldBytes || got == newBytes) << "a join of neither file";
                    EXPECT_TRUE(StagingFolders(dir.Path()).empty()) << "a whole join leaves no leftovers";
                    fs::remove(dir / "joined");
                } else {
                    EXPECT_FALSE(Exists(dir / "joined"));
                    EXPECT_FALSE(left.empty()) << "a set that does not join, and no staging folder: " << joined.err;
                    EXPECT_NE(joined.err.find(leftNote), std::string::npos) << joined.err;
                }
                if (checked.status == 0) {
                    EXPECT_EQ(joined.status, 0) << "check passed a set that does not join: " << joined.err;
                } else if (!left.empty()) {
                    EXPECT_NE(checked.err.find(leftNote), std::string::npos) << checked.err;
                }
            }
            const Outcome again = RunProcess(With({"split", f, "--size", "10000"}, flags));
            EXPECT_EQ(again.status, 0) << again.err;
            EXPECT_TRUE(StagingFolders(dir.Path()).empty());
            ASSERT_EQ(RunProcess(With({"join", dir / "f.Quorved_1", "--to", dir / "joined"}, flags)).status, 0);
            EXPECT_TRUE(FileHolds(dir / "joined", newBytes));
        }
    }
#endif
}

// Without a checksum file nothing proves a piece after the new set to be the
// older set's: the split refuses to leave it for a join to take in.
TEST(CliKeeping, StrayPiecesAfterASetWithoutChecksumsGoOnlyWhenAsked) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: real processes";
#else
    TempFolder dir;
    const std::string f = dir / "f";
    WriteFile(f, PatternBytes(25000, 1));
    ASSERT_EQ(RunProcess({"split", f, "--size", "10000", "--no-checksum"}).status, 0);
    const std::string shorter = PatternBytes(15000, 2);
    WriteFile(f, shorter);
    const auto before = Snapshot(dir.Path());
    Outcome o = RunProcess({"split", f, "--size", "10000", "--no-checksum"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("1 file named like this set's smaller files would follow the new ones, and no earlier split "
                          "of this file is known to have made it: " +
                          dir / "f.Quorved_3" + ". Nothing was changed.\nTo remove it, split again with --remove-stray.\n"));
    EXPECT_EQ(Snapshot(dir.Path()), before);

    o = RunProcess({"split", f, "--size", "10000", "--no-checksum", "--remove-stray"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"f", "f.Quorved_1", "f.Quorved_2"}));
    o = RunProcess({"join", dir / "f.Quorved_1", "--no-checksum", "--to", dir / "X"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(FileHolds(dir / "X", shorter));
#endif
}

// A folder everyone may write in, with the sticky bit, as /tmp is; runs as
// root, which acts as `nobody` through runuser.
class CliKeepingShared : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "Linux only: users and modes";
#else
        if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
        char name[] = "/tmp/quorvel-shared-XXXXXX";
        if (mkdtemp(name) == nullptr) GTEST_SKIP() << "no folder in /tmp";
        shared = name;
        chmod(name, 01777);
        if (Shell("runuser -u nobody -- test -w " + shared + " 2>/dev/null") != 0)
            GTEST_SKIP() << "runuser cannot act as nobody";
#endif
    }
    void TearDown() override {
        std::error_code ec;
        if (!shared.empty()) fs::remove_all(shared, ec);
    }
    std::string In(const std::string& name) const { return shared + "/" + name; }

    std::string shared;
};

#ifndef _WIN32

// Another user's split may not move root's files aside in a sticky folder:
// refused where it may not write the pieces, or put back where a rename
// fails, even after it moved a piece of its own aside.
TEST_F(CliKeepingShared, AnotherUsersSplitThatCannotMoveTheSetAsideChangesNothing) {
    const std::string f = In("f");
    for (const auto& [mode, ownPiece1] :
         std::vector<std::pair<int, bool>>{{0644, false}, {0666, false}, {0666, true}}) {
        SCOPED_TRACE("mode 0" + std::to_string(mode / 64) + std::to_string(mode / 8 % 8) + std::to_string(mode % 8) +
                     (ownPiece1 ? ", piece 1 nobody's" : ""));
        for (const auto& name : FolderEntries(shared)) fs::remove_all(In(name));  // new files keep older modes
        WriteFile(f, PatternBytes(25000, 6));
        chmod(f.c_str(), static_cast<mode_t>(mode));
        ASSERT_EQ(RunProcess({"split", f, "--size", "10000", "--recovery", "1"}).status, 0);
        if (ownPiece1) {
            ASSERT_EQ(Shell("chown nobody " + In("f.Quorved_1")), 0);
        }
        const auto before = Snapshot(shared);
        const Outcome o = RunProcess({"split", f, "--size", "10000", "--recovery", "1"}, {"nobody", ""});
        EXPECT_EQ(o.status, 1);
        // Piece 1 goes aside first: with it nobody's, piece 2 is the one that cannot.
        EXPECT_NE(o.err.find("Could not create smaller file number " + std::string(ownPiece1 ? "2" : "1")),
                  std::string::npos)
            << o.err;
        if (mode == 0666) {
            EXPECT_NE(o.err.find("Permission denied."), std::string::npos) << o.err;
        }
        EXPECT_EQ(Snapshot(shared), before);  // nor a staging folder of nobody's
    }
}

// What looks like a staging folder of the set but is another user's is no
// leftover of root's: no split or join of root's removes it.
TEST_F(CliKeepingShared, AnotherUsersStagingFolderStays) {
    const std::string theirs = In(".~quorvel-notmine1");
    ASSERT_EQ(
        Shell("runuser -u nobody -- sh -c 'mkdir " + theirs + " && printf theirs >" + theirs + "/big.bin.Quorved_1'"),
        0);
    const std::string big = In("big.bin");
    WriteFile(big, PatternBytes(25000, 7));
    Outcome o = RunProcess({"split", big, "--size", "10000"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(ReadFile(theirs + "/big.bin.Quorved_1"), "theirs");
    WriteFile(In("big.bin.Quorved_4"), "stray");
    o = RunProcess({"split", big, "--size", "10000"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find(In("big.bin.Quorved_4")), std::string::npos) << o.err;
    EXPECT_EQ(ReadFile(theirs + "/big.bin.Quorved_1"), "theirs");
    o = RunProcess({"join", In("big.bin.Quorved_1"), "--to", In("joined")});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(ReadFile(theirs + "/big.bin.Quorved_1"), "theirs");
}

// A link another user planted after the last piece would make a join that
// counts pieces read a file only root may read into the joined file.
TEST_F(CliKeepingShared, AnotherUsersLinkAfterTheSetIsNotRead) {
    WriteFile(In("set"), PatternBytes(25000, 8));
    ASSERT_EQ(RunProcess({"split", In("set"), "--size", "10000", "--no-checksum"}).status, 0);
    WriteFile(In("secret"), "root's only");
    chmod(In("secret").c_str(), 0600);
    ASSERT_EQ(Shell("runuser -u nobody -- ln -s secret " + In("set.Quorved_4")), 0);
    const auto before = FolderEntries(shared);
    const Outcome o = RunProcess({"join", In("set.Quorved_1"), "--no-checksum", "--to", In("joined")});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said(In("set.Quorved_4") + " is a link that belongs to another user; it is not read.\n"));
    EXPECT_EQ(FolderEntries(shared), before);

    // A checksummed set whose lost piece 2 another user put back as a link:
    // check does not read it either.
    WriteFile(In("sums"), PatternBytes(25000, 9));
    ASSERT_EQ(RunProcess({"split", In("sums"), "--size", "10000"}).status, 0);
    fs::remove(In("sums.Quorved_2"));
    ASSERT_EQ(Shell("runuser -u nobody -- ln -s secret " + In("sums.Quorved_2")), 0);
    const Outcome checked = RunProcess({"check", In("sums.Quorved_1")});
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.err, Said(In("sums.Quorved_2") +
                               " is a link that belongs to another user; it is not read.\n"
                               "There are no usable recovery files for this set.\n"));
}

#endif

// A folder where piece 3 belongs: piece 2 is still mended, and said to be.
TEST(CliKeeping, ARepairSaysWhatItPutInPlaceAndWhatItCouldNot) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: real processes";
#else
    TempFolder dir;
    WriteFile(dir / "f", PatternBytes(300000, 9));
    ASSERT_EQ(RunProcess({"split", dir / "f", "--size", "100000", "--recovery", "2"}).status, 0);
    const std::string second = dir / "f.Quorved_2", third = dir / "f.Quorved_3";
    const std::string piece2 = ReadFile(second);
    std::string damaged = piece2;
    damaged[500] ^= 1;
    WriteFile(second, damaged);
    fs::remove(third);
    fs::create_directory(third);
    WriteFile(third + "/inside", "kept");
    const auto before = FolderEntries(dir.Path());
    const Outcome o = RunProcess({"repair", dir / "f.Quorved_1"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "Rebuilt from the recovery files and checked: smaller file 2.\n");
    EXPECT_EQ(o.err.rfind(Said("Smaller file 3 was rebuilt but could not be put in place.\n"), 0), 0u) << o.err;
    EXPECT_EQ(o.err.find("Nothing was changed"), std::string::npos) << o.err;
    EXPECT_TRUE(FileHolds(second, piece2));
    EXPECT_EQ(FolderEntries(third), std::vector<std::string>{"inside"});
    EXPECT_EQ(ReadFile(third + "/inside"), "kept");
    EXPECT_EQ(FolderEntries(dir.Path()), before);  // no temporary left
#endif
}

TEST(CliKeeping, NewAndRepairedFilesKeepTheModesOfThoseTheyReplace) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: permission bits";
#else
    TempFolder dir;
    const std::string f = dir / "f";
    WriteFile(f, PatternBytes(25000, 10));
    chmod(f.c_str(), 0600);
    ASSERT_EQ(RunProcess({"split", f, "--size", "10000", "--recovery", "1"}).status, 0);
    const auto entries = FolderEntries(dir.Path());
    ASSERT_GE(entries.size(), 6u);  // f, three pieces, the checksum file, recovery files
    for (const auto& name : entries) {
        EXPECT_EQ(Mode(dir / name), 0600) << name;
        if (name != "f") chmod((dir / name).c_str(), 0640);
    }
    const std::string bytes = PatternBytes(25000, 11);
    WriteFile(f, bytes);
    ASSERT_EQ(RunProcess({"split", f, "--size", "10000", "--recovery", "1"}).status, 0);
    EXPECT_EQ(FolderEntries(dir.Path()), entries);
    for (const auto& name : entries) EXPECT_EQ(Mode(dir / name), name == "f" ? 0600 : 0640) << name;

    WriteFile(dir / "f.Quorved_2", "damaged");
    const Outcome o = RunProcess({"repair", dir / "f.Quorved_1"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(FileHolds(dir / "f.Quorved_2", bytes.substr(10000, 10000)));
    EXPECT_EQ(Mode(dir / "f.Quorved_2"), 0640);
#endif
}

// A split writes only names of its own set: another set's checksum file
// under its marker, or recovery files of a name that ends like its own.
TEST(CliKeeping, ASplitNeverTakesTheNamesOfAnotherSet) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: a backslash in a name";
#else
    TempFolder dir;
    WriteFile(dir / "big.bin", PatternBytes(300000, 12));
    ASSERT_EQ(RunProcess({"split", dir / "big.bin", "--size", "100K"}).status, 0);
    WriteFile(dir / "big.bin.Quorved", PatternBytes(250000, 13));
    auto before = Snapshot(dir.Path());
    Outcome o = RunProcess({"split", dir / "big.bin.Quorved", "--size", "100K", "--marker", "_"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("These files belong to another set and would be replaced: " + dir / "big.bin.Quorved_sha256" +
                         ". Nothing was changed.\n"));
    EXPECT_EQ(Snapshot(dir.Path()), before);

    WriteFile(dir / "slash.bin", PatternBytes(30000, 14));
    WriteFile(dir / "back\\slash.bin", PatternBytes(30000, 15));
    ASSERT_EQ(RunProcess({"split", dir / "slash.bin", "--size", "10000", "--recovery", "1"}).status, 0);
    before = Snapshot(dir.Path());
    o = RunProcess({"split", dir / "back\\slash.bin", "--size", "10000", "--recovery", "1"});
    EXPECT_EQ(o.status, 0) << o.err;
    const auto after = Snapshot(dir.Path());
    for (const auto& [name, bytes] : before) EXPECT_EQ(after.count(name) ? after.at(name) : "<gone>", bytes) << name;
    o = RunProcess({"check", dir / "back\\slash.bin.Quorved_1"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out,
              "Smaller files checked: 3, all intact.\n" + dir / "back\\slash.bin" + " matches its checksum as well.\n");
#endif
}

}  // namespace
