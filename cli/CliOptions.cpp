#include "cli/CliOptions.h"

#include "engine/PieceNaming.h"
#include "planning/SizePlan.h"

#include <cstdint>
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
           "                 [--no-checksum] [--force]\n"
           "  quorvel-cli check PIECE [--marker TEXT]\n"
           "  quorvel-cli repair PIECE [--marker TEXT]\n"
           "  quorvel-cli COMMAND --help | --help | --version\n"
           "Every command takes --quiet (-q): errors and questions only.\n"
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
           "checksum file finds missing or damaged in place. The recovery data takes up\n"
           "to a quarter of the machine's memory (at least 256 MiB, at most 2 GiB);\n"
           "beyond that it is made in further passes over the pieces.\n"
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

const char* CommandUsage(CliOptions::Command command) {
    using Command = CliOptions::Command;
    switch (command) {
    case Command::Split:
        return "usage: quorvel-cli split FILE --size SIZE|--free-space [OPTION...]\n"
               "Cuts FILE into pieces FILE + marker + number and writes the set's checksum\n"
               "file FILE + marker + \"sha256\" beside them.\n"
               "  --size SIZE       bytes per piece, the last one holds the rest; a number\n"
               "                    with K, M or G counts in powers of 1024 (700M, 4G)\n"
               "  --free-space      each piece as large as the free space of its disk; the\n"
               "                    next disk is asked for on the terminal\n"
               "  --into FOLDER     where the pieces go (default: beside FILE)\n"
               "  --pause MODE      ask for the next disk before each piece: always,\n"
               "                    sometimes (default: removable media, drives A and B)\n"
               "                    or never\n"
               "  --recovery K      also write PAR 2.0 recovery files that rebuild any K\n"
               "                    lost or damaged pieces; their data is made in memory,\n"
               "                    up to a quarter of the machine's (at least 256 MiB, at\n"
               "                    most 2 GiB), and in further passes beyond that\n"
               "  --marker TEXT     the text between name and number (default \".Quorved_\")\n"
               "  --max-ram BYTES   the copy buffer (default 100000; 0 copies byte by byte);\n"
               "                    copies inside the system need none\n"
               "  --no-checksum     write no checksum file\n"
               "  --remove-stray    remove files named like pieces that would follow the new\n"
               "                    set and that no earlier split proves its own\n"
               "  -q, --quiet       print errors and questions only\n"
               "  -h, --help        this help\n";
    case Command::Join:
        return "usage: quorvel-cli join PIECE [OPTION...]\n"
               "Joins the set of PIECE (any one of its pieces) into the big file, checked\n"
               "against the set's checksum file; pieces that are missing or damaged are\n"
               "rebuilt from the set's recovery files where it has them.\n"
               "  --to FILE         the joined file (default: the set's name beside the\n"
               "                    pieces)\n"
               "  --marker TEXT     the text between name and number (default \".Quorved_\")\n"
               "  --max-ram BYTES   the copy buffer (default 100000; 0 copies byte by byte)\n"
               "  --no-checksum     count the pieces and check nothing\n"
               "  --force           replace a file at the target (without it a join refuses,\n"
               "                    unless that file already is the set's big file)\n"
               "  -q, --quiet       print errors and questions only\n"
               "  -h, --help        this help\n";
    case Command::Check:
        return "usage: quorvel-cli check PIECE [OPTION...]\n"
               "Compares every piece of the set of PIECE, and the big file where it lies\n"
               "beside them, with the set's checksum file, and says what the recovery files\n"
               "could rebuild. Exit status 0 when every piece matches.\n"
               "  --marker TEXT     the text between name and number (default \".Quorved_\")\n"
               "  -q, --quiet       print errors and questions only\n"
               "  -h, --help        this help\n";
    case Command::Repair:
        return "usage: quorvel-cli repair PIECE [OPTION...]\n"
               "Rebuilds the pieces of the set of PIECE that the checksum file finds missing\n"
               "or damaged from the set's recovery files, checks each, and puts it in place.\n"
               "  --marker TEXT     the text between name and number (default \".Quorved_\")\n"
               "  -q, --quiet       print errors and questions only\n"
               "  -h, --help        this help\n";
    default: return CliUsage();
    }
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
    // Help wins over whatever else the line holds, as users of other tools expect.
    for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            ParsedCommandLine help;
            help.options.helpFor = o.command;
            help.ok = true;
            return help;
        }
    }
    const bool split = o.command == CliOptions::Command::Split;
    // check and repair take only the marker.
    const bool check = o.command == CliOptions::Command::Check || o.command == CliOptions::Command::Repair;

    bool sizeGiven = false, optionsEnded = false;
    std::string sizeText;  // as written
    std::size_t sizeAt = 0, unitAfterSize = SIZE_MAX;  // where the size stood, and the word right after it
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (sizeGiven && i == sizeAt + 1) unitAfterSize = files.size();
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        if (arg == "--quiet" || arg == "-q") {
            o.quiet = true;
            continue;
        }
        if (arg == "--free-space" && split) {
            o.freeSpace = true;
            continue;
        }
        if (arg == "--force" && o.command == CliOptions::Command::Join) {
            o.force = true;
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
            sizeText = value;
            sizeAt = i;
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

    if (files.size() > 1) {
        // "--size 700 MB": the unit came apart from its number.
        const std::size_t at = unitAfterSize < files.size() ? unitAfterSize : 1;
        const std::string& extra = files[at];
        const bool unit = at == unitAfterSize && !extra.empty() && (extra[0] < '0' || extra[0] > '9') &&
                          ParseSize("1" + extra) > 0;
        return Fail("unexpected argument '" + extra + "'" +
                    (unit ? " (sizes are written without a space: " + sizeText + extra + ")" : std::string()));
    }
    if (files.empty()) return Fail(split ? "split takes a FILE" : args[0] + " takes a PIECE");
    o.file = files[0];
    if (split && sizeGiven == o.freeSpace) return Fail("split takes either --size BYTES or --free-space");
    parsed.ok = true;
    return parsed;
}
