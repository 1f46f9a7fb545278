#include "dialogs/FileTypeDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/OkButton.h"
#include "texts/QtText.h"

TFrmFileType::TFrmFileType(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmFileType"));

    lblFtype = new QLabel(this);
    lblFtype->setObjectName(QStringLiteral("lblFtype"));

    txtFtype = new QLineEdit(this);
    txtFtype->setObjectName(QStringLiteral("txtFtype"));
    lblFtype->setBuddy(txtFtype);

    OkBtn = MakeOkButton("OkBtn", this);
    connect(OkBtn, &QPushButton::clicked, this, &TFrmFileType::OkBtnClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkBtn);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFtype);
    layout->addWidget(txtFtype);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(432, 101);
}

void TFrmFileType::showEvent(QShowEvent* event) {
    OnActivate();
    QDialog::showEvent(event);
}

void TFrmFileType::OnActivate() {
    setWindowTitle(CatalogueQText(213));
    lblFtype->setText(CatalogueQText(214));
    layout()->activate();  // grow at once for longer texts
    marker_ = store_.Read(Settings::AddedFileType);
    txtFtype->setText(marker_);
    txtFtype->setFocus();
    txtFtype->selectAll();
}

void TFrmFileType::OkBtnClick() {
    marker_ = txtFtype->text();
    if (marker_.isEmpty())
        marker_ = QString::fromLatin1(Settings::AddedFileType.defaultValue);
    store_.Write(Settings::AddedFileType, marker_);
    accept();
}
