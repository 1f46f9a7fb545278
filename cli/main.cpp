// quorvel-cli: splits a file into numbered pieces or joins a set of pieces
// back, with the same engine as the window program.
#include "cli/CliRun.h"
#include "cli/StopSignals.h"

#include <iostream>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#define isatty _isatty
#define STDERR_FILENO 2
#endif
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// The arguments after the program name, as UTF-8.
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
    // argv holds them in the ANSI code page, which has no room for most of
    // the world's letters: they are read from the UTF-16 command line instead.
    (void)argc, (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(bytes > 1 ? static_cast<std::size_t>(bytes) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), bytes, nullptr, nullptr);
        arg.resize(arg.size() - 1);  // the terminating zero
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args = Arguments(argc, argv);
    CatchStopSignals();
    return RunCli(args, std::cin, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
