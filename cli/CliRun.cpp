#include "cli/CliRun.h"

#include "ProgramInfo.h"
#include "cli/CliOptions.h"
#include "cli/StopSignals.h"
#include "engine/ChecksumFile.h"
#include "engine/ChosenSet.h"
#include "io/FileAccess.h"
#include "io/Sha256.h"
#include "engine/PieceEngine.h"
#include "engine/PieceNaming.h"
#include "engine/SetFiles.h"
#include "engine/Staging.h"
#include "planning/SizePlan.h"
#include "texts/ExtraTexts.h"
#include "texts/ProgressText.h"
#include "texts/SetReport.h"
#include "texts/TextCatalogue.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <istream>
#include <ostream>
#ifndef _WIN32
#include <poll.h>
#endif

namespace {

// The command line speaks the program's own English.
const std::string& English(Entry entry) { return Catalogue().Text(Language::English, entry); }
const std::string& English(Extra id) { return ExtraText(Language::English, id); }

// The characters of a UTF-8 text, each with its continuation bytes.
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> characters;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80 && !characters.empty())
            characters.back() += c;
        else
            characters.emplace_back(1, c);
    }
    return characters;
}

// Columns a UTF-8 text takes on a terminal: one per character (the texts
// hold no wide ones).
int Columns(const std::string& text) { return static_cast<int>(Characters(text).size()); }

// The first `columns` characters of text.
std::string Cut(const std::string& text, int columns) {
    std::string cut;
    const std::vector<std::string> characters = Characters(text);
    for (int i = 0; i < columns && i < static_cast<int>(characters.size()); ++i) cut += characters[i];
    return cut;
}

// text in at most `columns` characters: its start gives way to "…", so the
// end (a path's file name, with the piece's number) stays.
std::string ShortenStart(const std::string& text, int columns) {
    const std::vector<std::string> characters = Characters(text);
    const int count = static_cast<int>(characters.size());
    if (count <= columns) return text;
    std::string shortened = "\xE2\x80\xA6";
    for (int i = count - (columns - 1); i < count; ++i) shortened += characters[i];
    return shortened;
}

// The engine's view on a terminal: questions answered with y or n, progress
// on one line as wide as the terminal.
class TerminalView final : public TransferView {
public:
    using Clock = std::chrono::steady_clock;

    TerminalView(std::istream& in, std::ostream& err, int progressWidth) : in_(in), err_(err), width_(progressWidth) {}
    ~TerminalView() override { EndLine(); }

    // What the progress line knows before the engine starts.
    void Expect(int64_t totalBytes, int32_t pieceCount) {
        status_.totalBytes = totalBytes;
        status_.pieceCount = pieceCount;
    }
    // A check's or repair's bytes done of its total, on the same line.
    std::function<void(int64_t, int64_t)> Progress() {
        return [this](int64_t done, int64_t total) {
            status_.totalBytes = total;
            SetProgress(std::max(1, ProgressPosition(done, total)));
        };
    }

    void ClearPieceList() override {}
    void SetProgressRange(int32_t, int32_t) override {}
    void SetProgress(int32_t position) override {
        if (width_ <= 0) return;
        if (position == 0) {  // the transfer is over (or starts): end the progress line
            EndLine();
            return;
        }
        status_.position = position;
        status_.seconds = std::chrono::duration<double>(Clock::now() - start_ - asking_).count();
        const std::string line = ProgressLine(ProgressText(status_, Language::English, "."), piece_, width_);
        const int columns = Columns(line);
        // Blanks over what a longer line before left behind.
        err_ << '\r' << line << std::string(std::max(shownColumns_ - columns, 0), ' ') << std::flush;
        shownColumns_ = columns;
        progressShown_ = true;
    }
    void ShowCurrentPiece(const std::string& name) override { piece_ = name; }
    // The bar now counts the rebuild: what it rebuilds takes the place of
    // the piece's name, and bytes and "file n of N" are the copy's no more.
    void StartRebuilding(const std::vector<int32_t>& pieces) override {
        EndLine();
        piece_ = FillIn(English(pieces.size() == 1 ? Extra::RebuildingPiece : Extra::RebuildingPieces),
                        {PieceNumbers(pieces)});
        status_.totalBytes = 0;
        status_.piece = 0;
    }
    void AddPieceSize(const std::string&) override {}
    void SelectPiece(int32_t index) override { status_.piece = index + 1; }
    void RepaintPieceList() override {}
    bool AskYesNo(const std::string& text, const std::string& caption, Icon) override {
        EndLine();
        err_ << caption << ": " << text << " [y/n] " << std::flush;
        // The time spent answering is no time spent copying.
        const Clock::time_point asked = Clock::now();
        const bool yes = Answer();
        asking_ += Clock::now() - asked;
        return yes;
    }
    void RepaintMainWindow() override {}

private:
    bool Answer() {
        if (!AnswerArrives()) return false;  // stopped while waiting
        std::string answer;
        if (!std::getline(in_, answer)) return false;  // no one to answer: not all disks were entered
        return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
    }

    // Waits for a line on the terminal, or for a stop signal: the stream's
    // own read goes on waiting through a signal.
    bool AnswerArrives() {
#ifndef _WIN32
        if (&in_ != &std::cin || std::cin.rdbuf()->in_avail() > 0) return true;
        while (!StopRequested().load()) {
            pollfd input{0, POLLIN, 0};
            if (poll(&input, 1, 100) > 0) return true;
        }
        return false;
#else
        return true;
#endif
    }

    void EndLine() {
        if (progressShown_) err_ << '\n';
        progressShown_ = false;
        shownColumns_ = 0;
    }

    std::istream& in_;
    std::ostream& err_;
    int width_;
    bool progressShown_ = false;
    int shownColumns_ = 0;
    std::string piece_;
    TransferStatus status_;
    Clock::time_point start_ = Clock::now();
    Clock::duration asking_{};
};

// Refuses what cannot be split, joined or checked before the engine sees it:
// a folder, an empty file to split, a name without the marker.
bool Refused(const std::string& file, bool split, const std::string& marker, std::ostream& err) {
    const std::string refusal = InputRefusal(Language::English, file, split, marker);
    if (!refusal.empty()) err << refusal << '\n';
    return !refusal.empty();
}

// A name the engine can use whatever the current folder: "Archive.zip" must
// not pass for a file on drive A. On Windows '/' becomes '\\', the one
// separator the engine splits names at.
std::string Absolute(const std::string& name) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(Paths::Native(name), ec);
    return ec ? name : path.make_preferred().u8string();
}

// Prints text, and on a line of its own the reason behind systemError where
// there is one a user can act on.
void Report(std::ostream& err, const std::string& text, int systemError = 0) {
    const std::string reason = ReasonText(Language::English, systemError);
    err << text << '\n' << (reason.empty() ? "" : reason + "\n");
}

// What an interrupted split left beside the set, where it left anything.
void ReportLeftStaging(std::ostream& err, const std::string& leftStaging) {
    if (!leftStaging.empty()) err << FillIn(English(Extra::InterruptedSplitLeft), {leftStaging}) << '\n';
}
void ReportLeftStaging(std::ostream& err, const LoadedSet& loaded) { ReportLeftStaging(err, loaded.leftStaging); }
void ReportLeftStaging(std::ostream& err, const std::string& prefix, const std::string& marker) {
    const Leftovers left = FindLeftovers(prefix, marker);
    if (!left.staging.empty()) ReportLeftStaging(err, left.staging.front());
}

// Says why `name` has no size: missing, or there and unreadable with its reason.
void ReportNoSize(std::ostream& err, const std::string& name, int error) {
    if (error == ENOENT)
        Report(err, English(Entry::FileMissing) + name);
    else
        Report(err, FillIn(English(Extra::FileUnreadable), {name}), error);
}

int Split(const CliOptions& o, TPieceEngine& engine, TerminalView& view, std::ostream& out, std::ostream& err) {
    if (Refused(o.file, true, o.marker, err)) return 1;
    int error = 0;
    const int64_t size = FileSizeOf(o.file, &error);
    if (size < 0) {
        ReportNoSize(err, o.file, error);
        return 1;
    }
    if (!o.into.empty()) {
        std::error_code ec;
        const auto into = std::filesystem::status(std::filesystem::u8path(o.into), ec);
        if (!std::filesystem::is_directory(into)) {
            Report(err, FillIn(English(std::filesystem::exists(into) ? Extra::NotAFolder : Extra::FolderMissing),
                               {o.into}));
            return 1;
        }
    }
    engine.SetBigFilePath(Absolute(o.file));
    engine.SetPiecePrefix(o.into.empty() ? engine.BigFilePath()
                                         : MakePiecePrefix(Absolute(o.into), engine.BigFilePath()));
    if (!o.freeSpace) {
        const PiecePlan plan = PlanPieces(size, o.size);
        if (plan.outcome == PiecePlan::Outcome::TooManyFiles) {
            err << English(Entry::TooManyFiles) << ' '
                << FillIn(English(Extra::TooManyFilesLimit),
                          {std::to_string(kMaxPieces), std::to_string(SmallestBaseSize(size))})
                << '\n';
            return 1;
        }
        engine.SetPieces(plan.count, plan.sizes);
    }
    view.Expect(size, o.freeSpace ? 0 : engine.PieceCount());
    engine.SetRemoveUnprovenPieces(o.removeStray);
    const TransferOutcome outcome = engine.Split(o.maxRam, o.marker, o.pauseMode, o.freeSpace);
    if (!outcome.Ok()) {
        err << OutcomeText(Language::English, outcome) << '\n';
        if (outcome.what == TransferOutcome::What::UnprovenPieces) {
            const auto count = int64_t(outcome.untouched.size());
            err << CountedText(Language::English, Extra::RemoveUnprovenOption, count) << '\n';
        }
        return 1;
    }
    out << OutcomeText(Language::English, outcome) << '\n' << English(Entry::NrOfFiles) << engine.PieceCount() << '\n';
    const std::string& sums = engine.ChecksumFilePath();
    if (!sums.empty() && FolderOf(sums) != FolderOf(engine.PiecePrefix())) {
        out << FillIn(English(Extra::ChecksumFileBesideBigFile), {sums}) << '\n';
    }
    if (outcome.recoveryFiles > 0) {
        out << FillIn(CountedText(Language::English, Extra::RecoveryFilesWritten, outcome.recoveryLost),
                      {std::to_string(outcome.recoveryFiles), std::to_string(outcome.recoveryBytes),
                       std::to_string(outcome.recoveryLost)})
            << '\n';
    }
    return 0;
}

// A join replaces no file unasked (--force). The set's own big file, whole
// (its SHA-256 is the checksum file's), is no reason to refuse: there is
// nothing left to do. The exit status, or -1 to go on with the join.
int ExistingTarget(const CliOptions& o, const std::string& prefix, const std::string& target, std::ostream& out,
                   std::ostream& err) {
    std::error_code ec;
    const auto status = std::filesystem::status(Paths::Native(target), ec);
    // A folder is no file to replace: the join says it cannot write there.
    if (o.force || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) return -1;
    const LoadedSet loaded = o.checksums ? LoadSet(prefix, o.marker, target) : LoadedSet{};
    if (loaded.Ok() && FileSizeOf(target) == loaded.read.set.total) {
        const FileDigest whole = HashFile(target);
        if (whole.ok && whole.hex == loaded.read.set.wholeDigest) {
            out << FillIn(English(Extra::TargetIsTheSet), {target}) << '\n';
            return 0;
        }
    }
    Report(err, FillIn(English(Extra::TargetExists), {target}));
    return 1;
}

int Join(const CliOptions& o, TPieceEngine& engine, TerminalView& view, std::ostream& out, std::ostream& err) {
    // A folder is no file to write: said before anything is looked for.
    std::error_code ec;
    if (!o.to.empty() && std::filesystem::is_directory(Paths::Native(o.to), ec)) {
        Report(err, FillIn(English(Extra::IsAFolder), {o.to}));
        return 1;
    }
    if (Refused(o.file, false, o.marker, err)) return 1;
    int error = 0;
    if (FileSizeOf(o.file, &error) < 0) {
        ReportNoSize(err, o.file, error);
        return 1;
    }
    const std::string prefix = SetPrefixOf(Absolute(o.file), o.marker);
    if (prefix.empty()) {  // no marker in the name: no set to look for
        err << English(Entry::FileMissing) << o.file << '\n';
        return 1;
    }
    const std::string target = o.to.empty() ? prefix : Absolute(o.to);
    const DiscoveredPieces found = DiscoverPieces(prefix, o.marker, target);
    // With a checksum file the engine takes the set from it, and rebuilds
    // lost pieces where recovery files lie beside them.
    const bool listed = o.checksums && !FindChecksumFile(prefix, o.marker, target).empty();
    const std::string next = PieceName(prefix, o.marker, found.count + 1);
    if (!listed && (found.firstMissing || found.end == DiscoveredPieces::End::NextMissing)) {
        err << English(Entry::FileMissing) << (found.firstMissing ? PieceName(prefix, o.marker, 1) : next) << '\n';
        ReportLeftStaging(err, prefix, o.marker);
        return 1;
    }
    if (!listed && found.end == DiscoveredPieces::End::NextUnreadable) {
        err << English(Entry::CannotReadPiece) << found.count + 1 << '\n';
        ReportLeftStaging(err, prefix, o.marker);
        return 1;
    }
    const int existing = ExistingTarget(o, prefix, target, out, err);
    if (existing >= 0) return existing;
    engine.SetPiecePrefix(prefix);
    engine.SetBigFilePath(target);
    engine.SetPieces(found.count, found.sizes);
    if (listed && found.count == 0) engine.SetPieceCount(1);  // piece 1 is lost: the checksum file counts
    // The set's totals are the checksum file's, whatever pieces are lost.
    const LoadedSet loaded = listed ? LoadSet(prefix, o.marker, target) : LoadedSet{};
    if (loaded.Ok()) {
        int64_t total = 0;
        for (const int64_t size : loaded.read.set.sizes) total += size;
        view.Expect(total, loaded.read.set.count);
    } else {
        view.Expect(found.total, found.count);
    }
    // Every piece is at hand: the set was counted on disk, so nothing to pause for.
    const TransferOutcome outcome = engine.Join(o.maxRam, o.marker, PauseMode::Never);
    (outcome.Ok() ? out : err) << OutcomeText(Language::English, outcome) << '\n';
    return outcome.Ok() ? 0 : 1;
}

// The prefix of the set that the chosen file (any piece, or the checksum
// file itself) belongs to: the pieces numbered after its prefix and marker,
// as a join takes them. False after saying why there is none.
bool SetToCheck(const CliOptions& o, std::ostream& err, std::string& prefix) {
    if (Refused(o.file, false, o.marker, err)) return false;
    int error = 0;
    if (FileSizeOf(o.file, &error) < 0) {
        ReportNoSize(err, o.file, error);
        return false;
    }
    prefix = SetPrefixOf(Absolute(o.file), o.marker);
    return true;
}

// Why the set cannot be checked, when it cannot; false then.
bool SetLoaded(const CheckedSet& checked, const CliOptions& o, std::ostream& err) {
    if (checked.loaded.Ok()) return true;
    err << SetStatusText(Language::English, checked.loaded, checked.prefix, o.marker) << '\n';
    return false;
}

// One bad piece on a line of its own, in the words a join uses for it.
void ReportBadPiece(std::ostream& err, const BadPiece& piece) {
    const std::string number = std::to_string(piece.number);
    switch (piece.why) {
    case BadPiece::Why::Missing: Report(err, English(Entry::FileMissing) + piece.file); break;
    case BadPiece::Why::LinkNotTrusted: Report(err, FillIn(English(Extra::ReadLinkNotTrusted), {piece.link})); break;
    case BadPiece::Why::Unreadable: Report(err, English(Entry::CannotReadPiece) + number, piece.error); break;
    case BadPiece::Why::WrongSize:
        Report(err, FillIn(English(Extra::PieceWrongSize),
                           {number, std::to_string(piece.actualSize), std::to_string(piece.expectedSize)}));
        break;
    case BadPiece::Why::Damaged: Report(err, FillIn(English(Extra::PieceDamaged), {number})); break;
    }
}

// Every piece is good: the whole file beside them, or the pieces joined in
// order, is what differs from the whole file's checksum.
void ReportWholeFile(std::ostream& err, const CheckedSet& checked) {
    if (checked.whole == CheckedSet::Whole::JoinedDiffers)
        Report(err, FillIn(English(Extra::JoinedPiecesDiffer), {checked.loaded.checksumPath}));
    else
        Report(err,
               checked.whole == CheckedSet::Whole::Unreadable ? FillIn(English(Extra::FileUnreadable), {checked.wholeFile})
                                                               : FillIn(English(Extra::FileDamaged), {checked.wholeFile}),
               checked.wholeError);
}

int Repair(const CliOptions& o, TerminalView& view, std::ostream& out, std::ostream& err) {
    std::string prefix;
    if (!SetToCheck(o, err, prefix)) return 1;
    const RepairedSet repaired = RepairChosenSet(prefix, o.marker, &StopRequested(), view.Progress());
    view.SetProgress(0);  // the line ends before the report
    const CheckedSet& check = repaired.check;
    if (!SetLoaded(check, o, err)) return 1;
    if (check.stopped) {
        Report(err, English(Extra::Stopped));
        return 1;
    }
    if (check.bad.empty() && !check.Ok()) {
        // Nothing to rebuild, but the whole file is not what the pieces make.
        ReportWholeFile(err, check);
        return 1;
    }
    if (check.bad.empty()) {
        out << FillIn(English(Extra::PiecesChecked), {std::to_string(check.count)}) << '\n';
        return 0;
    }
    const SetRepair& repair = repaired.repair;
    for (const auto& f : repair.passedOver) err << FillIn(English(Extra::RecoveryFilePassedOver), {f}) << '\n';
    // What was put in place is said even when other pieces could not be.
    if (!repair.rebuilt.empty()) {
        const Extra text = repair.rebuilt.size() == 1 ? Extra::PieceRebuilt : Extra::PiecesRebuilt;
        out << FillIn(English(text), {PieceNumbers(repair.rebuilt)}) << '\n';
    }
    if (repair.ok) return 0;
    err << RepairFailureText(Language::English, repaired) << '\n';
    return 1;
}

// Names every missing and damaged piece, then what the recovery files can
// do about them; or the whole file beside the pieces where only it differs.
int Check(const CliOptions& o, TerminalView& view, std::ostream& out, std::ostream& err) {
    std::string prefix;
    if (!SetToCheck(o, err, prefix)) return 1;
    const CheckedSet checked = CheckChosenSet(prefix, o.marker, &StopRequested(), view.Progress());
    view.SetProgress(0);  // the line ends before the report
    if (!SetLoaded(checked, o, err)) return 1;
    if (checked.stopped) {
        Report(err, English(Extra::Stopped));
        return 1;
    }
    if (checked.Ok()) {
        out << FillIn(English(Extra::PiecesChecked), {std::to_string(checked.count)}) << '\n';
        if (checked.whole == CheckedSet::Whole::Matched)
            out << FillIn(English(Extra::WholeFileChecked), {checked.wholeFile}) << '\n';
        return 0;
    }
    for (const BadPiece& piece : checked.bad) ReportBadPiece(err, piece);
    if (checked.bad.empty()) {
        ReportWholeFile(err, checked);
    } else {
        err << RecoveryVerdictText(Language::English, checked) << '\n';
    }
    ReportLeftStaging(err, checked.loaded);
    return 1;
}

// A report that could not be written (a full disk or a closed pipe behind
// standard output) is no success: status, or 1 when the output failed.
int Written(std::ostream& out, std::ostream& err, int status) {
    errno = 0;
    out.flush();
    if (out.good()) return status;
    const int error = errno;
    err << "the output could not be written\n";
    const std::string reason = ReasonText(Language::English, error);
    if (!reason.empty()) err << reason << '\n';
    return status == 0 ? 1 : status;
}

}  // namespace

namespace {
int RunCommand(const CliOptions& o, std::istream& in, std::ostream& out, std::ostream& err, std::ostream& terminal,
               int progressWidth);

// Writes every line through `to` with `prefix` in front.
class PrefixedLines final : public std::streambuf {
public:
    PrefixedLines(std::streambuf* to, std::string prefix) : to_(to), prefix_(std::move(prefix)) {}

protected:
    int overflow(int c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        if (lineStart_ && to_->sputn(prefix_.data(), std::streamsize(prefix_.size())) != std::streamsize(prefix_.size()))
            return traits_type::eof();
        lineStart_ = traits_type::to_char_type(c) == '\n';
        return to_->sputc(traits_type::to_char_type(c));
    }
    int sync() override { return to_->pubsync(); }

private:
    std::streambuf* to_;
    std::string prefix_;
    bool lineStart_ = true;
};
}  // namespace

std::string ProgressLine(const std::string& progress, const std::string& path, int width) {
    // A character in the last column makes some terminals wrap at once.
    const int room = width - 1;
    const std::string separator = " \xC2\xB7 ";
    const int left = room - Columns(progress) - Columns(separator);
    // Too little room for a path to say anything: the progress alone.
    if (path.empty() || left < 12) return Cut(progress, room);
    return progress + separator + ShortenStart(path, left);
}

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           int progressWidth) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.ok) {
        err << "quorvel-cli: " << parsed.error << " (see quorvel-cli --help)\n";
        return 2;
    }
    const CliOptions& o = parsed.options;
    if (o.command == CliOptions::Command::Help) {
        out << CommandUsage(o.helpFor);
        return 0;
    }
    if (o.command == CliOptions::Command::Version) {
        out << "quorvel-cli (" << kApplicationName << ") " << kVersionText << '\n';
        return 0;
    }
    // Quiet: what would go to standard output, and the progress, go nowhere.
    struct Discard : std::streambuf {
        int overflow(int c) override { return traits_type::not_eof(c); }
    } discard;
    std::ostream nowhere(&discard);
    // Errors and notices say whose they are, as Unix tools' do; the progress
    // line and the questions, which the user watches, need no name.
    PrefixedLines named(err.rdbuf(), "quorvel-cli: ");
    std::ostream reports(&named);
    return RunCommand(o, in, o.quiet ? nowhere : out, reports, err, o.quiet ? 0 : progressWidth);
}

namespace {

int RunCommand(const CliOptions& o, std::istream& in, std::ostream& out, std::ostream& err, std::ostream& terminal,
               int progressWidth) {
    Catalogue().Build(o.marker);
    TerminalView view(in, terminal, progressWidth);
    if (o.command == CliOptions::Command::Check || o.command == CliOptions::Command::Repair) {
        // Both hash every piece, which takes a while: the same progress line
        // as a transfer's, and a signal stops them as it stops a transfer.
        const int status =
            o.command == CliOptions::Command::Check ? Check(o, view, out, err) : Repair(o, view, out, err);
        return status != 0 && CaughtSignal() != 0 ? 128 + CaughtSignal() : Written(out, err, status);
    }
    TPieceEngine engine([](EngineEntry::Id entry) { return EngineText(Language::English, entry); });
    engine.SetView(&view);
    engine.SetStopFlag(&StopRequested());
    engine.SetUseChecksums(o.checksums);
    engine.SetRecovery(o.recovery);
    const int status =
        o.command == CliOptions::Command::Split ? Split(o, engine, view, out, err) : Join(o, engine, view, out, err);
    // Stopped by a signal: the shell's convention, 128 + its number, which
    // says that nothing of the run is left. A signal that came once the
    // result was in place changes nothing: the run has succeeded.
    return status != 0 && CaughtSignal() != 0 ? 128 + CaughtSignal() : Written(out, err, status);
}

}  // namespace
