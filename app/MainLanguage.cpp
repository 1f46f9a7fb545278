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
        smallFiles_->lblNrFiles->clear();
        ApplyHint(smallFiles_, Text(Entry::StarIsNumber) + QLatin1Char('?'), false);
    } else {
        ShowPieceCount(engine_.PieceCount());
    }
    smallFiles_->ChangeItem->setText(Text(Entry::FileNumber));  // no piece number: the selection is not offered again
    setWindowTitle(Text(Entry::ProgramName));
    store_.Write(Settings::Language, static_cast<int32_t>(LanguageIndex));
    ShowHintInStatusBar(QString());
    status_.StatusPanel1->clear();
    // An open How It Works window changes language with the main window.
    if (windows_.frmHint && windows_.frmHint->isVisible()) windows_.frmHint->OnActivate();
}

void TMain::ChooseLanguage(Language chosen) {
    if (chosen == LanguageIndex) return;
    menus_.CheckLanguage(chosen);
    LanguageIndex = chosen;
    SwitchLanguage();
}

void TMain::MemoryUsageClick() {
    if (!windows_.Memory) return;
    Modal::InUse().ExecDialog(windows_.Memory);
    // However the dialog was closed: without OK its confirmed limit is the
    // stored one it read on opening.
    MaxRAM = windows_.Memory->ConfirmedLimit();
}

void TMain::ChooseFiletypeClick() {
    if (!windows_.FrmFileType) return;
    Modal::InUse().ExecDialog(windows_.FrmFileType);
    // Read back from the store however the dialog was closed: without OK it
    // is the marker in use.
    AddedFileType = store_.Read(Settings::AddedFileType);
    BuildCatalogue(ToStd(AddedFileType));
    ApplyTexts();
    // Only a chosen file or a counted set has a prefix worth showing.
    if (BigFileBytes > 0)
        smallFiles_->SmallFileNames->setText(FromStd(PiecePattern(engine_.PiecePrefix(), ToStd(AddedFileType))));
}

void TMain::HintClick() {
    if (!windows_.frmHint) return;
    // Not modal: shown beside the main window, or brought to the front when
    // already open (also out of the task bar). It opens centred on the screen.
    if (!windows_.frmHint->isVisible()) CentreOnScreen(windows_.frmHint, screen());
    windows_.frmHint->setWindowState(windows_.frmHint->windowState() & ~Qt::WindowMinimized);
    windows_.frmHint->show();
    windows_.frmHint->raise();
    windows_.frmHint->activateWindow();
}
