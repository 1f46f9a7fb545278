#include "app/Windows.h"

#include <QApplication>
#include <exception>

#include "app/AboutBox.h"
#include "app/Application.h"
#include "app/ModalSeam.h"
#include "dialogs/BaseSizeEditor.h"
#include "dialogs/DiskDialog.h"
#include "dialogs/FileTypeDialog.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/MemoryDialog.h"
#include "texts/ExtraTexts.h"
#include "texts/QtText.h"

TWindows CreateWindows(TPieceEngine& engine, TSettingsStore& store) {
    TWindows w;
    w.Main = std::make_unique<TMain>(engine, store);
    // Main as parent: the dialogs open over it and go with it.
    TOtherWindows others;
    others.AboutBox = new TAboutBox(w.Main.get());
    others.frmDisk = new TfrmDisk(w.Main.get());
    others.frmHint = new TfrmHint(w.Main.get());
    // The desktop's own viewer may show nothing: the user learns where the file is.
    QObject::connect(others.frmHint, &TfrmHint::FileKept, others.frmHint, [hint = others.frmHint](const QString& fileName) {
        Modal::InUse().Message(hint, Texts::Text(Entry::HowItWorksTitle),
                               FromStd(FillIn(ExtraText(Extra::HelpFileKept), {ToStd(fileName)})),
                               ModalSeam::Icon::Information, ModalSeam::Buttons::Ok);
    });
    others.Memory = new TMemory(w.Main.get());
    others.FrmBaseSize = new TFrmBaseSize(w.Main.get());
    others.FrmFileType = new TFrmFileType(w.Main.get());
    w.Main->SetWindows(others);
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
