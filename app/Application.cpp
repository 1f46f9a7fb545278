#include "app/Application.h"

#include <exception>

#include "app/ModalSeam.h"

TQuorvelApplication::TQuorvelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQuorvelApplication::notify(QObject* receiver, QEvent* event) {
    return RunGuarded([&] { return QApplication::notify(receiver, event); });
}

bool RunGuarded(const std::function<bool()>& handler) {
    try {
        return handler();
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QString());
    }
    return false;
}

void ShowException(const QString& text) {
    Modal::InUse().Message(nullptr, QCoreApplication::applicationName(),
                           text.isEmpty() ? QStringLiteral("Unknown exception") : text, ModalSeam::Icon::Stop,
                           ModalSeam::Buttons::Ok);
}
