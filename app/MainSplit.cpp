// The split workflow: choose the big file, optionally another place or name
// for the pieces, and split.
#include <QAction>
#include <QLabel>
#include <QListWidget>

#include "app/Main.h"
#include "app/MainEntries.h"
#include "app/ModalSeam.h"
#include "engine/PieceNaming.h"
#include "settings/SettingsStore.h"

namespace {
// Catalogue entries of the split workflow.
using MainEntry::kNewPlaceSelected;
constexpr int kChooseFileTitle = 30;   // "Select a file to be splitted"
constexpr int kAllFilesFilter = 31;    // "All Files (*.*)|*.*"
constexpr int kSplitsTheFile = 36;     // "Splits the file..."
constexpr int kFileSplitted = 37;      // "The file is splitted!"
constexpr int kPiecePlaceTitle = 49;   // "Choose where you want to put the smaller files"
constexpr int kPiecePlaceFilter = 51;  // "Will be added at the end: <marker>*|*.*"
constexpr int kNoFileSelected = 69;    // "No file selected!"
constexpr int kCannotCreatePiece = 92; // "Possible invalid path! Could not create smaller file number "
}  // namespace

void TMain::ChooseSplitAFileClick() {
    const QString chosen = Modal().OpenFileName(this, T(kChooseFileTitle), T(kAllFilesFilter), SplitPath);
    if (chosen.isEmpty()) {
        StatusPanel1->setText(T(kNoFileSelected));
        return;
    }
    SplitChosenFile(chosen);
}

void TMain::SplitChosenFile(const QString& chosen) {
    // The engine's target becomes the chosen file: no join may write to it.
    ClearPreparedJoin();
    engine_.BigFilePath = ToStd(chosen);
    engine_.BigFileBytes = FileSizeOf(engine_.BigFilePath);
    if (engine_.BigFileBytes == -1) {
        ReportMissingFile(chosen);
        return;
    }
    BigFileName->setText(chosen);
    ShowBigFileSize(BigUnit);

    SplitPath = CurrentFolder();
    store_.Write(Settings::SplitPath, SplitPath);

    engine_.PiecePrefix = MakePiecePrefix(ToStd(JoinPath), engine_.BigFilePath);
    PlanPieceSizes(0);
    // In base size mode a plan that needs too many pieces leaves no count;
    // the plan has then already turned the split commands off.
    const bool planned = UseFreeSpace || engine_.PieceCount > 0;
    if (engine_.BigFileBytes > 0 && planned) {
        SmallFileNames->setText(FromStd(PiecePattern(engine_.PiecePrefix, ToStd(AddedFileType))));
        SetControlState(0, true);
        SetControlState(1, true);
        SetControlState(2, false);
        SetControlState(3, false);
    }
}

void TMain::SplitAFileBtnClick() { ChooseSplitAFileClick(); }

void TMain::FindPlaceToSmallFilesClick() {
    const QString chosen = Modal().SaveFileName(this, T(kPiecePlaceTitle), T(kPiecePlaceFilter), JoinPath,
                                                FromStd(FileNamePart(engine_.BigFilePath)));
    if (chosen.isEmpty()) {
        // The pieces go beside the big file, under its own name.
        engine_.PiecePrefix = engine_.BigFilePath;
        return;
    }
    if (chosen != FromStd(engine_.PiecePrefix)) {
        StatusPanel1->setText(T(kNewPlaceSelected));
        engine_.PiecePrefix = ToStd(chosen);
    }
    SmallFileNames->setText(FromStd(PiecePattern(engine_.PiecePrefix, ToStd(AddedFileType))));

    JoinPath = CurrentFolder();
    store_.Write(Settings::JoinPath, JoinPath);
}

void TMain::FindPlaceToSmallFilesBtnClick() { FindPlaceToSmallFilesClick(); }

void TMain::DoSplitClick() {
    if (TransferRunning()) return;
    ShowWorking(T(kSplitsTheFile));
    // Enabled during the split, so the piece being written shows as selected.
    const bool listWasEnabled = SmallerSizesLB->isEnabled();
    SmallerSizesLB->setEnabled(true);
    const int32_t maxRam = MaxRAM, pauseMode = PauseMode;
    const bool useFreeSpace = UseFreeSpace;
    const std::string marker = ToStd(AddedFileType);
    RunTransfer(
        [=](TPieceEngine& engine) { return engine.Split(maxRam, marker, pauseMode, useFreeSpace); },
        engine_.BigFileBytes, useFreeSpace ? 0 : engine_.PieceCount, [this, listWasEnabled](int32_t code) {
            SmallerSizesLB->setEnabled(listWasEnabled);
            ReportTransferResult(code, kFileSplitted, kCannotCreatePiece);
            // To split again the user chooses a file again.
            SetControlState(0, false);
            SetControlState(1, false);
            SetControlState(5, false);
        });
}

void TMain::DoSplitBtnClick() { DoSplitClick(); }
