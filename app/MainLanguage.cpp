// The Language menu, and the menu items that open the memory limit dialog, the
// piece marker dialog and the How It Works window.
#include <QAction>
#include <QGroupBox>
#include <QLabel>

#include "app/Main.h"
#include "app/ModalSeam.h"
#include "app/QtLanguage.h"
#include "dialogs/FileTypeDialog.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/MemoryDialog.h"
#include "dialogs/WindowTools.h"
#include "engine/PieceNaming.h"
#include "settings/SettingsStore.h"
#include "texts/QtHints.h"
#include "texts/QtText.h"
#include "texts/TextCatalogue.h"

using Texts::Text;

void TMain::SwitchLanguage() {
    ApplyQtLanguage(LanguageIndex);
    ApplyTexts();
    if (UseFreeSpace) {
        // The count is known only after the split.
        lblNrFiles->clear();
        ApplyHint(ActualSizeGB, Text(Entry::StarIsNumber) + QLatin1Char('?'), false);
    } else {
        ShowPieceCount(engine_.PieceCount);
    }
    ChangeItem->setText(Text(Entry::FileNumber));  // no piece number: the selection is not offered again
    setWindowTitle(Text(Entry::ProgramName));
    store_.Write(Settings::Language, static_cast<int32_t>(LanguageIndex));
    ShowHintInStatusBar(QString());
    StatusPanel1->clear();
    // An open How It Works window changes language with the main window.
    if (frmHint_ && frmHint_->isVisible()) frmHint_->OnActivate();
}

void TMain::ChooseLanguage(Language chosen) {
    if (chosen == LanguageIndex) return;
    CheckChoice(languageChoices_, int(chosen));
    LanguageIndex = chosen;
    SwitchLanguage();
}

void TMain::MemoryUsageClick() {
    if (!memory_) return;
    Modal::InUse().ExecDialog(memory_);
    // However the dialog was closed: without OK its confirmed limit is the
    // stored one it read on opening.
    MaxRAM = memory_->ConfirmedLimit();
}

void TMain::ChooseFiletypeClick() {
    if (!frmFileType_) return;
    Modal::InUse().ExecDialog(frmFileType_);
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
    if (!frmHint_->isVisible()) CentreOnScreen(frmHint_, screen());
    frmHint_->setWindowState(frmHint_->windowState() & ~Qt::WindowMinimized);
    frmHint_->show();
    frmHint_->raise();
    frmHint_->activateWindow();
}
