// Test entry for everything that needs Qt: a QApplication on the offscreen
// platform and a settings store in a private temporary folder, so tests never
// touch the real user settings.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QSettings>
#include <QTemporaryDir>

#include "settings/SettingsStore.h"
#include "tests/support/TestSupport.h"

namespace {
QTemporaryDir* settingsDir = nullptr;
}

QString TestSettingsFolder() { return settingsDir->path(); }

QString TestApplication() {
    static const QString name = QStringLiteral("The File Quorvel (tests %1)").arg(QCoreApplication::applicationPid());
    return name;
}

QString TestSettingsFile() { return settingsDir->path() + '/' + kTestOrganization + '/' + TestApplication() + ".conf"; }

bool SettingsAreAFile() {
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}

QSettings RawTestSettings() {
    return {QSettings::NativeFormat, QSettings::UserScope, kTestOrganization, TestApplication()};
}

QStringList StoredTestKeys() {
    QStringList keys = RawTestSettings().allKeys();
    keys.sort();
    return keys;
}

void ClearTestSettings() {
    QSettings s = RawTestSettings();
    s.clear();
    s.sync();
    QFile::remove(TestSettingsFile());
}

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toUtf8().constData() << '"'; }

namespace {

#ifdef Q_OS_WIN
// Qt's offscreen platform on Windows takes its fonts from one folder, by
// default one that does not exist: without fonts every text measures wrong,
// and the tests of sizes and positions would test nothing. Under Wine the
// fonts the Linux runs measure with are on drive Z:; elsewhere the system's.
// Wine does not pass QT_* variables on, so it is set here.
void ChooseFonts() {
    if (qEnvironmentVariableIsSet("QT_QPA_FONTDIR")) return;
    QStringList folders;
#ifdef QUORVEL_TEST_FONTS
    folders << QStringLiteral(QUORVEL_TEST_FONTS);
#endif
    folders << qEnvironmentVariable("WINDIR") + QStringLiteral("/Fonts");
    for (const QString& folder : folders) {
        if (QDir(folder).exists()) {
            qputenv("QT_QPA_FONTDIR", folder.toLocal8Bit());
            return;
        }
    }
}
#else
void ChooseFonts() {}
#endif

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ChooseFonts();
    QTemporaryDir dir;
    settingsDir = &dir;
    UseStoreNames(kTestOrganization, TestApplication());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    QApplication app(argc, argv);
#ifdef Q_OS_WIN
    // Where fontconfig is missing, the generic family goes to the same font
    // as it does on Linux, not to the first family found.
    QFont::insertSubstitution(QStringLiteral("Sans Serif"), QStringLiteral("DejaVu Sans"));
#endif
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
#ifdef Q_OS_WIN
    // This run's registry key goes with it.
    QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\") + kTestOrganization, QSettings::NativeFormat)
        .remove(TestApplication());
#endif
    settingsDir = nullptr;
    return rc;
}
