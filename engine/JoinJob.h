// A join as the engine runs it. Inside the engine only.
#pragma once

#include "engine/ChecksumFile.h"
#include "engine/OutputFile.h"
#include "engine/TransferJob.h"

#include <cstdint>
#include <string>

// A join: the pieces 1..N one after another into the target, checked against
// the set's checksum file where there is one.
class JoinJob final : public TransferJob {
public:
    JoinJob(TPieceEngine& engine, int32_t maxBuffer, const std::string& marker, PauseMode pauseMode);
    TransferOutcome Run();

private:
    bool TakeSetFromChecksums();
    bool IsSetFile(const std::string& name) const;
    bool OpenTarget();
    std::string PieceFile(int32_t n) const;
    bool ReadPiece(int32_t n);
    bool TakeDigests(int32_t upTo, bool wait);
    TransferOutcome Finish();
    void Undo() override;

    OutputFile bigOut_;
    std::string target_;  // the target, links followed
    bool replacing_ = false;
    ChecksumSet expected_;  // the set's checksum file, where it has one
};
