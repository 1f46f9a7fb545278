// The OK button the dialogs share.
#pragma once

#include <QApplication>
#include <QPushButton>
#include <QStyle>

// A push button of the OK kind: OK glyph, default button of its dialog.
inline QPushButton* MakeOkButton(const char* objectName, QWidget* parent) {
    auto* button = new QPushButton(QApplication::style()->standardIcon(QStyle::SP_DialogOkButton),
                                   QStringLiteral("OK"), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setDefault(true);
    return button;
}
