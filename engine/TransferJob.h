// What a split and a join share: the view, the stop flag, the disk question,
// the piece list, the hand-over to the hasher and the outcome of a failure.
// Inside the engine only.
#pragma once

#include "engine/BackgroundHasher.h"
#include "engine/Copying.h"
#include "engine/PieceEngine.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

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
