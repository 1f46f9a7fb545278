// The split workflow: choose the big file, optionally another place or name
// for the pieces, and split.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>

#include "app/Main.h"
#include "app/ModalSeam.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "texts/ExtraTexts.h"
#include "settings/SettingsStore.h"
#include "texts/QtText.h"

using Texts::Text;

void TMain::ChooseSplitAFileClick() {
    const QString chosen =
        Modal::InUse().OpenFileName(this, Text(Entry::ChooseFileToSplitTitle), Text(Entry::AllFilesFilter), SplitPath);
    if (chosen.isEmpty()) {
        status_.StatusPanel1->setText(Text(Entry::NoFileSelected));
        return;
    }
    SplitChosenFile(chosen);
}

void TMain::SplitChosenFile(const QString& chosen) {
    // The engine's target becomes the chosen file: no join may write to it.
    ClearPreparedJoin();
    engine_.SetBigFilePath(ToStd(chosen));
    BigFileBytes = FileSizeOf(engine_.BigFilePath());
    // An empty file is shown with its size 0 and cannot be split; a folder
    // is said to be one rather than missing.
    if (BigFileBytes == -1) {
        if (!RefuseFile(chosen, true)) ReportMissingFile(chosen);
        return;
    }
    bigFile_->BigFileName->setText(chosen);
    ShowBigFileSize(BigUnit);

    SplitPath = CurrentFolder();
    store_.Write(Settings::SplitPath, SplitPath);

    engine_.SetPiecePrefix(MakePiecePrefix(ToStd(JoinPath), engine_.BigFilePath()));
    PlanPieceSizes(0);
    // In base size mode a plan that needs too many pieces leaves no count;
    // the plan has then already turned the split commands off.
    const bool planned = UseFreeSpace || engine_.PieceCount() > 0;
    if (BigFileBytes > 0 && planned) {
        smallFiles_->SmallFileNames->setText(FromStd(PiecePattern(engine_.PiecePrefix(), ToStd(AddedFileType))));
        SetControlState(ControlGroup::SplitCommand, true);
        SetControlState(ControlGroup::PlaceForPieces, true);
        SetControlState(ControlGroup::JoinCommand, false);
        SetControlState(ControlGroup::PlaceForBigFile, false);
    }
}

void TMain::FindPlaceToSmallFilesClick() {
    const QString chosen =
        Modal::InUse().SaveFileName(this, Text(Entry::PiecePlaceTitle), Text(Entry::PiecePlaceFilter), JoinPath,
                                    FromStd(FileNamePart(engine_.BigFilePath())));
    if (chosen.isEmpty()) {
        // The pieces go beside the big file, under its own name.
        engine_.SetPiecePrefix(engine_.BigFilePath());
        return;
    }
    if (chosen != FromStd(engine_.PiecePrefix())) {
        status_.StatusPanel1->setText(Text(Entry::NewPlaceSelected));
        engine_.SetPiecePrefix(ToStd(chosen));
    }
    smallFiles_->SmallFileNames->setText(FromStd(PiecePattern(engine_.PiecePrefix(), ToStd(AddedFileType))));

    JoinPath = CurrentFolder();
    store_.Write(Settings::JoinPath, JoinPath);
}

// Files named like pieces after the new set that no older checksum file
// proves: a later join would take them in. Removed only when the user says
// so; No leaves everything as it is.
bool TMain::MayRemoveStrayPieces(bool& remove) {
    remove = false;
    if (UseFreeSpace || PausesBeforePieces(PauseMode, engine_.PiecePrefix())) return true;
    const std::vector<std::string> stray = UnprovenFollowers(engine_.PiecePrefix(), ToStd(AddedFileType),
                                                             engine_.BigFilePath(), engine_.PieceCount());
    if (stray.empty()) return true;
    const QString question = FromStd(
        FillIn(CountedText(LanguageIndex, Extra::RemoveUnprovenAsk, int64_t(stray.size())),
               {std::to_string(stray.size()), NamesList(stray)}));
    remove = Modal::InUse().Message(this, Text(Entry::ProgramName), question, ModalSeam::Icon::Question,
                                    ModalSeam::Buttons::YesNo);
    if (!remove) {
        TransferOutcome refused;
        refused.what = TransferOutcome::What::UnprovenPieces;
        refused.split = true;
        refused.untouched = stray;
        status_.StatusPanel1->setText(FromStd(OutcomeText(LanguageIndex, refused)));
    }
    return remove;
}

void TMain::DoSplitClick() {
    if (TransferRunning() || !RecoveryPlanUsable()) return;
    bool removeStray = false;
    if (!MayRemoveStrayPieces(removeStray)) return;
    ShowWorking(Text(Entry::SplitsTheFile));
    // Enabled during the split, so the piece being written shows as selected.
    const bool listWasEnabled = smallFiles_->SmallerSizesLB->isEnabled();
    smallFiles_->SmallerSizesLB->setEnabled(true);
    const int32_t maxRam = MaxRAM;
    const ::PauseMode pauseMode = PauseMode;
    const bool useFreeSpace = UseFreeSpace;
    const std::string marker = ToStd(AddedFileType);
    const int32_t lostPieces = smallFiles_->spnRecovery->value();
    RunTransfer(
        [=](TPieceEngine& engine) {
            engine.SetRecovery(lostPieces);
            engine.SetRemoveUnprovenPieces(removeStray);
            return engine.Split(maxRam, marker, pauseMode, useFreeSpace);
        },
        BigFileBytes, useFreeSpace ? 0 : engine_.PieceCount(),
        [this, listWasEnabled](const TransferOutcome& outcome) {
            smallFiles_->SmallerSizesLB->setEnabled(listWasEnabled);
            ReportTransferResult(outcome);
            // To split again the user chooses a file again; a stopped split
            // can be started again at once, as a stopped join can.
            if (outcome.what != TransferOutcome::What::Stopped) {
                SetControlState(ControlGroup::SplitCommand, false);
                SetControlState(ControlGroup::PlaceForPieces, false);
            }
            SetControlState(ControlGroup::NewSizeEditing, false);
        });
}
