// The transfer engine: cuts the big file into pieces or joins pieces back into
// the big file, with progress, disk-change questions, free-space sizing and
// one outcome. Standard library only; reaches the window only through
// TransferView.
#pragma once

#include "engine/ChecksumFile.h"
#include "engine/PieceNaming.h"
#include "engine/TransferOutcome.h"
#include "engine/TransferView.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The FreeSpaceQuery that asks the system.
int64_t FreeBytesInFolder(const std::string& folder);

struct TransferRequest;

class TPieceEngine {
public:
    explicit TPieceEngine(TextLookup texts = {}, FreeSpaceQuery freeSpace = FreeBytesInFolder);

    void SetView(TransferView* view) { services_.view = view; }
    // Called on the thread that starts the transfer: the lookup then answers
    // in the language of that moment, whatever the window does meanwhile.
    void SetTextLookup(TextLookup texts) { services_.texts = std::move(texts); }
    void SetFreeSpaceQuery(FreeSpaceQuery query) { services_.freeSpace = std::move(query); }
    // Looked at before every block: once it is true the transfer ends
    // Stopped, leaving what a failure leaves. May be set from another thread
    // or a signal handler.
    void SetStopFlag(const std::atomic<bool>* flag) { services_.stop = flag; }
    // A split writes the set's checksum file, a join checks it (on unless
    // turned off).
    void SetUseChecksums(bool on) { useChecksums_ = on; }
    // A split also writes recovery files from which any `lostPieces` pieces
    // can be rebuilt (0: none); a join rebuilds missing or damaged pieces
    // from the recovery files it finds, whatever this says.
    void SetRecovery(int32_t lostPieces) { recovery_ = lostPieces; }
    int32_t Recovery() const { return recovery_; }
    // Files named like pieces after a new set into one folder that no older
    // checksum file proves to be that set's: a split refuses them
    // (UnprovenPieces) unless told to remove them (see UnprovenFollowers).
    void SetRemoveUnprovenPieces(bool remove) { removeUnproven_ = remove; }

    TransferOutcome Split(int32_t maxBuffer, const std::string& marker, PauseMode pauseMode, bool useFreeSpace);
    TransferOutcome Join(int32_t maxBuffer, const std::string& marker, PauseMode pauseMode);

    // The big file: read by a split, written by a join (links followed).
    const std::string& BigFilePath() const { return bigFilePath_; }
    void SetBigFilePath(std::string path) { bigFilePath_ = std::move(path); }
    // The pieces' names up to the marker.
    const std::string& PiecePrefix() const { return piecePrefix_; }
    void SetPiecePrefix(std::string prefix) { piecePrefix_ = std::move(prefix); }
    // The piece in transfer, or the one a join was chosen by.
    const std::string& CurrentPieceName() const { return currentPieceName_; }
    void SetCurrentPieceName(std::string name) { currentPieceName_ = std::move(name); }

    // The pieces' count and sizes: PieceSizes()[n] is piece n's size,
    // element 0 holds no piece. A free-space split sets them as it goes; a
    // join with a checksum file takes them from it.
    int32_t PieceCount() const { return pieceCount_; }
    const std::vector<int64_t>& PieceSizes() const { return pieceSizes_; }
    // Sets the count; sizes of new pieces are 0, those beyond it go.
    void SetPieceCount(int32_t count);
    // Piece n's size (1 <= n; the list grows to hold it, the count does not change).
    void SetPieceSize(int32_t n, int64_t size);
    // The count and the sizes in one, as a plan gives them (sizes[0] holds no piece).
    void SetPieces(int32_t count, std::vector<int64_t> sizes);

    // A split's checksum file, wherever it went; a join's, when it had one.
    const std::string& ChecksumFilePath() const { return checksumFilePath_; }

private:
    // What a split and a join are both given, from the engine's fields.
    void FillRequest(TransferRequest& request, int32_t maxBuffer, const std::string& marker, PauseMode pauseMode) const;
    // Keeps what the transfer learnt: the pieces' count and sizes, the
    // checksum file, the piece last in transfer.
    void Remember(const TransferOutcome& outcome);

    std::string bigFilePath_;
    std::string piecePrefix_;
    std::string currentPieceName_;
    int32_t pieceCount_ = 0;
    std::vector<int64_t> pieceSizes_{0};  // element 0 holds no piece
    std::string checksumFilePath_;
    bool useChecksums_ = true;
    int32_t recovery_ = 0;
    bool removeUnproven_ = false;
    TransferServices services_;
};
