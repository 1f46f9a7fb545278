#include "dialogs/MemoryDialog.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <limits>

#include "dialogs/PromptLayout.h"
#include "texts/QtSizeText.h"
#include "texts/QtText.h"

int32_t MemoryLimitFromText(const QString& text) {
    const int64_t value = LeadingInteger(text);
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<int32_t>::max()));
}

TMemory::TMemory(QWidget* parent) : TPromptDialog(parent) {
    setObjectName(QStringLiteral("Memory"));

    txtMaxAllowedRAM = new QLineEdit(this);
    txtMaxAllowedRAM->setObjectName(QStringLiteral("txtMaxAllowedRAM"));
    connect(txtMaxAllowedRAM, &QLineEdit::textChanged, this, &TMemory::txtMaxAllowedRAMChange);

    const PromptControls controls =
        LayOutPromptDialog(this, "lblMaxAllowedRAM", txtMaxAllowedRAM, "OkButton", 263, 150);
    lblMaxAllowedRAM = controls.prompt;
    OkButton = controls.ok;
    connect(OkButton, &QPushButton::clicked, this, &TMemory::OkButtonClick);
}

void TMemory::OnActivate() {
    setWindowTitle(Texts::Text(Entry::MemoryUsage));
    lblMaxAllowedRAM->setText(Texts::Text(Entry::MaxAllowedMemory));
    layout()->activate();  // grow at once for longer texts
    // A negative value in the store (edited by hand) reads as the default,
    // as it does for the main window.
    confirmed_ = store_.Read(Settings::MaxRAM);
    const QString text = QString::number(confirmed_);
    if (txtMaxAllowedRAM->text() == text)
        txtMaxAllowedRAMChange(text);  // no change signal for the same text
    else
        txtMaxAllowedRAM->setText(text);
    txtMaxAllowedRAM->setFocus();
    txtMaxAllowedRAM->selectAll();
}

void TMemory::txtMaxAllowedRAMChange(const QString& text) {
    edited_ = MemoryLimitFromText(text);
    const QString clean = QString::number(edited_);
    if (clean == text) return;
    const int typedAt = txtMaxAllowedRAM->cursorPosition();
    const QSignalBlocker blocker(txtMaxAllowedRAM);
    txtMaxAllowedRAM->setText(clean);
    if (text.trimmed().isEmpty()) {
        // An emptied field shows "0" selected, so the digits typed next
        // replace it instead of landing before it.
        txtMaxAllowedRAM->selectAll();
        return;
    }
    // The caret stays where it was typed, as far as the shorter text allows.
    txtMaxAllowedRAM->setCursorPosition(std::min<int>(typedAt, clean.size()));
}

void TMemory::OkButtonClick() {
    confirmed_ = edited_;
    store_.Write(Settings::MaxRAM, confirmed_);
    accept();
}
