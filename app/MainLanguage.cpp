// The Language menu, and the menu items that open the memory limit dialog, the
// piece marker dialog and the How It Works window.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>

#include "app/Main.h"
#include "app/MainEntries.h"
#include "app/ModalSeam.h"
#include "app/QtLanguage.h"
#include "dialogs/FileTypeDialog.h"
#include "dialogs/MemoryDialog.h"
#include "engine/PieceNaming.h"
#include "settings/SettingsStore.h"
#include "texts/HelpWindow.h"
#include "texts/QtHints.h"
#include "texts/TextCatalogue.h"

namespace {
using MainEntry::kFileNumber;
using MainEntry::kProgramName;
using MainEntry::kStarIsNumber;

// Whether a language item was checked before the click that runs its handler.
// A checkable menu item toggles itself before it reports the click, so from
// its own trigger the state before is the opposite of the state now.
bool WasChecked(const QAction* item, const QObject* sender) {
    return sender == item ? !item->isChecked() : item->isChecked();
}
}  // namespace

void TMain::SwitchLanguage() {
    ApplyQtLanguage(LanguageIndex);
    ApplyTexts();
    if (UseFreeSpace) {
        // The count is known only after the split.
        lblNrFiles->clear();
        ApplyHint(ActualSizeGB, T(kStarIsNumber) + QLatin1Char('?'), false);
    } else {
        ShowPieceCount(engine_.PieceCount);
    }
    ChangeItem->setText(T(kFileNumber));  // no piece number: the selection is not offered again
    setWindowTitle(T(kProgramName));
    store_.Write(Settings::Language, LanguageIndex);
    ShowHintInStatusBar(QString());
    StatusPanel1->clear();
    // An open How It Works window changes language with the main window.
    if (frmHint_ && frmHint_->isVisible()) frmHint_->OnActivate();
}

namespace {
// Runs one of the three language handlers of `main` for language `chosen`.
void ChooseLanguage(TMain& main, int32_t chosen, const QObject* sender) {
    QAction* const items[] = {main.LanguageEnglish, main.LanguageSwedish, main.LanguageGerman};
    if (WasChecked(items[chosen], sender)) {
        // The current language: nothing is rewritten or stored. Qt has just
        // unchecked the item; it stays checked.
        items[chosen]->setChecked(true);
        return;
    }
    for (int i = 0; i < kLanguageCount; ++i) items[i]->setChecked(i == chosen);
    LanguageIndex = chosen;
    main.SwitchLanguage();
}
}  // namespace

void TMain::LanguageEnglishClick() { ChooseLanguage(*this, 0, sender()); }
void TMain::LanguageSwedishClick() { ChooseLanguage(*this, 1, sender()); }
void TMain::LanguageGermanClick() { ChooseLanguage(*this, 2, sender()); }

void TMain::MemoryUsageClick() {
    if (!memory_) return;
    Modal().ExecDialog(memory_);
    // However the dialog was closed: without OK its confirmed limit is the
    // stored one it read on opening.
    MaxRAM = memory_->ConfirmedLimit();
}

void TMain::ChooseFiletypeClick() {
    if (!frmFileType_) return;
    Modal().ExecDialog(frmFileType_);
    // Read back from the store however the dialog was closed: without OK it
    // is the marker in use.
    AddedFileType = store_.Read(Settings::AddedFileType);
    BuildCatalogue(ToStd(AddedFileType));
    ApplyTexts();
    // Only a chosen file or a counted set has a prefix worth showing.
    if (engine_.BigFileBytes > 0)
        SmallFileNames->setText(FromStd(PiecePattern(engine_.PiecePrefix, ToStd(AddedFileType))));
}

void TMain::HintClick() {
    if (!frmHint_) return;
    // Not modal: shown beside the main window, or brought to the front when
    // already open (also out of the task bar). It opens centred on the screen.
    if (!frmHint_->isVisible()) {
        if (QScreen* screen = this->screen()) {
            QRect frame = frmHint_->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            frmHint_->move(frame.topLeft());
        }
    }
    frmHint_->setWindowState(frmHint_->windowState() & ~Qt::WindowMinimized);
    frmHint_->show();
    frmHint_->raise();
    frmHint_->activateWindow();
}

void TMain::HintBtnClick() { HintClick(); }
