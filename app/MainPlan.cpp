// The big file's size display, the piece size plan, the base size presets and
// the choice among them. The arithmetic lives in planning/; this file only
// shows its results and keeps the engine's piece list in step.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include "app/Main.h"
#include "app/ModalSeam.h"
#include "dialogs/BaseSizeEditor.h"
#include "dialogs/WindowTools.h"
#include "planning/SizePlan.h"
#include "engine/SetRepair.h"
#include "settings/Presets.h"
#include "settings/SettingsStore.h"
#include "texts/ExtraTexts.h"
#include "texts/QtHints.h"
#include "texts/QtSizeText.h"
#include "texts/QtText.h"

using Texts::Text;

// ---- size display

void TMain::ShowBigFileSize(SizeUnit unit) {
    BigUnit = unit;
    bigFile_->BigFileSize->setText(BigFileSizeText(BigFileBytes, unit, QLocale(), bigFile_->BigFileSize->text()));
    store_.Write(Settings::BigUnit, static_cast<int32_t>(BigUnit));
}

// ---- piece size plan

void TMain::PlanPieceSizes(int32_t keep) {
    if (UseFreeSpace) {
        ClearSizeList();
        status_.StatusPanel1->setText(Text(Entry::ReadyToSplit));
        return;
    }
    if (BigFileBytes <= 0) {
        SetControlState(ControlGroup::SplitCommand, false);
        SetControlState(ControlGroup::PlaceForPieces, false);
        status_.StatusPanel1->clear();
        return;
    }
    // LoadBaseSizes keeps the index inside the list; an index set any other
    // way plans with no usable size rather than reading past the list.
    const bool indexValid = BaseSizeIndex >= 0 && size_t(BaseSizeIndex) < BaseSizeValues.size();
    const int64_t baseSize = indexValid ? BaseSizeValues[size_t(BaseSizeIndex)] : 0;
    const PiecePlan plan = PlanPieces(BigFileBytes, baseSize, engine_.PieceSizes(), keep);
    ClearSizeList();

    if (plan.outcome == PiecePlan::Outcome::KeptTooBig) {
        PlanPieceSizes(0);
        Modal::InUse().Message(this, Text(Entry::TooBigNewSize), Text(Entry::BaseSizeInstead),
                               ModalSeam::Icon::Exclamation, ModalSeam::Buttons::Ok);
        return;
    }

    ShowWorking(Text(Entry::Working));
    if (plan.outcome != PiecePlan::Outcome::Planned) {
        // Too many pieces: no plan is left that a split could use.
        engine_.SetPieceCount(0);
        smallFiles_->lblNrFiles->clear();
        ApplyHint(smallFiles_, QString(), false);
        ClearSizeList();
        Modal::InUse().Message(this, Text(Entry::TooManyFiles), Text(Entry::ChooseBiggerBaseSize),
                               ModalSeam::Icon::Exclamation, ModalSeam::Buttons::Ok);
        ShowDone(Text(Entry::TooManyFiles));
        SetControlState(ControlGroup::SplitCommand, false);
        SetControlState(ControlGroup::PlaceForPieces, false);
        SetControlState(ControlGroup::NewSizeEditing, false);
        return;
    }

    SetPieces(plan.count, plan.sizes);

    SetControlState(ControlGroup::SplitCommand, true);
    SetControlState(ControlGroup::PlaceForPieces, true);
    ShowPieceCount(plan.count);
    ShowDone(Text(Entry::ReadyToSplit));
}

void TMain::ApplySizeMode() {
    store_.Write(Settings::UseFreeSpace, UseFreeSpace);
    smallFiles_->CBBaseSize->setEnabled(!UseFreeSpace);
    smallFiles_->ApplyBaseSize->setEnabled(!UseFreeSpace);
    if (UseFreeSpace) {
        ClearSizeList();
        smallFiles_->lblNrFiles->clear();
        // The count is known only after the split: "1 to ?".
        ApplyHint(smallFiles_,
                  bigFile_->BigFileName->text().isEmpty() ? QString() : Text(Entry::StarIsNumber) + QLatin1Char('?'),
                  false);
    } else if (BigFileBytes > 0) {
        PlanPieceSizes(0);
    }
    ShowRecoveryPlan();
}

void TMain::rbSizeBaseClick() {
    UseFreeSpace = false;
    ApplySizeMode();
}

void TMain::rbSizeFreeClick() {
    UseFreeSpace = true;
    ApplySizeMode();
}

// ---- editing one piece's size

void TMain::SmallerSizesLBClick() {
    // The row marked during a transfer is the piece in transfer, not one to edit.
    if (TransferRunning()) return;
    const int row = SelectedRow(smallFiles_->SmallerSizesLB);
    if (row < 0) return;
    smallFiles_->ChangeItem->setText(Text(Entry::FileNumber) + QString::number(row + 1));
    smallFiles_->txtNewSize->setText(smallFiles_->SmallerSizesLB->item(row)->text());
    SetControlState(ControlGroup::NewSizeEditing, true);
}

void TMain::ApplyNewSizeClick() {
    const int row = SelectedRow(smallFiles_->SmallerSizesLB);
    if (row < 0) return;
    const int32_t k = row + 1;
    const int64_t n = LeadingInteger(smallFiles_->txtNewSize->text());
    if (n <= 0) {
        Modal::InUse().Message(this, Text(Entry::SizeNotUsable), Text(Entry::SizeIgnored), ModalSeam::Icon::Exclamation,
                               ModalSeam::Buttons::Ok);
        SetControlState(ControlGroup::NewSizeEditing, false);
        return;
    }
    engine_.SetPieceSize(k, n);
    smallFiles_->ChangeItem->setText(Text(Entry::FileNumber));
    SetControlState(ControlGroup::NewSizeEditing, false);
    PlanPieceSizes(k);
}

// ---- presets and the base size choice

void TMain::LoadBaseSizes() {
    const PresetList presets = LoadPresets(store_);
    BaseSizeCount = presets.count;
    BaseSizeIndex = presets.index;
    BaseSizeValues = presets.values;
    BaseSizeTexts = presets.texts;
    // Filling and selecting is no choice of the user: no change event.
    const QSignalBlocker blocker(smallFiles_->CBBaseSize);
    smallFiles_->CBBaseSize->clear();
    smallFiles_->CBBaseSize->addItems(BaseSizeTexts);
    smallFiles_->CBBaseSize->setCurrentIndex(BaseSizeIndex);
}

void TMain::CBBaseSizeChange() {
    const int index = smallFiles_->CBBaseSize->currentIndex();
    if (index < 0 || index >= BaseSizeCount) return;
    BaseSizeIndex = index;
    store_.Write(Settings::BaseSizeIndex, BaseSizeIndex);
    SetControlState(ControlGroup::SizeList, true);
    SetControlState(ControlGroup::NewSizeEditing, false);
    PlanPieceSizes(0);
}

void TMain::ApplyBaseSizeClick() {
    if (windows_.FrmBaseSize) Modal::InUse().ExecDialog(windows_.FrmBaseSize);
    LoadBaseSizes();
    PlanPieceSizes(0);
}

void TMain::SetPieces(int32_t count, const std::vector<int64_t>& sizes) {
    engine_.SetPieces(count, sizes);
    // One insertion with painting off: item by item, 32760 pieces take seconds.
    QStringList items;
    items.reserve(count);
    for (int32_t i = 1; i <= count; ++i) items << QString::number(sizes[size_t(i)]);
    smallFiles_->SmallerSizesLB->setUpdatesEnabled(false);
    smallFiles_->SmallerSizesLB->addItems(items);
    smallFiles_->SmallerSizesLB->setUpdatesEnabled(true);
}

void TMain::spnRecoveryChange(int lostPieces) {
    if (lostPieces == RecoveryPieces) return;
    RecoveryPieces = lostPieces;
    store_.Write(Settings::RecoveryPieces, RecoveryPieces);
    ShowRecoveryPlan();
}

RecoveryPlan TMain::PlannedRecovery(int32_t lostPieces) const {
    const int32_t count = engine_.PieceCount();
    const std::vector<int64_t> sizes(engine_.PieceSizes().begin() + 1, engine_.PieceSizes().begin() + 1 + count);
    return PlanRecoveryFiles(sizes, lostPieces, engine_.BigFilePath());
}

void TMain::ShowRecoveryPlan() {
    if (smallFiles_ == nullptr) return;  // not built yet
    QSpinBox* const spin = smallFiles_->spnRecovery;
    QLabel* const line = smallFiles_->lblRecoveryPlan;
    // Free-space pieces are known only as the split goes; a join writes none.
    const int32_t count = engine_.PieceCount();
    const bool planned = count > 0 && !UseFreeSpace && menus_.DoSplit->isEnabled();
    {
        // No more than the set has pieces; what the user asked for stays
        // stored for a larger set. Not the user's change: no change event.
        const QSignalBlocker blocker(spin);
        spin->setMaximum(planned ? std::min(count, Settings::RecoveryPieces.max) : Settings::RecoveryPieces.max);
        spin->setValue(std::min(RecoveryPieces, spin->maximum()));
    }
    if (spin->value() <= 0 || !planned) {
        line->clear();
        return;
    }
    const RecoveryPlan plan = PlannedRecovery(spin->value());
    // The plan is one short line; the reason why there is none may take two.
    line->setWordWrap(!plan.ok);
    line->setText(plan.ok ? FromStd(FillIn(ExtraText(Extra::RecoveryPlan),
                                           {std::to_string(plan.FileCount()),
                                            ToStd(BigFileSizeText(plan.totalBytes, SizeUnit::Megabytes, QLocale()))}))
                          : FromStd(ExtraText(Extra::RecoveryPlanTooSmall)));
}

bool TMain::RecoveryPlanUsable() {
    const int32_t lost = smallFiles_->spnRecovery->value();
    if (UseFreeSpace || lost <= 0 || engine_.PieceCount() <= 0 || PlannedRecovery(lost).ok) return true;
    // Said before the split, rather than after every piece has been copied.
    const QString why = FromStd(ExtraText(Extra::RecoveryPlanTooSmall));
    Modal::InUse().Message(this, Text(Entry::ProgramName), why, ModalSeam::Icon::Exclamation, ModalSeam::Buttons::Ok);
    status_.StatusPanel1->setText(why);
    return false;
}
