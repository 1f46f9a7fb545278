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
#include "app/MainEntries.h"
#include "app/ModalSeam.h"
#include "dialogs/DiskDialog.h"
#include "engine/PieceNaming.h"
#include "settings/SettingsStore.h"
#include "texts/ExtraTexts.h"
#include "texts/QtHints.h"

namespace {
// Catalogue entries of the join workflow.
using MainEntry::kAbnormalTermination;
using MainEntry::kNewPlaceSelected;
using MainEntry::kProgramName;
constexpr int kChoosePieceTitle = 32;   // "Select the first smaller file in a series"
constexpr int kPieceFilter = 33;        // "Splitted Files (*<marker>1)|*<marker>1"
constexpr int kReadyToRestore = 34;     // "Ready to restore the file!"
constexpr int kRestoresTheFile = 38;    // "Restores the file..."
constexpr int kBigFilePlaceTitle = 50;  // "Choose where you want to recreate the big file"
constexpr int kCountingFiles = 65;      // "Counting files..."
constexpr int kFileRestored = 71;       // "The file is restored!"
constexpr int kCannotReadPiece = 93;    // "Could not read smaller file number: "
}  // namespace

void TMain::JoinFilesClick() {
    // The marker filter matches as the join does: case-sensitively, hidden files too.
    const QString chosen =
        Modal().OpenFileName(this, T(kChoosePieceTitle), T(kPieceFilter), JoinPath, /*exactNames=*/true);
    if (chosen.isEmpty()) return;
    JoinChosenPiece(chosen);
}

void TMain::JoinChosenPiece(const QString& chosen) {
    // The target of a new set is a default until the place dialog picks one.
    pickedJoinTarget_.clear();
    const std::string marker = ToStd(AddedFileType);
    engine_.CurrentPieceName = ToStd(chosen);
    // Any piece of a set may be chosen; the join always starts from piece 1.
    const std::string prefix = PrefixFromPieceName(engine_.CurrentPieceName, marker);
    engine_.PiecePrefix = prefix;
    engine_.BigFilePath = prefix;
    if (FileSizeOf(engine_.CurrentPieceName) == -1 || prefix.empty()) {
        // A name without the marker belongs to no set.
        ReportMissingFile(chosen);
        // The engine's names no longer describe a file chosen for splitting.
        SetControlState(0, false);
        SetControlState(1, false);
        return;
    }

    JoinPath = CurrentFolder();
    store_.Write(Settings::JoinPath, JoinPath);
    engine_.BigFilePath = BigFileTarget(prefix, ToStd(SplitPath));
    engine_.BigFileBytes = 0;
    ClearSizeList();
    SmallFileNames->setText(FromStd(PiecePattern(prefix, marker)));
    engine_.CurrentPieceName = PieceName(prefix, marker, 1);

    if (PausesBeforePieces(PauseMode, prefix)) {
        // The pieces are on several disks: the user says how many; the
        // engine measures each piece as it reaches it.
        if (frmDisk_) Modal().ExecDialog(frmDisk_);
        const int32_t count = frmDisk_ ? frmDisk_->Count() : 0;
        engine_.SetPieceCount(0);  // no size of an earlier set survives
        engine_.SetPieceCount(count);
        SmallerSizesLB->addItems(QStringList(count, QStringLiteral("?")));
    } else {
        ShowWorking(T(kCountingFiles));
        engine_.SetPieceCount(0);
        const DiscoveredPieces found = DiscoverPieces(prefix, marker);
        if (found.firstMissing || found.end != DiscoveredPieces::End::Whole) {
            // Piece 1 is missing, or the set has a gap after the pieces
            // counted: joining what was counted would be a short file.
            const std::string next = PieceName(prefix, marker, found.count + 1);
            if (found.end == DiscoveredPieces::End::NextUnreadable) {
                Modal().Message(this, T(kCannotReadPiece) + QString::number(found.count + 1),
                                T(kAbnormalTermination), ModalSeam::Icon::Stop, ModalSeam::Buttons::Ok);
                ShowDone(T(kAbnormalTermination));
            } else {
                ReportMissingFile(FromStd(found.firstMissing ? engine_.CurrentPieceName : next));
            }
            engine_.SetPieceCount(0);
            SetControlState(0, false);
            SetControlState(1, false);
            return;
        }
        engine_.PieceCount = found.count;
        engine_.PieceSizes = found.sizes;
        engine_.BigFileBytes = found.total;
        QStringList sizes;
        sizes.reserve(found.count);
        for (int32_t n = 1; n <= found.count; ++n) sizes << QString::number(found.sizes[size_t(n)]);
        SmallerSizesLB->addItems(sizes);
        engine_.CurrentPieceName = PieceName(prefix, marker, found.count + 1);
    }

    SetControlState(0, false);
    SetControlState(1, false);
    SetControlState(2, true);
    SetControlState(3, true);
    SetControlState(4, false);
    ShowPieceCount(engine_.PieceCount);
    BigFileName->setText(FromStd(engine_.BigFilePath));
    ShowBigFileSize(BigUnit);
    ShowDone(T(kReadyToRestore));
}

void TMain::JoinFilesBtnClick() { JoinFilesClick(); }

void TMain::FindPlaceToBigFileClick() {
    const QString chosen = Modal().SaveFileName(this, T(kBigFilePlaceTitle), QString(), SplitPath,
                                                FromStd(FileNamePart(engine_.PiecePrefix)));
    if (chosen.isEmpty()) {
        // The big file is recreated beside the pieces, under their base name.
        engine_.BigFilePath = engine_.PiecePrefix;
        pickedJoinTarget_.clear();
        return;
    }
    if (chosen != FromStd(engine_.BigFilePath)) {
        StatusPanel1->setText(T(kNewPlaceSelected));
        engine_.BigFilePath = ToStd(chosen);
    }
    // The dialog does not ask about an existing file: picking it is the answer.
    pickedJoinTarget_ = engine_.BigFilePath;
    BigFileName->setText(FromStd(engine_.BigFilePath));

    SplitPath = CurrentFolder();
    store_.Write(Settings::SplitPath, SplitPath);
}

void TMain::FindPlaceToBigFileBtnClick() { FindPlaceToBigFileClick(); }

void TMain::ClearPreparedJoin() {
    pickedJoinTarget_.clear();
    if (!DoJoin->isEnabled() && !FindPlaceToBigFile->isEnabled()) return;
    SetControlState(2, false);
    SetControlState(3, false);
    engine_.SetPieceCount(0);
    ClearSizeList();
    lblNrFiles->clear();
    ApplyHint(ActualSizeGB, QString(), false);
    SmallFileNames->clear();
    BigFileName->clear();
}

bool TMain::MayWriteJoinTarget() {
    if (!pickedJoinTarget_.empty() && pickedJoinTarget_ == engine_.BigFilePath) return true;
    const QString target = FromStd(engine_.BigFilePath);
    const QFileInfo existing(target);
    // A folder is no file to replace: the join reports it cannot write there.
    if (!existing.exists() || existing.isDir()) return true;
    const QString question = FromStd(ExtraText(Extra::ReplaceTarget)).arg(target);
    if (Modal().Message(this, question, T(kProgramName), ModalSeam::Icon::Question, ModalSeam::Buttons::YesNo))
        return true;
    StatusPanel1->setText(FromStd(ExtraText(Extra::NothingJoined)));
    return false;
}

void TMain::DoJoinClick() {
    if (TransferRunning()) return;
    if (!MayWriteJoinTarget()) return;
    ShowWorking(T(kRestoresTheFile));
    // Enabled during the join, so the piece being read shows as selected.
    const bool listWasEnabled = SmallerSizesLB->isEnabled();
    SmallerSizesLB->setEnabled(true);
    const int32_t maxRam = MaxRAM, pauseMode = PauseMode;
    const std::string marker = ToStd(AddedFileType);
    // Sizes not measured yet (a join that asks for each disk) add up to 0: not known.
    int64_t total = 0;
    for (int32_t n = 1; n <= engine_.PieceCount && size_t(n) < engine_.PieceSizes.size(); ++n)
        total += std::max<int64_t>(engine_.PieceSizes[size_t(n)], 0);
    RunTransfer([=](TPieceEngine& engine) { return engine.Join(maxRam, marker, pauseMode); }, total,
                engine_.PieceCount, [this, listWasEnabled](int32_t code) {
                    SmallerSizesLB->setEnabled(listWasEnabled);
                    ReportTransferResult(code, kFileRestored, kCannotReadPiece);
                    engine_.BigFileBytes = FileSizeOf(engine_.BigFilePath);
                    ShowBigFileSize(BigUnit);
                    // To join again the user chooses the pieces again.
                    SetControlState(2, false);
                    SetControlState(3, false);
                });
}

void TMain::DoJoinBtnClick() { DoJoinClick(); }
