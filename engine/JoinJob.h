// A join as the engine runs it. Inside the engine only.
#pragma once

#include "engine/ChecksumFile.h"
#include "io/OutputFile.h"
#include "engine/TransferJob.h"

#include <cstdint>
#include <map>
#include <string>

// What a join is given besides what every transfer is: the pieces in
// pieceSizes are the ones counted, and the set's checksum file, where it
// has one, overrules them.
struct JoinRequest : TransferRequest {
    // Pieces rebuilt into temporary files, read in place of the pieces.
    std::map<int32_t, std::string> rebuilt;
};

// A join: the pieces 1..N one after another into the target, checked against
// the set's checksum file where there is one.
class JoinJob final : public TransferJob {
public:
    JoinJob(JoinRequest request, const TransferServices& services);
    // The outcome carries the pieces' count and sizes as joined (the
    // checksum file's, where it gave them), the checksum file read and the
    // piece last read.
    TransferOutcome Run();

private:
    // The join itself; Run adds what the engine keeps.
    TransferOutcome Transfer();
    bool TakeSetFromChecksums();
    bool IsSetFile(const std::string& name) const;
    bool OpenTarget();
    std::string PieceFile(int32_t n) const;
    bool ReadPiece(int32_t n);
    bool TakeDigests(int32_t upTo, bool wait);
    TransferOutcome Finish();
    void Undo() override;

    const JoinRequest request_;
    OutputFile bigOut_;
    std::string target_;  // the target, links followed
    bool replacing_ = false;
    ChecksumSet expected_;  // the set's checksum file, where it has one
};
