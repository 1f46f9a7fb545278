#include "app/Windows.h"

#include <QApplication>
#include <exception>

#include "app/AboutBox.h"
#include "app/Application.h"
#include "dialogs/DiskDialog.h"
#include "dialogs/FileTypeDialog.h"
#include "dialogs/MemoryDialog.h"
#include "dialogs/BaseSizeEditor.h"
#include "texts/HelpWindow.h"

TWindows CreateWindows(TPieceEngine& engine, TSettingsStore& store) {
    TWindows w;
    w.Main = std::make_unique<TMain>(engine, store);
    // Main as parent: the dialogs open over it and go with it.
    w.AboutBox = new TAboutBox(w.Main.get());
    w.frmDisk = new TfrmDisk(w.Main.get());
    w.frmHint = new TfrmHint(w.Main.get());
    w.Memory = new TMemory(w.Main.get());
    w.FrmBaseSize = new TFrmBaseSize(w.Main.get());
    w.FrmFileType = new TFrmFileType(w.Main.get());
    w.Main->SetWindows(w.AboutBox, w.frmDisk, w.frmHint, w.Memory, w.FrmBaseSize, w.FrmFileType);
    return w;
}

int RunWindows(const std::function<TWindows()>& create) {
    TWindows windows;
    try {
        windows = create();
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
        return 1;
    } catch (...) {
        ShowException(QString());
        return 1;
    }
    windows.Main->show();
    return QApplication::exec();
}
