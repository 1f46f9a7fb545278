// Files from outside the dialogs: a name on the command line and files
// dropped on the window take the way of the file dialogs' answers.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "app/Main.h"
#include "app/ModalSeam.h"
#include "texts/ExtraTexts.h"
#include "texts/QtText.h"
#include "engine/SetFiles.h"

namespace {
// The first local file among the dropped items; empty when there is none.
QString FirstLocalFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}
}  // namespace

void TMain::OpenFromOutside(const QString& name) {
    // A running transfer's inputs stay as they are.
    if (TransferRunning()) return;
    // As after an accepted dialog: a full native name, and its folder the
    // current one, which the workflows store as the last used folder.
    const QFileInfo info(name);
    const QString full = QDir::toNativeSeparators(info.absoluteFilePath());
    QDir::setCurrent(info.absolutePath());
    if (IsPieceOfPresentSet(ToStd(full), ToStd(AddedFileType)))
        JoinChosenPiece(full);
    else
        SplitChosenFile(full);
}

void TMain::ReportSettingsSetAside(const QString& aside) {
    const QString text = FromStd(FillIn(ExtraText(Extra::SettingsSetAside), {ToStd(aside)}));
    Modal::InUse().Message(this, Texts::Text(Entry::ProgramName), text, ModalSeam::Icon::Information,
                           ModalSeam::Buttons::Ok);
}

void TMain::dragEnterEvent(QDragEnterEvent* e) {
    if (!TransferRunning() && !FirstLocalFile(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void TMain::dropEvent(QDropEvent* e) {
    const QString name = FirstLocalFile(e->mimeData());
    if (name.isEmpty()) return;
    e->acceptProposedAction();
    OpenFromOutside(name);
}
