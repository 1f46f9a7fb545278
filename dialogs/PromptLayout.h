// The look the three dialogs share: a prompt, its field below it and a
// centred OK button at the bottom.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QWidget;

struct PromptControls {
    QLabel* prompt;
    QPushButton* ok;  // OK glyph, the dialog's default button
};

// Builds the prompt and the OK button with the given object names around
// field, lays them out in dialog and gives it its designed size (it grows
// for longer texts).
PromptControls LayOutPromptDialog(QDialog* dialog, const char* promptName, QWidget* field, const char* okName,
                                  int width, int height);

// Widens dialog, where needed, to the width its title takes in the title bar
// (bold text beside the window icon and the title bar buttons), so a longer
// translation is not cut short there.
void FitWindowTitle(QDialog* dialog);

// A dialog that takes its texts in the current language each time it is
// shown, and opens in the middle of the screen.
class TPromptDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
    virtual void OnActivate() = 0;

protected:
    void showEvent(QShowEvent* event) override;
};
