// quorvel-cli: splits a file into numbered pieces or joins a set of pieces
// back, with the same engine as the window program.
#include "cli/CliRun.h"
#include "cli/StopSignals.h"
#include "engine/SetPlacing.h"

#include <iostream>
#ifdef _WIN32
#include <windows.h>  // first: shellapi.h builds on its types

#include <io.h>
#include <shellapi.h>
#define isatty _isatty
#define STDERR_FILENO 2
#endif
#ifndef _WIN32
#include <sys/ioctl.h>
#include <unistd.h>
#endif
#include <cstdlib>

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

// The progress line's width: the terminal's columns when standard error is a
// terminal, 0 (no progress) otherwise.
int ProgressWidth() {
    if (isatty(STDERR_FILENO) != 1) return 0;
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
    const char* columns = std::getenv("COLUMNS");
    const int fromEnvironment = columns != nullptr ? std::atoi(columns) : 0;
    return fromEnvironment > 0 ? fromEnvironment : 80;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args = Arguments(argc, argv);
    CatchStopSignals();
    // Lets the tests kill a split while its set takes its names.
    if (const char* pause = std::getenv("QUORVEL_TEST_PLACING_PAUSE_MS")) SetPlacement::SetStepPause(std::atoi(pause));
    return RunCli(args, std::cin, std::cout, std::cerr, ProgressWidth());
}
