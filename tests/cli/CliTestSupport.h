// Helpers of the command line tests: the program run in this process, or as
// a real process of its own (Linux), as this user or as another one.
#pragma once

#include "cli/CliRun.h"
#include "tests/engine/EngineTestSupport.h"

#include <sstream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#endif

// What quorvel-cli says on standard error: every line under its name.
inline std::string Said(const std::string& lines) {
    std::string named;
    std::size_t from = 0;
    while (from < lines.size()) {
        const std::size_t end = lines.find('\n', from);
        const std::size_t next = end == std::string::npos ? lines.size() : end + 1;
        named += "quorvel-cli: " + lines.substr(from, next - from);
        from = next;
    }
    return named;
}

struct Outcome {
    int status;
    std::string out, err;
};

inline Outcome RunQuorvel(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = RunCli(args, in, out, err, 0);
    return {status, out.str(), err.str()};
}

#ifndef _WIN32

// Runs a shell command; its exit status.
inline int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// How a real quorvel-cli is started.
struct Launch {
    std::string user;          // through runuser as this user; empty: as this process's user
    std::string placingPause;  // QUORVEL_TEST_PLACING_PAUSE_MS, when not empty
};

// The real quorvel-cli, started in `folder` with a pipe for its questions.
// What it writes is kept in unnamed files until it has ended.
class CliProcess {
public:
    CliProcess(const std::string& folder, const std::vector<std::string>& args, const Launch& launch = {}) {
        int pipeIn[2];
        out_ = std::tmpfile();
        err_ = std::tmpfile();
        if (out_ == nullptr || err_ == nullptr || pipe(pipeIn) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pipeIn[0], 0);
            close(pipeIn[1]);
            dup2(fileno(out_), 1);
            dup2(fileno(err_), 2);
            if (chdir(folder.c_str()) != 0) _exit(99);
            if (!launch.placingPause.empty()) setenv("QUORVEL_TEST_PLACING_PAUSE_MS", launch.placingPause.c_str(), 1);
            std::vector<std::string> line;
            if (!launch.user.empty()) line = {"runuser", "-u", launch.user, "--"};
            line.push_back(QUORVEL_CLI);
            line.insert(line.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : line) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(98);
        }
        close(pipeIn[0]);
        input_ = pipeIn[1];
    }
    ~CliProcess() {
        EndInput();
        if (pid_ > 0 && !waited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ != nullptr) std::fclose(out_);
        if (err_ != nullptr) std::fclose(err_);
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void Signal(int signal) const { kill(pid_, signal); }
    void Answer(const std::string& text) const { (void)!write(input_, text.data(), text.size()); }
    // Exit status, or 128 + the signal that ended it. A question asked from
    // now on finds no one to answer it.
    int Wait() {
        EndInput();
        int status = 0;
        waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // What it wrote to standard output and standard error; once it has ended.
    std::string Output() const { return Text(out_); }
    std::string Errors() const { return Text(err_); }

private:
    void EndInput() {
        if (input_ >= 0) close(input_);
        input_ = -1;
    }
    static std::string Text(std::FILE* file) {
        std::string text;
        if (file == nullptr) return text;
        std::fseek(file, 0, SEEK_SET);
        char block[4096];
        for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, got);
        return text;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    bool waited_ = false;
    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
};

// The real quorvel-cli run to its end.
inline Outcome RunProcess(const std::vector<std::string>& args, const Launch& launch = {}) {
    CliProcess cli("/", args, launch);
    const int status = cli.Wait();
    return {status, cli.Output(), cli.Errors()};
}

// Waits until `name` exists (a piece written), at most a few seconds.
inline bool AppearsSoon(const std::string& name) {
    for (int i = 0; i < 500 && !Exists(name); ++i) usleep(10000);
    return Exists(name);
}

#endif
