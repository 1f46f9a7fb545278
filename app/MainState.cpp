// Control groups, the busy and done states, result reports, and the view the
// engine draws on during a transfer.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>
#include <algorithm>
#include <cstdint>
#include <utility>

#include "app/Main.h"
#include "app/ModalSeam.h"
#include "io/FileAccess.h"
#include "texts/ExtraTexts.h"
#include "texts/QtHints.h"
#include "texts/QtSizeText.h"
#include "texts/QtText.h"
#include "texts/TextCatalogue.h"

using Texts::Text;

void TMain::SetControlState(ControlGroup group, bool enabled) {
    switch (group) {
    case ControlGroup::SplitCommand:
        menus_.DoSplit->setEnabled(enabled);
        smallFiles_->SmallerSizesLB->setEnabled(enabled);
        ShowRecoveryPlan();  // there is a plan to show only while a split is prepared
        break;
    case ControlGroup::PlaceForPieces: menus_.FindPlaceToSmallFiles->setEnabled(enabled); break;
    case ControlGroup::JoinCommand:
        menus_.DoJoin->setEnabled(enabled);
        UpdateRepairCommand();  // the prepared set's folder decides
        smallFiles_->CBBaseSize->setEnabled(!enabled && !UseFreeSpace);
        smallFiles_->rbSizeBase->setEnabled(!enabled);
        smallFiles_->rbSizeFree->setEnabled(!enabled);
        smallFiles_->ApplyBaseSize->setEnabled(!enabled);
        // A join writes no recovery files.
        smallFiles_->lblRecovery->setEnabled(!enabled);
        smallFiles_->spnRecovery->setEnabled(!enabled);
        break;
    case ControlGroup::PlaceForBigFile: menus_.FindPlaceToBigFile->setEnabled(enabled); break;
    case ControlGroup::BaseSizeChoice: smallFiles_->CBBaseSize->setEnabled(enabled); break;
    case ControlGroup::NewSizeEditing:
        smallFiles_->ApplyNewSize->setEnabled(enabled);
        smallFiles_->txtNewSize->setEnabled(enabled);
        smallFiles_->ChangeItem->setEnabled(enabled);
        break;
    case ControlGroup::SizeList: smallFiles_->SmallerSizesLB->setEnabled(enabled); break;
    default:  // a value from outside the enum changes nothing
        break;
    }
}

void TMain::ShowWorking(const QString& text) {
    status_.StatusPanel1->setText(text);
    if (!hourglassSet_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        hourglassSet_ = true;
    }
    // The work that follows blocks the window: show the text now.
    status_.StatusBar->repaint();
}

void TMain::ShowDone(const QString& text) {
    RestoreCursor();
    status_.StatusPanel0->clear();
    status_.StatusPanel1->setText(text);
}

void TMain::RestoreCursor() {
    if (hourglassSet_) {
        QApplication::restoreOverrideCursor();
        hourglassSet_ = false;
    }
}

void TMain::ReportTransferResult(const TransferOutcome& outcome) {
    const QString text = FromStd(OutcomeText(LanguageIndex, outcome));
    if (outcome.Ok()) {
        // A split's end message: where its recovery files and, when the
        // pieces went to disks of their own, the set's checksums are.
        QStringList notes;
        // The status bar has room for the first line; a join that rebuilt
        // pieces names them all in the box.
        QString status = text.section(QLatin1Char('\n'), 0, 0);
        if (!outcome.split && !outcome.rebuilt.empty()) notes << text;
        if (outcome.split && outcome.recoveryFiles > 0) {
            const std::string count = std::to_string(outcome.recoveryFiles);
            const std::string megabytes = ToStd(BigFileSizeText(outcome.recoveryBytes, SizeUnit::Megabytes, QLocale()));
            status += QStringLiteral(" \u00b7 ") + FromStd(FillIn(ExtraText(Extra::RecoveryPlan), {count, megabytes}));
            notes << FromStd(
                FillIn(CountedText(LanguageIndex, Extra::RecoveryFilesWrittenIn, outcome.recoveryLost),
                       {count, megabytes, FolderOf(Engine().PiecePrefix()), std::to_string(outcome.recoveryLost)}));
        }
        ShowDone(status);
        const std::string& sums = Engine().ChecksumFilePath();
        if (outcome.split && !sums.empty() && FolderOf(sums) != FolderOf(Engine().PiecePrefix()))
            notes << FromStd(FillIn(ExtraText(Extra::ChecksumFileBesideBigFile), {sums}));
        if (!notes.isEmpty()) {
            Modal::InUse().Message(this, Text(Entry::ProgramName), notes.join(QStringLiteral("\n\n")),
                                   ModalSeam::Icon::Information, ModalSeam::Buttons::Ok);
        }
    } else if (outcome.what == TransferOutcome::What::Stopped) {
        // The user asked for it: the status bar says so, no box to click away.
        ShowDone(text);
    } else {
        // The ended transfer's progress gives way before the box appears.
        ShowDone(Text(Entry::AbnormalTermination));
        Modal::InUse().Message(this, Text(Entry::AbnormalTermination), text, ModalSeam::Icon::Stop,
                               ModalSeam::Buttons::Ok);
    }
    ShowPieceCount(Engine().PieceCount());
}

void TMain::ShowPieceCount(int32_t count) {
    const QString number = QString::number(count);
    smallFiles_->lblNrFiles->setText(Text(Entry::NrOfFiles) + number);
    ApplyHint(smallFiles_, Text(Entry::StarIsNumber) + number, false);
}

void TMain::ReportMissingFile(const QString& name) { ReportRefusedFile(Text(Entry::FileMissing) + name); }

void TMain::ReportRefusedFile(const QString& text) {
    Modal::InUse().Message(this, Text(Entry::AbnormalTermination), text, ModalSeam::Icon::Stop, ModalSeam::Buttons::Ok);
    status_.StatusPanel1->setText(Text(Entry::AbnormalTermination));
    RestoreCursor();
}

bool TMain::RefuseFile(const QString& name, bool split) {
    const std::string refusal = InputRefusal(LanguageIndex, ToStd(name), split, ToStd(AddedFileType));
    if (!refusal.empty()) ReportRefusedFile(FromStd(refusal));
    return !refusal.empty();
}

void TMain::ClearSizeList() {
    smallFiles_->SmallerSizesLB->clear();
    smallFiles_->ChangeItem->setText(Text(Entry::FileNumber));
    smallFiles_->txtNewSize->clear();
    SetControlState(ControlGroup::NewSizeEditing, false);
}

void TMain::txtNewSizeChange() { SetControlState(ControlGroup::NewSizeEditing, true); }

QString TMain::CurrentFolder() { return QDir::toNativeSeparators(QDir::currentPath()); }

void TMain::ShowHintInStatusBar(const QString& hint) { status_.ShowHint(hint); }

// ---- TransferView

// During a transfer the list takes each batch's new rows and its marking
// once, in ShowPendingPieces: row by row, every marking lays out the whole
// list again, and a set of a thousand pieces took seconds.

void TMain::ClearPieceList() {
    pendingRows_.clear();
    pendingSelection_ = kNoPendingSelection;
    smallFiles_->SmallerSizesLB->clear();
}

void TMain::SetProgressRange(int32_t min, int32_t max) { status_.PBar->setRange(min, max); }

void TMain::SetProgress(int32_t position) {
    transferStatus_.position = position;
    // During a transfer the bar follows once a batch, in ShowTransferStatus.
    if (!TransferRunning()) status_.PBar->setValue(position);
}

void TMain::ShowCurrentPiece(const std::string& name) { status_.ShowPath(FromStd(name)); }

// The bar now counts the rebuild: what is rebuilt takes the piece's place in
// panel 0, and the copy's bytes and "file n of N" are over.
void TMain::StartRebuilding(const std::vector<int32_t>& pieces) {
    status_.ShowHint(FromStd(FillIn(ExtraText(pieces.size() == 1 ? Extra::RebuildingPiece : Extra::RebuildingPieces),
                                    {PieceNumbers(pieces)})));
    transferStatus_.totalBytes = 0;
    transferStatus_.piece = 0;
}

void TMain::AddPieceSize(const std::string& text) {
    pendingRows_ << FromStd(text);
    if (!TransferRunning()) ShowPendingPieces();
}

void TMain::CorrectPieceSize(int32_t index, const std::string& text) {
    const int listed = smallFiles_->SmallerSizesLB->count();
    if (index >= listed && index - listed < pendingRows_.size()) {
        pendingRows_[index - listed] = FromStd(text);
    } else if (QListWidgetItem* row = smallFiles_->SmallerSizesLB->item(index)) {
        row->setText(FromStd(text));
    }
}

void TMain::SelectPiece(int32_t index) {
    if (index >= 0) transferStatus_.piece = index + 1;
    pendingSelection_ = index;
    if (!TransferRunning()) ShowPendingPieces();
}

void TMain::ShowPendingPieces() {
    if (!pendingRows_.isEmpty()) smallFiles_->SmallerSizesLB->addItems(std::exchange(pendingRows_, {}));
    if (pendingSelection_ != kNoPendingSelection) {
        // Marking the piece in transfer is no user's choice of a piece to edit.
        const QSignalBlocker blocker(smallFiles_->SmallerSizesLB);
        smallFiles_->SmallerSizesLB->setCurrentRow(std::exchange(pendingSelection_, kNoPendingSelection));
    }
}

// The calls come in batches from the worker: the drawing after each batch
// shows them all at once.
void TMain::RepaintPieceList() { smallFiles_->SmallerSizesLB->update(); }

bool TMain::AskYesNo(const std::string& text, const std::string& caption, TransferView::Icon icon) {
    // The wait for the user does not count as copying time.
    ShowTransferStatus();
    QElapsedTimer asking;
    asking.start();
    const bool yes = Modal::InUse().Message(
        this, FromStd(caption), FromStd(text),
        icon == TransferView::Icon::Question ? ModalSeam::Icon::Question : ModalSeam::Icon::Exclamation,
        ModalSeam::Buttons::YesNo);
    questionNs_ += asking.nsecsElapsed();
    return yes;
}

void TMain::RepaintMainWindow() { update(); }
