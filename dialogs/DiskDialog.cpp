#include "dialogs/DiskDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialogs/OkButton.h"
#include "texts/QtText.h"
#include "planning/SizePlan.h"

TfrmDisk::TfrmDisk(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDisk"));
    setWindowTitle(QStringLiteral("#"));

    ChooseDiskNr = new QLabel(this);
    ChooseDiskNr->setObjectName(QStringLiteral("ChooseDiskNr"));

    txtNr = new QSpinBox(this);
    txtNr->setObjectName(QStringLiteral("txtNr"));
    txtNr->setRange(1, kMaxPieces);
    txtNr->setValue(1);
    txtNr->setWrapping(false);
    ChooseDiskNr->setBuddy(txtNr);

    OKBtn = MakeOkButton("OKBtn", this);
    connect(OKBtn, &QPushButton::clicked, this, &TfrmDisk::OKBtnClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ChooseDiskNr);
    layout->addWidget(txtNr);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(212, 144);
}

void TfrmDisk::showEvent(QShowEvent* event) {
    OnActivate();
    QDialog::showEvent(event);
}

void TfrmDisk::OnActivate() {
    ChooseDiskNr->setText(CatalogueQText(88));
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
