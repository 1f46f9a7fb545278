// The threads of the recovery work: a team that shares numbered units of
// work, and a lower priority for the work that can wait.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace RecoveryDetail {

// Lowers the calling thread's priority while it lives; threads it starts
// meanwhile start lowered as well.
class ThreadPriority {
public:
    enum Level { Below };
    explicit ThreadPriority(Level);
    ~ThreadPriority();
    ThreadPriority(const ThreadPriority&) = delete;
    ThreadPriority& operator=(const ThreadPriority&) = delete;

private:
    int before_ = 0;
};

// Runs numbered units of work on this thread and on helpers, each unit
// once, returning when all are done. Units are claimed in order, so that
// uneven units (a hash next to a few rows of the code) even out. Helpers
// that cannot be started leave more to this thread; a unit that throws
// ends the round, and Run throws that on the calling thread once every
// helper is back.
class Team {
public:
    Team();
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

}  // namespace RecoveryDetail
