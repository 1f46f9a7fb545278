#include "texts/ExtraTexts.h"

#include "engine/PieceEngine.h"
#include "texts/TextCatalogue.h"

#include <array>
#include <cerrno>

namespace {

struct ExtraRow {
    Extra id;
    std::array<const char*, kLanguageCount> text;  // English, Swedish, German
};

// One row per text, in the order of Extra.
const ExtraRow kRows[] = {
    {Extra::ReasonDiskFull, {"The disk is full.", "Disken är full.", "Der Datenträger ist voll."}},
    {Extra::ReasonNoPermission,
     {"Permission denied.", "Behörighet saknas.", "Zugriff verweigert."}},
    {Extra::ReasonNameTooLong,
     {"The file name is too long.", "Filnamnet är för långt.", "Der Dateiname ist zu lang."}},
    {Extra::ReasonReadOnlyDisk,
     {"The disk is write-protected.", "Disken är skrivskyddad.", "Der Datenträger ist schreibgeschützt."}},
    {Extra::ReasonIoError,
     {"The disk could not be read or written (input/output error).",
      "Disken kunde inte läsas eller skrivas (in-/utmatningsfel).",
      "Der Datenträger konnte nicht gelesen oder beschrieben werden (Ein-/Ausgabefehler)."}},
    {Extra::Stopped, {"Stopped.", "Avbrutet.", "Abgebrochen."}},
    {Extra::StopCommand, {"S&top", "&Stoppa", "&Abbrechen"}},
    {Extra::StopHint,
     {"Stop|Stops the running split or restore; nothing half-written is left behind",
      "Stoppa|Stoppar den pågående uppdelningen eller återskapningen; inget halvskrivet lämnas kvar",
      "Abbrechen|Bricht das laufende Aufteilen oder Wiederherstellen ab; nichts halb Geschriebenes bleibt "
      "zurück"}},
    {Extra::ProgressPercent, {"%1%", "%1 %", "%1 %"}},
    {Extra::ProgressBytes, {"%1 of %2", "%1 av %2", "%1 von %2"}},
    {Extra::ProgressTimeLeft, {"%1 left", "%1 kvar", "noch %1"}},
    {Extra::ProgressPiece, {"file %1 of %2", "fil %1 av %2", "Datei %1 von %2"}},
    {Extra::ProgressPieceAlone, {"file %1", "fil %1", "Datei %1"}},
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == static_cast<std::size_t>(Extra::Count),
              "one row per text");

}  // namespace

const std::string& ExtraText(int lang, Extra id) {
    // Built once: callers keep references to the texts.
    static const auto table = [] {
        std::array<std::array<std::string, static_cast<std::size_t>(Extra::Count)>, kLanguageCount> t;
        for (const ExtraRow& row : kRows) {
            for (int l = 0; l < kLanguageCount; ++l) t[l][static_cast<std::size_t>(row.id)] = row.text[l];
        }
        return t;
    }();
    if (lang < 0 || lang >= kLanguageCount) lang = 0;
    return table[lang][static_cast<std::size_t>(id)];
}

const std::string& ExtraText(Extra id) { return ExtraText(LanguageIndex, id); }

std::string ReasonText(int lang, int systemError) {
    switch (systemError) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return ExtraText(lang, Extra::ReasonDiskFull);
    case EACCES:
    case EPERM: return ExtraText(lang, Extra::ReasonNoPermission);
    case ENAMETOOLONG: return ExtraText(lang, Extra::ReasonNameTooLong);
    case EROFS: return ExtraText(lang, Extra::ReasonReadOnlyDisk);
    case EIO: return ExtraText(lang, Extra::ReasonIoError);
    default: return {};
    }
}

std::string FailureText(int lang, int32_t code, bool split, int systemError) {
    std::string text;
    if (code == kStopped) {
        return ExtraText(lang, Extra::Stopped);
    } else if (code == kSizesDiffer) {
        text = Catalogue().Text(lang, 94);
    } else if (code < 0) {
        // Every other code names its catalogue entry; one the engine never
        // gives reads as the empty text.
        text = Catalogue().Text(lang, code < -kCatalogueEntries ? kCatalogueEntries : -code);
    } else {
        text = Catalogue().Text(lang, split ? 92 : 93) + std::to_string(code);
    }
    const std::string reason = ReasonText(lang, systemError);
    if (!reason.empty()) text += (text.empty() ? "" : "\n") + reason;
    return text;
}
