// Base size presets: named piece sizes kept in the settings store, the six
// built-in ones, and the edits the preset editor makes. Plain functions over
// TSettingsStore, so the main window, the editor and tests share one reading.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class TSettingsStore;

struct BaseSizePreset {
    const char* text;
    int64_t value;
};

// Written when no presets are stored; preset kBuiltInCurrentPreset becomes current.
inline constexpr BaseSizePreset kBuiltInPresets[] = {
    {"720 kB 3.5'' single", 730112},    // 713 * 1024
    {"1.44 MB 3.5'' double", 1457664},  // 1423.5 * 1024
    {"105 MB SyQuest", 109850624},     {"120 MB SuperDisk", 125958144},
    {"270 MB SyQuest", 267612160},     {"1 GB Jaz Drive", 1070284800},
};
inline constexpr int32_t kBuiltInPresetCount = 6;
inline constexpr int32_t kBuiltInCurrentPreset = 1;
// A typed size that is 0, negative or not a number is stored as this.
inline constexpr int64_t kFallbackPresetSize = 1457664;

// The presets as the main window holds them.
struct PresetList {
    int32_t count = 0;
    int32_t index = 0;  // always inside 0..count-1
    std::vector<int64_t> values;
    QStringList texts;
};

// Reads every preset and the current one. With no presets stored ("BaseSizes"
// missing or not positive, or no preset under it) the built-in ones are
// written first. A current index outside the list falls back to preset 0 and
// is written back.
PresetList LoadPresets(TSettingsStore& store);

// Stored form of the presets. The count is the stored "BaseSizes" limited to
// the presets actually stored: the number of indices below it that have a
// value or a text. A value that is not positive reads as the default (1).
int32_t ReadPresetCount(const TSettingsStore& store);
int64_t ReadPresetValue(const TSettingsStore& store, int32_t i);
QString ReadPresetText(const TSettingsStore& store, int32_t i);

// The size a preset gets from the typed text: its leading whole number when
// positive, otherwise kFallbackPresetSize.
int64_t PresetSizeFromText(const QString& sizeText);

// Overwrites preset i and makes it the current one.
void ModifyPreset(TSettingsStore& store, int32_t i, const QString& text, const QString& sizeText);
// Appends a preset after the count presets and makes it current; returns the new count.
int32_t AppendPreset(TSettingsStore& store, int32_t count, const QString& text, const QString& sizeText);
// Removes preset d of count presets, moving the later ones down; returns the
// new count. The current index is kept unless it now lies past the list, then
// it names the last preset (-1 once none is left). d outside the list changes nothing.
int32_t DeletePreset(TSettingsStore& store, int32_t count, int32_t d);
