// What a split and a join share: the view, the stop flag, the disk question,
// the piece list, the hand-over to the hasher and the outcome of a failure.
// Inside the engine only.
#pragma once

#include "engine/BackgroundHasher.h"
#include "engine/ChecksumFile.h"
#include "engine/Copying.h"
#include "engine/FileAccess.h"
#include "engine/OutputFile.h"
#include "engine/PieceEngine.h"
#include "engine/SetPlacing.h"
#include "engine/SetRepair.h"
#include "engine/Staging.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Stands in for a view where the engine has none.
class NullView final : public TransferView {
public:
    void ClearPieceList() override {}
    void SetProgressRange(int32_t, int32_t) override {}
    void SetProgress(int32_t) override {}
    void ShowCurrentPiece(const std::string&) override {}
    void AddPieceSize(const std::string&) override {}
    void SelectPiece(int32_t) override {}
    void RepaintPieceList() override {}
    // Nobody to ask: a question is never taken as a changed disk.
    bool AskYesNo(const std::string&, const std::string&, Icon) override { return false; }
    void RepaintMainWindow() override {}
};

class TransferJob {
protected:
    using What = TransferOutcome::What;

    TransferJob(TPieceEngine& engine, bool split, int32_t maxBuffer, const std::string& marker, PauseMode pauseMode);
    virtual ~TransferJob() = default;
    TransferJob(const TransferJob&) = delete;
    TransferJob& operator=(const TransferJob&) = delete;

    bool Stopped() const;
    // The outcome of a failure, without undoing anything (nothing was done yet).
    TransferOutcome Refused(What what, int error = 0, int32_t piece = 0, std::string file = {}) const;
    // Records the failure and returns false, without undoing anything.
    bool Refuse(What what, int error = 0, int32_t piece = 0, std::string file = {});
    // Records the failure (a stop wins over what it caused), lets the job
    // undo its work and empties the bar; always false.
    bool Fail(What what, int error = 0, int32_t piece = 0, std::string file = {});
    virtual void Undo() = 0;

    // Asks for disk n: "Ready for diskette/file number n?", or with the
    // full-disk warning in front; false when the answer is No.
    bool AskForDisk(int32_t n, bool diskFull);
    // Piece n is the one in transfer: named, listed with its size, selected.
    void ShowPiece(int32_t n);
    // The bar from 0, the piece list empty.
    void StartShowing();
    // Hands every run of bytes the copy moves to the hasher's threads as
    // they lie in the file written (the piece of a split, the joined file
    // of a join): what the checksums vouch for is what is on the disk, not
    // what was read.
    void HashWhileCopying(std::FILE* out, int64_t outAt);
    bool Copy(std::FILE* in, std::FILE* out, int64_t count, int& error);
    // The hasher's threads, told of a stop; false (the failure recorded) when
    // they cannot be started.
    bool StartHasher();

    TPieceEngine& engine_;
    NullView nullView_;
    TransferView& view_;
    const bool split_;
    const std::string marker_;
    const bool pausing_;
    CopyMode mode_;
    ProgressMeter meter_;
    std::unique_ptr<BackgroundHasher> hasher_;
    int32_t hashed_ = 0;  // pieces whose digest was recorded or compared
    int64_t done_ = 0;    // bytes of the whole file through so far
    TransferOutcome outcome_;

private:
    int32_t listed_ = 0;  // pieces whose size the view lists
};

// A split: the big file cut into the planned pieces, or pieces as large as
// each disk's free space.
class SplitJob final : public TransferJob {
public:
    SplitJob(TPieceEngine& engine, int32_t maxBuffer, const std::string& marker, PauseMode pauseMode,
             bool useFreeSpace);
    TransferOutcome Run();

private:
    enum class PieceResult { Written, Failed, NothingFitted };
    // A piece this split gave its final name, to take back if the split fails.
    struct WrittenPiece {
        std::string name;
        FileIdentity id;
    };

    bool MorePieces(int32_t n) const;
    // Where piece n and the checksum file are written: in the staging
    // folder while the new set is not whole, else under their final names.
    std::string WrittenName(const std::string& finalName) const;
    bool PrepareStaging(int64_t bigSize);
    bool RefuseUnproven();
    int64_t RecoveryBytes() const;
    ChecksumRead OlderChecksums() const;
    bool PutSetInPlace();
    bool PlacingFailed(const SetPlacement& placement);
    std::string OwnNameBeside(const std::string& path) const;
    bool BeginChecksums(int64_t bigSize);
    bool PrepareDisk(int32_t n);
    bool AskForNextDisk(int32_t n, bool diskFull);
    bool SizeFromFreeSpace(int32_t n);
    PieceResult Failing(What what, int error = 0, int32_t piece = 0);
    PieceResult WritePiece(int32_t n);
    PieceResult KeepWhatFitted(int32_t n);
    bool CommitPiece(int32_t n);
    bool TakeDigests(int32_t upTo, bool wait);
    TransferOutcome Finish();
    void RemoveOlderSet();
    void Undo() override;
    // Recovery files: a staged split makes them beside the copy, into the
    // staging folder; a split onto disks makes them after the last piece,
    // each volume on a disk of its own.
    void StartRecovery();
    bool MakeRecoveryFiles();
    RecoveryCreate RecoveryOnDisks();
    bool DiskForVolume(int32_t n, int64_t bytes);

    const bool freeSpace_;
    Stream bigIn_;
    FileStamp bigStamp_;  // the big file when the split began
    OutputFile pieceOut_;
    ChecksumWriter sums_;
    std::vector<WrittenPiece> written_;  // this split's pieces, under their final names
    StagingFolder staging_;  // where the new set waits; none when pieces go to several disks
    ChecksumRead older_;     // the older set's checksum file beside the pieces (a staged split)
    std::vector<std::string> unproven_;  // files after the new set the user let it remove
    int64_t remaining_ = 0;  // bytes a free-space split has still to place
    bool diskFull_ = false;  // the last free-space piece filled its disk
    std::unique_ptr<RecoveryTask> recovery_;
    std::vector<RecoveryFile> recoveryFiles_;  // made, in the staging folder until the set is in place
};

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
