// Base size presets in the settings store: first start, repair and the editor's edits.
#include <gtest/gtest.h>

#include "planning/Presets.h"
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

TEST_F(PresetsTest, FirstStartWritesTheSixBuiltIns) {
    const PresetList list = LoadPresets(store);
    EXPECT_EQ(list.count, 6);
    EXPECT_EQ(list.index, 1);
    EXPECT_EQ(list.texts, BuiltInTexts());
    EXPECT_EQ(list.texts[1], QStringLiteral("1.44 MB 3.5'' double"));
    EXPECT_EQ(list.values, (std::vector<int64_t>{730112, 1457664, 109850624, 125958144, 267612160, 1070284800}));

    EXPECT_EQ(StoredCount(), 6);
    EXPECT_EQ(StoredIndex(), 1);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(Stored("BaseSizeValue_" + QString::number(i)));
        EXPECT_TRUE(Stored("BaseSizeText_" + QString::number(i)));
        EXPECT_EQ(ReadPresetValue(store, i), list.values[i]);
        EXPECT_EQ(ReadPresetText(store, i), list.texts[i]);
    }
    EXPECT_FALSE(Stored("BaseSizeValue_6"));
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

TEST_F(PresetsTest, CountNotPositiveWritesBuiltInsAgain) {
    for (int count : {0, -4}) {
        SCOPED_TRACE(count);
        ClearTestSettings();
        store.WriteIntSetting(kSection, "BaseSizes", count);
        store.WriteIntSetting(kSection, "BaseSizeIndex", 4);
        StorePreset(0, 42, "old");
        const PresetList list = LoadPresets(store);
        EXPECT_EQ(list.count, 6);
        EXPECT_EQ(list.index, 1);
        EXPECT_EQ(list.texts, BuiltInTexts());
        EXPECT_EQ(StoredCount(), 6);
        EXPECT_EQ(StoredIndex(), 1);
        EXPECT_EQ(ReadPresetValue(store, 0), 730112);
    }
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
        {"100000000", 100000000}, {"abc", 1457664}, {"", 1457664},       {"0", 1457664},
        {"-5", 1457664},          {"1.44", 1},      {" 720 kB", 720},    {"6000000000", 6000000000},
    };
    for (const auto& c : cases) EXPECT_EQ(PresetSizeFromText(c.text), c.size) << c.text;
}

TEST_F(PresetsTest, ModifyAndAppendBecomeCurrent) {
    StoreBuiltIns();
    ModifyPreset(store, 0, "Zip", "abc");
    EXPECT_EQ(StoredIndex(), 0);
    EXPECT_EQ(ReadPresetValue(store, 0), 1457664);
    EXPECT_EQ(ReadPresetText(store, 0), QStringLiteral("Zip"));
    EXPECT_EQ(StoredCount(), 6);

    EXPECT_EQ(AppendPreset(store, 6, "Cartridge", "100000000"), 7);
    EXPECT_EQ(StoredCount(), 7);
    EXPECT_EQ(StoredIndex(), 6);
    EXPECT_EQ(ReadPresetValue(store, 6), 100000000);
    EXPECT_EQ(ReadPresetText(store, 6), QStringLiteral("Cartridge"));
    const PresetList list = LoadPresets(store);
    EXPECT_EQ(list.index, 6);
    EXPECT_EQ(list.values[6], 100000000);
}

TEST_F(PresetsTest, DeleteKeepsOrMovesTheCurrentIndex) {
    const struct {
        const char* name;
        int current;
        int deleted;
        int expectedIndex;
        const char* nowAtExpected;
    } cases[] = {
        {"before the current one: same number, next preset", 3, 1, 3, "270 MB SyQuest"},
        {"the current last one: previous becomes current", 5, 5, 4, "270 MB SyQuest"},
        {"after the current one", 1, 4, 1, "1.44 MB 3.5'' double"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearTestSettings();
        StoreBuiltIns();
        store.WriteIntSetting(kSection, "BaseSizeIndex", c.current);
        EXPECT_EQ(DeletePreset(store, 6, c.deleted), 5);
        EXPECT_EQ(StoredCount(), 5);
        EXPECT_EQ(StoredIndex(), c.expectedIndex);
        EXPECT_EQ(ReadPresetText(store, c.expectedIndex), QString::fromUtf8(c.nowAtExpected));
        QStringList expected = BuiltInTexts();
        expected.removeAt(c.deleted);
        EXPECT_EQ(StoredTexts(), expected);
        EXPECT_FALSE(Stored("BaseSizeValue_5"));
        EXPECT_FALSE(Stored("BaseSizeText_5"));
    }
}

TEST_F(PresetsTest, DeleteMovesSizesAlong) {
    StoreBuiltIns();
    DeletePreset(store, 6, 0);
    EXPECT_EQ(LoadPresets(store).values,
              (std::vector<int64_t>{1457664, 109850624, 125958144, 267612160, 1070284800}));
}

TEST_F(PresetsTest, DeletingEveryPresetRestoresBuiltInsOnLoad) {
    StoreBuiltIns();
    ModifyPreset(store, 2, "mine", "5");
    int count = 6;
    while (count > 0) count = DeletePreset(store, count, 0);
    EXPECT_EQ(StoredCount(), 0);
    EXPECT_EQ(StoredIndex(), -1);
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(Stored("BaseSizeText_" + QString::number(i))) << i;

    const PresetList list = LoadPresets(store);
    EXPECT_EQ(list.texts, BuiltInTexts());
    EXPECT_EQ(list.index, 1);
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
