// The join workflow: choose the pieces by picking any one of them, optionally
// another place or name for the big file, and join.
#include <QAction>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QStringList>
#include <algorithm>

#include "app/Main.h"
#include "app/ModalSeam.h"
#include "dialogs/DiskDialog.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "io/FileAccess.h"
#include "settings/SettingsStore.h"
#include "texts/ExtraTexts.h"
#include "texts/QtHints.h"
#include "texts/QtText.h"

using Texts::Text;

void TMain::JoinFilesClick() {
    // The marker filter matches as the join does: case-sensitively, hidden files too.
    // Piece 1 first; the set's checksum and recovery files name it as well.
    const QString marker = AddedFileType;
    const QString filter = Text(Entry::PieceFilter) + QLatin1Char('|') + FromStd(ExtraText(Extra::SetFilesFilter)) +
                           QStringLiteral("|*") + marker + QStringLiteral("sha256;*.par2");
    const QString chosen = Modal::InUse().OpenFileName(this, Text(Entry::ChoosePieceTitle), filter, JoinPath,
                                                       /*exactNames=*/true);
    if (chosen.isEmpty()) return;
    JoinChosenPiece(chosen);
}

void TMain::JoinChosenPiece(const QString& chosen) {
    // The target of a new set is a default until the place dialog picks one.
    pickedJoinTarget_.clear();
    const std::string marker = ToStd(AddedFileType);
    engine_.SetCurrentPieceName(ToStd(chosen));
    // Any piece of a set may be chosen; the join always starts from piece 1.
    const std::string prefix = SetPrefixOf(engine_.CurrentPieceName(), marker);
    engine_.SetPiecePrefix(prefix);
    engine_.SetBigFilePath(prefix);
    const bool refused = RefuseFile(chosen, false);
    if (refused || FileSizeOf(engine_.CurrentPieceName()) == -1 || prefix.empty()) {
        if (!refused) ReportMissingFile(chosen);
        // The engine's names no longer describe a file chosen for splitting.
        SetControlState(ControlGroup::SplitCommand, false);
        SetControlState(ControlGroup::PlaceForPieces, false);
        return;
    }

    JoinPath = CurrentFolder();
    store_.Write(Settings::JoinPath, JoinPath);
    engine_.SetBigFilePath(BigFileTarget(prefix, ToStd(SplitPath)));
    BigFileBytes = 0;
    ClearSizeList();
    smallFiles_->SmallFileNames->setText(FromStd(PiecePattern(prefix, marker)));
    engine_.SetCurrentPieceName(PieceName(prefix, marker, 1));

    const bool pausing = PausesBeforePieces(PauseMode, prefix);
    std::vector<int32_t> toRebuild;
    if (pausing) {
        // The pieces are on several disks: the user says how many; the
        // engine measures each piece as it reaches it.
        if (windows_.frmDisk) Modal::InUse().ExecDialog(windows_.frmDisk);
        const int32_t count = windows_.frmDisk ? windows_.frmDisk->Count() : 0;
        engine_.SetPieceCount(0);  // no size of an earlier set survives
        engine_.SetPieceCount(count);
        smallFiles_->SmallerSizesLB->addItems(QStringList(count, QStringLiteral("?")));
    } else {
        ShowWorking(Text(Entry::CountingFiles));
        engine_.SetPieceCount(0);
    }
    if (!pausing && !TakeListedSet(prefix, marker, toRebuild)) {
        const DiscoveredPieces found = DiscoverPieces(prefix, marker, engine_.BigFilePath());
        if (found.firstMissing || found.end != DiscoveredPieces::End::Whole) {
            // Piece 1 is missing, or the set has a gap after the pieces
            // counted: joining what was counted would be a short file.
            const std::string next = PieceName(prefix, marker, found.count + 1);
            if (found.end == DiscoveredPieces::End::NextUnreadable) {
                Modal::InUse().Message(this, Text(Entry::AbnormalTermination),
                                       Text(Entry::CannotReadPiece) + QString::number(found.count + 1),
                                       ModalSeam::Icon::Stop, ModalSeam::Buttons::Ok);
                ShowDone(Text(Entry::AbnormalTermination));
            } else {
                ReportMissingFile(FromStd(found.firstMissing ? engine_.CurrentPieceName() : next));
            }
            engine_.SetPieceCount(0);
            SetControlState(ControlGroup::SplitCommand, false);
            SetControlState(ControlGroup::PlaceForPieces, false);
            return;
        }
        SetPieces(found.count, found.sizes);
        BigFileBytes = found.total;
        engine_.SetCurrentPieceName(PieceName(prefix, marker, found.count + 1));
    }

    SetControlState(ControlGroup::SplitCommand, false);
    SetControlState(ControlGroup::PlaceForPieces, false);
    SetControlState(ControlGroup::JoinCommand, true);
    SetControlState(ControlGroup::PlaceForBigFile, true);
    SetControlState(ControlGroup::BaseSizeChoice, false);
    ShowPieceCount(engine_.PieceCount());
    bigFile_->BigFileName->setText(FromStd(engine_.BigFilePath()));
    ShowBigFileSize(BigUnit);
    ShowDone(Text(Entry::ReadyToRestore));
    if (!toRebuild.empty()) {
        status_.StatusPanel1->setText(Text(Entry::ReadyToRestore) + QStringLiteral(" ") +
                                      FromStd(FillIn(ExtraText(Extra::PiecesToRebuild), {PieceNumbers(toRebuild)})));
    }
}

bool TMain::TakeListedSet(const std::string& prefix, const std::string& marker, std::vector<int32_t>& missing) {
    const LoadedSet loaded = LoadSet(prefix, marker, engine_.BigFilePath());
    if (!loaded.Ok()) return false;
    const ChecksumSet& set = loaded.read.set;
    missing.clear();
    for (int32_t n = 1; n <= set.count; ++n) {
        if (FileSizeOf(PieceName(prefix, marker, n)) < 0) missing.push_back(n);
    }
    // Without recovery files a missing piece ends the set where it is missing, as for any set.
    if (!missing.empty() && loaded.recoveryFiles.empty()) {
        missing.clear();
        return false;
    }
    std::vector<int64_t> sizes{0};
    sizes.insert(sizes.end(), set.sizes.begin(), set.sizes.end());
    SetPieces(set.count, sizes);
    BigFileBytes = 0;
    for (const int64_t size : set.sizes) BigFileBytes += size;
    engine_.SetCurrentPieceName(PieceName(prefix, marker, set.count + 1));
    return true;
}

void TMain::FindPlaceToBigFileClick() {
    const QString chosen = Modal::InUse().SaveFileName(this, Text(Entry::BigFilePlaceTitle), QString(), SplitPath,
                                                       FromStd(FileNamePart(engine_.PiecePrefix())));
    if (chosen.isEmpty()) {
        // The big file is recreated beside the pieces, under their base name.
        engine_.SetBigFilePath(engine_.PiecePrefix());
        pickedJoinTarget_.clear();
        return;
    }
    if (chosen != FromStd(engine_.BigFilePath())) {
        status_.StatusPanel1->setText(Text(Entry::NewPlaceSelected));
        engine_.SetBigFilePath(ToStd(chosen));
    }
    // The dialog does not ask about an existing file: picking it is the answer.
    pickedJoinTarget_ = engine_.BigFilePath();
    bigFile_->BigFileName->setText(FromStd(engine_.BigFilePath()));

    SplitPath = CurrentFolder();
    store_.Write(Settings::SplitPath, SplitPath);
}

void TMain::ClearPreparedJoin() {
    pickedJoinTarget_.clear();
    if (!menus_.DoJoin->isEnabled() && !menus_.FindPlaceToBigFile->isEnabled()) return;
    SetControlState(ControlGroup::JoinCommand, false);
    SetControlState(ControlGroup::PlaceForBigFile, false);
    engine_.SetPieceCount(0);
    ClearSizeList();
    smallFiles_->lblNrFiles->clear();
    ApplyHint(smallFiles_, QString(), false);
    smallFiles_->SmallFileNames->clear();
    bigFile_->BigFileName->clear();
}

bool TMain::MayWriteJoinTarget() {
    if (!pickedJoinTarget_.empty() && pickedJoinTarget_ == engine_.BigFilePath()) return true;
    const QString target = FromStd(engine_.BigFilePath());
    const QFileInfo existing(target);
    // A folder is no file to replace: the join reports it cannot write there.
    if (!existing.exists() || existing.isDir()) return true;
    const QString question = FromStd(ExtraText(Extra::ReplaceTarget)).arg(target);
    if (Modal::InUse().Message(this, Text(Entry::ProgramName), question, ModalSeam::Icon::Question,
                               ModalSeam::Buttons::YesNo))
        return true;
    status_.StatusPanel1->setText(FromStd(ExtraText(Extra::NothingJoined)));
    return false;
}

void TMain::DoJoinClick() {
    if (TransferRunning()) return;
    if (!MayWriteJoinTarget()) return;
    ShowWorking(Text(Entry::RestoresTheFile));
    // Enabled during the join, so the piece being read shows as selected.
    const bool listWasEnabled = smallFiles_->SmallerSizesLB->isEnabled();
    smallFiles_->SmallerSizesLB->setEnabled(true);
    const int32_t maxRam = MaxRAM;
    const ::PauseMode pauseMode = PauseMode;
    const std::string marker = ToStd(AddedFileType);
    // Sizes not measured yet (a join that asks for each disk) add up to 0: not known.
    int64_t total = 0;
    for (int32_t n = 1; n <= engine_.PieceCount() && size_t(n) < engine_.PieceSizes().size(); ++n)
        total += std::max<int64_t>(engine_.PieceSizes()[size_t(n)], 0);
    RunTransfer([=](TPieceEngine& engine) { return engine.Join(maxRam, marker, pauseMode); }, total,
                engine_.PieceCount(),
                [this, listWasEnabled](const TransferOutcome& outcome) {
                    smallFiles_->SmallerSizesLB->setEnabled(listWasEnabled);
                    ReportTransferResult(outcome);
                    BigFileBytes = FileSizeOf(engine_.BigFilePath());
                    ShowBigFileSize(BigUnit);
                    // After a join that ended well the user chooses the pieces
                    // again; after one that failed or stopped, the same set can
                    // be tried again at once.
                    if (outcome.Ok()) {
                        SetControlState(ControlGroup::JoinCommand, false);
                        SetControlState(ControlGroup::PlaceForBigFile, false);
                    }
                });
}
