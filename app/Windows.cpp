#include "app/Windows.h"

#include <QApplication>
#include <exception>

#include "app/AboutBox.h"
#include "app/Application.h"

TWindows CreateWindows(TPieceEngine& engine, TSettingsStore& store) {
    TWindows w;
    w.Main = std::make_unique<TMain>(engine, store);
    w.AboutBox = new TAboutBox(w.Main.get());
    // The other windows, each added here in this order by the work that builds
    // it, with Main as parent: frmDisk (TfrmDisk), frmHint (TfrmHint),
    // Memory (TMemory), FrmBaseSize (TFrmBaseSize), FrmFileType (TFrmFileType).
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
