// The base size editor: adds, modifies and deletes presets directly in the
// settings store. It has no OK or Cancel; every change is stored at once and
// the user ends it by closing the window.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

#include "settings/SettingsStore.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TFrmBaseSize : public QDialog {
    Q_OBJECT
public:
    explicit TFrmBaseSize(QWidget* parent = nullptr);

    // Texts in the current language, Delete off, the list read anew; runs
    // every time the window is shown.
    void OnActivate();
    // Reads the presets into ListBox1 and empties the fields; no preset under edit.
    void RefreshPresetList();

    void ListBox1Click();
    void txtDescriptionChange();
    void txtSizeChange();
    void UpdateBtnClick();
    void DeleteBtnClick();
    void NewBtnClick();

    int32_t PresetCount = 0;
    int32_t EditIndex = -1;  // the preset shown in the fields, -1 for none
    QString EditDescription;
    int64_t EditSize = 0;

    QLabel *lblList = nullptr, *lblDescription = nullptr, *lblSize = nullptr;
    QListWidget* ListBox1 = nullptr;
    QLineEdit *txtDescription = nullptr, *txtSize = nullptr;
    QPushButton *UpdateBtn = nullptr, *DeleteBtn = nullptr, *NewBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The selected row of ListBox1, -1 when nothing is selected.
    int32_t SelectedIndex() const;
    // The enabling both edit fields share.
    void FieldsChanged();

    TSettingsStore store_;
};
