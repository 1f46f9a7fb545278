#include "settings/SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include "ProgramInfo.h"
#include "engine/PieceNaming.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

struct StoreNames {
    QString organization = QLatin1String(kOrganizationName);
    QString application = QLatin1String(kApplicationName);
};

StoreNames& Names() {
    static StoreNames names;
    return names;
}

// One QSettings per operation: nothing stays open between calls, and every
// store in the program sees what any other one wrote.
QSettings OpenStore() {
    return {QSettings::NativeFormat, QSettings::UserScope, Names().organization, Names().application};
}

// The store's file, found without reading it: the file of a store of another
// name, which does not exist, is in the same folder.
QString StoreFileName() {
    const QString probe = QStringLiteral("quorvel-no-such-store");
    const QSettings other(QSettings::NativeFormat, QSettings::UserScope, probe, probe);
    const QFileInfo otherFile(other.fileName());
    if (!otherFile.isAbsolute()) return {};  // no file: the registry
    const QString folder = otherFile.dir().absolutePath();  // <base>/<organization>
    const QString suffix = otherFile.suffix().isEmpty() ? QString() : QLatin1Char('.') + otherFile.suffix();
    return QFileInfo(folder).dir().filePath(Names().organization + QLatin1Char('/') + Names().application + suffix);
}

// A name that would reach outside its own section (empty, or holding a key
// separator) must never be used: "v1.7/" alone is the whole version key.
bool IsPlainName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

bool IsValidKey(const QString& section, const QString& name) { return IsPlainName(section) && IsPlainName(name); }

QString SectionPath(const QString& section) { return QLatin1String(Settings::VersionKey) + QLatin1Char('/') + section; }

// The whole text, blanks at the ends aside, must be "[sign]digits"; strtoll
// saturates at the 64-bit limits, as typed numbers do elsewhere.
bool ParseWholeNumberText(const QString& raw, int64_t& out) {
    const QByteArray text = raw.trimmed().toUtf8();
    const char* begin = text.constData();
    char* end = nullptr;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || end != begin + text.size()) return false;
    out = value;
    return true;
}

// The stored value as a whole number: native integers (the Windows registry
// keeps DWORD/QWORD values) or text that holds one (the Unix settings file
// keeps everything as text). Lists, booleans, fractions and the like are not.
bool StoredWholeNumber(const QVariant& v, int64_t& out) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short: out = v.toLongLong(); return true;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort: {
        const qulonglong u = v.toULongLong();
        out = u > static_cast<qulonglong>(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max()
                                                                               : static_cast<int64_t>(u);
        return true;
    }
    case QMetaType::QString: return ParseWholeNumberText(v.toString(), out);
    case QMetaType::QByteArray: return ParseWholeNumberText(QString::fromUtf8(v.toByteArray()), out);
    default: return false;
    }
}

bool ReadWholeNumber(const QString& section, const QString& name, int64_t& out) {
    if (!IsValidKey(section, name)) return false;
    const QSettings s = OpenStore();
    return StoredWholeNumber(s.value(TSettingsStore::KeyPath(section, name)), out);
}

bool WriteValue(const QString& section, const QString& name, const QVariant& value) {
    if (!IsValidKey(section, name)) return false;
    QSettings s = OpenStore();
    s.setValue(TSettingsStore::KeyPath(section, name), value);
    s.sync();
    return s.status() == QSettings::NoError;
}

}  // namespace

QString DefaultFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\");
#else
    return QDir::toNativeSeparators(QDir::homePath());
#endif
}

void UseStoreNames(const QString& organization, const QString& application) {
    Names() = {organization, application};
}

QString Settings::BaseSizeValueName(int i) { return QLatin1String(BaseSizeValuePrefix) + QString::number(i); }

QString Settings::BaseSizeTextName(int i) { return QLatin1String(BaseSizeTextPrefix) + QString::number(i); }

QString DefaultValue(const StringSetting& s) {
    if (s.kind == TextKind::Folder) return DefaultFolder();
    return QString::fromUtf8(s.defaultValue);
}

bool IsUsableText(TextKind kind, const QString& text) {
    switch (kind) {
    case TextKind::Marker: return IsUsableMarker(text.toStdString());
    case TextKind::Folder:
        // A relative name would depend on the current folder; an empty one
        // would put files at the root of the disk.
        return !text.isEmpty() && QDir::isAbsolutePath(text) && QFileInfo(text).isDir();
    case TextKind::Any: break;
    }
    return true;
}

TSettingsStore::TSettingsStore() = default;

QString TSettingsStore::KeyPath(const QString& section, const QString& name) {
    return SectionPath(section) + QLatin1Char('/') + name;
}

int32_t TSettingsStore::ReadIntSetting(const QString& section, const QString& name, int32_t defaultValue) const {
    int64_t v = 0;
    if (!ReadWholeNumber(section, name, v)) return defaultValue;
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int64_t TSettingsStore::ReadInt64Setting(const QString& section, const QString& name, int64_t defaultValue) const {
    int64_t v = 0;
    return ReadWholeNumber(section, name, v) ? v : defaultValue;
}

bool TSettingsStore::ReadBoolSetting(const QString& section, const QString& name, bool defaultValue) const {
    int64_t v = 0;
    return ReadWholeNumber(section, name, v) ? v != 0 : defaultValue;
}

QString TSettingsStore::ReadStringSetting(const QString& section, const QString& name,
                                          const QString& defaultValue) const {
    if (!IsValidKey(section, name)) return defaultValue;
    const QSettings s = OpenStore();
    const QVariant v = s.value(KeyPath(section, name));
    // Numbers read as their text (the Unix file cannot tell them apart from
    // text anyway); lists and other structured values are not a text.
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: break;
    default: return defaultValue;
    }
    // Far beyond any marker, folder or file name: a huge value would only
    // cost time wherever it is shown or searched. A UTF-16 unit takes at
    // least one byte in UTF-8, so the cheap count comes first.
    const QString text = v.toString();
    if (text.size() > kMaxStoredTextBytes || text.toUtf8().size() > kMaxStoredTextBytes) return defaultValue;
    return text;
}

bool TSettingsStore::WriteIntSetting(const QString& section, const QString& name, int32_t value) {
    return WriteValue(section, name, QVariant(static_cast<int>(value)));
}

bool TSettingsStore::WriteInt64Setting(const QString& section, const QString& name, int64_t value) {
    return WriteValue(section, name, QVariant(static_cast<qlonglong>(value)));
}

bool TSettingsStore::WriteBoolSetting(const QString& section, const QString& name, bool value) {
    return WriteValue(section, name, QVariant(value ? 1 : 0));
}

bool TSettingsStore::WriteStringSetting(const QString& section, const QString& name, const QString& value) {
    return WriteValue(section, name, QVariant(value));
}

bool TSettingsStore::DeleteSetting(const QString& section, const QString& name) {
    if (!IsValidKey(section, name)) return false;
    QSettings s = OpenStore();
    s.remove(KeyPath(section, name));
    s.sync();
    return s.status() == QSettings::NoError;
}

bool TSettingsStore::DeleteSection(const QString& section) {
    if (!IsPlainName(section)) return false;
    QSettings s = OpenStore();
    s.remove(SectionPath(section));
    s.sync();
    return s.status() == QSettings::NoError;
}

QStringList TSettingsStore::ValueNames(const QString& section) const {
    if (!IsPlainName(section)) return {};
    QSettings s = OpenStore();
    s.beginGroup(SectionPath(section));
    return s.childKeys();
}

int32_t TSettingsStore::Read(const IntSetting& s) const {
    const int32_t v = ReadIntSetting(QString::fromUtf8(s.section), QString::fromUtf8(s.name), s.defaultValue);
    return v >= s.min && v <= s.max ? v : s.defaultValue;
}

bool TSettingsStore::Read(const BoolSetting& s) const {
    return ReadBoolSetting(QString::fromUtf8(s.section), QString::fromUtf8(s.name), s.defaultValue);
}

QString TSettingsStore::Read(const StringSetting& s) const {
    const QString fallback = DefaultValue(s);
    const QString v = ReadStringSetting(QString::fromUtf8(s.section), QString::fromUtf8(s.name), fallback);
    return IsUsableText(s.kind, v) ? v : fallback;
}

bool TSettingsStore::Write(const IntSetting& s, int32_t value) {
    return WriteIntSetting(QString::fromUtf8(s.section), QString::fromUtf8(s.name), value);
}

bool TSettingsStore::Write(const BoolSetting& s, bool value) {
    return WriteBoolSetting(QString::fromUtf8(s.section), QString::fromUtf8(s.name), value);
}

bool TSettingsStore::Write(const StringSetting& s, const QString& value) {
    return WriteStringSetting(QString::fromUtf8(s.section), QString::fromUtf8(s.name), value);
}

bool TSettingsStore::ResetToDefaults() {
    bool ok = true;
    // Every section is tried even when one fails, so a reset removes all it can.
    for (const char* section : Settings::ResetOrder) ok = DeleteSection(QString::fromUtf8(section)) && ok;
    return ok;
}

QString SetAsideOversizedStore() {
    const QString name = StoreFileName();
    const QFileInfo file(name);
    if (name.isEmpty() || !file.isFile() || file.size() <= kMaxSettingsFileBytes) return {};
    const QString aside =
        name + QStringLiteral(".too-large-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return QFile::rename(name, aside) ? aside : QString();
}
