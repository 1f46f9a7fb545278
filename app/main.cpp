// The File Quorvel: splits a big file into pieces and joins them again.
#include <QApplication>
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
        return RunWindows([&] { return CreateWindows(engine, store); });
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QString());
    }
    return 1;
}
