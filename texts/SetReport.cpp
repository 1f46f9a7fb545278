#include "texts/SetReport.h"

#include "engine/PieceNaming.h"
#include "io/Paths.h"
#include "texts/ExtraTexts.h"

namespace {

// Lines apart; empty ones left out.
void AddLine(std::string& text, const std::string& line) {
    if (line.empty()) return;
    text += (text.empty() ? "" : "\n") + line;
}

std::string WithReason(Language lang, const std::string& text, int systemError) {
    const std::string reason = ReasonText(lang, systemError);
    return reason.empty() ? text : text + "\n" + reason;
}

// The whole file beside the pieces, when it was compared and found wanting.
std::string WholeFileText(Language lang, const CheckedSet& checked) {
    using Whole = CheckedSet::Whole;
    switch (checked.whole) {
    case Whole::WrongSize:
    case Whole::Damaged: return FillIn(ExtraText(lang, Extra::FileDamaged), {checked.wholeFile});
    case Whole::Unreadable:
        return WithReason(lang, FillIn(ExtraText(lang, Extra::FileUnreadable), {checked.wholeFile}), checked.wholeError);
    case Whole::JoinedDiffers:
        return FillIn(ExtraText(lang, Extra::JoinedPiecesDiffer), {checked.loaded.checksumPath});
    case Whole::Matched:
    case Whole::Absent:
    case Whole::NotChecked: break;
    }
    return {};
}

std::string BadPiecesText(Language lang, const CheckedSet& checked) {
    std::string text = FillIn(CountedText(lang, Extra::BadPiecesFound, int64_t(checked.bad.size())),
                              {std::to_string(checked.bad.size()), std::to_string(checked.count)});
    for (const BadPiece& piece : checked.bad) AddLine(text, BadPieceText(lang, piece));
    return text;
}

std::string AllGoodText(Language lang, const CheckedSet& checked, Extra allGood) {
    std::string text = FillIn(CountedText(lang, allGood, checked.count), {std::to_string(checked.count)});
    if (checked.whole == CheckedSet::Whole::Matched)
        AddLine(text, FillIn(ExtraText(lang, Extra::WholeFileChecked), {checked.wholeFile}));
    AddLine(text, WholeFileText(lang, checked));
    return text;
}

}  // namespace

std::string SetStatusText(Language lang, const LoadedSet& loaded, const std::string& prefix, const std::string& marker) {
    const std::string& sums = loaded.checksumPath;
    using Status = LoadedSet::Status;
    std::string text;
    switch (loaded.status) {
    case Status::Ok: return {};
    case Status::NoChecksumFile:
        text = FillIn(ExtraText(lang, Extra::NoChecksumFile), {ChecksumFileName(prefix, marker)});
        break;
    case Status::OtherSet: text = FillIn(ExtraText(lang, Extra::ChecksumFileOfOtherSet), {sums, loaded.related}); break;
    case Status::LinkNotTrusted:
        text = FillIn(ExtraText(lang, Extra::ReadLinkNotTrusted), {loaded.untrustedLink});
        break;
    case Status::Unreadable:
        if (loaded.read.status == ChecksumRead::Status::Absent)  // gone since it was found
            text = FillIn(ExtraText(lang, Extra::NoChecksumFile), {sums});
        else
            text = WithReason(lang, FillIn(ExtraText(lang, Extra::FileUnreadable), {sums}), loaded.read.error);
        break;
    case Status::Damaged:
        text = loaded.read.line > 0
                   ? FillIn(ExtraText(lang, Extra::ChecksumFileDamagedAt), {sums, std::to_string(loaded.read.line)})
                   : FillIn(ExtraText(lang, Extra::ChecksumFileDamaged), {sums});
        break;
    case Status::Unfinished: text = FillIn(ExtraText(lang, Extra::ChecksumFileUnfinished), {sums}); break;
    }
    if (!loaded.leftStaging.empty())
        AddLine(text, FillIn(ExtraText(lang, Extra::InterruptedSplitLeft), {loaded.leftStaging}));
    return text;
}

std::string BadPieceText(Language lang, const BadPiece& piece) {
    const std::string number = std::to_string(piece.number), name = FileNamePart(piece.file);
    switch (piece.why) {
    case BadPiece::Why::Missing: return FillIn(ExtraText(lang, Extra::BadPieceMissing), {number, name});
    case BadPiece::Why::WrongSize:
        return FillIn(ExtraText(lang, Extra::BadPieceWrongSize),
                      {number, name, std::to_string(piece.actualSize), std::to_string(piece.expectedSize)});
    case BadPiece::Why::Unreadable:
        return WithReason(lang, FillIn(ExtraText(lang, Extra::BadPieceUnreadable), {number, name}), piece.error);
    case BadPiece::Why::Damaged: return FillIn(ExtraText(lang, Extra::BadPieceDamaged), {number, name});
    case BadPiece::Why::LinkNotTrusted:
        return FillIn(ExtraText(lang, Extra::BadPieceLink), {number, name, piece.link});
    }
    return {};
}

std::string RecoveryVerdictText(Language lang, const CheckedSet& checked) {
    if (checked.bad.empty()) return {};
    std::string text;
    for (const std::string& file : checked.passedOver)
        AddLine(text, FillIn(ExtraText(lang, Extra::RecoveryFilePassedOver), {file}));
    if (checked.recoveryOfOtherVersion) {
        AddLine(text, ExtraText(lang, Extra::RecoveryOfOtherVersion));
        AddLine(text, RecoveryShortText(lang, checked.RecoveryShortBy()));
        return text;
    }
    if (!checked.HasRecoveryFiles() || (checked.rebuildable == 0 && checked.passedOver.size() ==
                                                                        checked.loaded.recoveryFiles.size())) {
        AddLine(text, ExtraText(lang, Extra::RecoveryNone));
        return text;
    }
    AddLine(text, FillIn(CountedText(lang, Extra::RecoveryCanRebuild, int64_t(checked.bad.size())),
                         {std::to_string(checked.bad.size()), std::to_string(checked.rebuildable)}));
    AddLine(text, RecoveryShortText(lang, checked.RecoveryShortBy()));
    return text;
}

std::string RepairFailureText(Language lang, const RepairedSet& repaired) {
    if (!repaired.attempted || repaired.repair.ok) return {};
    const SetRepair& repair = repaired.repair;
    const CheckedSet& check = repaired.check;
    if (!repair.notPlaced.empty()) {
        const Extra text = repair.notPlaced.size() == 1 ? Extra::PieceNotPlaced : Extra::PiecesNotPlaced;
        return WithReason(lang, FillIn(ExtraText(lang, text), {PieceNumbers(repair.notPlaced)}), repair.error);
    }
    if (repair.stopped) return ExtraText(lang, Extra::Stopped);
    if (repair.foreignData)
        return FillIn(ExtraText(lang, Extra::RebuiltPieceDiffers), {std::to_string(check.bad.front().number)});
    if (repair.rebuildable < repair.missing) {
        return repair.rebuildable == 0 && repair.passedOver.size() == check.loaded.recoveryFiles.size()
                   ? ExtraText(lang, Extra::RecoveryNone)
                   : FillIn(CountedText(lang, Extra::RecoveryTooFew, repair.missing),
                            {std::to_string(repair.missing), std::to_string(repair.rebuildable)});
    }
    // Which file failed, reading or writing, and why.
    const TransferOutcome::What failed = FailedWhat(repair.failedStep);
    if (failed != TransferOutcome::What::Done) {
        return WithReason(lang,
                          ExtraText(lang, Extra::RebuildFailed) + "\n" +
                              FileFailureText(lang, failed, repair.failedPiece, repair.failedFile),
                          repair.error);
    }
    return WithReason(lang, ExtraText(lang, Extra::NothingJoined), repair.error);
}

std::string CheckReport(Language lang, const CheckedSet& checked, const std::string& marker) {
    if (!checked.loaded.Ok()) return SetStatusText(lang, checked.loaded, checked.prefix, marker);
    if (checked.stopped) return ExtraText(lang, Extra::Stopped);
    if (checked.bad.empty()) return AllGoodText(lang, checked, Extra::AllPiecesMatch);
    std::string text = BadPiecesText(lang, checked);
    AddLine(text, RecoveryVerdictText(lang, checked));
    if (checked.HasRecoveryFiles() && checked.RecoveryShortBy() == 0 && checked.rebuildable > 0)
        AddLine(text, ExtraText(lang, Extra::RepairToRebuild));
    return text;
}

std::string RepairReport(Language lang, const RepairedSet& repaired, const std::string& marker) {
    const CheckedSet& check = repaired.check;
    if (!check.loaded.Ok()) return SetStatusText(lang, check.loaded, check.prefix, marker);
    if (check.stopped) return ExtraText(lang, Extra::Stopped);
    if (check.bad.empty()) return AllGoodText(lang, check, Extra::RepairNothingToDo);
    std::string text = BadPiecesText(lang, check);
    const SetRepair& repair = repaired.repair;
    for (const std::string& file : repair.passedOver)
        AddLine(text, FillIn(ExtraText(lang, Extra::RecoveryFilePassedOver), {file}));
    if (!repair.rebuilt.empty()) {
        const Extra rebuilt = repair.rebuilt.size() == 1 ? Extra::PieceRebuilt : Extra::PiecesRebuilt;
        AddLine(text, FillIn(ExtraText(lang, rebuilt), {PieceNumbers(repair.rebuilt)}));
    }
    AddLine(text, RepairFailureText(lang, repaired));
    // Too few recovery files: how many more pieces' worth would have done it.
    if (!repair.ok && !repair.stopped && repair.rebuildable < repair.missing && repair.notPlaced.empty()) {
        AddLine(text, RecoveryShortText(lang, repair.missing - repair.rebuildable));
    }
    return text;
}
