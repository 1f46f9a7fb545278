// The About box: the program's name and version and how it is installed, in
// the current language.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // Sets every text in the current language; runs each time the box is shown.
    void ApplyTexts();

    QLabel *lblName = nullptr, *ProgramName = nullptr;
    QLabel *lblVersion = nullptr, *Version = nullptr;
    QLabel* Installation = nullptr;  // heading and the installation lines
    QPushButton* OKButton = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
};
