#include "io/Team.h"

#include <algorithm>
#include <system_error>

Team::Team() : Team(std::min(4u, std::thread::hardware_concurrency())) {}

Team::Team(unsigned threads) {
    threads = std::max(1u, threads);
    helpers_.reserve(threads - 1);
    for (unsigned i = 1; i < threads; ++i) {
        // Out of threads, the calling thread does the helpers' share: slower, never wrong.
        try {
            helpers_.emplace_back([this] { Serve(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

Team::~Team() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (auto& t : helpers_) t.join();
}

void Team::Run(std::size_t units, const std::function<void(std::size_t)>& work) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        work_ = &work;
        units_ = units;
        next_ = 0;
        busy_ = helpers_.size();
        thrown_ = nullptr;
        ++round_;
    }
    wake_.notify_all();
    ClaimGuarded(work);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
    work_ = nullptr;
    if (thrown_) {
        const std::exception_ptr thrown = thrown_;
        thrown_ = nullptr;
        std::rethrow_exception(thrown);
    }
}

// An exception must not end a helper (std::terminate) nor leave the caller
// waiting for units no one claims: it is kept for Run and the round ends.
void Team::ClaimGuarded(const std::function<void(std::size_t)>& work) {
    try {
        Claim(work);
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!thrown_) thrown_ = std::current_exception();
        next_ = units_;
    }
}

void Team::Claim(const std::function<void(std::size_t)>& work) {
    for (;;) {
        std::size_t unit;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (next_ >= units_) return;
            unit = next_++;
        }
        work(unit);
    }
}

void Team::Serve() {
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(std::size_t)>* work;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || round_ != seen; });
            if (quit_) return;
            seen = round_;
            work = work_;
        }
        ClaimGuarded(*work);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --busy_;
        }
        done_.notify_one();
    }
}

