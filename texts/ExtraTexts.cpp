#include "texts/ExtraTexts.h"

#include "io/FileAccess.h"
#include "engine/PieceNaming.h"
#include "engine/TransferOutcome.h"
#include "texts/TextCatalogue.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

struct ExtraRow {
    Extra id;
    std::array<const char*, kLanguageCount> text;  // English, Swedish, German
};

// One row per text, in the order of Extra.
const ExtraRow kRows[] = {
    {Extra::ReasonDiskFull, {"The disk is full.", "Skivan är full.", "Der Datenträger ist voll."}},
    {Extra::ReasonNoPermission, {"Permission denied.", "Behörighet saknas.", "Zugriff verweigert."}},
    {Extra::ReasonNameTooLong, {"The file name is too long.", "Filnamnet är för långt.", "Der Dateiname ist zu lang."}},
    {Extra::ReasonReadOnlyDisk,
     {"The disk is write-protected.", "Skivan är skrivskyddad.", "Der Datenträger ist schreibgeschützt."}},
    {Extra::ReasonIoError,
     {"The disk could not be read or written (input/output error).",
      "Det gick inte att läsa från eller skriva till skivan (in-/utmatningsfel).",
      "Der Datenträger konnte nicht gelesen oder beschrieben werden (Ein-/Ausgabefehler)."}},
    {Extra::Stopped, {"Stopped.", "Avbrutet.", "Abgebrochen."}},
    {Extra::AboutMenuItem, {"&About", "&Om", "Ü&ber"}},
    {Extra::AboutTitle, {"About The File Quorvel", "Om Filquorvelen", "Über Dateiquorvel"}},
    {Extra::NoDesktopSession,
     {"%1 needs a desktop session, and there is no display. Start it as \"xvfb-run -a %1\", or use quorvel-cli "
      "on the command line.",
      "%1 behöver en skrivbordsmiljö, men det finns ingen skärm. Starta programmet med \"xvfb-run -a %1\", eller "
      "använd quorvel-cli på kommandoraden.",
      "%1 braucht eine Desktop-Sitzung, aber es ist keine Anzeige vorhanden. Starten Sie es mit \"xvfb-run -a %1\" "
      "oder verwenden Sie quorvel-cli auf der Kommandozeile."}},
    {Extra::WindowUsage,
     {"Usage: %1 [FILE]\n"
      "Opens the window of The File Quorvel. FILE, a file to split or one smaller\n"
      "file of a set to restore, is opened as if it had been chosen.\n"
      "  --help      show this text and exit\n"
      "  --version   show the version and exit\n"
      "Without a desktop: quorvel-cli --help",
      "Användning: %1 [FIL]\n"
      "Öppnar Filquorvelens fönster. FIL, en fil att dela upp eller en mindre fil i en\n"
      "serie att återskapa, öppnas som om den hade valts.\n"
      "  --help      visa den här texten och avsluta\n"
      "  --version   visa versionen och avsluta\n"
      "Utan skrivbordsmiljö: quorvel-cli --help",
      "Aufruf: %1 [DATEI]\n"
      "Öffnet das Fenster von Dateiquorvel. DATEI, eine aufzuteilende Datei oder ein\n"
      "Teil einer Reihe zum Wiederherstellen, wird geöffnet, als wäre sie gewählt worden.\n"
      "  --help      diesen Text zeigen und beenden\n"
      "  --version   die Version zeigen und beenden\n"
      "Ohne Desktop: quorvel-cli --help"}},
    {Extra::AboutText,
     {"INSTALLATION\n"
      "The File Quorvel comes as a package for the desktop. It needs\n"
      "the Qt 6 libraries, which the package manager installs with it.\n"
      "quorvel is the window; quorvel-cli splits, restores and checks\n"
      "on the command line. The settings are kept for each user.\n"
      "How It Works in the Help menu explains the program, and its\n"
      "text can be opened as a file to read or print.\n"
      "\n"
      "RECOVERY FILES, CHECK AND REPAIR\n"
      "A split can also write PAR 2.0 recovery files beside the\n"
      "smaller files; lost or damaged smaller files are rebuilt\n"
      "from them. Check the smaller files in the File menu compares\n"
      "a set with its checksum file; Repair the smaller files\n"
      "rebuilds missing or damaged ones in place. On the command\n"
      "line: quorvel-cli check and quorvel-cli repair.",
      "INSTALLATION\n"
      "Filquorvelen levereras som ett paket för skrivbordet. Programmet behöver\n"
      "Qt 6-biblioteken, som pakethanteraren installerar tillsammans med det.\n"
      "quorvel är fönstret; quorvel-cli delar upp, återskapar och\n"
      "kontrollerar från kommandoraden. Inställningarna sparas för varje\n"
      "användare. Hur det funkar i Hjälp-menyn förklarar programmet, och\n"
      "texten kan öppnas som en fil för att läsas eller skrivas ut.\n"
      "\n"
      "ÅTERSTÄLLNINGSFILER, KONTROLL OCH REPARATION\n"
      "En uppdelning kan också skriva PAR 2.0-återställningsfiler bredvid\n"
      "de mindre filerna; förlorade eller skadade mindre filer återskapas\n"
      "med dem. Kontrollera de mindre filerna i Arkiv-menyn jämför en\n"
      "serie med dess kontrollsummefil; Reparera de mindre filerna\n"
      "återskapar saknade eller skadade filer på plats. På kommandoraden:\n"
      "quorvel-cli check och quorvel-cli repair.",
      "INSTALLATION\n"
      "Dateiquorvel wird als Paket für den Desktop ausgeliefert. Es braucht\n"
      "die Qt-6-Bibliotheken, die die Paketverwaltung gleich mitinstalliert.\n"
      "quorvel ist das Fenster; quorvel-cli teilt auf, stellt wieder her\n"
      "und prüft auf der Kommandozeile. Die Einstellungen werden für jeden\n"
      "Benutzer gespeichert. „Wie es funktioniert“ im Menü Hilfe erklärt\n"
      "das Programm; der Text lässt sich als Datei lesen oder ausdrucken.\n"
      "\n"
      "WIEDERHERSTELLUNGSDATEIEN, PRÜFEN UND REPARIEREN\n"
      "Beim Aufteilen können neben den kleineren Dateien auch\n"
      "PAR-2.0-Wiederherstellungsdateien entstehen; verlorene oder\n"
      "beschädigte kleinere Dateien werden damit neu erstellt.\n"
      "„Kleinere Dateien prüfen“ im Menü Datei vergleicht eine Reihe\n"
      "mit ihrer Prüfsummendatei; „Kleinere Dateien reparieren“ stellt\n"
      "fehlende oder beschädigte an ihrem Platz neu her. Auf der\n"
      "Kommandozeile: quorvel-cli check und quorvel-cli repair."}},
    {Extra::HelpAdditions,
     {"WHAT THIS VERSION ADDS\n"
      "o   A split also writes a checksum file beside the smaller\n"
      "    files (its name ends in sha256). A restore checks every\n"
      "    smaller file against it and names one that is damaged\n"
      "    or missing.\n"
      "o   Stop (Escape) ends a running split or restore; nothing\n"
      "    half-written is left behind.\n"
      "o   A file named on the command line (quorvel FILE), or\n"
      "    dropped on the window, opens as if it had been chosen.\n"
      "o   Recovery files: with \"Smaller files that can be rebuilt\n"
      "    if lost\" above 0, a split also writes PAR 2.0 recovery\n"
      "    files (FILE.par2, FILE.volNN+MM.par2) beside the smaller\n"
      "    files; the line under it tells how many and how large.\n"
      "    If up to that many smaller files are lost or damaged, a\n"
      "    restore rebuilds them from the recovery files and checks\n"
      "    them against the checksum file.\n"
      "o   Check the smaller files (File menu) compares the chosen\n"
      "    set with its checksum file and names every smaller file\n"
      "    that is missing or damaged.\n"
      "o   Repair the smaller files (File menu) rebuilds missing or\n"
      "    damaged smaller files in place from the recovery files,\n"
      "    so that the set is whole again.\n"
      "o   quorvel-cli splits, restores, checks and repairs on the\n"
      "    command line (quorvel-cli check, quorvel-cli repair), for\n"
      "    scripts and servers (quorvel-cli --help).",
      "NYTT I DEN HÄR VERSIONEN\n"
      "o   En uppdelning skriver också en kontrollsummefil bredvid\n"
      "    de mindre filerna (namnet slutar på sha256). Vid\n"
      "    återskapning kontrolleras varje mindre fil mot den, och\n"
      "    en fil som är skadad eller saknas nämns vid namn.\n"
      "o   Stoppa (Esc) avbryter en pågående uppdelning eller\n"
      "    återskapning; inga halvfärdiga filer lämnas kvar.\n"
      "o   En fil som anges på kommandoraden (quorvel FIL) eller\n"
      "    släpps på fönstret öppnas som om den hade valts.\n"
      "o   Återställningsfiler: när \"Mindre filer som kan återskapas\n"
      "    vid förlust\" är större än 0 skriver en uppdelning också\n"
      "    PAR 2.0-återställningsfiler (FIL.par2, FIL.volNN+MM.par2)\n"
      "    bredvid de mindre filerna; raden under visar hur många\n"
      "    och hur stora. Om högst så många mindre filer går\n"
      "    förlorade eller skadas återskapas de med\n"
      "    återställningsfilerna vid återskapningen och kontrolleras\n"
      "    mot kontrollsummefilen.\n"
      "o   Kontrollera de mindre filerna (Arkiv-menyn) jämför den\n"
      "    valda serien med dess kontrollsummefil och nämner varje\n"
      "    mindre fil som saknas eller är skadad.\n"
      "o   Reparera de mindre filerna (Arkiv-menyn) återskapar\n"
      "    saknade eller skadade mindre filer på plats med\n"
      "    återställningsfilerna, så att serien blir hel igen.\n"
      "o   quorvel-cli delar upp, återskapar, kontrollerar och\n"
      "    reparerar från kommandoraden (quorvel-cli check,\n"
      "    quorvel-cli repair), för skript och servrar\n"
      "    (quorvel-cli --help).",
      "NEU IN DIESER VERSION\n"
      "o   Beim Aufteilen entsteht neben den kleineren Dateien auch\n"
      "    eine Prüfsummendatei (ihr Name endet auf sha256). Beim\n"
      "    Wiederherstellen wird jede kleinere Datei damit geprüft;\n"
      "    eine beschädigte oder fehlende wird genannt.\n"
      "o   Abbrechen (Esc) beendet ein laufendes Aufteilen oder\n"
      "    Wiederherstellen; es bleiben keine halb geschriebenen\n"
      "    Dateien zurück.\n"
      "o   Eine Datei, die auf der Kommandozeile genannt (quorvel\n"
      "    DATEI) oder auf das Fenster gezogen wird, wird geöffnet,\n"
      "    als wäre sie gewählt worden.\n"
      "o   Wiederherstellungsdateien: Steht „Kleinere Dateien, die\n"
      "    sich bei Verlust neu erstellen lassen“ über 0, entstehen\n"
      "    beim Aufteilen neben den kleineren Dateien auch\n"
      "    PAR-2.0-Wiederherstellungsdateien (DATEI.par2,\n"
      "    DATEI.volNN+MM.par2); die Zeile darunter nennt ihre Zahl\n"
      "    und Größe. Gehen bis zu so viele kleinere Dateien\n"
      "    verloren oder werden beschädigt, erstellt das\n"
      "    Wiederherstellen sie daraus neu und prüft sie mit der\n"
      "    Prüfsummendatei.\n"
      "o   „Kleinere Dateien prüfen“ (Menü Datei) vergleicht die\n"
      "    gewählte Reihe mit ihrer Prüfsummendatei und nennt jede\n"
      "    kleinere Datei, die fehlt oder beschädigt ist.\n"
      "o   „Kleinere Dateien reparieren“ (Menü Datei) erstellt\n"
      "    fehlende oder beschädigte kleinere Dateien an ihrem Platz\n"
      "    aus den Wiederherstellungsdateien neu, sodass die Reihe\n"
      "    wieder vollständig ist.\n"
      "o   quorvel-cli teilt auf, stellt wieder her, prüft und\n"
      "    repariert auf der Kommandozeile (quorvel-cli check,\n"
      "    quorvel-cli repair), für Skripte und Server\n"
      "    (quorvel-cli --help)."}},
    {Extra::HelpFileKept,
     {"No text editor was found to show the text. It has been saved in this file, which is kept until the "
      "program ends:\n%1",
      "Ingen textredigerare hittades som kan visa texten. Den har sparats i den här filen, som finns kvar tills "
      "programmet avslutas:\n%1",
      "Es wurde kein Texteditor gefunden, der den Text anzeigen kann. Er wurde in dieser Datei gespeichert, die bis "
      "zum Programmende erhalten bleibt:\n%1"}},
    {Extra::IsAFolder,
     {"%1 is a folder, not a file.", "%1 är en mapp, inte en fil.", "%1 ist ein Ordner, keine Datei."}},
    {Extra::NotAPiece,
     {"%1 is not one of a set's smaller files: its name does not contain \"%2\".",
      "%1 är ingen mindre fil i en serie: namnet innehåller inte ”%2”.",
      "%1 ist kein Teil einer Reihe: Der Name enthält nicht „%2“."}},
    {Extra::NothingToSplit,
     {"%1 is empty; there is nothing to split.", "%1 är tom; det finns inget att dela upp.",
      "%1 ist leer; es gibt nichts aufzuteilen."}},
    {Extra::TooManyFilesLimit,
     {"A set has at most %1 smaller files: for this file each must hold at least %2 bytes.",
      "En serie har högst %1 mindre filer: för den här filen måste varje mindre fil rymma minst %2 byte.",
      "Eine Reihe hat höchstens %1 Teile: Für diese Datei muss jeder Teil mindestens %2 Byte groß sein."}},
    {Extra::PieceDamaged,
     {"Smaller file %1 is damaged.", "Den mindre filen nummer %1 är skadad.", "Teil %1 ist beschädigt."}},
    {Extra::PieceWrongSize,
     {"Smaller file %1 has the wrong size: %2 bytes instead of %3.",
      "Den mindre filen nummer %1 har fel storlek: %2 byte i stället för %3.",
      "Teil %1 hat die falsche Größe: %2 Byte statt %3."}},
    {Extra::FileDamaged,
     {"%1 does not match its checksum.", "%1 stämmer inte med sin kontrollsumma.",
      "%1 stimmt nicht mit der Prüfsumme überein."}},
    {Extra::NoChecksumFile,
     {"There is no checksum file for this set: %1", "Det finns ingen kontrollsummefil för den här serien: %1",
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
      "Uppdelningen som skrev %1 avslutades aldrig: serien är ofullständig.",
      "Die Aufteilung, die %1 geschrieben hat, wurde nicht abgeschlossen: Die Teile sind unvollständig."}},
    {Extra::PiecesChecked,
     {"Smaller files checked: %1, all intact.", "Kontrollerade mindre filer: %1, alla oskadda.",
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
     {"The smaller files went to disks of their own, so the checksum file was saved beside the big file: %1",
      "De mindre filerna hamnade på egna skivor, så kontrollsummefilen sparades bredvid den stora filen: %1",
      "Die Teile kamen auf eigene Datenträger; die Prüfsummendatei wurde deshalb im Ordner der großen Datei "
      "gespeichert: %1"}},
    {Extra::ReplaceTarget,
     {"The file %1 already exists. Replace it?", "Filen %1 finns redan. Vill du ersätta den?",
      "Die Datei %1 ist bereits vorhanden. Soll sie ersetzt werden?"}},
    {Extra::NothingJoined,
     {"Nothing was restored; no file was changed.", "Inget återskapades och ingen fil ändrades.",
      "Es wurde nichts wiederhergestellt und keine Datei verändert."}},
    {Extra::StopCommand, {"S&top", "&Stoppa", "&Abbrechen"}},
    {Extra::StopHint,
     {"Stop|Stops the running split or restore; nothing half-written is left behind",
      "Stoppa|Stoppar den pågående uppdelningen eller återskapningen; inga halvfärdiga filer lämnas kvar",
      "Abbrechen|Bricht das laufende Aufteilen oder Wiederherstellen ab; es bleiben keine halb "
      "geschriebenen Dateien zurück"}},
    {Extra::ProgressPercent, {"%1%", "%1 %", "%1 %"}},
    {Extra::ProgressBytes, {"%1 of %2", "%1 av %2", "%1 von %2"}},
    {Extra::ProgressTimeLeft, {"%1 left", "%1 kvar", "noch %1"}},
    {Extra::ProgressPiece, {"file %1 of %2", "fil %1 av %2", "Teil %1 von %2"}},
    {Extra::ProgressPieceAlone, {"file %1", "fil %1", "Teil %1"}},
    {Extra::PieceDamagedNamed,
     {"Smaller file %1 (%2) is damaged. Nothing was restored, and no file was changed.",
      "Den mindre filen nummer %1 (%2) är skadad. Inget återställdes och ingen fil ändrades.",
      "Teil %1 (%2) ist beschädigt. Es wurde nichts wiederhergestellt und keine Datei verändert."}},
    {Extra::NoRoomForSet,
     {"There is no room for the new smaller files beside the old ones: %1 bytes are needed. Nothing was changed.",
      "Det finns inte plats för de nya mindre filerna bredvid de gamla: %1 byte behövs. Inget har ändrats.",
      "Für die neuen Teile ist neben den alten kein Platz: %1 Byte werden benötigt. Es wurde nichts verändert."}},
    {Extra::UnprovenPieces,
     {"%1 files named like this set's smaller files would follow the new ones, and no earlier split of this file "
      "is known to have made them: %2. Nothing was changed.",
      "%1 filer med samma namn som mindre filer i den här serien skulle följa efter de nya, och det är inte känt att "
      "någon tidigare uppdelning av filen har gjort dem: %2. Inget har ändrats.",
      "%1 Dateien, die wie Teile dieser Aufteilung heißen, würden auf die neuen Teile folgen, und es ist nicht "
      "bekannt, dass eine frühere Aufteilung dieser Datei sie angelegt hat: %2. Es wurde nichts verändert."}},
    {Extra::ChecksumFileOfOtherSet,
     {"The checksum file %1 belongs to other smaller files (%2) and is not used to check these.",
      "Kontrollsummefilen %1 hör till andra mindre filer (%2) och används inte för att kontrollera de här.",
      "Die Prüfsummendatei %1 gehört zu anderen Teilen (%2) und wird zum Prüfen dieser Teile nicht verwendet."}},
    {Extra::TargetInSet,
     {"%1 belongs to the set being joined; the big file cannot be written there. Choose another name.",
      "%1 hör till de mindre filerna som ska sättas ihop; den stora filen kan inte skrivas dit. Välj ett annat namn.",
      "%1 gehört zu den Teilen, die zusammengefügt werden; die große Datei kann dort nicht geschrieben werden. "
      "Wählen Sie einen anderen Namen."}},
    {Extra::LinkNotTrusted,
     {"%1 is a link that belongs to another user; the big file is not written through it.",
      "%1 är en länk som tillhör en annan användare; den stora filen skrivs inte genom den.",
      "%1 ist eine Verknüpfung, die einem anderen Benutzer gehört; die große Datei wird nicht durch sie "
      "geschrieben."}},
    {Extra::HashingFailed,
     {"The checksums could not be computed: the program could not start its hashing threads.",
      "Kontrollsummorna kunde inte beräknas: programmet kunde inte starta sina trådar för beräkningen.",
      "Die Prüfsummen konnten nicht berechnet werden: Das Programm konnte seine Threads dafür nicht starten."}},
    {Extra::RecoveryFilesWritten,
     {"Recovery files: %1, %2 bytes in all. Any %3 lost or damaged smaller files can be rebuilt from them.",
      "Återställningsfiler: %1, sammanlagt %2 byte. Upp till %3 förlorade eller skadade mindre filer kan återskapas "
      "med dem.",
      "Wiederherstellungsdateien: %1, zusammen %2 Byte. Bis zu %3 verlorene oder beschädigte Teile lassen sich "
      "damit neu erstellen."}},
    {Extra::RecoveryFilesNotWritten,
     {"The smaller files are complete, but the recovery files could not be written.",
      "De mindre filerna är kompletta, men återställningsfilerna kunde inte skrivas.",
      "Die Teile sind vollständig, aber die Wiederherstellungsdateien konnten nicht geschrieben werden."}},
    {Extra::RecoveryCanRebuild,
     {"%1 smaller files are missing or damaged; the recovery files can rebuild %2 of them.",
      "%1 mindre filer saknas eller är skadade; återställningsfilerna kan återskapa %2 av dem.",
      "%1 Teile fehlen oder sind beschädigt; die Wiederherstellungsdateien können %2 davon neu erstellen."}},
    {Extra::RecoveryTooFew,
     {"%1 smaller files are missing or damaged, but the recovery files can rebuild only %2. Nothing was changed.",
      "%1 mindre filer saknas eller är skadade, men återställningsfilerna räcker bara till %2. Inget har "
      "ändrats.",
      "%1 Teile fehlen oder sind beschädigt, die Wiederherstellungsdateien reichen aber nur für %2. Es wurde "
      "nichts geändert."}},
    {Extra::RecoveryNone,
     {"There are no usable recovery files for this set.",
      "Det finns inga användbara återställningsfiler för den här serien.",
      "Zu diesen Teilen gibt es keine brauchbaren Wiederherstellungsdateien."}},
    {Extra::RecoveryFilePassedOver,
     {"%1 is damaged or belongs to another file; it was not used.",
      "%1 är skadad eller hör till en annan fil; den användes inte.",
      "%1 ist beschädigt oder gehört zu einer anderen Datei; sie wurde nicht verwendet."}},
    {Extra::PiecesRebuilt,
     {"Rebuilt from the recovery files and checked: smaller files %1.",
      "Återskapade med återställningsfilerna och kontrollerade: de mindre filerna %1.",
      "Aus den Wiederherstellungsdateien neu erstellt und geprüft: Teile %1."}},
    {Extra::PieceRebuilt,
     {"Rebuilt from the recovery files and checked: smaller file %1.",
      "Återskapad med återställningsfilerna och kontrollerad: den mindre filen nummer %1.",
      "Aus den Wiederherstellungsdateien neu erstellt und geprüft: Teil %1."}},
    {Extra::RestoredWithRebuiltPieces,
     {"The file is restored and checked; smaller files %1 were rebuilt from the recovery files.",
      "Filen är återskapad och kontrollerad; de mindre filerna %1 byggdes upp igen med återställningsfilerna.",
      "Die Datei ist wiederhergestellt und geprüft; die Teile %1 wurden aus den Wiederherstellungsdateien neu "
      "erstellt."}},
    {Extra::RestoredWithRebuiltPiece,
     {"The file is restored and checked; smaller file %1 was rebuilt from the recovery files.",
      "Filen är återskapad och kontrollerad; den mindre filen nummer %1 byggdes upp igen med "
      "återställningsfilerna.",
      "Die Datei ist wiederhergestellt und geprüft; Teil %1 wurde aus den Wiederherstellungsdateien neu erstellt."}},
    {Extra::RebuiltPieceDiffers,
     {"Smaller file %1 does not match its checksum after rebuilding: the recovery files belong to another version "
      "of the file. Nothing was changed.",
      "Den mindre filen nummer %1 stämmer inte med sin kontrollsumma efter återskapandet: återställningsfilerna hör "
      "till en annan version av filen. Inget har ändrats.",
      "Teil %1 stimmt nach dem Neuerstellen nicht mit der Prüfsumme überein: Die Wiederherstellungsdateien gehören "
      "zu einer anderen Fassung der Datei. Es wurde nichts geändert."}},
    {Extra::RecoveryLabel,
     {"Smaller files that can be rebuilt if lost:", "Mindre filer som kan återskapas vid förlust:",
      "Kleinere Dateien, die sich bei Verlust neu erstellen lassen:"}},
    {Extra::RecoveryHint,
     {"The split also writes PAR 2.0 recovery files beside the smaller files. If up to this many smaller files "
      "are lost or damaged, they can be rebuilt from them; 0 writes none.|How many smaller files can be lost or "
      "damaged and still be rebuilt from the recovery files; 0 writes none",
      "Uppdelningen skriver också PAR 2.0-återställningsfiler bredvid de mindre filerna. Om högst så här många "
      "mindre filer går förlorade eller skadas kan de återskapas med dem; med 0 skrivs inga.|Hur många mindre filer "
      "som kan gå förlorade eller skadas och ändå återskapas med återställningsfilerna; med 0 skrivs inga",
      "Beim Aufteilen entstehen neben den kleineren Dateien auch PAR-2.0-Wiederherstellungsdateien. Gehen bis zu "
      "so viele kleinere Dateien verloren oder werden beschädigt, lassen sie sich damit neu erstellen; bei 0 "
      "werden keine geschrieben.|Wie viele kleinere Dateien verloren gehen oder beschädigt werden dürfen und sich trotzdem aus den "
      "Wiederherstellungsdateien neu erstellen lassen; bei 0 werden keine geschrieben"}},
    {Extra::RecoveryPlan,
     {"%1 recovery files, %2 MB", "%1 återställningsfiler, %2 MB", "%1 Wiederherstellungsdateien, %2 MB"}},
    {Extra::RecoveryFailed,
     {"The recovery files could not be written. Nothing was changed.",
      "Återställningsfilerna kunde inte skrivas. Inget har ändrats.",
      "Die Wiederherstellungsdateien konnten nicht geschrieben werden. Es wurde nichts verändert."}},
    {Extra::SplitRunning,
     {"Another split of this file is running. Wait until it has finished.",
      "En annan uppdelning av den här filen pågår. Vänta tills den är klar.",
      "Diese Datei wird gerade schon aufgeteilt. Warten Sie, bis das beendet ist."}},
    {Extra::NamesTaken,
     {"These files belong to another set and would be replaced: %1. Nothing was changed.",
      "De här filerna hör till en annan serie och skulle ersättas: %1. Inget har ändrats.",
      "Diese Dateien gehören zu einer anderen Aufteilung und würden ersetzt: %1. Es wurde nichts verändert."}},
    {Extra::RemoveUnprovenAsk,
     {"%1 files named like this set's smaller files would follow the new ones, and no earlier split of this file "
      "is known to have made them: %2\nA later join would take them for part of the file. Remove them?",
      "%1 filer med samma namn som mindre filer i den här serien skulle följa efter de nya, och det är inte känt att "
      "någon tidigare uppdelning av filen har gjort dem: %2\nEn senare sammanfogning skulle ta dem för en del av "
      "filen. Ska de tas bort?",
      "%1 Dateien, die wie Teile dieser Aufteilung heißen, würden auf die neuen Teile folgen, und es ist nicht "
      "bekannt, dass eine frühere Aufteilung dieser Datei sie angelegt hat: %2\nEin späteres Zusammenfügen würde "
      "sie für einen Teil der Datei halten. Sollen sie gelöscht werden?"}},
    {Extra::RemoveUnprovenOption,
     {"To remove them, split again with --remove-stray.",
      "Dela upp filen igen med --remove-stray för att ta bort dem.",
      "Um sie zu löschen, teilen Sie die Datei erneut mit --remove-stray auf."}},
    {Extra::BigFileChanged,
     {"The big file changed while it was being split; the smaller files made from it were not kept.",
      "Den stora filen ändrades medan den delades upp; de mindre filerna som gjordes av den sparades inte.",
      "Die große Datei hat sich beim Aufteilen verändert; die daraus erstellten Teile wurden nicht behalten."}},
    {Extra::ReadLinkNotTrusted,
     {"%1 is a link that belongs to another user; it is not read.",
      "%1 är en länk som tillhör en annan användare; den läses inte.",
      "%1 ist eine Verknüpfung, die einem anderen Benutzer gehört; sie wird nicht gelesen."}},
    {Extra::InterruptedSplitLeft,
     {"An interrupted split of this file left %1 beside the smaller files.",
      "En avbruten uppdelning av den här filen lämnade %1 bredvid de mindre filerna.",
      "Eine abgebrochene Aufteilung dieser Datei hat %1 neben den Teilen hinterlassen."}},
    {Extra::PieceNotPlaced,
     {"Smaller file %1 was rebuilt but could not be put in place.",
      "Den mindre filen %1 återskapades men kunde inte läggas på plats.",
      "Teil %1 wurde neu erstellt, konnte aber nicht an seinen Platz gelegt werden."}},
    {Extra::PiecesNotPlaced,
     {"Smaller files %1 were rebuilt but could not be put in place.",
      "De mindre filerna %1 återskapades men kunde inte läggas på plats.",
      "Die Teile %1 wurden neu erstellt, konnten aber nicht an ihren Platz gelegt werden."}},
    // The window's join of a set with pieces missing
    {Extra::PiecesToRebuild,
     {"Missing smaller files, to be rebuilt from the recovery files: %1",
      "Mindre filer som saknas och återskapas med återställningsfilerna: %1",
      "Fehlende Teile, die aus den Wiederherstellungsdateien neu erstellt werden: %1"}},
    // A folder asked for where something else is
    {Extra::NotAFolder,
     {"%1 is a file, not a folder.", "%1 är en fil, inte en mapp.", "%1 ist eine Datei, kein Ordner."}},
    {Extra::FolderMissing,
     {"The folder %1 does not exist.", "Mappen %1 finns inte.", "Der Ordner %1 existiert nicht."}},
    // More reasons of the system's, in words
    {Extra::ReasonTooManyOpen,
     {"Too many files are open at once.", "För många filer är öppna samtidigt.", "Es sind zu viele Dateien gleichzeitig geöffnet."}},
    {Extra::ReasonFileTooLarge,
     {"The file is too large for this disk.", "Filen är för stor för den här disken.",
      "Die Datei ist für diesen Datenträger zu groß."}},
    {Extra::ReasonLinkLoop,
     {"The path runs through links in a loop.", "Sökvägen går genom länkar i en slinga.",
      "Der Pfad führt im Kreis durch Verknüpfungen."}},
    {Extra::ReasonInUse,
     {"The file is in use.", "Filen används.", "Die Datei wird gerade verwendet."}},
    {Extra::ReasonGone,
     {"The file is not there.", "Filen finns inte där.", "Die Datei ist nicht vorhanden."}},
    {Extra::ReasonOther,
     {"The system says: %1.", "Systemet säger: %1.", "Das System meldet: %1."}},
    {Extra::SettingsSetAside,
     {"The settings file was far larger than any this program writes, so it was not read. It was moved to %1, "
      "and the program starts with its usual settings.",
      "Inställningsfilen var mycket större än någon som programmet skriver och lästes därför inte. Den flyttades "
      "till %1, och programmet startar med sina vanliga inställningar.",
      "Die Einstellungsdatei war weit größer als jede, die dieses Programm schreibt, und wurde deshalb nicht "
      "gelesen. Sie wurde nach %1 verschoben; das Programm startet mit seinen üblichen Einstellungen."}},
    {Extra::TargetExists,
     {"%1 exists already; --force replaces it.", "%1 finns redan; --force ersätter den.",
      "%1 gibt es schon; --force ersetzt die Datei."}},
    {Extra::TargetIsTheSet,
     {"%1 is already this set's file, whole and checked: there is nothing to join.",
      "%1 är redan den här seriens fil, hel och kontrollerad: det finns inget att sätta ihop.",
      "%1 ist bereits die Datei dieser Teile, vollständig und geprüft: Es gibt nichts zusammenzufügen."}},
    {Extra::SetFilesFilter,
     {"Checksum and recovery files", "Kontrollsummefiler och återställningsfiler", "Prüfsummen- und Wiederherstellungsdateien"}},

    // A join rebuilding lost pieces straight into its target.
    {Extra::RebuiltPiecesLeftAsTheyWere,
     {"The smaller files on the disk were left as they were; a repair can rebuild them in place.",
      "De mindre filerna på skivan lämnades som de var; en reparation kan återskapa dem på plats.",
      "Die Teile auf dem Datenträger blieben unverändert; eine Reparatur kann sie an Ort und Stelle neu "
      "erstellen."}},
    {Extra::MissingPiecesList,
     {"Missing smaller files: %1.", "Mindre filer som saknas: %1.", "Fehlende Teile: %1."}},
    {Extra::DamagedPiecesList,
     {"Damaged smaller files: %1.", "Skadade mindre filer: %1.", "Beschädigte Teile: %1."}},
    {Extra::RecoveryShortByOne,
     {"Recovery data for one more smaller file would be needed to rebuild them all.",
      "Det skulle behövas återställningsdata för ytterligare en mindre fil för att återskapa alla.",
      "Um alle neu zu erstellen, wären Wiederherstellungsdaten für einen weiteren Teil nötig."}},
    {Extra::RebuildingPiece,
     {"Rebuilding smaller file %1", "Återskapar mindre fil %1", "Teil %1 wird neu erstellt"}},
    {Extra::RebuildingPieces,
     {"Rebuilding smaller files %1", "Återskapar mindre filer %1", "Teile %1 werden neu erstellt"}},
    {Extra::RecoveryFileInDrive,
     {"A recovery file goes in this drive.", "En återställningsfil ska in i den här enheten.",
      "In dieses Laufwerk gehört eine Wiederherstellungsdatei."}},

    // Checking and repairing a set, in the window and on the command line.
    {Extra::CheckCommand, {"&Check the smaller files", "&Kontrollera de mindre filerna", "Kleinere Dateien &prüfen"}},
    {Extra::CheckHint,
     {"Check the smaller files|Compares every smaller file of a set with its checksum file and names those missing "
      "or damaged",
      "Kontrollera de mindre filerna|Jämför varje mindre fil i en serie med dess kontrollsummefil och visar vilka "
      "som saknas eller är skadade",
      "Kleinere Dateien prüfen|Vergleicht jeden Teil einer Reihe mit ihrer Prüfsummendatei und nennt die fehlenden "
      "und beschädigten"}},
    {Extra::RepairCommand,
     {"R&epair the smaller files", "R&eparera de mindre filerna", "Kleinere Dateien &reparieren"}},
    {Extra::RepairHint,
     {"Repair the smaller files|Rebuilds missing or damaged smaller files in their folder from the set's recovery "
      "files",
      "Reparera de mindre filerna|Återskapar saknade eller skadade mindre filer i deras mapp med seriens "
      "återställningsfiler",
      "Kleinere Dateien reparieren|Erstellt fehlende oder beschädigte Teile in ihrem Ordner aus den "
      "Wiederherstellungsdateien der Reihe neu"}},
    {Extra::CheckingPieces,
     {"Checking the smaller files...", "Kontrollerar de mindre filerna...", "Die Teile werden geprüft..."}},
    {Extra::RepairingPieces,
     {"Repairing the smaller files...", "Reparerar de mindre filerna...", "Die Teile werden repariert..."}},
    {Extra::AllPiecesMatch,
     {"All %1 smaller files match their checksums.", "Alla %1 mindre filer stämmer med sina kontrollsummor.",
      "Alle %1 Teile stimmen mit ihren Prüfsummen überein."}},
    {Extra::BadPiecesFound,
     {"%1 of %2 smaller files are missing or damaged:", "%1 av %2 mindre filer saknas eller är skadade:",
      "%1 von %2 Teilen fehlen oder sind beschädigt:"}},
    {Extra::BadPieceMissing,
     {"Smaller file %1 (%2) is missing.", "Den mindre filen nummer %1 (%2) saknas.", "Teil %1 (%2) fehlt."}},
    {Extra::BadPieceWrongSize,
     {"Smaller file %1 (%2) has the wrong size: %3 bytes instead of %4.",
      "Den mindre filen nummer %1 (%2) har fel storlek: %3 byte i stället för %4.",
      "Teil %1 (%2) hat die falsche Größe: %3 Byte statt %4."}},
    {Extra::BadPieceUnreadable,
     {"Smaller file %1 (%2) cannot be read.", "Den mindre filen nummer %1 (%2) kan inte läsas.",
      "Teil %1 (%2) kann nicht gelesen werden."}},
    {Extra::BadPieceDamaged,
     {"Smaller file %1 (%2) is damaged: its checksum differs.",
      "Den mindre filen nummer %1 (%2) är skadad: kontrollsumman stämmer inte.",
      "Teil %1 (%2) ist beschädigt: die Prüfsumme stimmt nicht."}},
    {Extra::BadPieceLink,
     {"Smaller file %1 (%2) was not read: %3 is a link that belongs to another user.",
      "Den mindre filen nummer %1 (%2) lästes inte: %3 är en länk som tillhör en annan användare.",
      "Teil %1 (%2) wurde nicht gelesen: %3 ist eine Verknüpfung, die einem anderen Benutzer gehört."}},
    {Extra::RecoveryShortBy,
     {"Recovery data for %1 more smaller files would be needed to rebuild them all.",
      "Det skulle behövas återställningsdata för ytterligare %1 mindre filer för att återskapa alla.",
      "Um alle neu zu erstellen, wären Wiederherstellungsdaten für %1 weitere Teile nötig."}},
    {Extra::RepairToRebuild,
     {"\"Repair the smaller files\" in the File menu puts them back in place.",
      "”Reparera de mindre filerna” i menyn Arkiv lägger tillbaka dem på plats.",
      "„Kleinere Dateien reparieren“ im Menü Datei stellt sie wieder an ihren Platz."}},
    {Extra::RepairNothingToDo,
     {"All %1 smaller files match their checksums; there was nothing to repair.",
      "Alla %1 mindre filer stämmer med sina kontrollsummor; det fanns inget att reparera.",
      "Alle %1 Teile stimmen mit ihren Prüfsummen überein; es gab nichts zu reparieren."}},
    {Extra::RepairFolderReadOnly,
     {"The smaller files cannot be repaired where they are: the folder %1 cannot be written.",
      "De mindre filerna kan inte repareras där de ligger: det går inte att skriva i mappen %1.",
      "Die Teile können nicht an ihrem Ort repariert werden: In den Ordner %1 kann nicht geschrieben werden."}},
    // The window's recovery control, stopping and closing, and the split's report.
    {Extra::RecoveryPlanTooSmall,
     {"The smaller files are too small to carry recovery files for this file. Choose a larger base size or "
      "fewer files to rebuild.",
      "De mindre filerna är för små för att rymma återställningsfiler för den här filen. Välj en större "
      "basstorlek eller färre filer att återskapa.",
      "Die kleineren Dateien sind zu klein für Wiederherstellungsdateien zu dieser Datei. Wählen Sie eine größere "
      "Grundgröße oder weniger neu zu erstellende Dateien."}},
    {Extra::CloseStopsTransferAsk,
     {"A split or restore is still running. Stop it and close the window?\nNothing half-written is left behind.",
      "En uppdelning eller återskapning pågår fortfarande. Vill du avbryta den och stänga fönstret?\nInga "
      "halvfärdiga filer lämnas kvar.",
      "Ein Aufteilen oder Wiederherstellen läuft noch. Möchten Sie es abbrechen und das Fenster schließen?\nEs "
      "bleiben keine halb geschriebenen Dateien zurück."}},
    {Extra::RecoveryFilesWrittenIn,
     {"%1 recovery files, %2 MB in all, were written to %3. Any %4 lost or damaged smaller files can be rebuilt "
      "from them.",
      "%1 återställningsfiler, sammanlagt %2 MB, skrevs till %3. Upp till %4 förlorade eller skadade mindre filer "
      "kan återskapas med dem.",
      "%1 Wiederherstellungsdateien, zusammen %2 MB, wurden in %3 geschrieben. Bis zu %4 verlorene oder "
      "beschädigte kleinere Dateien lassen sich damit neu erstellen."}},
    // Checking a set: the whole file's line against the pieces, recovery files of another version.
    {Extra::JoinedPiecesDiffer,
     {"Each smaller file matches its own checksum, but joined in order they do not match the checksum of the whole "
      "file in %1. The file cannot be restored from them.",
      "Varje mindre fil stämmer med sin egen kontrollsumma, men sammanfogade i ordning stämmer de inte med "
      "kontrollsumman för hela filen i %1. Filen kan inte återskapas från dem.",
      "Jeder Teil stimmt mit seiner eigenen Prüfsumme überein, aber der Reihe nach zusammengefügt stimmen sie nicht "
      "mit der Prüfsumme der ganzen Datei in %1 überein. Die Datei lässt sich daraus nicht wiederherstellen."}},
    {Extra::RecoveryOfOtherVersion,
     {"The recovery files belong to another version of the file: they cannot rebuild any of these smaller files.",
      "Återställningsfilerna hör till en annan version av filen: de kan inte återskapa någon av de här mindre "
      "filerna.",
      "Die Wiederherstellungsdateien gehören zu einer anderen Fassung der Datei: Sie können keinen dieser Teile neu "
      "erstellen."}},
    // A file that could not be read, written or put on the disk, and a rebuild that failed.
    {Extra::ReadPieceFailed,
     {"Smaller file %1 (%2) could not be read.", "Den mindre filen nummer %1 (%2) gick inte att läsa.",
      "Teil %1 (%2) konnte nicht gelesen werden."}},
    {Extra::ReadFileFailed,
     {"%1 could not be read.", "%1 gick inte att läsa.", "%1 konnte nicht gelesen werden."}},
    {Extra::WritePieceFailed,
     {"Smaller file %1 could not be written to %2.", "Den mindre filen nummer %1 gick inte att skriva till %2.",
      "Teil %1 konnte nicht nach %2 geschrieben werden."}},
    {Extra::WriteFileFailed,
     {"%1 could not be written.", "%1 gick inte att skriva.", "%1 konnte nicht geschrieben werden."}},
    {Extra::FlushPieceFailed,
     {"Smaller file %1 (%2) could not be saved to the disk.",
      "Den mindre filen nummer %1 (%2) gick inte att spara på skivan.",
      "Teil %1 (%2) konnte nicht auf dem Datenträger gesichert werden."}},
    {Extra::FlushFileFailed,
     {"%1 could not be saved to the disk.", "%1 gick inte att spara på skivan.",
      "%1 konnte nicht auf dem Datenträger gesichert werden."}},
    {Extra::RebuildFailed,
     {"The lost or damaged smaller files could not be rebuilt.",
      "De förlorade eller skadade mindre filerna gick inte att återskapa.",
      "Die verlorenen oder beschädigten Teile konnten nicht neu erstellt werden."}},
    {Extra::WorkFailed,
     {"The work could not go on: the program could not get the memory or threads it needs.",
      "Arbetet kunde inte fortsätta: programmet fick inte det minne eller de trådar det behöver.",
      "Die Arbeit konnte nicht fortgesetzt werden: Das Programm bekam nicht den Speicher oder die Threads, die es "
      "braucht."}},
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

namespace {

// The forms for one of the texts with a count: the count they agree with is
// named beside each.
const ExtraRow kForOne[] = {
    // %1 missing or damaged
    {Extra::RecoveryCanRebuild,
     {"1 smaller file is missing or damaged; the recovery files can rebuild %2 of 1.",
      "1 mindre fil saknas eller är skadad; återställningsfilerna kan återskapa %2 av 1.",
      "1 Teil fehlt oder ist beschädigt; die Wiederherstellungsdateien können %2 von 1 neu erstellen."}},
    // %1 missing or damaged, %2 (then 0) rebuildable
    {Extra::RecoveryTooFew,
     {"1 smaller file is missing or damaged, but the recovery files cannot rebuild it. Nothing was changed.",
      "1 mindre fil saknas eller är skadad, men återställningsfilerna kan inte återskapa den. Inget har ändrats.",
      "1 Teil fehlt oder ist beschädigt, die Wiederherstellungsdateien können ihn aber nicht neu erstellen. Es "
      "wurde nichts geändert."}},
    // %3 pieces that can be rebuilt
    {Extra::RecoveryFilesWritten,
     {"Recovery files: %1, %2 bytes in all. Any one lost or damaged smaller file can be rebuilt from them.",
      "Återställningsfiler: %1, sammanlagt %2 byte. En förlorad eller skadad mindre fil kan återskapas med dem.",
      "Wiederherstellungsdateien: %1, zusammen %2 Byte. Ein verlorener oder beschädigter Teil lässt sich damit neu "
      "erstellen."}},
    // %4 pieces that can be rebuilt
    {Extra::RecoveryFilesWrittenIn,
     {"%1 recovery files, %2 MB in all, were written to %3. Any one lost or damaged smaller file can be rebuilt "
      "from them.",
      "%1 återställningsfiler, sammanlagt %2 MB, skrevs till %3. En förlorad eller skadad mindre fil kan "
      "återskapas med dem.",
      "%1 Wiederherstellungsdateien, zusammen %2 MB, wurden in %3 geschrieben. Ein verlorener oder beschädigter "
      "Teil lässt sich damit neu erstellen."}},
    // %1 files
    {Extra::UnprovenPieces,
     {"1 file named like this set's smaller files would follow the new ones, and no earlier split of this file "
      "is known to have made it: %2. Nothing was changed.",
      "1 fil med samma namn som en mindre fil i den här serien skulle följa efter de nya, och det är inte känt att "
      "någon tidigare uppdelning av filen har gjort den: %2. Inget har ändrats.",
      "1 Datei, die wie ein Teil dieser Aufteilung heißt, würde auf die neuen Teile folgen, und es ist nicht "
      "bekannt, dass eine frühere Aufteilung dieser Datei sie angelegt hat: %2. Es wurde nichts verändert."}},
    {Extra::RemoveUnprovenAsk,
     {"1 file named like this set's smaller files would follow the new ones, and no earlier split of this file "
      "is known to have made it: %2\nA later join would take it for part of the file. Remove it?",
      "1 fil med samma namn som en mindre fil i den här serien skulle följa efter de nya, och det är inte känt att "
      "någon tidigare uppdelning av filen har gjort den: %2\nEn senare sammanfogning skulle ta den för en del av "
      "filen. Ska den tas bort?",
      "1 Datei, die wie ein Teil dieser Aufteilung heißt, würde auf die neuen Teile folgen, und es ist nicht "
      "bekannt, dass eine frühere Aufteilung dieser Datei sie angelegt hat: %2\nEin späteres Zusammenfügen würde "
      "sie für einen Teil der Datei halten. Soll sie gelöscht werden?"}},
    // the files just named
    {Extra::RemoveUnprovenOption,
     {"To remove it, split again with --remove-stray.", "Dela upp filen igen med --remove-stray för att ta bort den.",
      "Um sie zu löschen, teilen Sie die Datei erneut mit --remove-stray auf."}},
    // %1 pieces in the set
    {Extra::AllPiecesMatch,
     {"The 1 smaller file matches its checksum.", "Den enda mindre filen stämmer med sin kontrollsumma.",
      "Der eine Teil stimmt mit seiner Prüfsumme überein."}},
    {Extra::RepairNothingToDo,
     {"The 1 smaller file matches its checksum; there was nothing to repair.",
      "Den enda mindre filen stämmer med sin kontrollsumma; det fanns inget att reparera.",
      "Der eine Teil stimmt mit seiner Prüfsumme überein; es gab nichts zu reparieren."}},
    // %1 bad of %2
    {Extra::BadPiecesFound,
     {"1 of %2 smaller files is missing or damaged:", "1 av %2 mindre filer saknas eller är skadad:",
      "1 von %2 Teilen fehlt oder ist beschädigt:"}},
};

}  // namespace

const std::string& CountedText(Language lang, Extra id, int64_t count) {
    // Built once, as ExtraText's table: callers keep references to the texts.
    static const auto forOne = [] {
        std::array<std::array<std::string, static_cast<std::size_t>(Extra::Count)>, kLanguageCount> t;
        for (const ExtraRow& row : kForOne) {
            for (int l = 0; l < kLanguageCount; ++l) t[l][static_cast<std::size_t>(row.id)] = row.text[l];
        }
        return t;
    }();
    int l = static_cast<int>(lang);
    if (l < 0 || l >= kLanguageCount) l = 0;
    const std::string& one = forOne[l][static_cast<std::size_t>(id)];
    return count == 1 && !one.empty() ? one : ExtraText(lang, id);
}

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
    case EMFILE:
    case ENFILE: return ExtraText(lang, Extra::ReasonTooManyOpen);
    case EFBIG: return ExtraText(lang, Extra::ReasonFileTooLarge);
#ifdef ELOOP
    case ELOOP: return ExtraText(lang, Extra::ReasonLinkLoop);
#endif
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return ExtraText(lang, Extra::ReasonInUse);
    case ENOENT: return ExtraText(lang, Extra::ReasonGone);
    case 0: return {};
    default:
        // Any other has the system's own words: a reason is never lost.
        return FillIn(ExtraText(lang, Extra::ReasonOther), {std::generic_category().message(systemError)});
    }
}

std::string PieceNumbers(const std::vector<int32_t>& numbers) {
    std::string list;
    for (const int32_t n : numbers) list += (list.empty() ? "" : ", ") + std::to_string(n);
    return list;
}

std::string EngineText(Language lang, EngineEntry::Id entry) {
    if (entry == EngineEntry::RecoveryFileInDrive) return ExtraText(lang, Extra::RecoveryFileInDrive);
    return Catalogue().Text(lang, static_cast<int>(entry));
}

std::string NamedPieces(const std::vector<int32_t>& numbers, const std::string& stem) {
    // Beyond a dozen, the names would bury the numbers.
    if (stem.empty() || numbers.size() > 12) return PieceNumbers(numbers);
    std::string list;
    for (const int32_t n : numbers)
        list += (list.empty() ? "" : ", ") + std::to_string(n) + " (" + stem + std::to_string(n) + ")";
    return list;
}

std::string InputRefusal(Language lang, const std::string& name, bool split, const std::string& marker) {
    std::error_code ec;
    if (std::filesystem::is_directory(Paths::Native(name), ec))
        return FillIn(ExtraText(lang, Extra::IsAFolder), {name});
    if (split && FileSizeOf(name) == 0) return FillIn(ExtraText(lang, Extra::NothingToSplit), {name});
    if (!split && FileSizeOf(name) >= 0 && SetPrefixOf(name, marker).empty())
        return FillIn(ExtraText(lang, Extra::NotAPiece), {name, marker});
    return {};
}

std::string RecoveryShortText(Language lang, int32_t pieces) {
    if (pieces <= 0) return {};
    if (pieces == 1) return ExtraText(lang, Extra::RecoveryShortByOne);
    return FillIn(ExtraText(lang, Extra::RecoveryShortBy), {std::to_string(pieces)});
}

std::string NamesList(const std::vector<std::string>& names) {
    std::string list;
    const std::size_t shown = std::min<std::size_t>(names.size(), 5);
    for (std::size_t i = 0; i < shown; ++i) list += (i > 0 ? ", " : "") + names[i];
    if (shown < names.size()) list += ", ...";
    return list;
}

std::string FileFailureText(Language lang, TransferOutcome::What what, int32_t piece, const std::string& file) {
    using What = TransferOutcome::What;
    const bool byPiece = piece > 0;
    Extra text = byPiece ? Extra::ReadPieceFailed : Extra::ReadFileFailed;
    if (what == What::WriteFailed) text = byPiece ? Extra::WritePieceFailed : Extra::WriteFileFailed;
    if (what == What::FlushFailed) text = byPiece ? Extra::FlushPieceFailed : Extra::FlushFileFailed;
    return byPiece ? FillIn(ExtraText(lang, text), {std::to_string(piece), file}) : FillIn(ExtraText(lang, text), {file});
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
                          {NamedPieces(outcome.rebuilt, outcome.pieceStem)}) +
                   "\n" + ExtraText(lang, Extra::RebuiltPiecesLeftAsTheyWere);
        }
        return outcome.checked ? ExtraText(lang, Extra::RestoredAndChecked) : catalogue.Text(lang, Entry::FileRestored);
    case What::Stopped: return ExtraText(lang, Extra::Stopped);
    case What::SizesDiffer: text = catalogue.Text(lang, Entry::SizesDiffer); break;
    case What::CannotReadBigFile: text = catalogue.Text(lang, Entry::CannotReadBigFile); break;
    case What::CannotCreateBigFile: text = catalogue.Text(lang, Entry::CannotRecreateBigFile); break;
    case What::DisksNotEntered: text = catalogue.Text(lang, Entry::DisksNotEntered); break;
    case What::CannotCreatePiece: text = catalogue.Text(lang, Entry::CannotCreatePiece) + piece; break;
    case What::CannotReadPiece: text = catalogue.Text(lang, Entry::CannotReadPiece) + piece; break;
    case What::PieceDamaged:
        text = outcome.file.empty() ? FillIn(ExtraText(lang, Extra::PieceDamaged), {piece})
                                    : FillIn(ExtraText(lang, Extra::PieceDamagedNamed), {piece, outcome.file});
        break;
    case What::PieceMissing: text = catalogue.Text(lang, Entry::FileMissing) + outcome.file; break;
    case What::ChecksumsUnfinished:
        text = FillIn(ExtraText(lang, Extra::ChecksumFileUnfinished), {outcome.file});
        break;
    case What::ChecksumsDamaged: text = FillIn(ExtraText(lang, Extra::ChecksumFileDamaged), {outcome.file}); break;
    case What::JoinedFileDamaged: text = FillIn(ExtraText(lang, Extra::FileDamaged), {outcome.file}); break;
    case What::ChecksumsNotWritten:
        text = FillIn(ExtraText(lang, Extra::ChecksumFileNotWritten), {outcome.file});
        break;
    case What::NoRoomForSet:
        text = FillIn(ExtraText(lang, Extra::NoRoomForSet), {std::to_string(outcome.bytes)});
        break;
    case What::ChecksumsUnreadable: text = FillIn(ExtraText(lang, Extra::FileUnreadable), {outcome.file}); break;
    case What::ChecksumsOfOtherSet:
        text = FillIn(ExtraText(lang, Extra::ChecksumFileOfOtherSet), {outcome.file, outcome.related});
        break;
    case What::HashingFailed: text = ExtraText(lang, Extra::HashingFailed); break;
    case What::TargetInSet: text = FillIn(ExtraText(lang, Extra::TargetInSet), {outcome.file}); break;
    case What::LinkNotTrusted: text = FillIn(ExtraText(lang, Extra::LinkNotTrusted), {outcome.file}); break;
    case What::RecoveryTooFew: {
        text = FillIn(CountedText(lang, Extra::RecoveryTooFew, outcome.missing),
                      {std::to_string(outcome.missing), std::to_string(outcome.rebuildable)});
        if (!outcome.missingPieces.empty())
            text += "\n" + FillIn(ExtraText(lang, Extra::MissingPiecesList),
                                  {NamedPieces(outcome.missingPieces, outcome.pieceStem)});
        if (!outcome.damagedPieces.empty())
            text += "\n" + FillIn(ExtraText(lang, Extra::DamagedPiecesList),
                                  {NamedPieces(outcome.damagedPieces, outcome.pieceStem)});
        if (outcome.recoveryOfOtherVersion) text += "\n" + ExtraText(lang, Extra::RecoveryOfOtherVersion);
        const int32_t shortBy = outcome.missing - outcome.rebuildable;
        if (shortBy > 0) text += "\n" + RecoveryShortText(lang, shortBy);
        break;
    }
    case What::RebuiltPieceDiffers: text = FillIn(ExtraText(lang, Extra::RebuiltPieceDiffers), {piece}); break;
    case What::RecoveryNotWritten: text = ExtraText(lang, Extra::RecoveryFilesNotWritten); break;
    case What::RecoveryFailed: text = ExtraText(lang, Extra::RecoveryFailed); break;
    case What::SplitRunning: text = ExtraText(lang, Extra::SplitRunning); break;
    case What::NamesTaken: text = FillIn(ExtraText(lang, Extra::NamesTaken), {NamesList(outcome.untouched)}); break;
    case What::UnprovenPieces:
        text = FillIn(CountedText(lang, Extra::UnprovenPieces, int64_t(outcome.untouched.size())),
                      {std::to_string(outcome.untouched.size()), NamesList(outcome.untouched)});
        break;
    case What::BigFileChanged: text = ExtraText(lang, Extra::BigFileChanged); break;
    case What::ReadLinkNotTrusted: text = FillIn(ExtraText(lang, Extra::ReadLinkNotTrusted), {outcome.file}); break;
    case What::ReadFailed:
    case What::WriteFailed:
    case What::FlushFailed:
        text = FileFailureText(lang, outcome.what, outcome.piece, outcome.file);
        if (outcome.rebuilding) text = ExtraText(lang, Extra::RebuildFailed) + "\n" + text;
        break;
    case What::RebuildFailed: text = ExtraText(lang, Extra::RebuildFailed); break;
    case What::WorkFailed: text = ExtraText(lang, Extra::WorkFailed); break;
    }
    const std::string reason = ReasonText(lang, outcome.error);
    if (!reason.empty()) text += (text.empty() ? "" : "\n") + reason;
    if (!outcome.leftStaging.empty())
        text += "\n" + FillIn(ExtraText(lang, Extra::InterruptedSplitLeft), {outcome.leftStaging});
    return text;
}
