// The window started on settings files full of garbage must come up, with
// every value it uses in range.
#include <QComboBox>
#include <QFileInfo>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <functional>
#include <random>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "engine/PieceNaming.h"
#include "tests/app/MainWindowFixture.h"

namespace {

// Every value the window reads, as it stands in the settings file.
const char* const kKeys[] = {"Language\\Language",
                             "Memory\\MaxRAM",
                             "Position\\mainTop",
                             "Position\\mainLeft",
                             "Position\\mainHeight",
                             "Position\\mainWidth",
                             "AddedFileType\\AddedFileType",
                             "Path\\SplitPath",
                             "Path\\JoinPath",
                             "BaseSize\\UseFreeSpace",
                             "BaseSize\\BaseSizeIndex",
                             "BaseSize\\BaseSizes",
                             "BaseSize\\BaseSizeValue_0",
                             "BaseSize\\BaseSizeText_0",
                             "BaseSize\\BaseSizeValue_5",
                             "BigUnit\\BigUnit",
                             "ChangeDisk\\ChangeDisk"};

// Huge and negative numbers, texts, the file format's own types, separators.
const char* const kValues[] = {"",
                               "-1",
                               "0",
                               "2000000000",
                               "-2147483648",
                               "99999999999999999999999",
                               "100000",
                               "abc",
                               "2.5",
                               "true",
                               "a, b",
                               "@Rect(0 0 16000 16000)",
                               "@ByteArray(\\x1/)",
                               "@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1)",
                               "/",
                               "\\x1"};

#ifdef Q_OS_WIN
// Registry data as another program may leave it: any type, any length, past
// QSettings, which would escape texts that look like its own types.
void PlantRegistryValue(const char* key, DWORD type, const QByteArray& data) {
    const QString sectionAndName = QString::fromLatin1(key);
    const QString section = QStringLiteral("Software\\%1\\%2\\v1.7\\%3")
                                .arg(QString::fromLatin1(kTestOrganization), TestApplication(),
                                     sectionAndName.section('\\', 0, 0));
    const QString name = sectionAndName.section('\\', 1);
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(section.utf16()), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    const LONG rc = RegSetValueExW(handle, reinterpret_cast<const wchar_t*>(name.utf16()), 0, type,
                                   reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
    RegCloseKey(handle);
    ASSERT_EQ(rc, ERROR_SUCCESS);
}

// A registry text: UTF-16 with its terminating zero.
QByteArray RegistryText(const char* text) {
    const QString s = QString::fromLatin1(text);
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), (s.size() + 1) * 2);
}
#endif

class BadSettings : public MainWindowFixture {
protected:
    // Starts on settings planted by `plant` in an empty store.
    void StartOnPlanted(const std::function<void()>& plant) {
        windows = TWindows{};
        ClearTestSettings();
        plant();
        Start();
        Main().show();
    }
    void StartOn(const QByteArray& bytes) {
        windows = TWindows{};
        ClearTestSettings();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(TestSettingsFile()).path()));
        ASSERT_TRUE(Write(TestSettingsFile(), bytes));
        Start();
        Main().show();
    }

    void ExpectUsable() {
        const TMain::Parts m = Parts();
        const Checks c = LanguageChecks();
        EXPECT_EQ(int(c.english) + int(c.swedish) + int(c.german), 1);
        EXPECT_GE(m.MaxRAM, 0);
        EXPECT_TRUE(Main().screen()->availableGeometry().contains(QRect(Main().pos(), Main().size())));
        EXPECT_TRUE(IsUsableMarker(ToStd(m.AddedFileType)));
        for (const QString& folder : {m.SplitPath, m.JoinPath}) EXPECT_TRUE(QFileInfo(folder).isDir());
        // The stored values: units 1 to 4, pause modes 0 to 2.
        const int unit = static_cast<int>(m.BigUnit), mode = static_cast<int>(m.PauseMode);
        ASSERT_TRUE(unit >= 1 && unit <= 4 && mode >= 0 && mode <= 2);
        QRadioButton* const units[] = {m.BigFileRB1, m.BigFileRB2, m.BigFileRB3, m.BigFileRB4};
        QAction* const modes[] = {m.ChangeAlways, m.ChangeSometimes, m.ChangeNever};
        EXPECT_TRUE(units[unit - 1]->isChecked() && modes[mode]->isChecked());
        // As many presets as are stored (or the built-ins), never a stored count.
        QSettings raw = RawTestSettings();
        raw.beginGroup("v1.7/BaseSize");
        EXPECT_LE(m.BaseSizeCount, std::max<qsizetype>(6, raw.childKeys().size()));
        EXPECT_EQ(m.CBBaseSize->count(), m.BaseSizeCount);
        EXPECT_TRUE(m.BaseSizeIndex >= 0 && m.BaseSizeIndex < m.BaseSizeCount);
        for (int64_t v : m.BaseSizeValues) EXPECT_GT(v, 0);
    }
};

}  // namespace

TEST_F(BadSettings, GarbageInEveryKeyOrAsTheWholeFile) {
    std::mt19937 random(1);
    for (const char* value : kValues) {
        SCOPED_TRACE(value);
#ifdef Q_OS_WIN
        // The registry: every value as that text, then every value random
        // data of a random registry type and length.
        StartOnPlanted([&] {
            for (const char* key : kKeys) PlantRegistryValue(key, REG_SZ, RegistryText(value));
            ASSERT_EQ(StoredTestKeys().size(), qsizetype(std::size(kKeys)));  // where the store reads
        });
        ExpectUsable();
        const DWORD types[] = {REG_NONE,   REG_SZ,        REG_EXPAND_SZ, REG_BINARY,
                               REG_DWORD,  REG_DWORD_BIG_ENDIAN, REG_MULTI_SZ, REG_QWORD};
        StartOnPlanted([&] {
            for (const char* key : kKeys) {
                QByteArray data(int(random() % 24), Qt::Uninitialized);
                for (char& byte : data) byte = char(random());
                PlantRegistryValue(key, types[random() % std::size(types)], data);
            }
            ASSERT_EQ(StoredTestKeys().size(), qsizetype(std::size(kKeys)));
        });
        ExpectUsable();
        continue;
#endif
        QByteArray file = "[v1.7]\n";
        for (const char* key : kKeys) file += QByteArray(key) + '=' + value + '\n';
        StartOn(file);
        ExpectUsable();

        QByteArray noise(4096, Qt::Uninitialized);
        for (char& byte : noise) byte = char(random());
        StartOn(noise);
        ExpectUsable();
    }
}
