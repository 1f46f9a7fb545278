// The settings store: every value the program remembers between runs, kept in
// the per-user store under "v1.7/<section>/<value>" and written through at once.
#pragma once

#include <QString>
#include <cstdint>

// One entry of the table of stored values: where it lives and its default.
struct IntSetting    { const char* section; const char* name; int32_t defaultValue; };
struct BoolSetting   { const char* section; const char* name; bool defaultValue; };
struct StringSetting { const char* section; const char* name; const char* defaultValue; };

// The folder used for big files and pieces until the user picks one:
// C:\ on Windows, the home folder elsewhere (a user cannot write to /).
QString DefaultFolder();

// Every value the program stores, with its default. Callers read defaults from
// here instead of repeating literals.
namespace Settings {
inline constexpr IntSetting    Language      {"Language", "Language", 0};
inline constexpr IntSetting    MaxRAM        {"Memory", "MaxRAM", 100000};
inline constexpr IntSetting    MainTop       {"Position", "mainTop", 50};
inline constexpr IntSetting    MainLeft      {"Position", "mainLeft", 100};
inline constexpr IntSetting    MainHeight    {"Position", "mainHeight", 0};
inline constexpr IntSetting    MainWidth     {"Position", "mainWidth", 0};
inline constexpr StringSetting AddedFileType {"AddedFileType", "AddedFileType", ".Quorved_"};
// Default is DefaultFolder(); the member stays empty.
inline constexpr StringSetting SplitPath     {"Path", "SplitPath", ""};
inline constexpr StringSetting JoinPath      {"Path", "JoinPath", ""};
inline constexpr BoolSetting   UseFreeSpace  {"BaseSize", "UseFreeSpace", false};
inline constexpr IntSetting    BaseSizeIndex {"BaseSize", "BaseSizeIndex", 1};
inline constexpr IntSetting    BaseSizes     {"BaseSize", "BaseSizes", 0};
// Per preset i: "BaseSizeValue_<i>" (64-bit, default 1) and "BaseSizeText_<i>".
inline constexpr const char*   BaseSizeSection   = "BaseSize";
inline constexpr const char*   BaseSizeValuePrefix = "BaseSizeValue_";
inline constexpr const char*   BaseSizeTextPrefix  = "BaseSizeText_";
inline constexpr int64_t       BaseSizeValueDefault = 1;
inline constexpr const char*   BaseSizeTextDefault  = "(undefined)";
inline constexpr IntSetting    BigUnit       {"BigUnit", "BigUnit", 3};
inline constexpr IntSetting    ChangeDisk    {"ChangeDisk", "ChangeDisk", 1};
// The sections a reset deletes, in this order.
inline constexpr const char* ResetOrder[] = {"BigUnit", "Language", "Memory", "Position",
                                             "Path", "BaseSize", "ChangeDisk", "AddedFileType"};
}  // namespace Settings

class TSettingsStore {
public:
    TSettingsStore();

    // A read never writes; a missing value, or one that does not read as the
    // wanted type, gives the caller's default.
    int32_t ReadIntSetting(const QString& section, const QString& name, int32_t defaultValue) const;
    int64_t ReadInt64Setting(const QString& section, const QString& name, int64_t defaultValue) const;
    bool ReadBoolSetting(const QString& section, const QString& name, bool defaultValue) const;
    QString ReadStringSetting(const QString& section, const QString& name, const QString& defaultValue) const;

    void WriteIntSetting(const QString& section, const QString& name, int32_t value);
    void WriteInt64Setting(const QString& section, const QString& name, int64_t value);
    void WriteBoolSetting(const QString& section, const QString& name, bool value);
    void WriteStringSetting(const QString& section, const QString& name, const QString& value);

    void DeleteSetting(const QString& section, const QString& name);
    void DeleteSection(const QString& section);

    // Table shorthands.
    int32_t Read(const IntSetting& s) const;
    bool Read(const BoolSetting& s) const;
    QString Read(const StringSetting& s) const;  // SplitPath/JoinPath default to DefaultFolder()
    void Write(const IntSetting& s, int32_t value);
    void Write(const BoolSetting& s, bool value);
    void Write(const StringSetting& s, const QString& value);

    // Deletes the eight sections in Settings::ResetOrder.
    void ResetToDefaults();

    // "v1.7/<section>/<name>", rebuilt by every operation.
    static QString KeyPath(const QString& section, const QString& name);
};
