#include "dialogs/DiskDialog.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>

#include "dialogs/PromptLayout.h"
#include "planning/SizePlan.h"
#include "texts/QtText.h"

TfrmDisk::TfrmDisk(QWidget* parent) : TPromptDialog(parent) {
    setObjectName(QStringLiteral("frmDisk"));
    setWindowTitle(QStringLiteral("#"));

    txtNr = new QSpinBox(this);
    txtNr->setObjectName(QStringLiteral("txtNr"));
    txtNr->setRange(1, kMaxPieces);
    txtNr->setValue(1);
    txtNr->setWrapping(false);

    const PromptControls controls = LayOutPromptDialog(this, "ChooseDiskNr", txtNr, "OKBtn", 212, 144);
    ChooseDiskNr = controls.prompt;
    OKBtn = controls.ok;
    connect(OKBtn, &QPushButton::clicked, this, &TfrmDisk::OKBtnClick);
}

void TfrmDisk::OnActivate() {
    ChooseDiskNr->setText(Texts::Text(Entry::DiskCountPrompt));
    layout()->activate();  // grow at once for longer texts
    txtNr->setFocus();
    txtNr->selectAll();
}

void TfrmDisk::OKBtnClick() {
    // Text typed but not yet taken by the spinner: take it now (the spinner
    // keeps its last valid number when the text is not one within its range).
    txtNr->interpretText();
    count_ = txtNr->value();
    accept();
}
