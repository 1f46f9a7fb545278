#include "recovery/Threads.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace RecoveryDetail {

ThreadPriority::ThreadPriority(Level) {
#ifdef _WIN32
    before_ = GetThreadPriority(GetCurrentThread());
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#else
    const auto self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    before_ = getpriority(PRIO_PROCESS, self);
    if (errno == 0) setpriority(PRIO_PROCESS, self, std::min(before_ + 5, 19));
#endif
}

ThreadPriority::~ThreadPriority() {
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(), before_);
#else
    // Back up needs no privilege only where the limit allows; else it stays lower.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), before_);
#endif
}

}  // namespace RecoveryDetail
