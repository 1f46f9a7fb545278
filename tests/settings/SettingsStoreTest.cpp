// The settings store against the real per-user store: a settings file in the
// tests' private folder, or on Windows the registry under the tests' own key.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <limits>
#include <vector>

#include "ProgramInfo.h"
#include "settings/SettingsStore.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();

QSettings Raw() { return RawTestSettings(); }

void Plant(const QString& key, const QVariant& value) {
    QSettings s = Raw();
    s.setValue(key, value);
    s.sync();
}

QStringList StoredKeys() { return StoredTestKeys(); }

// What is stored, to tell that an operation changed nothing: the file's bytes
// (not even rewritten), or every key with its value where there is no file.
QByteArray Snapshot() {
    if (SettingsAreAFile()) {
        QFile f(TestSettingsFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray all;
    const QSettings raw = Raw();
    for (const QString& key : StoredKeys()) all += key.toUtf8() + '=' + raw.value(key).toString().toUtf8() + '\n';
    return all;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ClearTestSettings(); }
    void TearDown() override { ClearTestSettings(); }
    TSettingsStore store;
};

TEST_F(SettingsStoreTest, EmptyStoreGivesDefaultsAndStaysUntouched) {
    EXPECT_EQ(store.ReadIntSetting("Memory", "MaxRAM", 100000), 100000);
    EXPECT_EQ(store.ReadInt64Setting("BaseSize", "BaseSizeValue_0", 1), 1);
    EXPECT_TRUE(store.ReadBoolSetting("BaseSize", "UseFreeSpace", true));
    EXPECT_FALSE(store.ReadBoolSetting("BaseSize", "UseFreeSpace", false));
    EXPECT_EQ(store.ReadStringSetting("AddedFileType", "AddedFileType", ".x"), ".x");

    // Table shorthands take the table's defaults; the folders take the home folder here.
    EXPECT_EQ(store.Read(Settings::MaxRAM), 100000);
    EXPECT_EQ(store.Read(Settings::ChangeDisk), 1);
    EXPECT_FALSE(store.Read(Settings::UseFreeSpace));
    EXPECT_EQ(store.Read(Settings::AddedFileType), ".Quorved_");
    EXPECT_EQ(store.Read(Settings::SplitPath), DefaultFolder());
    EXPECT_EQ(store.Read(Settings::JoinPath), DefaultFolder());
#ifndef Q_OS_WIN
    EXPECT_EQ(DefaultFolder(), QDir::toNativeSeparators(QDir::homePath()));
#endif

    // Deleting what is not there is no error and writes nothing either.
    EXPECT_TRUE(store.DeleteSetting("Memory", "MaxRAM"));
    EXPECT_TRUE(store.DeleteSection("Position"));
    EXPECT_TRUE(store.ResetToDefaults());

    EXPECT_FALSE(QFile::exists(TestSettingsFile()));
    EXPECT_TRUE(StoredKeys().isEmpty());
}

TEST_F(SettingsStoreTest, ValuesLiveUnderTheVersionKeyAndEveryStoreSeesThem) {
    ASSERT_TRUE(store.WriteIntSetting("ChangeDisk", "ChangeDisk", 2));
    if (SettingsAreAFile()) {
        EXPECT_TRUE(QFile::exists(TestSettingsFile()));  // written through, not on destruction
    }
    EXPECT_EQ(Raw().value("v1.7/ChangeDisk/ChangeDisk").toInt(), 2);
    EXPECT_EQ(TSettingsStore().ReadIntSetting("ChangeDisk", "ChangeDisk", 1), 2);
    EXPECT_EQ(TSettingsStore::KeyPath("Path", "JoinPath"), "v1.7/Path/JoinPath");
}

TEST_F(SettingsStoreTest, IntegersRoundTrip) {
    for (int32_t v : {0, 2, -1, 100000, kInt32Min, kInt32Max}) {
        ASSERT_TRUE(store.WriteIntSetting("Memory", "MaxRAM", v));
        EXPECT_EQ(store.ReadIntSetting("Memory", "MaxRAM", 7), v);
    }
    // Preset sizes reach past 32 bits (4 GiB - 1 is the common one).
    for (int64_t v : std::vector<int64_t>{1, 1457664, 2147483648LL, 4294967295LL, kInt64Max, kInt64Min}) {
        const QString name = Settings::BaseSizeValueName(3);
        ASSERT_TRUE(store.WriteInt64Setting("BaseSize", name, v));
        EXPECT_EQ(store.ReadInt64Setting("BaseSize", name, 1), v);
    }
    EXPECT_TRUE(Raw().contains("v1.7/BaseSize/BaseSizeValue_3"));
    EXPECT_TRUE(store.Write(Settings::BigUnit, 4));
    EXPECT_EQ(store.Read(Settings::BigUnit), 4);
}

TEST_F(SettingsStoreTest, BooleansAreStoredAsOneAndZero) {
    ASSERT_TRUE(store.WriteBoolSetting("BaseSize", "UseFreeSpace", true));
    EXPECT_EQ(Raw().value("v1.7/BaseSize/UseFreeSpace").toString(), "1");
    EXPECT_TRUE(store.ReadBoolSetting("BaseSize", "UseFreeSpace", false));
    ASSERT_TRUE(store.Write(Settings::UseFreeSpace, false));
    EXPECT_EQ(Raw().value("v1.7/BaseSize/UseFreeSpace").toString(), "0");
    EXPECT_FALSE(store.ReadBoolSetting("BaseSize", "UseFreeSpace", true));

    // Any number other than 0 is true.
    for (int32_t v : {5, -1, kInt32Min}) {
        ASSERT_TRUE(store.WriteIntSetting("BaseSize", "UseFreeSpace", v));
        EXPECT_TRUE(store.ReadBoolSetting("BaseSize", "UseFreeSpace", false)) << v;
    }
}

TEST_F(SettingsStoreTest, TextsRoundTrip) {
    // Commas, leading "@", "=", blanks at the ends and non-ASCII letters are
    // all things the settings file format treats specially.
    const QStringList texts = {"",           ".Quorved_",           "C:\\",   "/home/a b/c", "a, b", "@x", "k=v; #c",
                               "  padded  ", "Skivstorlek för åäö", "100000", "line\nbreak"};
    for (const QString& t : texts) {
        ASSERT_TRUE(store.WriteStringSetting("AddedFileType", "AddedFileType", t));
        EXPECT_EQ(store.ReadStringSetting("AddedFileType", "AddedFileType", "default"), t);
    }
    ASSERT_TRUE(store.Write(Settings::SplitPath, TestSettingsFolder()));
    EXPECT_EQ(store.Read(Settings::SplitPath), TestSettingsFolder());
    EXPECT_EQ(store.Read(Settings::JoinPath), DefaultFolder());
}

// A table read gives the default for what the program cannot use.
TEST_F(SettingsStoreTest, TableReadsGiveTheDefaultForWhatCannotBeUsed) {
    for (const auto& [setting, value] : std::vector<std::pair<IntSetting, int32_t>>{
             {Settings::Language, 3}, {Settings::MaxRAM, -1}, {Settings::BigUnit, 0}, {Settings::ChangeDisk, 3}}) {
        ASSERT_TRUE(store.Write(setting, value));
        EXPECT_EQ(store.Read(setting), setting.defaultValue) << setting.name;
    }
    const QString huge(kMaxStoredTextBytes + 1, QChar('m'));  // usable but for its length
    for (const QString& marker : {QString(), QString("a/b"), QString("a\\b"), QString("x\ty"), QString("1"), huge}) {
        ASSERT_TRUE(store.Write(Settings::AddedFileType, marker));
        EXPECT_EQ(store.Read(Settings::AddedFileType), ".Quorved_") << marker.left(9).toStdString();
    }
    // The settings file is no folder.
    for (const QString& folder : {QString(), QString("relative"), TestSettingsFile()}) {
        ASSERT_TRUE(store.Write(Settings::JoinPath, folder));
        EXPECT_EQ(store.Read(Settings::JoinPath), DefaultFolder()) << folder.toStdString();
    }
}

// What a number read makes of a value someone else stored (a hand-edited file,
// another program): only a whole number counts, and it is clamped to the type.
TEST_F(SettingsStoreTest, NumberReadsOfStoredValues) {
    struct Case {
        QVariant stored;
        int32_t asInt;    // read with default 7
        int64_t asInt64;  // read with default 7
        bool asBool;      // read with default true
    };
    const std::vector<Case> cases = {
        {QString("abc"), 7, 7, true},
        {QString(""), 7, 7, true},
        {QString("12abc"), 7, 7, true},
        {QString("3.5"), 7, 7, true},
        {QString("true"), 7, 7, true},
        {QString("-"), 7, 7, true},
        {QString("0x10"), 7, 7, true},
        {QString("5 6"), 7, 7, true},
        {QString("- 5"), 7, 7, true},
        {QStringList{"1", "2"}, 7, 7, true},
        {QString("0"), 0, 0, false},
        {QString(" 42 "), 42, 42, true},
        {QString("+8"), 8, 8, true},
        {QString("-12"), -12, -12, true},
        {QString("99999999999"), kInt32Max, 99999999999LL, true},
        {QString("-99999999999"), kInt32Min, -99999999999LL, true},
        {QString("123456789012345678901234"), kInt32Max, kInt64Max, true},
        {QString("-123456789012345678901234"), kInt32Min, kInt64Min, true},
        {QString("9223372036854775807"), kInt32Max, kInt64Max, true},
        {QString("-9223372036854775808"), kInt32Min, kInt64Min, true},
        {QVariant(qlonglong(5000000000LL)), kInt32Max, 5000000000LL, true},
    };
    for (const Case& c : cases) {
        Plant("v1.7/Memory/MaxRAM", c.stored);
        const QString shown = c.stored.toString();
        EXPECT_EQ(store.ReadIntSetting("Memory", "MaxRAM", 7), c.asInt) << shown.toStdString();
        EXPECT_EQ(store.ReadInt64Setting("Memory", "MaxRAM", 7), c.asInt64) << shown.toStdString();
        EXPECT_EQ(store.ReadBoolSetting("Memory", "MaxRAM", true), c.asBool) << shown.toStdString();
    }
    // A list is not a text either.
    Plant("v1.7/AddedFileType/AddedFileType", QStringList{"a", "b"});
    EXPECT_EQ(store.Read(Settings::AddedFileType), ".Quorved_");
}

TEST_F(SettingsStoreTest, DeletingAValueLeavesEverythingElse) {
    ASSERT_TRUE(store.WriteIntSetting("Position", "mainTop", 10));
    ASSERT_TRUE(store.WriteIntSetting("Position", "mainLeft", 20));
    const QByteArray before = Snapshot();
    ASSERT_FALSE(before.isEmpty());

    EXPECT_TRUE(store.DeleteSetting("Position", "mainWidth"));  // missing value
    EXPECT_TRUE(store.DeleteSetting("Memory", "MaxRAM"));       // missing section
    EXPECT_EQ(Snapshot(), before);

    EXPECT_TRUE(store.DeleteSetting("Position", "mainTop"));
    EXPECT_EQ(store.ReadIntSetting("Position", "mainTop", 50), 50);
    EXPECT_EQ(store.ReadIntSetting("Position", "mainLeft", 100), 20);
}

TEST_F(SettingsStoreTest, DeletingASectionRemovesAllItHolds) {
    ASSERT_TRUE(store.WriteInt64Setting("BaseSize", "BaseSizeValue_0", 1457664));
    ASSERT_TRUE(store.WriteStringSetting("BaseSize", "BaseSizeText_0", "1.44 MB"));
    ASSERT_TRUE(store.WriteIntSetting("BaseSize", "BaseSizes", 1));
    ASSERT_TRUE(store.WriteIntSetting("BigUnit", "BigUnit", 2));

    EXPECT_TRUE(store.DeleteSection("BaseSize"));
    EXPECT_EQ(StoredKeys(), QStringList{"v1.7/BigUnit/BigUnit"});

    const QByteArray before = Snapshot();
    EXPECT_TRUE(store.DeleteSection("BaseSize"));  // now missing: no error, no change
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(SettingsStoreTest, ResetRemovesExactlyTheEightSections) {
    ASSERT_TRUE(store.Write(Settings::Language, 2));
    ASSERT_TRUE(store.Write(Settings::MaxRAM, 0));
    ASSERT_TRUE(store.Write(Settings::MainTop, 1));
    ASSERT_TRUE(store.Write(Settings::MainWidth, 640));
    ASSERT_TRUE(store.Write(Settings::AddedFileType, ".part"));
    ASSERT_TRUE(store.Write(Settings::SplitPath, "/tmp"));
    ASSERT_TRUE(store.Write(Settings::JoinPath, "/tmp"));
    ASSERT_TRUE(store.Write(Settings::UseFreeSpace, true));
    ASSERT_TRUE(store.Write(Settings::BaseSizes, 1));
    ASSERT_TRUE(store.WriteInt64Setting("BaseSize", Settings::BaseSizeValueName(0), 5));
    ASSERT_TRUE(store.Write(Settings::BigUnit, 1));
    ASSERT_TRUE(store.Write(Settings::ChangeDisk, 0));
    // Another version's settings and a section this version does not know.
    Plant("v1.6/Memory/MaxRAM", 4096);
    Plant("v1.6/Language/Language", 1);
    Plant("v1.7/Elsewhere/Kept", "yes");

    EXPECT_TRUE(store.ResetToDefaults());

    EXPECT_EQ(StoredKeys(), (QStringList{"v1.6/Language/Language", "v1.6/Memory/MaxRAM", "v1.7/Elsewhere/Kept"}));
    EXPECT_EQ(store.Read(Settings::MaxRAM), 100000);
    EXPECT_EQ(store.Read(Settings::AddedFileType), ".Quorved_");
    EXPECT_EQ(store.Read(Settings::SplitPath), DefaultFolder());
    EXPECT_EQ(store.Read(Settings::ChangeDisk), 1);
    EXPECT_EQ(store.Read(Settings::Language), 0);
}

// A name that is empty or holds a separator would address another section or
// the whole version key; such calls must touch nothing.
TEST_F(SettingsStoreTest, NamesThatReachOutsideTheirSectionAreRefused) {
    ASSERT_TRUE(store.Write(Settings::MaxRAM, 4096));
    ASSERT_TRUE(store.Write(Settings::SplitPath, "/data"));
    Plant("v1.6/Memory/MaxRAM", 1);
    const QStringList before = StoredKeys();

    EXPECT_FALSE(store.DeleteSection(""));
    EXPECT_FALSE(store.DeleteSection("../v1.6"));
    EXPECT_FALSE(store.DeleteSection("Memory/"));
    EXPECT_FALSE(store.DeleteSetting("Path", ""));
    EXPECT_FALSE(store.DeleteSetting("", "Memory"));
    EXPECT_FALSE(store.DeleteSetting("Memory", "x\\..\\MaxRAM"));
    EXPECT_FALSE(store.WriteIntSetting("Memory/Sub", "MaxRAM", 1));
    EXPECT_FALSE(store.WriteStringSetting("Path", "", "x"));
    EXPECT_EQ(store.ReadIntSetting("", "Memory/MaxRAM", 9), 9);
    EXPECT_EQ(store.ReadStringSetting("Path", "", "d"), "d");

    EXPECT_EQ(StoredKeys(), before);
    EXPECT_EQ(store.Read(Settings::MaxRAM), 4096);
}

TEST_F(SettingsStoreTest, AWriteThatCannotBeStoredReportsFalse) {
    if (!SettingsAreAFile())
        GTEST_SKIP() << "the settings live in the registry on Windows: there is no file to make unwritable";
    // A folder where the settings file belongs: nothing can be written there.
    ASSERT_TRUE(QDir().mkpath(TestSettingsFile()));
    EXPECT_FALSE(store.WriteIntSetting("Memory", "MaxRAM", 1));
    EXPECT_FALSE(store.WriteStringSetting("Path", "SplitPath", "/x"));
    ASSERT_TRUE(QDir(TestSettingsFile()).removeRecursively());
}

// A settings file of 50 MB is never read: it is moved aside under a name that
// says why, once, and the store starts from its defaults. A file of a normal
// size stays where it is.
TEST_F(SettingsStoreTest, AnOversizedFileIsMovedAsideUnread) {
    if (!SettingsAreAFile()) {
        ASSERT_TRUE(store.Write(Settings::Language, 2));
        EXPECT_EQ(SetAsideOversizedStore(), QString());  // nothing to move
        EXPECT_EQ(store.Read(Settings::Language), 2);
        GTEST_SKIP() << "the settings live in the registry on Windows: there is no file that could be too large";
    }
    ASSERT_TRUE(store.Write(Settings::Language, 2));
    const QString name = TestSettingsFile();
    EXPECT_EQ(SetAsideOversizedStore(), QString());  // a few bytes: kept
    EXPECT_EQ(store.Read(Settings::Language), 2);

    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::Append));
    const QByteArray line = "; " + QByteArray(1022, 'x') + "\n";
    for (int i = 0; i < 50 * 1024; ++i) ASSERT_EQ(file.write(line), line.size());
    file.close();
    const QString aside = SetAsideOversizedStore();
    ASSERT_FALSE(aside.isEmpty());
    EXPECT_TRUE(aside.startsWith(name + ".too-large-")) << aside.toStdString();
    EXPECT_FALSE(QFile::exists(name));
    EXPECT_GT(QFileInfo(aside).size(), 50 * 1000 * 1000);  // moved whole
    EXPECT_EQ(store.Read(Settings::Language), 0);
    EXPECT_EQ(SetAsideOversizedStore(), QString());  // said once
    QFile::remove(aside);
}

#ifdef Q_OS_WIN
// The registry key of a section, as the Windows tools name it.
QString RegistryKey(const QString& organization, const QString& application, const QString& section) {
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\%1\\%2\\v1.7\\%3").arg(organization, application, section);
}

// Each value is a value of its section's key; numbers are registry numbers,
// which other tools and older versions read as such.
TEST_F(SettingsStoreTest, OnWindowsValuesAreInTheRegistryUnderTheirSectionKey) {
    ASSERT_TRUE(store.Write(Settings::MaxRAM, 4096));
    ASSERT_TRUE(store.Write(Settings::AddedFileType, ".part"));
    ASSERT_TRUE(store.WriteInt64Setting("BaseSize", Settings::BaseSizeValueName(0), 4294967295LL));

    const QSettings memory(RegistryKey(kTestOrganization, TestApplication(), "Memory"), QSettings::NativeFormat);
    EXPECT_EQ(memory.childKeys(), QStringList{"MaxRAM"});
    EXPECT_EQ(memory.value("MaxRAM").typeId(), QMetaType::Int);
    EXPECT_EQ(memory.value("MaxRAM").toInt(), 4096);
    const QSettings marker(RegistryKey(kTestOrganization, TestApplication(), "AddedFileType"), QSettings::NativeFormat);
    EXPECT_EQ(marker.value("AddedFileType").toString(), ".part");
    const QSettings sizes(RegistryKey(kTestOrganization, TestApplication(), "BaseSize"), QSettings::NativeFormat);
    EXPECT_EQ(sizes.value("BaseSizeValue_0").toLongLong(), 4294967295LL);

    // A value put there by another program is read.
    QSettings(RegistryKey(kTestOrganization, TestApplication(), "ChangeDisk"), QSettings::NativeFormat)
        .setValue("ChangeDisk", 2);
    EXPECT_EQ(store.Read(Settings::ChangeDisk), 2);
}

// The registry refuses a key name longer than 255 characters.
TEST_F(SettingsStoreTest, OnWindowsAWriteTheRegistryRefusesReportsFalse) {
    const QString section(300, QChar('S'));
    EXPECT_FALSE(store.WriteIntSetting(section, "MaxRAM", 1));
    EXPECT_FALSE(store.WriteStringSetting(section, "SplitPath", "C:\\x"));
    EXPECT_EQ(store.ReadIntSetting(section, "MaxRAM", 7), 7);
    EXPECT_TRUE(StoredKeys().isEmpty());
}

// The program's own names: its settings are exactly at
// HKEY_CURRENT_USER\Software\Vornholt\The File Quorvel\v1.7\<section>.
// Only a section of the test's own is written there, and removed again.
TEST_F(SettingsStoreTest, OnWindowsTheProgramsSettingsAreUnderItsRegistryKey) {
    const QString section = QStringLiteral("Tests of the store");
    UseStoreNames(QLatin1String(kOrganizationName), QLatin1String(kApplicationName));  // as the program runs
    TSettingsStore own;
    const bool written = own.WriteIntSetting(section, "Probe", 17);
    const QVariant found =
        QSettings(RegistryKey("Vornholt", "The File Quorvel", section), QSettings::NativeFormat).value("Probe");
    const bool removed = own.DeleteSection(section);
    UseStoreNames(kTestOrganization, TestApplication());

    ASSERT_TRUE(written);
    EXPECT_EQ(found.toInt(), 17);
    EXPECT_TRUE(removed);
    EXPECT_TRUE(StoredKeys().isEmpty());  // nothing went to the tests' key
}
#endif

}  // namespace
