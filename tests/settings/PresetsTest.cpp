// Base size presets in the settings store: first start, repair and the editor's edits.
#include <gtest/gtest.h>

#include "settings/Presets.h"
#include "settings/SettingsStore.h"
#include "tests/support/TestSupport.h"

namespace {

const QString kSection = "BaseSize";

class PresetsTest : public ::testing::Test {
protected:
    void SetUp() override { ClearTestSettings(); }
    void TearDown() override { ClearTestSettings(); }

    void StorePreset(int i, int64_t value, const QString& text) {
        store.WriteInt64Setting(kSection, "BaseSizeValue_" + QString::number(i), value);
        store.WriteStringSetting(kSection, "BaseSizeText_" + QString::number(i), text);
    }
    void StoreBuiltIns() { LoadPresets(store); }
    bool Stored(const QString& name) const {
        // Two different defaults agree only when the value is really there.
        return store.ReadStringSetting(kSection, name, "a") == store.ReadStringSetting(kSection, name, "b");
    }
    int32_t StoredIndex() const { return store.ReadIntSetting(kSection, "BaseSizeIndex", -99); }
    int32_t StoredCount() const { return store.ReadIntSetting(kSection, "BaseSizes", -99); }
    QStringList StoredTexts() const {
        QStringList texts;
        for (int i = 0; i < StoredCount(); ++i) texts << ReadPresetText(store, i);
        return texts;
    }

    TSettingsStore store;
};

QStringList BuiltInTexts() {
    QStringList texts;
    for (const BaseSizePreset& p : kBuiltInPresets) texts << QString::fromUtf8(p.text);
    return texts;
}

TEST_F(PresetsTest, MissingPresetValuesReadAsDefaults) {
    store.WriteIntSetting(kSection, "BaseSizes", 3);
    store.WriteIntSetting(kSection, "BaseSizeIndex", 2);
    StorePreset(0, 1000, "first");
    store.WriteInt64Setting(kSection, "BaseSizeValue_1", 2000);
    StorePreset(2, 5 * 1073741824LL, "third");

    const PresetList list = LoadPresets(store);
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(list.index, 2);
    EXPECT_EQ(list.texts, (QStringList{"first", "(undefined)", "third"}));
    EXPECT_EQ(list.values, (std::vector<int64_t>{1000, 2000, 5 * 1073741824LL}));

    store.DeleteSetting(kSection, "BaseSizeValue_1");
    EXPECT_EQ(LoadPresets(store).values[1], 1);
    EXPECT_FALSE(Stored("BaseSizeText_1"));  // a read never writes
}

TEST_F(PresetsTest, IndexOutsideTheListFallsBackToFirstAndIsWrittenBack) {
    for (int index : {6, 100, -1}) {
        SCOPED_TRACE(index);
        StoreBuiltIns();
        store.WriteIntSetting(kSection, "BaseSizeIndex", index);
        EXPECT_EQ(LoadPresets(store).index, 0);
        EXPECT_EQ(StoredIndex(), 0);
    }
    store.WriteIntSetting(kSection, "BaseSizeIndex", 5);
    EXPECT_EQ(LoadPresets(store).index, 5);
}

TEST_F(PresetsTest, SizeRule) {
    const struct {
        const char* text;
        int64_t size;
    } cases[] = {
        {"100000000", 100000000}, {"abc", 1457664}, {"", 1457664},    {"0", 1457664},
        {"-5", 1457664},          {"1.44", 1},      {" 720 kB", 720}, {"6000000000", 6000000000},
    };
    for (const auto& c : cases) EXPECT_EQ(PresetSizeFromText(c.text), c.size) << c.text;
}

TEST_F(PresetsTest, DeleteMovesLaterPresetsDown) {
    StoreBuiltIns();
    EXPECT_EQ(DeletePreset(store, 6, 0), 5);
    EXPECT_EQ(StoredIndex(), 1);  // after the current one: kept
    QStringList expected = BuiltInTexts();
    expected.removeAt(0);
    EXPECT_EQ(StoredTexts(), expected);
    EXPECT_EQ(LoadPresets(store).values, (std::vector<int64_t>{1457664, 109850624, 125958144, 267612160, 1070284800}));
    EXPECT_FALSE(Stored("BaseSizeValue_5"));
    EXPECT_FALSE(Stored("BaseSizeText_5"));
}

TEST_F(PresetsTest, DeleteOutsideTheListChangesNothing) {
    StoreBuiltIns();
    EXPECT_EQ(DeletePreset(store, 6, -1), 6);
    EXPECT_EQ(DeletePreset(store, 6, 6), 6);
    EXPECT_EQ(StoredCount(), 6);
    EXPECT_EQ(StoredTexts(), BuiltInTexts());
}

TEST_F(PresetsTest, DeleteWithoutStoredIndexTreatsItAsFirst) {
    StoreBuiltIns();
    store.DeleteSetting(kSection, "BaseSizeIndex");
    DeletePreset(store, 6, 2);
    EXPECT_EQ(StoredIndex(), -99);  // 0 is inside the list: left unwritten
}

}  // namespace
