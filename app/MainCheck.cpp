// Checking a set against its checksum file and repairing it in place from
// its recovery files: on the worker thread like a split, with the progress
// bar and Stop, and a report of every bad piece at the end.
#include <QAction>
#include <QLabel>
#include <memory>

#include "app/Main.h"
#include "app/ModalSeam.h"
#include "app/TransferRunner.h"
#include "engine/ChosenSet.h"
#include "engine/PieceNaming.h"
#include "io/FileAccess.h"
#include "io/Paths.h"
#include "settings/SettingsStore.h"
#include "texts/ExtraTexts.h"
#include "texts/QtText.h"
#include "texts/SetReport.h"

using Texts::Text;

void TMain::CheckSmallFilesClick() { RunSetCommand(false); }

void TMain::RepairSmallFilesClick() { RunSetCommand(true); }

std::string TMain::SetToCheck(bool repair) {
    std::string prefix;
    if (menus_.DoJoin->isEnabled() && !engine_.PiecePrefix().empty()) {
        prefix = engine_.PiecePrefix();
    } else {
        // The same dialog as the join's: any piece of a set, or its checksum file.
        const QString chosen = Modal::InUse().OpenFileName(this, Text(Entry::ChoosePieceTitle),
                                                           Text(Entry::PieceFilter), JoinPath, /*exactNames=*/true);
        if (chosen.isEmpty() || RefuseFile(chosen, false)) return {};
        if (FileSizeOf(ToStd(chosen)) < 0) {
            ReportMissingFile(chosen);
            return {};
        }
        JoinPath = CurrentFolder();
        store_.Write(Settings::JoinPath, JoinPath);
        prefix = SetPrefixOf(ToStd(chosen), ToStd(AddedFileType));
    }
    if (repair && !MayRepairIn(FolderOf(prefix))) {
        ReportRefusedFile(FromStd(FillIn(ExtraText(Extra::RepairFolderReadOnly), {FolderOf(prefix)})));
        return {};
    }
    return prefix;
}

void TMain::RunSetCommand(bool repair) {
    if (TransferRunning()) return;
    const std::string prefix = SetToCheck(repair);
    if (prefix.empty()) return;
    ShowWorking(FromStd(ExtraText(repair ? Extra::RepairingPieces : Extra::CheckingPieces)));
    const std::string marker = ToStd(AddedFileType);
    TTransferRunner& runner = Runner();
    TransferView* view = &runner.WorkerView();
    const std::atomic<bool>* stop = &runner.StopFlag();
    // Filled on the worker, read here once it has ended.
    auto result = std::make_shared<RepairedSet>();
    RunTransfer(
        [=](TPieceEngine&) {
            view->SetProgressRange(0, kProgressScale);
            int32_t shown = -1;
            const CheckProgress progress = [&](int64_t done, int64_t total) {
                const int32_t position = ProgressPosition(done, total);
                if (position == shown) return;  // the bar has its steps: no more calls than that
                shown = position;
                view->SetProgress(position);
            };
            if (repair)
                *result = RepairChosenSet(prefix, marker, stop, progress);
            else
                result->check = CheckChosenSet(prefix, marker, stop, progress);
            view->SetProgress(0);
            TransferOutcome outcome;
            if (result->Stopped()) outcome.what = TransferOutcome::What::Stopped;
            return outcome;
        },
        0, 0, [this, result, repair](const TransferOutcome&) { ShowSetResult(*result, repair); });
}

void TMain::ShowSetResult(const RepairedSet& result, bool repair) {
    const CheckedSet& check = result.check;
    const std::string marker = ToStd(AddedFileType);
    QString text = FromStd(repair ? RepairReport(LanguageIndex, result, marker) : CheckReport(LanguageIndex, check, marker));
    if (result.Stopped()) {
        // The user asked for it: the status bar says so, no box to click away.
        ShowDone(text);
        return;
    }
    const bool good = repair ? result.Ok() : check.Ok();
    // The status bar holds one line: the report's lines follow each other there.
    ShowDone(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    Modal::InUse().Message(this, Text(Entry::ProgramName), text,
                           good                ? ModalSeam::Icon::Information
                           : check.loaded.Ok() ? ModalSeam::Icon::Exclamation
                                               : ModalSeam::Icon::Stop,
                           ModalSeam::Buttons::Ok);
}

void TMain::UpdateRepairCommand() {
    // Without a prepared set the command asks for a piece, and says so when
    // that piece's folder cannot be written.
    const bool prepared = menus_.DoJoin->isEnabled() && !engine_.PiecePrefix().empty();
    menus_.RepairSmallFiles->setEnabled(!prepared || MayRepairIn(FolderOf(engine_.PiecePrefix())));
}
