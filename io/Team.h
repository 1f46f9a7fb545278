// A team of threads that shares numbered units of work out.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs numbered units of work on this thread and on helpers, each unit
// once, returning when all are done. Units are claimed in order, so that
// uneven units (a hash next to a few rows of the code) even out. Helpers
// that cannot be started leave more to this thread; a unit that throws
// ends the round, and Run throws that on the calling thread once every
// helper is back.
class Team {
public:
    // As many threads as there are processors, at most 4: for work that
    // keeps the processor busy.
    Team();
    // This many threads in all, the caller's counted: for work that mostly
    // waits for the disk, where more waits at once finish sooner.
    explicit Team(unsigned threads);
    ~Team();
    Team(const Team&) = delete;
    Team& operator=(const Team&) = delete;
    void Run(std::size_t units, const std::function<void(std::size_t)>& work);
    std::size_t Helpers() const { return helpers_.size(); }

private:
    void Claim(const std::function<void(std::size_t)>& work);
    void ClaimGuarded(const std::function<void(std::size_t)>& work);
    void Serve();

    std::vector<std::thread> helpers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const std::function<void(std::size_t)>* work_ = nullptr;
    std::size_t units_ = 0, next_ = 0, busy_ = 0;
    uint64_t round_ = 0;
    bool quit_ = false;
    std::exception_ptr thrown_;  // the round's first exception
};

// Threads for work that mostly waits for the disk (flushes, removals): enough
// waits at once to hide each one's latency, few enough to stay cheap.
inline constexpr unsigned kDiskWaitThreads = 8;
