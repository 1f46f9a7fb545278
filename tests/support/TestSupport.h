#pragma once

#include <QFile>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <ostream>

// The names the tests' settings are kept under, so that no test touches the
// user's own: on Windows the store is the registry key
// HKEY_CURRENT_USER\Software\<organisation>\<application>. The application
// name is one per test program run ("The File Quorvel (tests <pid>)"): CTest
// runs several at once, and on Windows they would share one registry key.
inline constexpr const char* kTestOrganization = "Vornholt";
QString TestApplication();

// The private folder that holds the settings file during tests.
QString TestSettingsFolder();
// The settings file itself (it exists only once something was written);
// there is none where the settings live in the registry.
QString TestSettingsFile();
// Whether the settings are a file (not the Windows registry).
bool SettingsAreAFile();
// The tests' store opened as the program opens its own (format, scope,
// names): to plant values and to look at what is stored, on every platform.
QSettings RawTestSettings();
// Every key stored, sorted.
QStringList StoredTestKeys();
// Forgets every stored setting.
void ClearTestSettings();

// How gtest shows a QString in a failure message: quoted, as UTF-8 text
// (without it, gtest prints the object's bytes). Include this header in every
// test that compares QStrings, so all of them print alike.
void PrintTo(const QString& text, std::ostream* os);
