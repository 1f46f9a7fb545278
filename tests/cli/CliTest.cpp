#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/StopSignals.h"
#include "io/Sha256.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <tuple>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

TEST(CliCommandLine, RefusesWhatItCannotUnderstand) {
    const std::vector<std::vector<std::string>> bad{
        {},
        {"cut", "f"},
        {"split", "f"},                                  // neither --size nor --free-space
        {"split", "f", "--size", "10", "--free-space"},  // both
        {"split", "f", "--size", "0"},
        {"split", "f", "--size", "-5"},
        {"split", "f", "--size", "1.44MB"},
        {"split", "f", "--size", "0M"},
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
        {"join", "p", "--marker", "1"},  // a digit at the end runs into the piece number
        {"split", "f", "--size", "10", "--marker", ".part9"},
        {"split", "f", "--size", "10", "--pause", "often"},
        {"split", "f", "--size", "10", "--to", "x"},
        {"split", "f", "--size", "10", "--verbose"},
        {"join", "p", "--size", "10"},
        {"join", "p", "--into", "d"},
        {"join"},
        {"check"},
        {"check", "p", "q"},
        {"check", "p", "--to", "x"},
        {"check", "p", "--max-ram", "0"},
        {"split", "f", "--size", "10", "--recovery", "32769"},
        {"split", "f", "--size", "10", "--recovery", "-1"},
        {"join", "p", "--recovery", "1"},
        {"repair", "p", "--to", "x"},
        {"repair"},
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
    EXPECT_EQ(p.options.pauseMode, PauseMode::Sometimes);

    p = ParseCommandLine({"split", "big", "--free-space", "--pause", "never"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.freeSpace);
    EXPECT_EQ(p.options.pauseMode, PauseMode::Never);

    p = ParseCommandLine({"join", "--to", "x", "--", "-odd.Quorved_1"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.file, "-odd.Quorved_1");
    EXPECT_EQ(p.options.to, "x");
    EXPECT_FALSE(ParseCommandLine({"join", "a", "--", "--to", "x"}).ok);  // after "--" everything is a name

    p = ParseCommandLine({"check", "s.part3", "--marker", ".part"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.command, CliOptions::Command::Check);
    EXPECT_EQ(p.options.marker, ".part");

    p = ParseCommandLine({"split", "big", "--size", "10", "--recovery", "8"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.recovery, 8);
    p = ParseCommandLine({"repair", "s.part3", "--marker", ".part"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.command, CliOptions::Command::Repair);

    p = ParseCommandLine({"join", "s.Quorved_3", "--to", "out", "--max-ram=2147483647"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.to, "out");
    EXPECT_EQ(p.options.maxRam, INT32_MAX);
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
    EXPECT_EQ(o.out, "The file is restored and checked!\n");
    EXPECT_TRUE(FileHolds(dir / "restored", ReadFile(file)));

    o = RunQuorvel({"join", dir / "Setup.exe.Quorved_1", "--to", dir / "no/such/restored"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("Possible invalid path! Could not recreate the big file.\n"));

    o = RunQuorvel({"split", file, "--size", "9"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              Said("Too many files! A set has at most 32760 smaller files: for this file each must hold at least 10 "
                   "bytes.\n"));
}

TEST(Cli, SaysWhyItRefusesAnInput) {
    TempFolder dir;
    WriteFile(dir / "big.bin", "data");
    WriteFile(dir / "empty", "");
    const std::string folder = dir / "sub.Quorved_1";
    std::filesystem::create_directory(folder);
    const std::string notPiece =
        (dir / "big.bin") + " is not one of a set's smaller files: its name does not contain \".Quorved_\".\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"split", folder, "--size", "10"}, folder + " is a folder, not a file.\n"},
        {{"join", folder}, folder + " is a folder, not a file.\n"},
        {{"check", folder}, folder + " is a folder, not a file.\n"},
        {{"join", dir / "big.bin"}, notPiece},
        {{"check", dir / "big.bin"}, notPiece},
        {{"split", dir / "empty", "--size", "10"}, (dir / "empty") + " is empty; there is nothing to split.\n"},
        {{"split", dir / "empty", "--free-space"}, (dir / "empty") + " is empty; there is nothing to split.\n"},
    };
    for (const auto& [args, err] : cases) {
        const Outcome o = RunQuorvel(args);
        EXPECT_EQ(o.status, 1) << args[0] << " " << args[1];
        EXPECT_EQ(o.err, Said(err));
        EXPECT_TRUE(o.out.empty());
    }
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"big.bin", "empty", "sub.Quorved_1"}));
}

TEST(Cli, HelpVersionAndUsageErrors) {
    Outcome o = RunQuorvel({"--help"});
    EXPECT_EQ(o.status, 0);
    // Every exit status, and the size units with their base.
    for (const char* part : {"\n  0 ", "\n  1 ", "\n  2 ", "128+n", "130", "143", "129", "powers of 1024", "700MiB"})
        EXPECT_NE(o.out.find(part), std::string::npos) << part;
    std::istringstream lines(o.out);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;

    // Each command's own help, wherever the option stands and whatever else the line holds.
    for (const char* command : {"split", "join", "check", "repair"}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{command, "--help"}, {command, "f", "--bogus", "-h"}}) {
            o = RunQuorvel(args);
            EXPECT_EQ(o.status, 0) << command;
            EXPECT_EQ(o.out.rfind(std::string("usage: quorvel-cli ") + command + " ", 0), 0u) << o.out;
            EXPECT_NE(o.out.find("--marker TEXT"), std::string::npos) << command;
            EXPECT_TRUE(o.err.empty()) << o.err;
            std::istringstream help(o.out);
            for (std::string line; std::getline(help, line);) EXPECT_LE(line.size(), 80u) << line;
        }
    }
    EXPECT_NE(RunQuorvel({"split", "-h"}).out.find("--recovery K"), std::string::npos);
    EXPECT_EQ(RunQuorvel({"join", "-h"}).out.find("--recovery"), std::string::npos);
    // After "--" it is a file's name.
    EXPECT_EQ(RunQuorvel({"check", "--", "--help"}).status, 1);

    o = RunQuorvel({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "quorvel-cli (The File Quorvel) 1.7\n");

    for (const std::vector<std::string>& args : {std::vector<std::string>{"split", "f", "--bogus"}, {"cut"}, {}}) {
        o = RunQuorvel(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_NE(o.err.find("(see quorvel-cli --help)\n"), std::string::npos) << o.err;
    }
}

// The progress line fits the terminal: the piece's path gives way at its
// start, so that the file's name and number stay.
TEST(Cli, ProgressStaysOnOneTerminalLine) {
    const std::string progress = "37% \xC2\xB7 0.37 of 1.00 GB \xC2\xB7 piece 5 of 737";  // 38 columns
    const std::string path = "/home/user/archive/2026/Setup.exe.Quorved_5";               // 43 columns
    const std::vector<std::tuple<int, std::string>> cases{
        {100, progress + " \xC2\xB7 " + path},
        {80, progress + " \xC2\xB7 \xE2\x80\xA6user/archive/2026/Setup.exe.Quorved_5"},
        {63, progress + " \xC2\xB7 \xE2\x80\xA6/Setup.exe.Quorved_5"},
        {60, progress + " \xC2\xB7 \xE2\x80\xA6tup.exe.Quorved_5"},
        {48, progress},                      // no room left for a path
        {20, "37% \xC2\xB7 0.37 of 1.00 "},  // cut at the end
    };
    for (const auto& [width, line] : cases) EXPECT_EQ(ProgressLine(progress, path, width), line) << width;

    TempFolder dir;
    WriteFile(dir / "big", PatternBytes(3000000));
    std::istringstream in;
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"split", dir / "big", "--size", "1M", "--max-ram", "1000"}, in, out, err, 50), 0);
    const std::string shown = err.str();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1);  // only where the transfer ended
    std::istringstream updates(shown.substr(0, shown.size() - 1));
    for (std::string update; std::getline(updates, update, '\r');) {
        int columns = 0;
        for (char c : update) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        EXPECT_LT(columns, 50) << update;
    }
    EXPECT_NE(shown.find("100% \xC2\xB7 2.86 of 2.86 MB"), std::string::npos);
    EXPECT_NE(shown.find("file 3 of 3"), std::string::npos);

    // check and repair show the same line while they hash the pieces.
    std::ostringstream checkOut, checkErr;
    ASSERT_EQ(RunCli({"check", dir / "big.Quorved_2"}, in, checkOut, checkErr, 50), 0);
    EXPECT_NE(checkErr.str().find("\r100%"), std::string::npos) << checkErr.str();
    EXPECT_EQ(checkErr.str().back(), '\n');
    EXPECT_EQ(checkOut.str().rfind("Smaller files checked: 3, all intact.", 0), 0u);

    // Quiet: no progress and no report of success, but every error.
    std::ostringstream quietOut, quietErr;
    ASSERT_EQ(RunCli({"join", dir / "big.Quorved_2", "--to", dir / "again", "-q"}, in, quietOut, quietErr, 50), 0);
    EXPECT_EQ(quietOut.str() + quietErr.str(), "");
    EXPECT_EQ(ReadFile(dir / "again"), PatternBytes(3000000));
    ASSERT_EQ(RunCli({"check", "--quiet", dir / "big.Quorved_9"}, in, quietOut, quietErr, 50), 1);
    EXPECT_EQ(quietOut.str(), "");
    EXPECT_NE(quietErr.str().find("big.Quorved_9"), std::string::npos) << quietErr.str();
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
              "quorvel-cli: Not all diskettes were entered.\n");  // no echo of the answer here
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"f"}));
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

    // A refusal says what is wrong with the word it could not use.
    const std::vector<std::pair<std::vector<std::string>, std::string>> said{
        {{"split", dir / "f", "--size", "2", "--into", dir / "nowhere"},
         "quorvel-cli: The folder " + (dir / "nowhere") + " does not exist.\n"},
        {{"split", dir / "f", "--size", "2", "--into", dir / "f"},
         "quorvel-cli: " + (dir / "f") + " is a file, not a folder.\n"},
        {{"split", dir / "f", "--size", "700", "MB"},
         "quorvel-cli: unexpected argument 'MB' (sizes are written without a space: 700MB) (see quorvel-cli --help)\n"},
        {{"split", "--size", "700", "MB", dir / "f"},
         "quorvel-cli: unexpected argument 'MB' (sizes are written without a space: 700MB) (see quorvel-cli --help)\n"},
        {{"split", dir / "f", "g", "--size", "10"}, "quorvel-cli: unexpected argument 'g' (see quorvel-cli --help)\n"},
        {{"join", dir / "f.Quorved_1", "--to", dir.Path()}, "quorvel-cli: " + dir.Path() + " is a folder, not a file.\n"},
    };
    for (const auto& [args, err] : said) EXPECT_EQ(RunQuorvel(args).err, err);
}

// The real program in a shell, beside split, cat and signals: Linux only.
// On Windows the round trip through quorvel-cli.exe runs as a test of its own.
#ifndef _WIN32

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
        ASSERT_EQ(FolderEntries(dir / "ours").size(), theirs.size() + 1);  // and the checksum file
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
        // Pieces made elsewhere, under our names, join as well (no checksum file to check).
        ASSERT_EQ(
            Shell("cd '" + dir / "theirs" + "' && n=0 && for f in x*; do n=$((n+1)); mv \"$f\" big.Quorved_$n; done"),
            0);
        ASSERT_EQ(Shell(std::string(QUORVEL_CLI) + " join '" + dir / "theirs/big.Quorved_1" + "' --to '" +
                        dir / "theirs-joined" + "' >/dev/null"),
                  0);
        EXPECT_TRUE(FileHolds(dir / "theirs-joined", ReadFile(file)));
    }
}

TEST(CliSignals, StopLeavesNothingPartialAndExitsWithTheSignal) {
    TempFolder dir;
    const std::string bytes = PatternBytes(3000);
    WriteFile(dir / "f", bytes);
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        // Waiting for disk 2 after piece 1, a relative name as the user types it.
        CliProcess cli(dir.Path(), {"split", "f", "--size", "1000", "--pause", "always"});
        // The first answer lets piece 1 be written; the process then waits.
        cli.Answer("y\n");
        ASSERT_TRUE(AppearsSoon(dir / "f.Quorved_1"));
        cli.Signal(signal);
        EXPECT_EQ(cli.Wait(), 128 + signal);
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"f"});
    }
}

// Raises SIGINT once the text written through it holds `trigger`.
struct SignalOnText : std::streambuf {
    std::string trigger, text;
    int_type overflow(int_type c) override {
        text += static_cast<char>(c);
        if (!trigger.empty() && text.find(trigger) != std::string::npos) trigger.clear(), std::raise(SIGINT);
        return c;
    }
};

// A join that rebuilds a lost piece shows the set's totals while it copies
// (the checksum file's, not the pieces found), then the rebuild, and prints
// every rebuilt piece by number and name.
TEST(Cli, JoinShowsTheSetsTotalsAndTheRebuild) {
    TempFolder dir;
    WriteFile(dir / "f", PatternBytes(300000));
    ASSERT_EQ(RunQuorvel({"split", dir / "f", "--size", "100000", "--recovery", "2"}).status, 0);
    std::remove((dir / "f.Quorved_2").c_str());
    std::remove((dir / "f.Quorved_3").c_str());
    std::istringstream in;
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"join", dir / "f.Quorved_1", "--to", dir / "joined"}, in, out, err, 200), 0) << err.str();
    EXPECT_EQ(ReadFile(dir / "joined"), PatternBytes(300000));
    EXPECT_NE(err.str().find(" of 293 kB"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("file 3 of 3"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("100% \xC2\xB7 Rebuilding smaller files 2, 3"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(),
              "The file is restored and checked; smaller files 2 (f.Quorved_2), 3 (f.Quorved_3) were rebuilt from the "
              "recovery files.\nThe smaller files on the disk were left as they were; a repair can rebuild them in "
              "place.\n");
}

// A stop counts while the last piece is read (its name in the progress
// line), and no more once the joined file is in place (its success text).
TEST(CliSignals, AStopCountsOnlyUntilTheJoinedFileIsInPlace) {
    TempFolder dir;
    WriteFile(dir / "f", PatternBytes(300000));
    ASSERT_EQ(RunQuorvel({"split", dir / "f", "--size", "100000"}).status, 0);
    for (const auto& [trigger, status] :
         std::vector<std::pair<std::string, int>>{{"Quorved_3", 128 + SIGINT}, {"restored", 0}}) {
        const pid_t pid = fork();
        if (pid == 0) {  // a caught signal stays caught: a process of its own
            CatchStopSignals();
            SignalOnText raising;
            raising.trigger = trigger;
            std::ostream stream(&raising);
            std::istringstream in;
            _exit(RunCli({"join", dir / "f.Quorved_1", "--to", dir / "joined", "--max-ram", "10000"}, in, stream,
                         stream, 400));
        }
        int wait = 0;
        waitpid(pid, &wait, 0);
        EXPECT_EQ(WEXITSTATUS(wait), status) << trigger;
        EXPECT_EQ(std::filesystem::remove(dir / "joined"), status == 0) << trigger;
    }
}

// Raises `signal` once the text written through it holds `trigger`.
struct RaiseOnText : std::streambuf {
    std::string trigger, text;
    int signal = SIGINT;
    int_type overflow(int_type c) override {
        text += static_cast<char>(c);
        if (!trigger.empty() && text.find(trigger) != std::string::npos) trigger.clear(), std::raise(signal);
        return c;
    }
};

// A signal during a repair's rebuilding (its check is at 100%) or during a
// join's ends it with the shell's status for the signal, and nothing is
// left half written: the lost piece stays lost, no joined file appears.
TEST(CliSignals, RepairAndARebuildingJoinStopAndLeaveNothingHalfWritten) {
    TempFolder dir;
    WriteFile(dir / "big", PatternBytes(3000));
    ASSERT_EQ(RunQuorvel({"split", dir / "big", "--size", "1000", "--recovery", "1"}).status, 0);
    std::remove((dir / "big").c_str());
    std::remove((dir / "big.Quorved_2").c_str());
    const std::vector<std::string> before = FolderEntries(dir.Path());
    struct Case {
        std::vector<std::string> args;
        std::string trigger;
    } const cases[] = {
        {{"repair", dir / "big.Quorved_1"}, "100%"},
        {{"join", dir / "big.Quorved_1", "--to", dir / "joined"}, "Rebuilding"},
        // Its passes through: the rebuilt piece's check is what the stop meets.
        {{"join", dir / "big.Quorved_1", "--to", dir / "joined"}, "100% \xC2\xB7 Rebuilding"},
    };
    for (const auto& c : cases) {
        for (const int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(c.args[0] + " " + std::to_string(signal));
            const pid_t pid = fork();
            if (pid == 0) {  // a caught signal stays caught: a process of its own
                CatchStopSignals();
                RaiseOnText raising;
                raising.trigger = c.trigger;
                raising.signal = signal;
                std::ostream stream(&raising);
                std::istringstream in;
                _exit(RunCli(c.args, in, stream, stream, 400));
            }
            int wait = 0;
            waitpid(pid, &wait, 0);
            EXPECT_EQ(WEXITSTATUS(wait), 128 + signal);
            EXPECT_EQ(FolderEntries(dir.Path()), before);
        }
    }
    // Not stopped, the same repair puts the piece back.
    ASSERT_EQ(RunQuorvel({"repair", dir / "big.Quorved_1"}).status, 0);
    EXPECT_TRUE(FileHolds(dir / "big.Quorved_2", PatternBytes(3000).substr(1000, 1000)));
}

// What check and repair say of a set whose checksum file's whole-file line is wrong
// (the file itself not there), and of recovery files of another version.
TEST(Cli, CheckSaysWhatAJoinAndARepairWouldMeet) {
    TempFolder dir;
    WriteFile(dir / "big", PatternBytes(3000));
    ASSERT_EQ(RunQuorvel({"split", dir / "big", "--size", "1000"}).status, 0);
    std::remove((dir / "big").c_str());
    const std::string sums = dir / "big.Quorved_sha256", lines = ReadFile(sums);
    const std::string whole = Sha256Hex(PatternBytes(3000));
    ASSERT_NE(lines.find(whole), std::string::npos);
    std::string zeroed = lines;
    zeroed.replace(zeroed.find(whole), whole.size(), std::string(64, '0'));
    WriteFile(sums, zeroed);
    const auto failsSaying = [](const std::vector<std::string>& args, const std::string& says) {
        const Outcome o = RunQuorvel(args);
        EXPECT_EQ(o.status, 1) << args[0];
        EXPECT_NE(o.err.find(says), std::string::npos) << o.err;
    };
    const std::string first = dir / "big.Quorved_1";
    failsSaying({"check", first}, "joined in order they do not match the checksum of the whole file");
    failsSaying({"repair", first}, "joined in order they do not match");  // nothing to rebuild is no "intact"
    EXPECT_EQ(RunQuorvel({"join", first, "--to", dir / "joined"}).status, 1);

    // Recovery files made from another version of the file, under the set's names.
    TempFolder other;
    WriteFile(other / "big", PatternBytes(3000, 5));
    ASSERT_EQ(RunQuorvel({"split", other / "big", "--size", "1000", "--recovery", "1"}).status, 0);
    WriteFile(sums, lines);
    for (const auto& name : FolderEntries(other.Path()))
        if (name.find(".par2") != std::string::npos) WriteFile(dir / name, ReadFile(other / name));
    std::remove((dir / "big.Quorved_2").c_str());
    failsSaying({"check", first}, "The recovery files belong to another version of the file");
    failsSaying({"join", first, "--to", dir / "joined"}, "The recovery files belong to another version of the file");
    EXPECT_FALSE(Exists(dir / "joined"));
}

TEST(CliSignals, KilledSplitOverAnOlderSetLeavesNoMixOfOldAndNew) {
    TempFolder dir;
    // An older set of four pieces, provably this program's by its checksum file.
    WriteFile(dir / "f", PatternBytes(3000, 9));
    ASSERT_EQ(RunQuorvel({"split", dir / "f", "--size", "750"}).status, 0);
    WriteFile(dir / "f", PatternBytes(3000, 5));
    {
        CliProcess cli(dir.Path(), {"split", "f", "--size", "1000", "--pause", "always"});
        cli.Signal(SIGKILL);  // whenever it is: before, during or after piece 1
        EXPECT_EQ(cli.Wait(), 128 + SIGKILL);
    }
    const bool oldWhole =
        Exists(dir / "f.Quorved_4") && ReadFile(dir / "f.Quorved_2") == PatternBytes(3000, 9).substr(750, 750);
    const bool oldGone = !Exists(dir / "f.Quorved_2") && !Exists(dir / "f.Quorved_4");
    EXPECT_TRUE(oldWhole || oldGone) << FolderEntries(dir.Path()).size();

    // Killed after its first piece: what is left never joins.
    for (const auto& name : FolderEntries(dir.Path())) {
        if (name != "f") std::remove((dir / name).c_str());
    }
    {
        CliProcess cli(dir.Path(), {"split", "f", "--size", "1000", "--pause", "always"});
        cli.Answer("y\n");
        ASSERT_TRUE(AppearsSoon(dir / "f.Quorved_1"));
        cli.Signal(SIGKILL);
        cli.Wait();
    }
    const Outcome o = RunQuorvel({"join", dir / "f.Quorved_1", "--to", dir / "joined"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("File is missing: " + (dir / "f.Quorved_2") + "\n"));
    EXPECT_FALSE(Exists(dir / "joined"));
}

TEST(Cli, RelativeNamesNeverPassForFloppyDrives) {
    TempFolder dir;
    WriteFile(dir / "Archive.zip", PatternBytes(5000));
    std::filesystem::create_directory(dir / "Backup");
    CliProcess cli(dir.Path(), {"split", "Archive.zip", "--size", "2000", "--into", "Backup"});
    EXPECT_EQ(cli.Wait(), 0);                             // no question asked: none could be answered
    EXPECT_EQ(FolderEntries(dir / "Backup").size(), 4u);  // three pieces and their checksum file
}

// check fails with the cause: another set's checksum file, one there but
// unreadable (a folder, a FIFO, no permission for nobody), a piece nobody may
// read, an output no one can read. Never a pass, never "missing".
TEST(Cli, CheckNamesTheCauseOfEveryFailure) {
    TempFolder dir;
    std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
    const std::string big = dir / "big.bin", copy = dir / "copy.bin", sums = copy + ".Quorved_sha256";
    WriteFile(big, PatternBytes(300000));
    ASSERT_EQ(RunQuorvel({"split", big, "--size", "100000"}).status, 0);
    for (const char* end : {"1", "2", "3", "sha256"}) WriteFile(copy + kMarker + end, ReadFile(big + kMarker + end));
    WriteFile(copy + ".Quorved_2", PatternBytes(100000, 7));
    const std::string check = std::string(QUORVEL_CLI) + " check ", asNobody = "runuser -u nobody -- " + check;
    const std::vector<std::tuple<std::function<void()>, std::string, std::string>> cases{
        {[] {}, check + copy + ".Quorved_1", "The checksum file " + sums + " belongs to other smaller files (" + big},
        {[&] { std::filesystem::remove(sums), mkdir(sums.c_str(), 0755); }, check + copy + ".Quorved_1",
         sums + " cannot be read."},
        {[&] { rmdir(sums.c_str()), mkfifo(sums.c_str(), 0644); }, check + copy + ".Quorved_1",
         sums + " cannot be read."},
        {[&] { unlink(sums.c_str()), WriteFile(sums, "x"), chmod(sums.c_str(), 0); }, asNobody + copy + ".Quorved_1",
         sums + " cannot be read.\nPermission denied.\n"},
        {[&] { chmod((big + ".Quorved_2").c_str(), 0); }, asNobody + big + ".Quorved_1",
         "Could not read smaller file number: 2\nPermission denied.\n"},
        {[] {}, check + big + ".Quorved_3 >/dev/full",
         "the output could not be written\nThe disk is full.\n"},
    };
    for (const auto& [prepare, command, expected] : cases) {
        prepare();
        EXPECT_EQ(Shell(command + " 2>" + dir / "err"), 1) << command;
        EXPECT_EQ(ReadFile(dir / "err").substr(0, Said(expected).size()), Said(expected)) << command;
    }
}

#endif

// Relative names in the user's form: '/' is a separator on Windows too.
TEST(Cli, RelativeNamesWithSlashesFindTheirSet) {
    TempFolder dir;
    std::filesystem::create_directory(std::filesystem::u8path(dir / "sub"));
    const std::string file = dir / "sub" + kPathSeparator + "Setup.exe";
    WriteFile(file, PatternBytes(300000));
    ASSERT_EQ(RunQuorvel({"split", file, "--size", "100000"}).status, 0);
    WriteChecksumsFor(file, kMarker);
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::u8path(dir.Path()));
    const Outcome checked = RunQuorvel({"check", "sub/Setup.exe.Quorved_2"});
    const Outcome joined = RunQuorvel({"join", "./sub/Setup.exe.Quorved_2", "--to", "joined"});
    std::filesystem::current_path(saved);
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(joined.status, 0) << joined.err;
    EXPECT_TRUE(FileHolds(dir / "joined", ReadFile(file)));
}

TEST(Cli, AFullDiskSaysSo) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: a small tmpfs";
#endif
    TempFolder dir;
    SmallDisk disk(dir / "disk", "64k");
    if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    WriteFile(dir / "f", PatternBytes(200000));
    const Outcome o = RunQuorvel({"split", dir / "f", "--size", "100000", "--into", dir / "disk"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              Said("There is no room for the new smaller files beside the old ones: 200000 bytes are needed. Nothing "
                   "was changed.\nThe disk is full.\n"));
    EXPECT_TRUE(FolderEntries(dir / "disk").empty());
}

// A rebuild that cannot write says so on the terminal, the same for a repair
// in place and a join: which piece could not be written where, and why.
TEST(Cli, ARebuildThatCannotWriteSaysWhereAndWhy) {
#ifdef _WIN32
    GTEST_SKIP() << "Linux only: mounts";
#endif
    TempFolder dir;
    const std::string file = dir / "Setup.exe";
    WriteFile(file, PatternBytes(5 * 40960));
    Outcome o = RunQuorvel({"split", file, "--size", "40960", "--recovery", "1"});
    ASSERT_EQ(o.status, 0) << o.err;
    std::remove((dir / "Setup.exe.Quorved_2").c_str());
    ReadOnlyView view(dir.Path(), dir / "ro");
    if (!view.Mounted()) GTEST_SKIP() << "needs root to mount";
    SmallDisk disk(dir / "disk", "160k");  // room for the four sound pieces only
    if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    const std::string roPiece = dir / "ro/Setup.exe.Quorved_2", joined = dir / "disk/joined";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } const cases[] = {
        {{"repair", dir / "ro/Setup.exe.Quorved_1"},
         "The lost or damaged smaller files could not be rebuilt.\n"
         "Smaller file 2 could not be written to " + roPiece + ".\nThe disk is write-protected.\n"},
        {{"join", dir / "Setup.exe.Quorved_1", "--to", joined},
         "The lost or damaged smaller files could not be rebuilt.\n"
         "Smaller file 2 could not be written to " + joined + ".\nThe disk is full.\n"},
    };
    for (const Case& c : cases) {
        o = RunQuorvel(c.args);
        EXPECT_EQ(o.status, 1) << c.args[0];
        EXPECT_EQ(o.err, Said(c.err)) << c.args[0];
    }
    EXPECT_TRUE(FolderEntries(dir / "disk").empty());
}

// Any file of the set names it, and a join replaces a file only when told
// to, or finds there is nothing to do when that file already is the set's.
TEST(Cli, AnyFileOfTheSetNamesItAndAJoinReplacesNothingUnasked) {
    TempFolder dir;
    const std::string file = dir / "Setup.exe", bytes = PatternBytes(300000, 4);
    WriteFile(file, bytes);
    ASSERT_EQ(RunQuorvel({"split", file, "--size", "100000", "--recovery", "1"}).status, 0);
    for (const char* name : {"Setup.exe.par2", "Setup.exe.Quorved_sha256"}) {
        const Outcome o = RunQuorvel({"check", dir / name});
        EXPECT_EQ(o.status, 0) << name << ": " << o.err;
        EXPECT_EQ(o.out.rfind("Smaller files checked: 3, all intact.", 0), 0u) << o.out;
    }
    Outcome o = RunQuorvel({"join", dir / "Setup.exe.vol00+01.par2"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, file + " is already this set's file, whole and checked: there is nothing to join.\n");

    WriteFile(file, PatternBytes(300000, 5));  // of the set's size, other bytes
    EXPECT_EQ(RunQuorvel({"join", dir / "Setup.exe.Quorved_2"}).status, 1);
    WriteFile(file, "an older file of that name");
    o = RunQuorvel({"join", dir / "Setup.exe.Quorved_2"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said(file + " exists already; --force replaces it.\n"));
    EXPECT_TRUE(FileHolds(file, "an older file of that name"));
    o = RunQuorvel({"join", dir / "Setup.exe.Quorved_2", "--force"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(FileHolds(file, bytes));
}

TEST(Cli, ChecksASetAgainstItsChecksumFile) {
    TempFolder dir;
    const std::string file = dir / "Setup.exe";
    WriteFile(file, PatternBytes(300000));
    ASSERT_EQ(RunQuorvel({"split", file, "--size", "100000"}).status, 0);
    const std::string second = dir / "Setup.exe.Quorved_2", sums = dir / "Setup.exe.Quorved_sha256";
#ifndef _WIN32
    // What the split wrote, sha256sum reads: every piece and the whole file.
    EXPECT_EQ(Shell("cd '" + dir.Path() + "' && sha256sum --quiet -c Setup.exe.Quorved_sha256"), 0);
#endif
    std::remove(sums.c_str());
    Outcome o = RunQuorvel({"check", second});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("There is no checksum file for this set: " + sums + "\n"));

    ASSERT_EQ(WriteChecksumsFor(file, kMarker), sums);
    const std::string good = ReadFile(sums);
    o = RunQuorvel({"check", second});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "Smaller files checked: 3, all intact.\n" + file + " matches its checksum as well.\n");
#ifndef _WIN32
    const std::string program = std::string(QUORVEL_CLI) + " check '" + sums + "' >/dev/null 2>&1";
    EXPECT_EQ(Shell(program), 0);  // the checksum file itself names the set too
#endif

    std::string piece = ReadFile(dir / "Setup.exe.Quorved_3");
    piece[0] ^= 1;
    WriteFile(dir / "Setup.exe.Quorved_3", piece);
    o = RunQuorvel({"check", second});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("Smaller file 3 is damaged.\nThere are no usable recovery files for this set.\n"));
    EXPECT_TRUE(o.out.empty());
#ifndef _WIN32
    EXPECT_EQ(Shell(program), 1);
#endif
    std::remove(second.c_str());
    // Every bad piece is named, not only the first.
    o = RunQuorvel({"check", dir / "Setup.exe.Quorved_1"});
    EXPECT_EQ(o.err, Said("File is missing: " + second +
                         "\nSmaller file 3 is damaged.\nThere are no usable recovery files for this set.\n"));

    // As a killed split leaves it: begun, no checksum written yet.
    const std::string begun = good.substr(0, good.find("# size 3 100000\n") + 16);
    WriteFile(sums, begun.substr(0, begun.find("finished")) + "un" + begun.substr(begun.find("finished")));
    o = RunQuorvel({"check", sums});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("The split that wrote " + sums + " did not finish: the set is incomplete.\n"));
    WriteFile(sums, good + "junk\n");
    o = RunQuorvel({"check", sums});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("The checksum file " + sums + " is damaged (line 12).\n"));
}

TEST(Cli, RepairsASetFromItsRecoveryFiles) {
    TempFolder dir;
    const std::string file = dir / "Setup.exe";
    WriteFile(file, PatternBytes(300000));
    Outcome o = RunQuorvel({"split", file, "--size", "100000", "--recovery", "2"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("Any 2 lost or damaged smaller files can be rebuilt"), std::string::npos) << o.out;
#ifndef _WIN32
    // The checksum file covers the recovery files; par2 reads them.
    EXPECT_EQ(Shell("cd '" + dir.Path() + "' && sha256sum --quiet -c Setup.exe.Quorved_sha256"), 0);
    if (Shell("par2 --version >/dev/null 2>&1") == 0) {
        EXPECT_EQ(Shell("cd '" + dir.Path() + "' && par2 verify -q Setup.exe.par2 >/dev/null"), 0);
    }
#endif
    const std::string first = dir / "Setup.exe.Quorved_1", third = dir / "Setup.exe.Quorved_3";
    const std::string piece3 = ReadFile(third);
    std::remove(first.c_str());
    WriteFile(third, "short");
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } const steps[] = {
        {{"check", third},
         1,
         "",
         "File is missing: " + first + "\nSmaller file 3 has the wrong size: 5 bytes instead of 100000." +
             "\n2 smaller files are missing or damaged; the recovery files can rebuild 2 of them.\n"},
        {{"repair", third}, 0, "Rebuilt from the recovery files and checked: smaller files 1, 3.\n", ""},
        {{"check", third},
         0,
         "Smaller files checked: 3, all intact.\n" + file + " matches its checksum as well.\n",
         ""},
    };
    for (const auto& step : steps) {
        o = RunQuorvel(step.args);
        EXPECT_EQ(o.status, step.status) << step.args[0];
        EXPECT_EQ(o.out, step.out);
        EXPECT_EQ(o.err, Said(step.err));
    }
    EXPECT_EQ(ReadFile(third), piece3);

    // A join rebuilds what it lacks on its own, leaving the pieces as they are.
    std::remove(first.c_str());
    o = RunQuorvel({"join", third, "--to", dir / "joined"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out,
              "The file is restored and checked; smaller file 1 (Setup.exe.Quorved_1) was rebuilt from the recovery "
              "files.\nThe smaller files on the disk were left as they were; a repair can rebuild them in place.\n");
    EXPECT_EQ(ReadFile(dir / "joined"), ReadFile(file));
    EXPECT_FALSE(std::filesystem::exists(first));
    std::remove((dir / "joined").c_str());

    // Three lost of three: check names each and how far the recovery files
    // fall short; nothing changes.
    for (int n = 1; n <= 3; ++n) WriteFile(dir / ("Setup.exe.Quorved_" + std::to_string(n)), "x");
    const std::vector<std::string> before = FolderEntries(dir.Path());
    o = RunQuorvel({"check", third});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("Smaller file 1 has the wrong size: 1 bytes instead of 100000.\n"
                          "Smaller file 2 has the wrong size: 1 bytes instead of 100000.\n"
                          "Smaller file 3 has the wrong size: 1 bytes instead of 100000.\n"
                          "3 smaller files are missing or damaged; the recovery files can rebuild 2 of them.\n"
                          "Recovery data for one more smaller file would be needed to rebuild them all.\n"));
    o = RunQuorvel({"repair", third});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("3 smaller files are missing or damaged, but the recovery files can rebuild only 2. Nothing "
                          "was changed.\n"));
    EXPECT_EQ(FolderEntries(dir.Path()), before);
    o = RunQuorvel({"join", third, "--to", dir / "joined"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("3 smaller files are missing or damaged, but the recovery files can rebuild only 2. Nothing "
                          "was changed.\nDamaged smaller files: 1 (Setup.exe.Quorved_1), 2 (Setup.exe.Quorved_2), 3 "
                          "(Setup.exe.Quorved_3).\nRecovery data for one more smaller file would be needed to rebuild "
                          "them all.\n"));
    EXPECT_EQ(FolderEntries(dir.Path()), before);

    // Recovery files of an earlier file of the same name and size are not
    // trusted. A new split removes those its older checksum file lists, so
    // they come back as copies kept elsewhere would.
    std::map<std::string, std::string> kept;
    for (const auto& name : FolderEntries(dir.Path()))
        if (name.find(".par2") != std::string::npos) kept[name] = ReadFile(dir / name);
    std::string other = PatternBytes(300000);
    other[5] ^= 1;
    WriteFile(file, other);
    ASSERT_EQ(RunQuorvel({"split", file, "--size", "100000"}).status, 0);
    for (const auto& name : FolderEntries(dir.Path())) EXPECT_EQ(name.find(".par2"), std::string::npos) << name;
    for (const auto& [name, bytes] : kept) WriteFile(dir / name, bytes);
    std::remove(first.c_str());
    o = RunQuorvel({"repair", third});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, Said("Smaller file 1 does not match its checksum after rebuilding: the recovery files belong to "
                          "another version of the file. Nothing was changed.\n"));
    EXPECT_FALSE(std::filesystem::exists(first));
}

}  // namespace
