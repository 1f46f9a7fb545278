#include "dialogs/BaseSizeEditor.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "settings/Presets.h"
#include "texts/QtHints.h"
#include "texts/QtText.h"

namespace {

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

TFrmBaseSize::TFrmBaseSize(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmBaseSize"));

    lblList = Named(new QLabel(this), "lblList");
    ListBox1 = Named(new QListWidget(this), "ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    lblList->setBuddy(ListBox1);
    lblDescription = Named(new QLabel(this), "lblDescription");
    txtDescription = Named(new QLineEdit(this), "txtDescription");
    lblDescription->setBuddy(txtDescription);
    lblSize = Named(new QLabel(this), "lblSize");
    txtSize = Named(new QLineEdit(this), "txtSize");
    lblSize->setBuddy(txtSize);
    UpdateBtn = Named(new QPushButton(this), "UpdateBtn");
    DeleteBtn = Named(new QPushButton(this), "DeleteBtn");
    NewBtn = Named(new QPushButton(this), "NewBtn");
    // Enter in a field must not press a button by itself.
    for (QPushButton* b : {UpdateBtn, DeleteBtn, NewBtn}) b->setAutoDefault(false);

    // A click on the row already selected loads it again, so both signals.
    connect(ListBox1, &QListWidget::itemClicked, this, &TFrmBaseSize::ListBox1Click);
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TFrmBaseSize::ListBox1Click);
    connect(txtDescription, &QLineEdit::textChanged, this, &TFrmBaseSize::txtDescriptionChange);
    connect(txtSize, &QLineEdit::textChanged, this, &TFrmBaseSize::txtSizeChange);
    connect(UpdateBtn, &QPushButton::clicked, this, &TFrmBaseSize::UpdateBtnClick);
    connect(DeleteBtn, &QPushButton::clicked, this, &TFrmBaseSize::DeleteBtnClick);
    connect(NewBtn, &QPushButton::clicked, this, &TFrmBaseSize::NewBtnClick);

    auto* list = new QVBoxLayout;
    list->addWidget(lblList);
    list->addWidget(ListBox1);
    auto* fields = new QVBoxLayout;
    fields->addWidget(lblDescription);
    fields->addWidget(txtDescription);
    fields->addWidget(lblSize);
    fields->addWidget(txtSize);
    fields->addStretch();
    auto* halves = new QHBoxLayout;
    halves->addLayout(list, 1);
    halves->addLayout(fields, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(UpdateBtn);
    buttons->addWidget(DeleteBtn);
    buttons->addWidget(NewBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(halves, 1);
    layout->addLayout(buttons);
    resize(380, 182);
}

void TFrmBaseSize::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        OnActivate();
    }
    QDialog::showEvent(event);
}

void TFrmBaseSize::OnActivate() {
    setWindowTitle(CatalogueQText(28));
    lblList->setText(CatalogueQText(42));
    lblDescription->setText(CatalogueQText(43));
    lblSize->setText(CatalogueQText(44));
    UpdateBtn->setText(CatalogueQText(45));
    DeleteBtn->setText(CatalogueQText(46));
    NewBtn->setText(CatalogueQText(47));
    ApplyHint(ListBox1, CatalogueQText(209));
    ApplyHint(txtDescription, CatalogueQText(210));
    ApplyHint(txtSize, CatalogueQText(211));
    DeleteBtn->setEnabled(false);
    RefreshPresetList();
}

void TFrmBaseSize::RefreshPresetList() {
    PresetCount = ReadPresetCount(store_);
    QStringList texts;
    for (int32_t i = 0; i < PresetCount; ++i) texts << ReadPresetText(store_, i);
    ListBox1->clear();
    ListBox1->addItems(texts);
    EditIndex = -1;
    txtDescription->clear();
    txtSize->clear();
    UpdateBtn->setEnabled(false);
    DeleteBtn->setEnabled(false);
    NewBtn->setEnabled(false);
}

int32_t TFrmBaseSize::SelectedIndex() const {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.first());
}

void TFrmBaseSize::ListBox1Click() {
    const int32_t i = SelectedIndex();
    if (i < 0) return;
    EditIndex = i;
    EditSize = ReadPresetValue(store_, i);
    EditDescription = ReadPresetText(store_, i);
    txtDescription->setText(EditDescription);
    txtSize->setText(QString::number(EditSize));
    // After the two texts, whose change events would set the buttons otherwise.
    DeleteBtn->setEnabled(true);
    NewBtn->setEnabled(false);
    UpdateBtn->setEnabled(false);
}

void TFrmBaseSize::txtDescriptionChange() { FieldsChanged(); }

void TFrmBaseSize::txtSizeChange() { FieldsChanged(); }

void TFrmBaseSize::FieldsChanged() {
    DeleteBtn->setEnabled(false);
    if (txtDescription->text().isEmpty() || txtSize->text().isEmpty()) {
        UpdateBtn->setEnabled(false);
        NewBtn->setEnabled(false);
        return;
    }
    NewBtn->setEnabled(true);
    if (EditIndex != -1) UpdateBtn->setEnabled(true);
}

void TFrmBaseSize::UpdateBtnClick() {
    const int32_t i = SelectedIndex();
    if (i < 0) return;
    EditIndex = i;
    ModifyPreset(store_, i, txtDescription->text(), txtSize->text());
    RefreshPresetList();
}

void TFrmBaseSize::NewBtnClick() {
    EditIndex = PresetCount;
    PresetCount = AppendPreset(store_, PresetCount, txtDescription->text(), txtSize->text());
    RefreshPresetList();
}

void TFrmBaseSize::DeleteBtnClick() {
    const int32_t d = SelectedIndex();
    if (d < 0) return;
    PresetCount = DeletePreset(store_, PresetCount, d);
    RefreshPresetList();
}
