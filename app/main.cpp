// The File Quorvel: splits a big file into pieces and joins them again.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <exception>

#include "app/Application.h"
#include "app/Windows.h"
#include "engine/PieceEngine.h"
#include "settings/SettingsStore.h"
#include "texts/TextCatalogue.h"

int main(int argc, char** argv) {
    TQuorvelApplication app(argc, argv);
    try {
        // The single instances, destroyed in reverse order after the windows.
        TPieceEngine engine([](int n) { return CatalogueText(n); });
        Catalogue();
        TSettingsStore store;
        QApplication::setApplicationName(QStringLiteral("The File Quorvel"));
        QApplication::setApplicationVersion(QLatin1String(kVersionText));
        // A file named on the command line is taken once the window shows.
        const QStringList arguments = QCoreApplication::arguments();
        const QString named = arguments.size() > 1 ? arguments.at(1) : QString();
        return RunWindows([&] {
            TWindows windows = CreateWindows(engine, store);
            if (!named.isEmpty()) {
                TMain* main = windows.Main.get();
                QTimer::singleShot(0, main, [main, named] { main->OpenFromOutside(named); });
            }
            return windows;
        });
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QString());
    }
    return 1;
}
