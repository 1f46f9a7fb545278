#include "dialogs/FileTypeDialog.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/PromptLayout.h"
#include "texts/QtText.h"

TFrmFileType::TFrmFileType(QWidget* parent) : TPromptDialog(parent) {
    setObjectName(QStringLiteral("FrmFileType"));

    txtFtype = new QLineEdit(this);
    txtFtype->setObjectName(QStringLiteral("txtFtype"));

    const PromptControls controls = LayOutPromptDialog(this, "lblFtype", txtFtype, "OkBtn", 432, 101);
    lblFtype = controls.prompt;
    OkBtn = controls.ok;
    connect(OkBtn, &QPushButton::clicked, this, &TFrmFileType::OkBtnClick);
}

void TFrmFileType::OnActivate() {
    setWindowTitle(Texts::Text(Entry::ChangeEnding));
    lblFtype->setText(Texts::Text(Entry::NewEndingPrompt));
    layout()->activate();  // grow at once for longer texts
    FitWindowTitle(this);
    marker_ = store_.Read(Settings::AddedFileType);
    txtFtype->setText(marker_);
    txtFtype->setFocus();
    txtFtype->selectAll();
}

void TFrmFileType::OkBtnClick() {
    const QString typed = txtFtype->text();
    // An empty field asks for the default. Any other text that cannot stand
    // in a file name (a path separator, a control character) or that would
    // run into the piece number (a digit at its end) is not taken:
    // the marker in use stays, as if the dialog had been closed.
    if (typed.isEmpty()) {
        marker_ = QString::fromLatin1(Settings::AddedFileType.defaultValue);
        store_.Write(Settings::AddedFileType, marker_);
    } else if (IsUsableText(TextKind::Marker, typed)) {
        marker_ = typed;
        store_.Write(Settings::AddedFileType, marker_);
    }
    accept();
}
