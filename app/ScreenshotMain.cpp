// Renders the main window as a user first sees it into a PNG file:
//   quorvel-screenshot OUT.png [LANGUAGE]     (0 English, 1 Swedish, 2 German)
// Uses fresh settings in a temporary folder; run with QT_QPA_PLATFORM=offscreen
// where there is no display.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "app/Windows.h"
#include "engine/PieceEngine.h"
#include "settings/SettingsStore.h"
#include "texts/TextCatalogue.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.png [LANGUAGE]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    TPieceEngine engine([](int n) { return CatalogueText(n); });
    TSettingsStore store;
    if (argc > 2) store.Write(Settings::Language, QString::fromLocal8Bit(argv[2]).toInt());
    TWindows windows = CreateWindows(engine, store);
    windows.Main->show();
    QApplication::processEvents();
    if (!windows.Main->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
