// What a split and a join share: the services, the disk question, the piece
// list and the pieces' sizes, the hand-over to the hasher, the outcome of a
// failure and what the engine keeps of any outcome. Inside the engine only.
#pragma once

#include "engine/BackgroundHasher.h"
#include "engine/ChecksumFile.h"
#include "engine/Copying.h"
#include "engine/PieceNaming.h"
#include "engine/TransferOutcome.h"
#include "engine/TransferView.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// What a split and a join are both given.
struct TransferRequest {
    std::string bigFile;      // read by a split, written by a join (links followed)
    std::string piecePrefix;  // the pieces' names up to the marker
    std::string marker;
    int32_t maxBuffer = 0;  // the memory limit of the copying
    PauseMode pauseMode = PauseMode::Sometimes;
    bool useChecksums = true;  // a split writes the set's checksum file, a join checks it
    // pieceSizes[n] is piece n's size, element 0 holds no piece; the count
    // is one less than the length.
    std::vector<int64_t> pieceSizes{0};

    std::string PieceNamed(int32_t n) const { return PieceName(piecePrefix, marker, n); }
    std::string ChecksumsBesidePieces() const { return ChecksumFileName(piecePrefix, marker); }
};

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

    TransferJob(const TransferServices& services, bool split, const TransferRequest& request);
    virtual ~TransferJob() = default;
    TransferJob(const TransferJob&) = delete;
    TransferJob& operator=(const TransferJob&) = delete;

    bool Stopped() const { return services_.Stopped(); }
    // The outcome of a failure, without undoing anything (nothing was done yet).
    TransferOutcome Refused(What what, int error = 0, int32_t piece = 0, std::string file = {}) const;
    // Records the failure and returns false, without undoing anything.
    bool Refuse(What what, int error = 0, int32_t piece = 0, std::string file = {});
    // Records the failure (a stop wins over what it caused), lets the job
    // undo its work and empties the bar; always false.
    bool Fail(What what, int error = 0, int32_t piece = 0, std::string file = {});
    virtual void Undo() = 0;

    // Asks for disk n: "Ready for diskette/file number n?", or with the
    // full-disk warning in front, and `line` under it where there is one;
    // false when the answer is No.
    bool AskForDisk(int32_t n, bool diskFull, const std::string& line = {});
    // Piece n is the one in transfer: named, listed with its size, selected.
    void ShowPiece(int32_t n);
    // The bar from 0, the piece list empty.
    void StartShowing();
    // Hands every run of bytes the copy moves to the hasher's threads as
    // they lie in the file written (the piece of a split, the joined file
    // of a join): what the checksums vouch for is what is on the disk, not
    // what was read.
    void HashWhileCopying(std::FILE* out, int64_t outAt);
    // Puts what a stream's buffer holds into the file, for the threads that
    // read it there. A flush that fails (a full disk) has dropped those
    // bytes: false, and Copy fails with its reason.
    bool FlushForReaders(std::FILE* out);
    bool Copy(std::FILE* in, std::FILE* out, int64_t count, int& error);
    // The hasher's threads, told of a stop; false (the failure recorded) when
    // they cannot be started.
    bool StartHasher();

    int32_t PieceCount() const { return static_cast<int32_t>(sizes_.size()) - 1; }
    // The sizes of pieces 1..N, piece 1's first.
    std::vector<int64_t> SizesOfPieces() const { return {sizes_.begin() + 1, sizes_.end()}; }
    // Sets the count; sizes of new pieces are 0, those beyond it go.
    void SetPieceCount(int32_t count);
    // The job's outcome with what the engine keeps of it.
    TransferOutcome Reported(TransferOutcome outcome) const;

    const TransferServices services_;
    NullView nullView_;
    TransferView& view_;
    const bool split_;
    const bool pausing_;
    CopyMode mode_;
    ProgressMeter meter_;
    std::unique_ptr<BackgroundHasher> hasher_;
    int32_t hashed_ = 0;  // pieces whose digest was recorded or compared
    int64_t done_ = 0;    // bytes of the whole file through so far
    TransferOutcome outcome_;
    std::vector<int64_t> sizes_;  // sizes_[n] is piece n's size; element 0 holds no piece
    std::string currentPiece_;    // the piece in transfer
    std::string checksumFile_;    // the set's checksum file, once known
    const std::string pieceStem_;  // the pieces' file name up to the number

private:
    int32_t listed_ = 0;  // pieces whose size the view lists
    int flushError_ = 0;  // errno of a flush for the readers that failed during this copy
};
