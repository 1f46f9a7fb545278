#pragma once

#include <QFile>
#include <QString>

// The private folder that holds the settings file during tests.
QString TestSettingsFolder();
// The settings file itself (it exists only once something was written).
QString TestSettingsFile();
// Forgets every stored setting.
void ClearTestSettings();
