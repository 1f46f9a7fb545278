#pragma once

#include <QFile>
#include <QString>
#include <ostream>

// The private folder that holds the settings file during tests.
QString TestSettingsFolder();
// The settings file itself (it exists only once something was written).
QString TestSettingsFile();
// Forgets every stored setting.
void ClearTestSettings();

// How gtest shows a QString in a failure message: quoted, as UTF-8 text
// (without it, gtest prints the object's bytes). Include this header in every
// test that compares QStrings, so all of them print alike.
void PrintTo(const QString& text, std::ostream* os);
