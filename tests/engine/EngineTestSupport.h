// Shared helpers of the engine tests: a private temporary folder, file
// contents, a recording view and the English texts the engine asks for.
#pragma once

#include "engine/PieceEngine.h"
#include "engine/PieceNaming.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// A fresh folder, removed with everything in it at the end of the test.
// Names in it are joined with the native separator.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + kPathSeparator + name; }

private:
    std::string path_;
};

// A small tmpfs mounted at a new folder for as long as it lives. Mounting
// needs root (as in CI) and Linux; Mounted() says whether it worked.
class SmallDisk {
public:
    SmallDisk(const std::string& at, const std::string& size);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }

private:
    std::string at_;
    bool mounted_ = false;
};

// `folder` seen read-only at `at` (a bind mount, remounted read-only) for as
// long as it lives, as a write-protected disk shows it. Needs root and
// Linux; Mounted() says whether it worked.
class ReadOnlyView {
public:
    ReadOnlyView(const std::string& folder, const std::string& at);
    ~ReadOnlyView();
    ReadOnlyView(const ReadOnlyView&) = delete;
    ReadOnlyView& operator=(const ReadOnlyView&) = delete;
    bool Mounted() const { return mounted_; }

private:
    std::string at_;
    bool mounted_ = false;
};

// Bytes that differ from position to position, so that a piece copied from
// the wrong offset is noticed.
std::string PatternBytes(int64_t count, unsigned seed = 1);
void WriteFile(const std::string& name, const std::string& bytes);
std::string ReadFile(const std::string& name);
bool Exists(const std::string& name);
// Whether a file holds exactly `expected`; on a difference, tells the sizes
// and the first differing offset instead of printing both contents.
::testing::AssertionResult FileHolds(const std::string& name, const std::string& expected);
// Names of the entries in a folder, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

// Writes the finished checksum file beside the pieces 1, 2, ... of prefix,
// as a split that ended well leaves it; its name.
std::string WriteChecksumsFor(const std::string& prefix, const std::string& marker);

// The engine's texts 55, 56 and 230 in English.
std::string EnglishText(int entry);

// Records every call; answers questions from a script (Yes when it runs out).
class RecordingView : public TransferView {
public:
    struct Question {
        std::string text;
        std::string caption;
        Icon icon;
    };

    void ClearPieceList() override { calls.push_back("Clear"); }
    void SetProgressRange(int32_t min, int32_t max) override {
        calls.push_back("Range " + std::to_string(min) + " " + std::to_string(max));
    }
    void SetProgress(int32_t position) override {
        calls.push_back("Progress " + std::to_string(position));
        progress.push_back(position);
        if (onProgress) onProgress(position);
    }
    void ShowCurrentPiece(const std::string& name) override { calls.push_back("Show " + name); }
    void AddPieceSize(const std::string& text) override {
        calls.push_back("Add " + text);
        lines.push_back(text);
    }
    void SelectPiece(int32_t index) override { calls.push_back("Select " + std::to_string(index)); }
    void RepaintPieceList() override { calls.push_back("RepaintList"); }
    bool AskYesNo(const std::string& text, const std::string& caption, Icon icon) override;
    void RepaintMainWindow() override { calls.push_back("RepaintMain"); }
    void StartRebuilding(const std::vector<int32_t>& pieces) override {
        std::string call = "Rebuild";
        for (const int32_t n : pieces) call += " " + std::to_string(n);
        calls.push_back(call);
    }
    void CorrectPieceSize(int32_t index, const std::string& text) override {
        calls.push_back("Correct " + std::to_string(index) + " " + text);
        if (index >= 0 && std::size_t(index) < lines.size()) lines[std::size_t(index)] = text;
    }

    std::deque<bool> answers;
    std::vector<Question> questions;
    std::vector<std::string> calls;
    std::vector<std::string> lines;
    std::vector<int32_t> progress;
    std::function<void()> onQuestion;  // runs before each answer (a disk being swapped)
    std::function<void(int32_t)> onProgress;
};

// An engine wired to a recording view and the English texts.
struct EngineUnderTest {
    RecordingView view;
    TPieceEngine engine{EnglishText};
    // The transfer's own mechanics are tested on sets without a checksum
    // file, as other tools make them; the checksum tests turn it on.
    EngineUnderTest() {
        engine.SetView(&view);
        engine.SetUseChecksums(false);
    }
    EngineUnderTest(const EngineUnderTest&) = delete;
    EngineUnderTest& operator=(const EngineUnderTest&) = delete;
    void Reset() {
        view = RecordingView();
        engine = TPieceEngine(EnglishText);
        engine.SetUseChecksums(false);
        engine.SetView(&view);
    }
    void Plan(const std::vector<int64_t>& sizes) {
        engine.SetPieceCount(static_cast<int32_t>(sizes.size()));
        for (std::size_t i = 0; i < sizes.size(); ++i) engine.SetPieceSize(i + 1, sizes[i]);
    }
};

inline const std::string kMarker = ".Quorved_";

// Outcomes compared by their kind, or by kind and piece where one is named.
using What = TransferOutcome::What;
struct PieceOutcome {
    What what;
    int32_t piece;
};
inline bool operator==(const TransferOutcome& outcome, What what) { return outcome.what == what; }
inline bool operator==(const TransferOutcome& outcome, const PieceOutcome& expected) {
    return outcome.what == expected.what && outcome.piece == expected.piece;
}
void PrintTo(const TransferOutcome& outcome, std::ostream* out);
void PrintTo(What what, std::ostream* out);

// A big file of pattern bytes in a private folder, and an engine pointed at
// it with its pieces beside it.
class EngineTest : public ::testing::Test {
protected:
    void MakeBigFile(const std::string& name, int64_t size);
    std::string Piece(int n) const;
    // Points the engine at a join of the set found beside PiecePrefix into target.
    void JoinInto(const std::string& target);
    // Plans `sizes` and splits with the usual memory limit, never pausing.
    TransferOutcome SplitPlan(const std::vector<int64_t>& sizes) {
        t.Plan(sizes);
        return t.engine.Split(100000, kMarker, PauseMode::Never, false);
    }
    TransferOutcome Join() { return t.engine.Join(100000, kMarker, PauseMode::Never); }

    TempFolder dir;
    std::string big;
    std::string bytes;
    EngineUnderTest t;
};
