// Renders the main window as a user first sees it into a PNG file:
//   quorvel-screenshot OUT.png [LANGUAGE [dark [FILE]]]
// LANGUAGE 0 English, 1 Swedish, 2 German; "dark" draws it in a dark palette;
// FILE is opened as if named on the command line.
// Uses fresh settings in a temporary folder; run with QT_QPA_PLATFORM=offscreen
// where there is no display.
#include <QApplication>
#include <QPalette>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

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
    const bool dark = argc > 3 && std::strcmp(argv[3], "dark") == 0;
    if (dark) {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(45, 45, 48));
        palette.setColor(QPalette::WindowText, QColor(230, 230, 230));
        palette.setColor(QPalette::Base, QColor(30, 30, 30));
        palette.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
        palette.setColor(QPalette::Text, QColor(230, 230, 230));
        palette.setColor(QPalette::Button, QColor(55, 55, 58));
        palette.setColor(QPalette::ButtonText, QColor(230, 230, 230));
        palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
        palette.setColor(QPalette::HighlightedText, Qt::white);
        palette.setColor(QPalette::ToolTipBase, QColor(30, 30, 30));
        palette.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
        QApplication::setPalette(palette);
    }
    QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    TPieceEngine engine([](int n) { return CatalogueText(n); });
    TSettingsStore store;
    if (argc > 2) store.Write(Settings::Language, QString::fromLocal8Bit(argv[2]).toInt());
    TWindows windows = CreateWindows(engine, store);
    windows.Main->show();
    if (argc > 4) windows.Main->OpenFromOutside(QString::fromLocal8Bit(argv[4]));
    QApplication::processEvents();
    if (!windows.Main->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
