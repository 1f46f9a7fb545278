// The application object: an exception that escapes an event handler is shown
// in a message box and the program goes on.
#pragma once

#include <QApplication>
#include <QString>
#include <functional>

class TQuorvelApplication : public QApplication {
public:
    TQuorvelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs `handler`; an exception escaping it is shown and counts as false.
bool RunGuarded(const std::function<bool()>& handler);

// A stop box with the exception's text, captioned with the program's name.
void ShowException(const QString& text);
