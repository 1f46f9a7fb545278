// quorvel-cli: splits a file into numbered pieces or joins a set of pieces
// back, with the same engine as the window program.
#include "cli/CliRun.h"
#include "cli/StopSignals.h"

#include <iostream>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    CatchStopSignals();
    return RunCli(args, std::cin, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
