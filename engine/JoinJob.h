// A join as the engine runs it. Inside the engine only.
#pragma once

#include "engine/ChecksumFile.h"
#include "io/OutputFile.h"
#include "engine/TransferJob.h"

#include <cstdint>
#include <list>
#include <vector>
#include <string>

// What a join is given besides what every transfer is: the pieces in
// pieceSizes are the ones counted, and the set's checksum file, where it
// has one, overrules them.
struct JoinRequest : TransferRequest {};

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
    bool ReadPiece(int32_t n);
    bool TakeDigests(int32_t upTo, bool wait);
    TransferOutcome Finish();
    void Undo() override;

    // Lost pieces: where the set's recovery files can rebuild them, a bad
    // piece's range of the target is left and rebuilt after the last piece.
    bool IsLeft(int32_t n) const;
    // Leaves piece n (missing, or damaged) to the recovery files; false when
    // the set has none, the caller then fails as without them.
    bool LeavePiece(int32_t n, bool missing);
    void SkipPiece(int32_t n);
    void LeaveCopiedPiece(int32_t n);
    void PassOver(int32_t n);
    // Whether the recovery files can rebuild every piece left so far; when
    // not, the failure names them all.
    bool EnoughRecovery(uint32_t slicesToCome = 0);
    bool GatherRecoveryFiles();
    bool CopyRecoveryFile(const std::string& name);
    void ScaleForPausing(int32_t n);
    bool RebuildLeftPieces();
    std::vector<int32_t> LeftPieces() const;

    const JoinRequest request_;
    OutputFile bigOut_;
    std::string target_;  // the target, links followed
    bool replacing_ = false;
    ChecksumSet expected_;  // the set's checksum file, where it has one
    std::vector<std::string> recoveryFiles_;  // the set's recovery files at hand
    std::vector<int32_t> missing_, damaged_;  // pieces left, in the order found
    bool seekBeforeNext_ = false;             // the target's position is not where the next piece goes
    bool mayRebuild_ = false;                 // the set has recovery files to leave lost pieces to

    // Recovery files copied from their disks beside the target: removed
    // when the join ends, however it ends.
    class Copies {
    public:
        Copies() = default;
        Copies(const Copies&) = delete;
        Copies& operator=(const Copies&) = delete;
        ~Copies();
        void Add(const std::string& name);

    private:
        std::vector<std::string> names_;
        std::list<FileLock> locks_;
    };
    Copies copies_;
};
