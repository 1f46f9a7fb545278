// The File Quorvel: splits a big file into pieces and joins them again.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "ProgramInfo.h"
#include "app/Application.h"
#include "app/Windows.h"
#include "engine/PieceEngine.h"
#include "settings/SettingsStore.h"
#include "texts/ExtraTexts.h"
#include "texts/TextCatalogue.h"

namespace {

constexpr const char* kCommand = "quorvel";

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}
#endif

// Whether Qt will find a screen to open the window on. Without one it aborts
// with an advice to reinstall, which helps no one: the check comes first.
bool HasDisplay(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    std::string platform = Set("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0) platform = argv[i + 1];
    // offscreen, vnc, eglfs, ... need no desktop; wayland finds its own socket.
    if (!platform.empty() && platform.rfind("xcb", 0) != 0) return true;
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
#else
    (void)argc, (void)argv;
    return true;
#endif
}

// The language the window would speak, from the stored settings.
Language StoredLanguage() { return static_cast<Language>(TSettingsStore().Read(Settings::Language)); }

// --help and --version are answered without a window; -1 when neither was asked.
int AnswerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s\n", FillIn(ExtraText(StoredLanguage(), Extra::WindowUsage), {kCommand}).c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s (%s) %s\n", kCommand, kApplicationName, kVersionText);
            return 0;
        }
    }
    if (!HasDisplay(argc, argv)) {
        std::fprintf(stderr, "%s\n", FillIn(ExtraText(StoredLanguage(), Extra::NoDesktopSession), {kCommand}).c_str());
        return 1;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything reads the settings: QSettings parses a whole file first.
    const QString setAside = SetAsideOversizedStore();
    const int answered = AnswerWithoutWindow(argc, argv);
    if (answered >= 0) return answered;
    TQuorvelApplication app(argc, argv);
    try {
        // The single instances, destroyed in reverse order after the windows.
        TPieceEngine engine([](int n) { return CatalogueText(n); });
        Catalogue();
        TSettingsStore store;
        QApplication::setApplicationName(QLatin1String(kApplicationName));
        QApplication::setApplicationVersion(QLatin1String(kVersionText));
        // Docks and task bars group the window with the desktop entry.
        QGuiApplication::setDesktopFileName(QLatin1String(kDesktopFileName));
        // A file named on the command line is taken once the window shows.
        const QStringList arguments = QCoreApplication::arguments();
        const QString named = arguments.size() > 1 ? arguments.at(1) : QString();
        return RunWindows([&] {
            TWindows windows = CreateWindows(engine, store);
            TMain* main = windows.Main.get();
            if (!setAside.isEmpty())
                QTimer::singleShot(0, main, [main, setAside] { main->ReportSettingsSetAside(setAside); });
            if (!named.isEmpty()) QTimer::singleShot(0, main, [main, named] { main->OpenFromOutside(named); });
            return windows;
        });
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QString());
    }
    return 1;
}
