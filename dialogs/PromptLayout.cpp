#include "dialogs/PromptLayout.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "dialogs/WindowTools.h"

PromptControls LayOutPromptDialog(QDialog* dialog, const char* promptName, QWidget* field, const char* okName,
                                  int width, int height) {
    auto* prompt = new QLabel(dialog);
    prompt->setObjectName(QString::fromLatin1(promptName));
    prompt->setBuddy(field);

    auto* ok =
        new QPushButton(QApplication::style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), dialog);
    ok->setObjectName(QString::fromLatin1(okName));
    ok->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(prompt);
    layout->addWidget(field);
    layout->addStretch();
    layout->addLayout(buttons);
    dialog->resize(width, height);
    return {prompt, ok};
}

void FitWindowTitle(QDialog* dialog) {
    QFont bold = dialog->font();
    bold.setBold(true);
    // The icon, three buttons and some padding, each about a title bar high.
    const int barHeight = dialog->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, dialog);
    const int needed = QFontMetrics(bold).horizontalAdvance(dialog->windowTitle()) + 6 * barHeight;
    if (dialog->width() < needed) dialog->resize(needed, dialog->height());
}

void TPromptDialog::showEvent(QShowEvent* event) {
    OnActivate();
    // Sized for its texts by now; Qt alone would put it over the main window.
    if (!event->spontaneous()) CentreOnScreen(this, screen());
    QDialog::showEvent(event);
}
