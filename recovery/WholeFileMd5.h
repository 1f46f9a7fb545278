// The whole file's MD5 and that of its first 16 KiB, read in order on a
// thread of its own: one MD5 is one chain of steps, and it runs beside the
// slices' hashing and the code instead of holding them up. It reads what
// the slices are read from (the big file or the pieces written), so that
// every hash of the set speaks of the same bytes.
#pragma once

#include "io/Digests.h"
#include "recovery/BigFileBytes.h"
#include "recovery/Recovery.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace RecoveryDetail {

class WholeFileMd5 {
public:
    WholeFileMd5(BigFileBytes source, const std::atomic<bool>* stop);
    ~WholeFileMd5();
    WholeFileMd5(const WholeFileMd5&) = delete;
    WholeFileMd5& operator=(const WholeFileMd5&) = delete;
    // False with the reason when the file could not be read (or a stop came).
    bool Wait(Md5Digest& whole, Md5Digest& first16k, RecoveryError& failure);

private:
    void Run();
    void RunGuarded();  // Run, with what it throws as its failure

    BigFileBytes source_;
    const std::atomic<bool>* stop_;
    std::atomic<bool> quit_{false};
    Md5Digest whole_{}, first16k_{};
    bool ok_ = false;
    bool ran_ = false;
    RecoveryError failure_;
    std::thread thread_;
};

}  // namespace RecoveryDetail
