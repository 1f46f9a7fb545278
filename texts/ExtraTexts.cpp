#include "texts/ExtraTexts.h"

#include "engine/TransferOutcome.h"
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
    {Extra::ReasonNoPermission, {"Permission denied.", "Behörighet saknas.", "Zugriff verweigert."}},
    {Extra::ReasonNameTooLong, {"The file name is too long.", "Filnamnet är för långt.", "Der Dateiname ist zu lang."}},
    {Extra::ReasonReadOnlyDisk,
     {"The disk is write-protected.", "Disken är skrivskyddad.", "Der Datenträger ist schreibgeschützt."}},
    {Extra::ReasonIoError,
     {"The disk could not be read or written (input/output error).",
      "Disken kunde inte läsas eller skrivas (in-/utmatningsfel).",
      "Der Datenträger konnte nicht gelesen oder beschrieben werden (Ein-/Ausgabefehler)."}},
    {Extra::Stopped, {"Stopped.", "Avbrutet.", "Abgebrochen."}},
    {Extra::AboutMenuItem, {"&About", "&Om", "Ü&ber"}},
    {Extra::AboutTitle, {"About The File Quorvel", "Om Filquorvelen", "Über Dateiquorvel"}},
    {Extra::PieceDamaged, {"Piece %1 is damaged.", "Del %1 är skadad.", "Teil %1 ist beschädigt."}},
    {Extra::PieceWrongSize,
     {"Piece %1 has the wrong size: %2 bytes instead of %3.", "Del %1 har fel storlek: %2 byte i stället för %3.",
      "Teil %1 hat die falsche Größe: %2 Byte statt %3."}},
    {Extra::FileDamaged,
     {"%1 does not match its checksum.", "%1 stämmer inte med sin kontrollsumma.",
      "%1 stimmt nicht mit der Prüfsumme überein."}},
    {Extra::NoChecksumFile,
     {"There is no checksum file for this set: %1", "Det finns ingen kontrollsummefil för den här uppsättningen: %1",
      "Zu diesen Teilen gibt es keine Prüfsummendatei: %1"}},
    {Extra::FileUnreadable, {"%1 cannot be read.", "%1 kan inte läsas.", "%1 kann nicht gelesen werden."}},
    {Extra::ChecksumFileDamaged,
     {"The checksum file %1 is damaged.", "Kontrollsummefilen %1 är skadad.",
      "Die Prüfsummendatei %1 ist beschädigt."}},
    {Extra::ChecksumFileDamagedAt,
     {"The checksum file %1 is damaged (line %2).", "Kontrollsummefilen %1 är skadad (rad %2).",
      "Die Prüfsummendatei %1 ist beschädigt (Zeile %2)."}},
    {Extra::ChecksumFileUnfinished,
     {"The split that wrote %1 did not finish: the set is incomplete.",
      "Uppdelningen som skrev %1 slutfördes aldrig: uppsättningen är ofullständig.",
      "Die Aufteilung, die %1 geschrieben hat, wurde nicht beendet: die Teile sind unvollständig."}},
    {Extra::PiecesChecked,
     {"Pieces checked: %1, all intact.", "Kontrollerade delar: %1, alla är hela.",
      "Geprüfte Teile: %1, alle unversehrt."}},
    {Extra::WholeFileChecked,
     {"%1 matches its checksum as well.", "Även %1 stämmer med sin kontrollsumma.",
      "Auch %1 stimmt mit der Prüfsumme überein."}},
    {Extra::RestoredAndChecked,
     {"The file is restored and checked!", "Filen är återskapad och kontrollerad!",
      "Die Datei ist wiederhergestellt und geprüft!"}},
    {Extra::ChecksumFileNotWritten,
     {"The checksum file %1 could not be written.", "Kontrollsummefilen %1 kunde inte skrivas.",
      "Die Prüfsummendatei %1 konnte nicht geschrieben werden."}},
    {Extra::ChecksumFileBesideBigFile,
     {"The pieces' disk has no room for the checksum file; it is beside the big file: %1",
      "Delarnas disk har inte plats för kontrollsummefilen; den ligger bredvid den stora filen: %1",
      "Auf dem Datenträger der Teile ist kein Platz für die Prüfsummendatei; sie liegt neben der großen Datei: %1"}},
    {Extra::ReplaceTarget,
     {"The file %1 already exists. Replace it?", "Filen %1 finns redan. Vill du ersätta den?",
      "Die Datei %1 ist bereits vorhanden. Soll sie ersetzt werden?"}},
    {Extra::NothingJoined,
     {"Nothing was restored; no file was changed.", "Inget återskapades; ingen fil ändrades.",
      "Nichts wurde wiederhergestellt; keine Datei wurde geändert."}},
    {Extra::StopCommand, {"S&top", "&Stoppa", "&Abbrechen"}},
    {Extra::StopHint,
     {"Stop|Stops the running split or restore; nothing half-written is left behind",
      "Stoppa|Stoppar den pågående uppdelningen eller återskapningen; inget halvskrivet lämnas kvar",
      "Abbrechen|Bricht das laufende Aufteilen oder Wiederherstellen ab; nichts halb Geschriebenes bleibt "
      "zurück"}},
    {Extra::ProgressPercent, {"%1%", "%1 %", "%1 %"}},
    {Extra::ProgressBytes, {"%1 of %2", "%1 av %2", "%1 von %2"}},
    {Extra::ProgressTimeLeft, {"%1 left", "%1 kvar", "noch %1"}},
    {Extra::ProgressPiece, {"piece %1 of %2", "del %1 av %2", "Teil %1 von %2"}},
    {Extra::ProgressPieceAlone, {"piece %1", "del %1", "Teil %1"}},
    {Extra::RecoveryFilesWritten,
     {"Recovery files: %1, %2 bytes in all. Any %3 lost or damaged pieces can be rebuilt from them.",
      "Återställningsfiler: %1, sammanlagt %2 byte. Upp till %3 förlorade eller skadade delar kan återskapas med dem.",
      "Wiederherstellungsdateien: %1, zusammen %2 Byte. Bis zu %3 verlorene oder beschädigte Teile lassen sich "
      "damit neu erstellen."}},
    {Extra::RecoveryFilesNotWritten,
     {"The pieces are complete, but the recovery files could not be written.",
      "Delarna är kompletta, men återställningsfilerna kunde inte skrivas.",
      "Die Teile sind vollständig, aber die Wiederherstellungsdateien konnten nicht geschrieben werden."}},
    {Extra::RecoveryCanRebuild,
     {"%1 pieces are missing or damaged; the recovery files can rebuild %2 of them.",
      "%1 delar saknas eller är skadade; återställningsfilerna kan återskapa %2 av dem.",
      "%1 Teile fehlen oder sind beschädigt; die Wiederherstellungsdateien können %2 davon neu erstellen."}},
    {Extra::RecoveryTooFew,
     {"%1 pieces are missing or damaged, but the recovery files can rebuild only %2. Nothing was changed.",
      "%1 delar saknas eller är skadade, men återställningsfilerna räcker bara till %2. Ingenting ändrades.",
      "%1 Teile fehlen oder sind beschädigt, die Wiederherstellungsdateien reichen aber nur für %2. Es wurde "
      "nichts geändert."}},
    {Extra::RecoveryNone,
     {"There are no usable recovery files for this set.",
      "Det finns inga användbara återställningsfiler för den här uppsättningen.",
      "Zu diesen Teilen gibt es keine brauchbaren Wiederherstellungsdateien."}},
    {Extra::RecoveryFilePassedOver,
     {"%1 is damaged or belongs to another file; it was not used.",
      "%1 är skadad eller hör till en annan fil; den användes inte.",
      "%1 ist beschädigt oder gehört zu einer anderen Datei; sie wurde nicht verwendet."}},
    {Extra::PiecesRebuilt,
     {"Rebuilt from the recovery files and checked: pieces %1.",
      "Återskapade med återställningsfilerna och kontrollerade: delarna %1.",
      "Aus den Wiederherstellungsdateien neu erstellt und geprüft: Teile %1."}},
    {Extra::PieceRebuilt,
     {"Rebuilt from the recovery files and checked: piece %1.",
      "Återskapad med återställningsfilerna och kontrollerad: del %1.",
      "Aus den Wiederherstellungsdateien neu erstellt und geprüft: Teil %1."}},
    {Extra::RestoredWithRebuiltPieces,
     {"The file is restored and checked; pieces %1 were rebuilt from the recovery files.",
      "Filen är återskapad och kontrollerad; delarna %1 byggdes upp igen med återställningsfilerna.",
      "Die Datei ist wiederhergestellt und geprüft; die Teile %1 wurden aus den Wiederherstellungsdateien neu "
      "erstellt."}},
    {Extra::RestoredWithRebuiltPiece,
     {"The file is restored and checked; piece %1 was rebuilt from the recovery files.",
      "Filen är återskapad och kontrollerad; del %1 byggdes upp igen med återställningsfilerna.",
      "Die Datei ist wiederhergestellt und geprüft; Teil %1 wurde aus den Wiederherstellungsdateien neu erstellt."}},
    {Extra::RebuiltPieceDiffers,
     {"Piece %1 came out different from its checksum: the recovery files belong to another version of the file. "
      "Nothing was changed.",
      "Del %1 blev inte som sin kontrollsumma: återställningsfilerna hör till en annan version av filen. "
      "Ingenting ändrades.",
      "Teil %1 stimmt nach dem Neuerstellen nicht mit der Prüfsumme überein: die Wiederherstellungsdateien gehören "
      "zu einer anderen Fassung der Datei. Es wurde nichts geändert."}},
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == static_cast<std::size_t>(Extra::Count), "one row per text");

}  // namespace

const std::string& ExtraText(Language lang, Extra id) {
    // Built once: callers keep references to the texts.
    static const auto table = [] {
        std::array<std::array<std::string, static_cast<std::size_t>(Extra::Count)>, kLanguageCount> t;
        for (const ExtraRow& row : kRows) {
            for (int l = 0; l < kLanguageCount; ++l) t[l][static_cast<std::size_t>(row.id)] = row.text[l];
        }
        return t;
    }();
    int row = static_cast<int>(lang);
    if (row < 0 || row >= kLanguageCount) row = 0;
    return table[row][static_cast<std::size_t>(id)];
}

const std::string& ExtraText(Extra id) { return ExtraText(LanguageIndex, id); }

std::string FillIn(const std::string& text, const std::vector<std::string>& values) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < values.size()) {
                result += values[n];
                ++i;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

std::string ReasonText(Language lang, int systemError) {
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

std::string PieceNumbers(const std::vector<int32_t>& numbers) {
    std::string list;
    for (const int32_t n : numbers) list += (list.empty() ? "" : ", ") + std::to_string(n);
    return list;
}

std::string OutcomeText(Language lang, const TransferOutcome& outcome) {
    using What = TransferOutcome::What;
    const TextCatalogue& catalogue = Catalogue();
    const std::string piece = std::to_string(outcome.piece);
    std::string text;
    switch (outcome.what) {
    case What::Done:
        if (outcome.split) return catalogue.Text(lang, Entry::FileSplitted);
        if (!outcome.rebuilt.empty()) {
            return FillIn(ExtraText(lang, outcome.rebuilt.size() == 1 ? Extra::RestoredWithRebuiltPiece
                                                                      : Extra::RestoredWithRebuiltPieces),
                          {PieceNumbers(outcome.rebuilt)});
        }
        return outcome.checked ? ExtraText(lang, Extra::RestoredAndChecked) : catalogue.Text(lang, Entry::FileRestored);
    case What::Stopped: return ExtraText(lang, Extra::Stopped);
    case What::SizesDiffer: text = catalogue.Text(lang, Entry::SizesDiffer); break;
    case What::CannotReadBigFile: text = catalogue.Text(lang, Entry::CannotReadBigFile); break;
    case What::CannotCreateBigFile: text = catalogue.Text(lang, Entry::CannotRecreateBigFile); break;
    case What::DisksNotEntered: text = catalogue.Text(lang, Entry::DisksNotEntered); break;
    case What::CannotCreatePiece: text = catalogue.Text(lang, Entry::CannotCreatePiece) + piece; break;
    case What::CannotReadPiece: text = catalogue.Text(lang, Entry::CannotReadPiece) + piece; break;
    case What::PieceDamaged: text = FillIn(ExtraText(lang, Extra::PieceDamaged), {piece}); break;
    case What::PieceMissing: text = catalogue.Text(lang, Entry::FileMissing) + outcome.file; break;
    case What::ChecksumsUnfinished:
        text = FillIn(ExtraText(lang, Extra::ChecksumFileUnfinished), {outcome.file});
        break;
    case What::ChecksumsDamaged: text = FillIn(ExtraText(lang, Extra::ChecksumFileDamaged), {outcome.file}); break;
    case What::JoinedFileDamaged: text = FillIn(ExtraText(lang, Extra::FileDamaged), {outcome.file}); break;
    case What::ChecksumsNotWritten:
        text = FillIn(ExtraText(lang, Extra::ChecksumFileNotWritten), {outcome.file});
        break;
    case What::RecoveryTooFew:
        text = FillIn(ExtraText(lang, Extra::RecoveryTooFew),
                      {std::to_string(outcome.missing), std::to_string(outcome.rebuildable)});
        break;
    case What::RecoveryNotWritten: text = ExtraText(lang, Extra::RecoveryFilesNotWritten); break;
    }
    const std::string reason = ReasonText(lang, outcome.error);
    if (!reason.empty()) text += (text.empty() ? "" : "\n") + reason;
    return text;
}
