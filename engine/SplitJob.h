// A split as the engine runs it. Inside the engine only.
#pragma once

#include "engine/ChecksumFile.h"
#include "io/FileAccess.h"
#include "io/OutputFile.h"
#include "engine/SetPlacing.h"
#include "engine/SetRepair.h"
#include "engine/Staging.h"
#include "engine/TransferJob.h"
#include "recovery/WrittenPieces.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a split is given besides what every transfer is: the pieces in
// pieceSizes are the planned ones.
struct SplitRequest : TransferRequest {
    bool useFreeSpace = false;    // pieces as large as each disk's free space, not the planned ones
    bool removeUnproven = false;  // removes files after the new set that no older checksum file proves
    int32_t recovery = 0;         // recovery files rebuild this many lost pieces; 0: none
};

// A split: the big file cut into the planned pieces, or pieces as large as
// each disk's free space.
class SplitJob final : public TransferJob {
public:
    SplitJob(SplitRequest request, const TransferServices& services);
    // The outcome carries the pieces as cut (a free-space split sizes them
    // as it goes), the checksum file's place and the piece last written.
    TransferOutcome Run();

private:
    // The split itself; Run adds what the engine keeps.
    TransferOutcome Transfer();
    // Whether anything has the name, a link to nowhere included.
    static bool EntryThere(const std::string& name);
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
    bool StagedPiecesOnDisk();
    bool PlacingFailed(const SetPlacement& placement);
    std::string OwnNameBeside(const std::string& path) const;
    bool BeginChecksums(int64_t bigSize);
    bool PrepareDisk(int32_t n);
    bool AskForNextDisk(int32_t n, bool diskFull);
    bool SizeFromFreeSpace(int32_t n);
    PieceResult Failing(What what, int error = 0, int32_t piece = 0, std::string file = {});
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
    // The recovery task is told of each run of bytes once it is in the piece's file.
    void FeedRecoveryWhileCopying();
    bool MakeRecoveryFiles();
    RecoveryCreate RecoveryOnDisks();
    bool DiskForVolume(int32_t n, int64_t bytes);

    const SplitRequest request_;
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
    std::shared_ptr<WrittenPieces> writtenPieces_;  // what the recovery task reads
    std::vector<RecoveryFile> recoveryFiles_;  // made, in the staging folder until the set is in place
};
