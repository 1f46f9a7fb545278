#include "settings/Presets.h"

#include <QSet>

#include "planning/SizePlan.h"
#include "settings/SettingsStore.h"

namespace {

QString Section() { return QString::fromLatin1(Settings::BaseSizeSection); }
QString ValueName(int32_t i) { return Settings::BaseSizeValueName(i); }
QString TextName(int32_t i) { return Settings::BaseSizeTextName(i); }

void WritePreset(TSettingsStore& store, int32_t i, int64_t value, const QString& text) {
    store.WriteInt64Setting(Section(), ValueName(i), value);
    store.WriteStringSetting(Section(), TextName(i), text);
}

void WriteBuiltInPresets(TSettingsStore& store) {
    store.Write(Settings::BaseSizes, kBuiltInPresetCount);
    store.Write(Settings::BaseSizeIndex, kBuiltInCurrentPreset);
    for (int32_t i = 0; i < kBuiltInPresetCount; ++i)
        WritePreset(store, i, kBuiltInPresets[i].value, QString::fromUtf8(kBuiltInPresets[i].text));
}

}  // namespace

int32_t ReadPresetCount(const TSettingsStore& store) {
    const int32_t stored = store.Read(Settings::BaseSizes);
    if (stored <= 0) return 0;
    // The stored count is never a loop bound: only presets below it that have
    // a value or a text stored count, so a count edited to two billion over
    // six presets gives six.
    QSet<int32_t> present;
    for (const QString& name : store.ValueNames(Section())) {
        for (const char* prefix : {Settings::BaseSizeValuePrefix, Settings::BaseSizeTextPrefix}) {
            if (!name.startsWith(QLatin1String(prefix))) continue;
            bool number = false;
            const int32_t i = name.mid(int(qstrlen(prefix))).toInt(&number);
            // Only the exact name a read uses ("BaseSizeValue_7", not "_07" or "_+7").
            if (number && i >= 0 && i < stored && (name == ValueName(i) || name == TextName(i))) present.insert(i);
        }
    }
    return static_cast<int32_t>(present.size());
}

int64_t ReadPresetValue(const TSettingsStore& store, int32_t i) {
    const int64_t value = store.ReadInt64Setting(Section(), ValueName(i), Settings::BaseSizeValueDefault);
    return value > 0 ? value : Settings::BaseSizeValueDefault;
}

QString ReadPresetText(const TSettingsStore& store, int32_t i) {
    return store.ReadStringSetting(Section(), TextName(i), QString::fromLatin1(Settings::BaseSizeTextDefault));
}

PresetList LoadPresets(TSettingsStore& store) {
    PresetList list;
    list.index = store.Read(Settings::BaseSizeIndex);
    list.count = ReadPresetCount(store);
    if (list.count <= 0) {
        WriteBuiltInPresets(store);
        list.count = kBuiltInPresetCount;
        list.index = kBuiltInCurrentPreset;
    }
    list.values.reserve(static_cast<size_t>(list.count));
    list.texts.reserve(list.count);
    for (int32_t i = 0; i < list.count; ++i) {
        list.values.push_back(ReadPresetValue(store, i));
        list.texts.push_back(ReadPresetText(store, i));
    }
    // An index from outside the program must never name a preset that does
    // not exist: the plan would read past the list.
    if (list.index < 0 || list.index >= list.count) {
        list.index = 0;
        store.Write(Settings::BaseSizeIndex, 0);
    }
    return list;
}

int64_t PresetSizeFromText(const QString& sizeText) {
    const int64_t n = LeadingInteger(sizeText.toStdString());
    return n > 0 ? n : kFallbackPresetSize;
}

void ModifyPreset(TSettingsStore& store, int32_t i, const QString& text, const QString& sizeText) {
    store.Write(Settings::BaseSizeIndex, i);
    store.WriteInt64Setting(Section(), ValueName(i), PresetSizeFromText(sizeText));
    store.WriteStringSetting(Section(), TextName(i), text);
}

int32_t AppendPreset(TSettingsStore& store, int32_t count, const QString& text, const QString& sizeText) {
    store.Write(Settings::BaseSizeIndex, count);
    store.WriteInt64Setting(Section(), ValueName(count), PresetSizeFromText(sizeText));
    store.Write(Settings::BaseSizes, count + 1);
    store.WriteStringSetting(Section(), TextName(count), text);
    return count + 1;
}

int32_t DeletePreset(TSettingsStore& store, int32_t count, int32_t d) {
    if (d < 0 || d >= count) return count;
    const int32_t left = count - 1;
    store.Write(Settings::BaseSizes, left);
    // Read with default 0 here: a missing index means the first preset.
    const int32_t current = store.ReadIntSetting(Section(), QString::fromLatin1(Settings::BaseSizeIndex.name), 0);
    if (current >= left) store.Write(Settings::BaseSizeIndex, left - 1);
    for (int32_t a = d; a < left; ++a)
        WritePreset(store, a, ReadPresetValue(store, a + 1), ReadPresetText(store, a + 1));
    store.DeleteSetting(Section(), ValueName(left));
    store.DeleteSetting(Section(), TextName(left));
    return left;
}
