#include "engine/PieceEngine.h"

#include "io/FileAccess.h"
#include "engine/JoinJob.h"
#include "engine/SplitJob.h"

#include <algorithm>
#include <limits>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

int64_t FreeBytesInFolder(const std::string& folder) {
    std::error_code ec;
    const fs::space_info info = fs::space(Paths::Native(folder), ec);
    if (ec) return 0;  // no answer counts as no room: the user is asked for another disk
    const auto limit = static_cast<std::uintmax_t>(std::numeric_limits<int64_t>::max());
    return static_cast<int64_t>(std::min(info.available, limit));
}

TPieceEngine::TPieceEngine(TextLookup texts, FreeSpaceQuery freeSpace) {
    services_.texts = std::move(texts);
    services_.freeSpace = std::move(freeSpace);
}

void TPieceEngine::SetPieceCount(int32_t count) {
    pieceCount_ = std::max(count, 0);
    pieceSizes_.resize(static_cast<std::size_t>(pieceCount_) + 1, 0);
}

void TPieceEngine::SetPieceSize(int32_t n, int64_t size) {
    if (n < 1) return;
    if (pieceSizes_.size() <= std::size_t(n)) pieceSizes_.resize(std::size_t(n) + 1, 0);
    pieceSizes_[std::size_t(n)] = size;
}

void TPieceEngine::SetPieces(int32_t count, std::vector<int64_t> sizes) {
    pieceSizes_ = std::move(sizes);
    if (pieceSizes_.empty()) pieceSizes_.push_back(0);
    SetPieceCount(count);
}

void TPieceEngine::FillRequest(TransferRequest& request, int32_t maxBuffer, const std::string& marker,
                               PauseMode pauseMode) const {
    request.bigFile = bigFilePath_;
    request.piecePrefix = piecePrefix_;
    request.marker = marker;
    request.maxBuffer = maxBuffer;
    request.pauseMode = pauseMode;
    request.useChecksums = useChecksums_;
    // Sizes set beyond the count are no pieces.
    request.pieceSizes = pieceSizes_;
    request.pieceSizes.resize(static_cast<std::size_t>(pieceCount_) + 1, 0);
}

void TPieceEngine::Remember(const TransferOutcome& outcome) {
    SetPieces(static_cast<int32_t>(outcome.pieceSizes.size()) - 1, outcome.pieceSizes);
    checksumFilePath_ = outcome.checksumFile;
    // A transfer that reached no piece leaves the one a join was chosen by.
    if (!outcome.currentPiece.empty()) currentPieceName_ = outcome.currentPiece;
}

TransferOutcome TPieceEngine::Split(int32_t maxBuffer, const std::string& marker, PauseMode pauseMode,
                                    bool useFreeSpace) {
    SplitRequest request;
    FillRequest(request, maxBuffer, marker, pauseMode);
    request.useFreeSpace = useFreeSpace;
    request.removeUnproven = removeUnproven_;
    request.recovery = recovery_;
    TransferOutcome outcome = SplitJob(std::move(request), services_).Run();
    Remember(outcome);
    return outcome;
}

TransferOutcome TPieceEngine::Join(int32_t maxBuffer, const std::string& marker, PauseMode pauseMode) {
    JoinRequest request;
    FillRequest(request, maxBuffer, marker, pauseMode);
    TransferOutcome outcome = JoinJob(std::move(request), services_).Run();
    Remember(outcome);
    return outcome;
}
