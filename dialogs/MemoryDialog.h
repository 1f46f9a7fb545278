// The dialog in which the memory limit of the copy buffer is shown, edited
// and stored.
#pragma once

#include <QString>
#include <cstdint>
#include "dialogs/PromptLayout.h"

#include "settings/SettingsStore.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The limit a text stands for: its leading whole number, kept within
// 0..INT32_MAX (a negative number means 0, a huge one the largest limit).
int32_t MemoryLimitFromText(const QString& text);

class TMemory : public TPromptDialog {
    Q_OBJECT
public:
    explicit TMemory(QWidget* parent = nullptr);

    // What the dialog last read from the store or last stored; the main
    // window takes it however the dialog was closed.
    int32_t ConfirmedLimit() const { return confirmed_; }
    // The value of the edit field.
    int32_t EditedLimit() const { return edited_; }

    void OnActivate() override;
    void txtMaxAllowedRAMChange(const QString& text);
    void OkButtonClick();

private:
    QLabel* lblMaxAllowedRAM = nullptr;
    QLineEdit* txtMaxAllowedRAM = nullptr;
    QPushButton* OkButton = nullptr;
    int32_t confirmed_ = Settings::MaxRAM.defaultValue;
    int32_t edited_ = Settings::MaxRAM.defaultValue;
    TSettingsStore store_;
};
