// The command line of quorvel-cli: what the user asked for, or why the
// request cannot be understood.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/PieceNaming.h"

// The most pieces a split's recovery files may be asked to rebuild: as many
// as one recovery set covers, and as many as the window allows.
inline constexpr int32_t kMaxRecoveryPieces = 32768;

struct CliOptions {
    enum class Command { Help, Version, Split, Join, Check, Repair };
    Command command = Command::Help;
    Command helpFor = Command::Help;  // with Help: the command whose help was asked for, or Help for them all
    std::string file;                            // the big file to split, or any piece of a set to join or check
    int64_t size = 0;                            // --size: bytes per piece (the last one holds the rest)
    bool freeSpace = false;                      // --free-space: each piece fills the free space of its disk
    std::string into;                            // --into: folder for the pieces (default beside the file)
    std::string to;                              // --to: the joined file (default the set's name beside the pieces)
    std::string marker;                          // --marker
    int32_t maxRam = 100000;                     // --max-ram: copy buffer limit in bytes, 0 copies byte by byte
    PauseMode pauseMode = PauseMode::Sometimes;  // --pause
    bool checksums = true;                       // --no-checksum: a split writes no checksum file, a join checks none
    int32_t recovery = 0;                        // --recovery: pieces a split's recovery files can rebuild
    bool force = false;        // --force: a join replaces a file at its target
    bool quiet = false;        // --quiet: errors and questions only, no progress, no report of success
    bool removeStray = false;  // --remove-stray: a split removes files after its set that no earlier one proves its own
};

struct ParsedCommandLine {
    bool ok = false;
    CliOptions options;
    std::string error;  // when not ok: what was wrong, for the user
};

// Parses the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text, one option per line.
const char* CliUsage();

// One command's usage and options (split, join, check, repair); CliUsage for any other.
const char* CommandUsage(CliOptions::Command command);
