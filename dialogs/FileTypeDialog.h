// The dialog in which the user chooses the piece marker, the text between a
// piece's prefix and its number.
#pragma once

#include <QString>
#include "dialogs/PromptLayout.h"

#include "settings/SettingsStore.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TFrmFileType : public TPromptDialog {
    Q_OBJECT
public:
    explicit TFrmFileType(QWidget* parent = nullptr);

    // The marker last read from the store or last stored (a stored marker
    // that cannot be used reads as the default).
    QString Marker() const { return marker_; }

    void OnActivate() override;
    void OkBtnClick();

private:
    QLabel* lblFtype = nullptr;
    QLineEdit* txtFtype = nullptr;
    QPushButton* OkBtn = nullptr;
    QString marker_ = QString::fromLatin1(Settings::AddedFileType.defaultValue);
    TSettingsStore store_;
};
