// The settings store: every value the program remembers between runs, kept in
// the per-user store under "v1.7/<section>/<value>" and written through at once.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <limits>

// What a stored text must be for the program to use it.
enum class TextKind {
    Any,     // any text
    Marker,  // a usable piece marker (IsUsableMarker: not empty, no separator or control character, no digit at the
             // end)
    Folder,  // the absolute name of an existing folder
};

// One entry of the table of stored values: where it lives, its default and,
// for numbers, the range the program can use. A table read of a value outside
// its range, or of a text that is not of its kind, gives the default.
struct IntSetting {
    const char* section;
    const char* name;
    int32_t defaultValue;
    int32_t min = std::numeric_limits<int32_t>::min();
    int32_t max = std::numeric_limits<int32_t>::max();
};
struct BoolSetting {
    const char* section;
    const char* name;
    bool defaultValue;
};
struct StringSetting {
    const char* section;
    const char* name;
    const char* defaultValue;
    TextKind kind = TextKind::Any;
};

// The longest stored text the program takes (marker, folder, file name).
inline constexpr int kMaxStoredTextBytes = 4096;

// The folder used for big files and pieces until the user picks one:
// C:\ on Windows, the home folder elsewhere (a user cannot write to /).
QString DefaultFolder();

// The largest settings file read: the program writes a few kilobytes, and
// QSettings parses a whole file before it answers anything.
inline constexpr qint64 kMaxSettingsFileBytes = 1 << 20;

// Moves a settings file larger than kMaxSettingsFileBytes aside, under its
// name with ".too-large" and the time added, so the program starts with its
// defaults without reading it; returns the new name, empty when nothing was
// moved (or the store is no file, as the registry on Windows).
QString SetAsideOversizedStore();

// Keeps the per-user store under other organisation and application names
// than the program's own; called before any store is used. Tests use it so as
// never to touch the user's settings: the Windows registry, unlike a settings
// file, cannot be pointed at a private folder.
void UseStoreNames(const QString& organization, const QString& application);

// Every value the program stores, with its default. Callers read defaults from
// here instead of repeating literals.
namespace Settings {
// The version key that keeps settings of different versions apart. It stays
// "v1.7" when the program's version moves on: settings files written by 1.7
// must keep working, so it is not taken from the version (ProgramInfo.h).
inline constexpr const char* VersionKey = "v1.7";

inline constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();

inline constexpr IntSetting Language{"Language", "Language", 0, 0, 2};
inline constexpr IntSetting MaxRAM{"Memory", "MaxRAM", 100000, 0, kIntMax};
// The window limits its position and size to the screen it opens on.
inline constexpr IntSetting MainTop{"Position", "mainTop", 50};
inline constexpr IntSetting MainLeft{"Position", "mainLeft", 100};
inline constexpr IntSetting MainHeight{"Position", "mainHeight", 0, 0, kIntMax};
inline constexpr IntSetting MainWidth{"Position", "mainWidth", 0, 0, kIntMax};
inline constexpr StringSetting AddedFileType{"AddedFileType", "AddedFileType", ".Quorved_", TextKind::Marker};
// Default is DefaultFolder(); the member stays empty.
inline constexpr StringSetting SplitPath{"Path", "SplitPath", "", TextKind::Folder};
inline constexpr StringSetting JoinPath{"Path", "JoinPath", "", TextKind::Folder};
inline constexpr BoolSetting UseFreeSpace{"BaseSize", "UseFreeSpace", false};
// How many pieces may be lost and still be rebuilt from recovery files; 0 writes none.
// Each lost piece takes at least one of the PAR 2.0 format's 32768 recovery slices.
inline constexpr IntSetting RecoveryPieces{"Recovery", "LostPieces", 0, 0, 32768};
// The presets limit the index to their list and the count to the presets
// actually stored (planning/Presets.h).
inline constexpr IntSetting BaseSizeIndex{"BaseSize", "BaseSizeIndex", 1};
inline constexpr IntSetting BaseSizes{"BaseSize", "BaseSizes", 0, 0, kIntMax};
// Per preset i: "BaseSizeValue_<i>" (64-bit, default 1) and "BaseSizeText_<i>".
inline constexpr const char* BaseSizeSection = "BaseSize";
inline constexpr const char* BaseSizeValuePrefix = "BaseSizeValue_";
inline constexpr const char* BaseSizeTextPrefix = "BaseSizeText_";
inline constexpr int64_t BaseSizeValueDefault = 1;
inline constexpr const char* BaseSizeTextDefault = "(undefined)";
inline constexpr IntSetting BigUnit{"BigUnit", "BigUnit", 3, 1, 4};
inline constexpr IntSetting ChangeDisk{"ChangeDisk", "ChangeDisk", 1, 0, 2};
// The sections a reset deletes, in this order.
inline constexpr const char* ResetOrder[] = {"BigUnit", "Language", "Memory",     "Position",
                                             "Path",    "BaseSize", "ChangeDisk", "AddedFileType"};

// Value names of preset i: "BaseSizeValue_<i>" and "BaseSizeText_<i>".
QString BaseSizeValueName(int i);
QString BaseSizeTextName(int i);
}  // namespace Settings

// The default of a text value as callers should use it: the table's text, or
// DefaultFolder() for the folders.
QString DefaultValue(const StringSetting& s);

// Whether a text is of the kind the program can use (TextKind).
bool IsUsableText(TextKind kind, const QString& text);

// A store holds no state and keeps nothing open: every operation opens the
// per-user store, does its work and closes it again, so any number of stores
// may exist side by side and all see the same values.
//
// Section and value names must be plain names: an empty name, or one holding
// a "/" or "\" (which would address another section or the whole version key),
// is refused: reads give the default, writes and deletions do nothing and
// report false.
class TSettingsStore {
public:
    TSettingsStore();

    // A read never writes; a missing value, or one that does not read as the
    // wanted type, gives the caller's default. A whole number outside the
    // range of the type read is clamped to it.
    int32_t ReadIntSetting(const QString& section, const QString& name, int32_t defaultValue) const;
    int64_t ReadInt64Setting(const QString& section, const QString& name, int64_t defaultValue) const;
    // Any stored number other than 0 reads as true.
    bool ReadBoolSetting(const QString& section, const QString& name, bool defaultValue) const;
    // A text longer than kMaxStoredTextBytes (in UTF-8) gives the default.
    QString ReadStringSetting(const QString& section, const QString& name, const QString& defaultValue) const;

    // Writes create what is missing and reach the disk before they return;
    // false when the value could not be stored.
    bool WriteIntSetting(const QString& section, const QString& name, int32_t value);
    bool WriteInt64Setting(const QString& section, const QString& name, int64_t value);
    bool WriteBoolSetting(const QString& section, const QString& name, bool value);  // stored as 1 or 0
    bool WriteStringSetting(const QString& section, const QString& name, const QString& value);

    // A missing value or section is no error and leaves the store untouched.
    // False only when a deletion could not be stored.
    bool DeleteSetting(const QString& section, const QString& name);
    bool DeleteSection(const QString& section);

    // The names of the values stored in a section, in no set order; none for
    // a missing section or a name that is not plain.
    QStringList ValueNames(const QString& section) const;

    // Table shorthands. A read gives the default for a value outside the
    // entry's range (numbers) or not of its kind (texts); writes store as given.
    int32_t Read(const IntSetting& s) const;
    bool Read(const BoolSetting& s) const;
    QString Read(const StringSetting& s) const;  // default: DefaultValue(s)
    bool Write(const IntSetting& s, int32_t value);
    bool Write(const BoolSetting& s, bool value);
    bool Write(const StringSetting& s, const QString& value);

    // Deletes the eight sections in Settings::ResetOrder. Values of other
    // versions stay.
    bool ResetToDefaults();

    // "v1.7/<section>/<name>", rebuilt by every operation.
    static QString KeyPath(const QString& section, const QString& name);
};
