#include "cli/CliOptions.h"

#include "engine/PieceNaming.h"
#include "planning/SizePlan.h"

#include <limits>

namespace {

ParsedCommandLine Fail(std::string error) {
    ParsedCommandLine parsed;
    parsed.error = std::move(error);
    return parsed;
}

}  // namespace

const char* CliUsage() {
    return "usage:\n"
           "  quorvel-cli split FILE --size SIZE|--free-space [--into FOLDER]\n"
           "                 [--marker TEXT] [--max-ram BYTES] [--no-checksum]\n"
           "                 [--pause always|sometimes|never] [--recovery K]\n"
           "                 [--remove-stray]\n"
           "  quorvel-cli join PIECE [--to FILE] [--marker TEXT] [--max-ram BYTES]\n"
           "                 [--no-checksum]\n"
           "  quorvel-cli check PIECE [--marker TEXT]\n"
           "  quorvel-cli repair PIECE [--marker TEXT]\n"
           "  quorvel-cli --help | --version\n"
           "SIZE is a number of bytes, or one with K, M or G: powers of 1024, as the\n"
           "window's kB, MB and GB (700M = 700MB = 700MiB = 734003200 bytes; 4G, 1K).\n"
           "Pieces are named FILE + marker + number (default marker \".Quorved_\"); a join\n"
           "or check takes any one piece of a set. --max-ram 0 copies byte by byte (default\n"
           "100000). check compares the pieces (and FILE, if it lies beside them) with the\n"
           "set's checksum file FILE + marker + \"sha256\", without joining, and names every\n"
           "missing or damaged piece and what the recovery files can rebuild of them. A\n"
           "split writes that file and a join checks every byte against it, unless\n"
           "--no-checksum.\n"
           "--free-space makes each piece as large as the free space of its disk; --pause\n"
           "asks for the next disk before each piece (sometimes: only for drives A and B).\n"
           "--recovery K also writes PAR 2.0 recovery files FILE.par2, FILE.volNN+MM.par2\n"
           "(none larger than a piece) from which any K lost or damaged pieces can be\n"
           "rebuilt: a join does so where it has to, and repair rebuilds the pieces the\n"
           "checksum file finds missing or damaged in place.\n"
           "A split into one folder refuses when files named like its pieces would follow\n"
           "the new set and no checksum file of an earlier split proves them its own (a\n"
           "join would take them in); --remove-stray removes them.\n"
           "Exit status:\n"
           "  0      done (check: every piece matches)\n"
           "  1      the split, join or check failed, or its input is missing or refused\n"
           "  2      the command line is wrong\n"
           "  128+n  stopped by signal n, nothing partial left behind: 130 Ctrl+C (SIGINT),\n"
           "         143 kill (SIGTERM), 129 closed terminal (SIGHUP)\n";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine parsed;
    CliOptions& o = parsed.options;
    o.marker = kDefaultMarker;
    if (args.empty()) return Fail("no command given");
    if (args[0] == "-h" || args[0] == "--help" || args[0] == "help" || args[0] == "--version") {
        if (args[0] == "--version") o.command = CliOptions::Command::Version;
        parsed.ok = true;
        return parsed;
    }
    if (args[0] == "split")
        o.command = CliOptions::Command::Split;
    else if (args[0] == "join")
        o.command = CliOptions::Command::Join;
    else if (args[0] == "check")
        o.command = CliOptions::Command::Check;
    else if (args[0] == "repair")
        o.command = CliOptions::Command::Repair;
    else
        return Fail("unknown command: " + args[0]);
    const bool split = o.command == CliOptions::Command::Split;
    // check and repair take only the marker.
    const bool check = o.command == CliOptions::Command::Check || o.command == CliOptions::Command::Repair;

    bool sizeGiven = false, optionsEnded = false;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--free-space" && split) {
            o.freeSpace = true;
            continue;
        }
        if (arg == "--remove-stray" && split) {
            o.removeStray = true;
            continue;
        }
        if (arg == "--no-checksum" && !check) {
            o.checksums = false;
            continue;
        }
        std::string value;
        const std::string::size_type equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        } else {
            const bool takesValue = arg == "--size" || arg == "--into" || arg == "--to" || arg == "--marker" ||
                                    arg == "--max-ram" || arg == "--pause" || arg == "--recovery";
            if (!takesValue) return Fail("unknown option: " + arg);
            if (i + 1 >= args.size()) return Fail(arg + " needs a value");
            value = args[++i];
        }
        int64_t number = 0;
        if (arg == "--size" && split) {
            o.size = ParseSize(value);
            if (o.size <= 0) {
                return Fail("--size must be a whole number of bytes above 0, or one with K, M or G, not \"" + value +
                            "\"");
            }
            sizeGiven = true;
        } else if (arg == "--into" && split) {
            if (value.empty()) return Fail("--into needs a folder");
            o.into = value;
        } else if (arg == "--recovery" && split) {
            if (!ParseDecimal(value, kMaxRecoveryPieces, number)) {
                return Fail("--recovery must be a whole number of pieces from 0 to " +
                            std::to_string(kMaxRecoveryPieces) + ", not \"" + value + "\"");
            }
            o.recovery = static_cast<int32_t>(number);
        } else if (check && arg != "--marker") {
            return Fail("unknown option for " + args[0] + ": " + arg);
        } else if (arg == "--to" && !split) {
            if (value.empty()) return Fail("--to needs a file name");
            o.to = value;
        } else if (arg == "--marker") {
            if (value.empty()) return Fail("--marker must not be empty");
            // The value is not repeated: it may hold terminal control characters.
            if (!IsUsableMarker(value)) {
                return Fail("--marker must not hold a path separator or a control character, nor end in a digit");
            }
            o.marker = value;
        } else if (arg == "--max-ram") {
            if (!ParseDecimal(value, std::numeric_limits<int32_t>::max(), number)) {
                return Fail("--max-ram must be a whole number of bytes from 0 to 2147483647, not \"" + value + "\"");
            }
            o.maxRam = static_cast<int32_t>(number);
        } else if (arg == "--pause" && split) {
            if (value == "always")
                o.pauseMode = PauseMode::Always;
            else if (value == "sometimes")
                o.pauseMode = PauseMode::Sometimes;
            else if (value == "never")
                o.pauseMode = PauseMode::Never;
            else
                return Fail("--pause takes always, sometimes or never, not \"" + value + "\"");
        } else {
            return Fail("unknown option for " + args[0] + ": " + arg);
        }
    }

    if (files.size() != 1) return Fail(split ? "split takes exactly one FILE" : args[0] + " takes exactly one PIECE");
    o.file = files[0];
    if (split && sizeGiven == o.freeSpace) return Fail("split takes either --size BYTES or --free-space");
    parsed.ok = true;
    return parsed;
}
