#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <sys/wait.h>

namespace {

TEST(CliCommandLine, RefusesWhatItCannotUnderstand) {
    const std::vector<std::vector<std::string>> bad{
        {},
        {"cut", "f"},
        {"split", "f"},                                   // neither --size nor --free-space
        {"split", "f", "--size", "10", "--free-space"},   // both
        {"split", "f", "--size", "0"},
        {"split", "f", "--size", "-5"},
        {"split", "f", "--size", "1k"},
        {"split", "f", "--size", " 12"},
        {"split", "f", "--size", "99999999999999999999"},
        {"split", "f", "--size"},
        {"split", "f", "g", "--size", "10"},
        {"split", "--size", "10"},
        {"split", "f", "--size", "10", "--max-ram", "2147483648"},
        {"split", "f", "--size", "10", "--marker", ""},
        {"split", "f", "--size", "10", "--marker", "a/b"},
        {"join", "p", "--marker", "a\\b"},
        {"join", "p", "--marker=x\ty"},
        {"join", "p", "--marker", "\x7f"},
        {"split", "f", "--size", "10", "--pause", "often"},
        {"split", "f", "--size", "10", "--to", "x"},
        {"split", "f", "--size", "10", "--verbose"},
        {"join", "p", "--size", "10"},
        {"join", "p", "--into", "d"},
        {"join"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        const ParsedCommandLine parsed = ParseCommandLine(args);
        EXPECT_FALSE(parsed.ok) << joined;
        EXPECT_FALSE(parsed.error.empty()) << joined;
    }
}

TEST(CliCommandLine, ReadsEveryOption) {
    ParsedCommandLine p = ParseCommandLine(
        {"split", "--into=/p", "big", "--size", "9223372036854775807", "--marker", ".part", "--max-ram", "0"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.command, CliOptions::Command::Split);
    EXPECT_EQ(p.options.file, "big");
    EXPECT_EQ(p.options.size, INT64_MAX);
    EXPECT_EQ(p.options.into, "/p");
    EXPECT_EQ(p.options.marker, ".part");
    EXPECT_EQ(p.options.maxRam, 0);
    EXPECT_EQ(p.options.pauseMode, 1);

    p = ParseCommandLine({"split", "big", "--free-space", "--pause", "never"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.freeSpace);
    EXPECT_EQ(p.options.pauseMode, 2);

    p = ParseCommandLine({"join", "--to", "x", "--", "-odd.Quorved_1"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.file, "-odd.Quorved_1");
    EXPECT_EQ(p.options.to, "x");
    EXPECT_FALSE(ParseCommandLine({"join", "a", "--", "--to", "x"}).ok);  // after "--" everything is a name

    p = ParseCommandLine({"join", "s.Quorved_3", "--to", "out", "--max-ram=2147483647"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.to, "out");
    EXPECT_EQ(p.options.maxRam, INT32_MAX);
}

struct Outcome {
    int status;
    std::string out, err;
};

Outcome RunQuorvel(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = RunCli(args, in, out, err, false);
    return {status, out.str(), err.str()};
}

TEST(Cli, ReportsOutcomesInTheProgramsTexts) {
    TempFolder dir;
    const std::string file = dir / "Setup.exe";
    WriteFile(file, PatternBytes(300000));

    Outcome o = RunQuorvel({"split", file, "--size", "100000"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "The file is splitted!\nNr. of files: 3\n");

    o = RunQuorvel({"join", dir / "Setup.exe.Quorved_2", "--to", dir / "restored"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "The file is restored!\n");
    EXPECT_TRUE(FileHolds(dir / "restored", ReadFile(file)));

    o = RunQuorvel({"join", dir / "Setup.exe.Quorved_1", "--to", dir / "no/such/restored"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "Possible invalid path! Could not recreate the big file.\n");

    o = RunQuorvel({"join", dir / "restored"});  // no marker in the name
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "File is missing: .Quorved_1\n");

    o = RunQuorvel({"split", file, "--size", "9"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "Too many files!\n");
}

TEST(Cli, AsksForDisksOnTheTerminal) {
    TempFolder dir;
    const std::string file = dir / "f";
    WriteFile(file, PatternBytes(2000));
    const Outcome o = RunQuorvel({"split", file, "--size", "1000", "--pause", "always"}, "y\nn\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "Change diskette: Ready for diskette/file number 1? [y/n] "
              "Change diskette: Ready for diskette/file number 2? [y/n] "
              "Not all diskettes were entered.\n");
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"f", "f.Quorved_1"}));
}

TEST(Cli, BadInputTouchesNoFile) {
    TempFolder dir;
    WriteFile(dir / "f", "data");
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{"split", dir / "missing", "--size", "10"}, 1},
        {{"split", dir / "f", "--size", "0"}, 2},
        {{"split", dir / "f", "--size", "ten"}, 2},
        {{"split", dir / "f", "--size", "2", "--bogus"}, 2},
        {{"split", dir / "f", "--size", "2", "--marker", "/"}, 2},
        {{"split", dir / "f", "--size", "2", "--marker", "\n"}, 2},
        {{"split", dir / "f", "--size", "2", "--into", dir / "nowhere"}, 1},
        {{"split", dir.Path(), "--size", "2"}, 1},
        {{"join", dir / "f.Quorved_1"}, 1},
    };
    for (const auto& [args, status] : cases) {
        const Outcome o = RunQuorvel(args);
        EXPECT_EQ(o.status, status) << args[0] << " " << args[1];
        EXPECT_FALSE(o.err.empty());
        EXPECT_TRUE(o.out.empty());
    }
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"f"}));
    EXPECT_TRUE(FileHolds(dir / "f", "data"));
}

// Runs a shell command; its exit status.
int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Cli, PiecesEqualThoseOfSplitAndCatJoinsThem) {
    struct Case {
        int64_t fileSize;
        const char* pieceSize;
        const char* maxRam;
    } cases[] = {
        {1000003, "65536", "100000"},  // a short last piece
        {131072, "65536", "100000"},   // an exact multiple: no empty last piece
        {5000, "65536", "100000"},     // one piece holding everything
        {70001, "7000", "0"},          // byte by byte
        {70001, "7000", "3"},          // blocks smaller than a piece
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.fileSize) + " in pieces of " + c.pieceSize + ", max-ram " + c.maxRam);
        TempFolder dir;
        const std::string file = dir / "big";
        WriteFile(file, PatternBytes(c.fileSize, 5));
        ASSERT_EQ(Shell("mkdir " + dir / "ours" + " " + dir / "theirs"), 0);
        ASSERT_EQ(Shell(std::string(QUORVEL_CLI) + " split '" + file + "' --size " + c.pieceSize + " --into '" +
                        dir / "ours" + "' --max-ram " + c.maxRam + " >/dev/null"),
                  0);
        ASSERT_EQ(Shell("cd '" + dir / "theirs" + "' && split -b " + c.pieceSize + " -d -a 4 '" + file + "' x"), 0);
        const std::vector<std::string> theirs = FolderEntries(dir / "theirs");
        ASSERT_EQ(FolderEntries(dir / "ours").size(), theirs.size());
        std::string cat = "cat";
        for (std::size_t n = 1; n <= theirs.size(); ++n) {
            const std::string ours = dir / "ours/big.Quorved_" + std::to_string(n);
            EXPECT_TRUE(FileHolds(ours, ReadFile(dir / "theirs/" + theirs[n - 1]))) << "piece " << n;
            cat += " '" + ours + "'";
        }
        ASSERT_EQ(Shell(cat + " > '" + dir / "catted" + "'"), 0);
        EXPECT_TRUE(FileHolds(dir / "catted", ReadFile(file)));
        ASSERT_EQ(Shell(std::string(QUORVEL_CLI) + " join '" + dir / "ours/big.Quorved_1" + "' --to '" +
                        dir / "joined" + "' --max-ram " + c.maxRam + " >/dev/null"),
                  0);
        EXPECT_TRUE(FileHolds(dir / "joined", ReadFile(file)));
    }
}

}  // namespace
