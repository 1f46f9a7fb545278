#include "engine/TransferJob.h"

#include <algorithm>
#include <cerrno>

TransferJob::TransferJob(const TransferServices& services, bool split, const TransferRequest& request)
    : services_(services),
      view_(services_.view != nullptr ? *services_.view : nullView_),
      split_(split),
      pausing_(PausesBeforePieces(request.pauseMode, request.piecePrefix)),
      mode_(request.maxBuffer),
      meter_(view_),
      sizes_(request.pieceSizes),
      pieceStem_(FileNamePart(request.piecePrefix) + request.marker) {
    outcome_.split = split;
    if (sizes_.empty()) sizes_.push_back(0);
}

void TransferJob::SetPieceCount(int32_t count) { sizes_.resize(static_cast<std::size_t>(std::max(count, 0)) + 1, 0); }

TransferOutcome TransferJob::Reported(TransferOutcome outcome) const {
    outcome.pieceSizes = sizes_;
    outcome.checksumFile = checksumFile_;
    outcome.currentPiece = currentPiece_;
    outcome.pieceStem = pieceStem_;
    return outcome;
}

TransferOutcome TransferJob::Refused(What what, int error, int32_t piece, std::string file) const {
    TransferOutcome outcome;
    outcome.what = what;
    outcome.split = split_;
    outcome.error = error;
    outcome.piece = piece;
    outcome.file = std::move(file);
    return outcome;
}

bool TransferJob::Refuse(What what, int error, int32_t piece, std::string file) {
    std::string left = std::move(outcome_.leftStaging);  // a note that holds whatever the failure
    outcome_ = Refused(what, error, piece, std::move(file));
    outcome_.leftStaging = std::move(left);
    return false;
}

bool TransferJob::Fail(What what, int error, int32_t piece, std::string file) {
    std::string left = std::move(outcome_.leftStaging);
    outcome_ = Refused(Stopped() ? What::Stopped : what, error, piece, std::move(file));
    outcome_.leftStaging = std::move(left);
    hasher_.reset();
    Undo();
    view_.SetProgress(0);
    return false;
}

bool TransferJob::AskForDisk(int32_t n, bool diskFull, const std::string& line) {
    std::string question = services_.Text(EngineEntry::ReadyForDiskNumber);
    if (diskFull) {
        std::string full = services_.Text(EngineEntry::NoRoomOnDisk);
        // Not every language's text ends in a blank; the two sentences must not run together.
        if (!full.empty() && full.back() != ' ') full += ' ';
        question = full + question;
    }
    question += std::to_string(n) + "?";
    if (!line.empty()) question += "\n" + line;
    return view_.AskYesNo(question, services_.Text(EngineEntry::ChangeDisk),
                          diskFull ? TransferView::Icon::Exclamation : TransferView::Icon::Question);
}

void TransferJob::StartShowing() {
    view_.ClearPieceList();
    view_.SetProgressRange(0, kProgressScale);
    meter_.Start();
}

void TransferJob::ShowPiece(int32_t n) {
    view_.ShowCurrentPiece(currentPiece_);
    const std::string size = std::to_string(sizes_[std::size_t(n)]);
    if (n > listed_) {
        view_.AddPieceSize(size);
        listed_ = n;
    } else {
        view_.CorrectPieceSize(n - 1, size);
    }
    view_.SelectPiece(n - 1);
    view_.RepaintPieceList();
}

void TransferJob::HashWhileCopying(std::FILE* out, int64_t outAt) {
    BackgroundHasher* hasher = hasher_.get();
    const bool flush = mode_.buffered;  // small blocks may still sit in the stream's buffer
    meter_.copied = [this, hasher, flush, out, outAt](int64_t bytes) mutable {
        if (flush && !FlushForReaders(out)) return;
        hasher->Submit(out, outAt, bytes, BackgroundHasher::Lane::Both);
        outAt += bytes;
    };
}

bool TransferJob::FlushForReaders(std::FILE* out) {
    errno = 0;
    if (std::fflush(out) == 0) return true;
    if (flushError_ == 0) flushError_ = errno != 0 ? errno : EIO;
    return false;
}

bool TransferJob::Copy(std::FILE* in, std::FILE* out, int64_t count, int& error) {
    flushError_ = 0;
    const bool copied = CopyBytes(in, out, count, mode_, meter_, services_.stop, error);
    meter_.copied = nullptr;
    if (flushError_ == 0) return copied;
    if (error == 0) error = flushError_;
    return false;
}

bool TransferJob::StartHasher() {
    hasher_ = std::make_unique<BackgroundHasher>();
    hasher_->SetStopFlag(services_.stop);
    return hasher_->Ok() || Fail(What::HashingFailed, EAGAIN);
}
