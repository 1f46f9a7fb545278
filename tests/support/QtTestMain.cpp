// Test entry for everything that needs Qt: a QApplication on the offscreen
// platform and a settings store in a private temporary folder, so tests never
// touch the real user settings.
#include <gtest/gtest.h>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "ProgramInfo.h"
#include "tests/support/TestSupport.h"

namespace {
QTemporaryDir* settingsDir = nullptr;
}

QString TestSettingsFolder() { return settingsDir->path(); }

QString TestSettingsFile() { return settingsDir->path() + '/' + kOrganizationName + '/' + kApplicationName + ".conf"; }

void ClearTestSettings() {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, kOrganizationName, kApplicationName);
    s.clear();
    s.sync();
    QFile::remove(TestSettingsFile());
}

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toUtf8().constData() << '"'; }

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    settingsDir = &dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    settingsDir = nullptr;
    return rc;
}
