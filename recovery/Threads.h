// The threads of the recovery work: a team that shares numbered units of
// work, and a lower priority for the work that can wait.
#pragma once

#include "io/Team.h"

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

// The team that shares the work out (io/Team.h).
using ::Team;

}  // namespace RecoveryDetail
