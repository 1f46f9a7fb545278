// Splits or joins one file through the main window's own commands, offscreen
// and with scripted dialogs, and prints the seconds the commands took (from
// choosing the file to the end of the transfer; the window's start-up is
// printed apart, as it is no part of what the user waits for).
//   quorvel-bench-window split FILE FOLDER    pieces of the default size into FOLDER
//   quorvel-bench-window join PIECE TARGET    TARGET must not exist yet
// Settings live in a private temporary folder, never the user's.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "app/Main.h"
#include "app/Windows.h"
#include "engine/PieceEngine.h"
#include "settings/SettingsStore.h"
#include "tests/support/ScriptedModal.h"
#include "texts/TextCatalogue.h"

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "split") != 0 && std::strcmp(argv[1], "join") != 0)) {
        std::fprintf(stderr, "usage: %s split FILE FOLDER | join PIECE TARGET\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QElapsedTimer startUp;
    startUp.start();
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QApplication app(argc, argv);
    const bool split = std::strcmp(argv[1], "split") == 0;
    const QString input = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath();

    TPieceEngine engine([](int n) { return CatalogueText(n); });
    Catalogue();
    TSettingsStore store;
    ScriptedModal modal;
    Modal::Install(&modal);
    TWindows windows = CreateWindows(engine, store);
    TMain& main = *windows.Main;
    main.show();
    QCoreApplication::processEvents();
    const double startSeconds = startUp.nsecsElapsed() / 1e9;

    QElapsedTimer timer;
    timer.start();
    if (split) {
        modal.SetNextFileName(QDir::toNativeSeparators(input));
        main.ChooseSplitAFileClick();
        modal.SetNextFileName(QDir::toNativeSeparators(output + QLatin1Char('/') + QFileInfo(input).fileName()));
        main.FindPlaceToSmallFilesClick();
        main.DoSplitClick();
        main.WaitForTransfer();
    } else {
        modal.SetNextFileName(QDir::toNativeSeparators(input));
        main.JoinFilesClick();
        modal.SetNextFileName(QDir::toNativeSeparators(output));
        main.FindPlaceToBigFileClick();
        main.DoJoinClick();
        main.WaitForTransfer();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;

    Modal::Install(nullptr);
    if (!modal.Messages().empty()) {
        for (const auto& m : modal.Messages()) std::fprintf(stderr, "%s\n", qPrintable(m.text));
        return 1;
    }
    std::printf("%.4f %.4f\n", seconds, startSeconds);
    return 0;
}
