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

#include "app/Main.h"
#include "app/MainEntries.h"
#include "app/ModalSeam.h"
#include "dialogs/BaseSizeEditor.h"
#include "planning/SizePlan.h"
#include "settings/Presets.h"
#include "settings/SettingsStore.h"
#include "texts/QtHints.h"
#include "texts/QtSizeText.h"

namespace {
// Catalogue entries of the plan.
using MainEntry::kFileNumber;
using MainEntry::kStarIsNumber;
constexpr int kReadyToSplit = 35;     // "Ready to split the file!"
constexpr int kTooManyFiles = 48;     // "Too many files!"
constexpr int kWorking = 64;          // "Working..."
constexpr int kTooBigNewSize = 86;    // "Too Big New Size!"
constexpr int kBaseSizeInstead = 87;  // "The program chose to apply the base size instead"
constexpr int kSizeNotUsable = 110;   // "The new size can not be used!"
constexpr int kSizeIgnored = 111;     // "The program ignored the new size"
constexpr int kChooseBigger = 112;    // "Choose a bigger Base Size, otherwise too many files ..."

// The selected row of a list box, -1 when nothing is selected.
int SelectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}
}  // namespace

// ---- size display

void TMain::ShowBigFileSize(int unit) {
    BigUnit = unit;
    BigFileSize->setText(BigFileSizeText(engine_.BigFileBytes, unit, QLocale(), BigFileSize->text()));
    store_.Write(Settings::BigUnit, BigUnit);
}

void TMain::BigFileRB1Click() { ShowBigFileSize(1); }
void TMain::BigFileRB2Click() { ShowBigFileSize(2); }
void TMain::BigFileRB3Click() { ShowBigFileSize(3); }
void TMain::BigFileRB4Click() { ShowBigFileSize(4); }

// ---- piece size plan

void TMain::PlanPieceSizes(int32_t keep) {
    if (UseFreeSpace) {
        ClearSizeList();
        StatusPanel1->setText(T(kReadyToSplit));
        return;
    }
    if (engine_.BigFileBytes <= 0) {
        SetControlState(0, false);
        SetControlState(1, false);
        StatusPanel1->clear();
        return;
    }
    // LoadBaseSizes keeps the index inside the list; an index set any other
    // way plans with no usable size rather than reading past the list.
    const bool indexValid = BaseSizeIndex >= 0 && size_t(BaseSizeIndex) < BaseSizeValues.size();
    const int64_t baseSize = indexValid ? BaseSizeValues[size_t(BaseSizeIndex)] : 0;
    const PiecePlan plan = PlanPieces(engine_.BigFileBytes, baseSize, engine_.PieceSizes, keep);
    ClearSizeList();

    if (plan.outcome == PiecePlan::Outcome::KeptTooBig) {
        PlanPieceSizes(0);
        Modal().Message(this, T(kBaseSizeInstead), T(kTooBigNewSize), ModalSeam::Icon::Exclamation,
                        ModalSeam::Buttons::Ok);
        return;
    }

    ShowWorking(T(kWorking));
    if (plan.outcome != PiecePlan::Outcome::Planned) {
        // Too many pieces: no plan is left that a split could use.
        engine_.SetPieceCount(0);
        lblNrFiles->clear();
        ApplyHint(ActualSizeGB, QString(), false);
        ClearSizeList();
        Modal().Message(this, T(kChooseBigger), T(kTooManyFiles), ModalSeam::Icon::Exclamation,
                        ModalSeam::Buttons::Ok);
        ShowDone(T(kTooManyFiles));
        SetControlState(0, false);
        SetControlState(1, false);
        SetControlState(5, false);
        return;
    }

    engine_.PieceCount = plan.count;
    engine_.PieceSizes = plan.sizes;
    // One insertion with painting off: item by item, 32760 pieces take seconds.
    QStringList items;
    items.reserve(plan.count);
    for (int32_t i = 1; i <= plan.count; ++i) items << QString::number(plan.sizes[size_t(i)]);
    SmallerSizesLB->setUpdatesEnabled(false);
    SmallerSizesLB->addItems(items);
    SmallerSizesLB->setUpdatesEnabled(true);

    SetControlState(0, true);
    SetControlState(1, true);
    ShowPieceCount(plan.count);
    ShowDone(T(kReadyToSplit));
}

void TMain::ApplySizeMode() {
    store_.Write(Settings::UseFreeSpace, UseFreeSpace);
    CBBaseSize->setEnabled(!UseFreeSpace);
    ApplyBaseSize->setEnabled(!UseFreeSpace);
    if (UseFreeSpace) {
        ClearSizeList();
        lblNrFiles->clear();
        // The count is known only after the split: "1 to ?".
        ApplyHint(ActualSizeGB, BigFileName->text().isEmpty() ? QString() : T(kStarIsNumber) + QLatin1Char('?'),
                  false);
    } else if (engine_.BigFileBytes > 0) {
        PlanPieceSizes(0);
    }
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
    const int row = SelectedRow(SmallerSizesLB);
    if (row < 0) return;
    ChangeItem->setText(T(kFileNumber) + QString::number(row + 1));
    txtNewSize->setText(SmallerSizesLB->item(row)->text());
    SetControlState(5, true);
}

void TMain::ApplyNewSizeClick() {
    const int row = SelectedRow(SmallerSizesLB);
    if (row < 0) return;
    const int32_t k = row + 1;
    const int64_t n = LeadingInteger(txtNewSize->text());
    if (n <= 0) {
        Modal().Message(this, T(kSizeIgnored), T(kSizeNotUsable), ModalSeam::Icon::Exclamation,
                        ModalSeam::Buttons::Ok);
        SetControlState(5, false);
        return;
    }
    if (engine_.PieceSizes.size() <= size_t(k)) engine_.PieceSizes.resize(size_t(k) + 1, 0);
    engine_.PieceSizes[size_t(k)] = n;
    ChangeItem->setText(T(kFileNumber));
    SetControlState(5, false);
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
    const QSignalBlocker blocker(CBBaseSize);
    CBBaseSize->clear();
    CBBaseSize->addItems(BaseSizeTexts);
    CBBaseSize->setCurrentIndex(BaseSizeIndex);
}

void TMain::CBBaseSizeChange() {
    const int index = CBBaseSize->currentIndex();
    if (index < 0 || index >= BaseSizeCount) return;
    BaseSizeIndex = index;
    store_.Write(Settings::BaseSizeIndex, BaseSizeIndex);
    SetControlState(6, true);
    SetControlState(5, false);
    PlanPieceSizes(0);
}

void TMain::ApplyBaseSizeClick() {
    if (frmBaseSize_) Modal().ExecDialog(frmBaseSize_);
    LoadBaseSizes();
    PlanPieceSizes(0);
}
