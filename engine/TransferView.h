// What a transfer shows and asks of the world outside it: the view, the
// catalogue texts, the free space of a folder and the stop flag, and the
// progress bar's scale. Standard library only; below the copying, the jobs
// and the engine.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the engine shows while it works. The main window implements it on its
// controls; tests use a recording implementation.
class TransferView {
public:
    enum class Icon { Question, Exclamation };
    virtual ~TransferView() = default;
    virtual void ClearPieceList() = 0;
    virtual void SetProgressRange(int32_t min, int32_t max) = 0;
    virtual void SetProgress(int32_t position) = 0;
    virtual void ShowCurrentPiece(const std::string& name) = 0;
    virtual void AddPieceSize(const std::string& text) = 0;
    virtual void SelectPiece(int32_t index) = 0;  // 0-based; -1 selects none
    virtual void RepaintPieceList() = 0;
    virtual bool AskYesNo(const std::string& text, const std::string& caption, Icon icon) = 0;
    virtual void RepaintMainWindow() = 0;
    // A free-space piece came out shorter than shown (the disk filled up
    // before its end): the size list shows what was written instead.
    virtual void CorrectPieceSize(int32_t index, const std::string& text) { (void)index, (void)text; }
    // A join rebuilds these pieces (numbers from 1) from the recovery files:
    // the SetProgress calls that follow are the rebuild's, from its start.
    virtual void StartRebuilding(const std::vector<int32_t>& pieces) { (void)pieces; }
};

// The catalogue entries the engine shows, by their entry numbers. A plain
// enum, so that a lookup written for entry numbers takes them as they are.
namespace EngineEntry {
enum Id : int {
    ReadyForDiskNumber = 55,  // "Ready for diskette/file number "
    ChangeDisk = 56,          // "Change diskette", the caption of the disk questions
    NoRoomOnDisk = 230,       // "No available space on this diskette! "
    // Later than the catalogue (texts/ answers them from its later texts).
    RecoveryFileInDrive = 100001,  // a line under a disk question: a recovery file goes in the drive
};
}  // namespace EngineEntry

// Catalogue text of an entry in the current language. Keeps the engine free
// of the catalogue.
using TextLookup = std::function<std::string(EngineEntry::Id entry)>;

// Free bytes available to the user on the volume holding `folder`; 0 when the
// query fails.
using FreeSpaceQuery = std::function<int64_t(const std::string& folder)>;

// What a transfer uses besides its data; each may be missing.
struct TransferServices {
    TransferView* view = nullptr;  // none: nothing shown, every disk question answered No
    TextLookup texts;              // none: empty texts
    FreeSpaceQuery freeSpace;      // none: the free space is never known
    // Looked at before every block; may be set from another thread or a
    // signal handler.
    const std::atomic<bool>* stop = nullptr;

    std::string Text(EngineEntry::Id entry) const { return texts ? texts(entry) : std::string(); }
    bool Stopped() const { return stop != nullptr && stop->load(std::memory_order_relaxed); }
};

// Largest copy buffer ever allocated, whatever the memory limit says.
inline constexpr int64_t kMaxBufferBytes = 64 * 1024 * 1024;

// The progress bar runs from 0 to this many steps.
inline constexpr int32_t kProgressScale = 1000;

// Progress bar position 0..1000 after `done` of `total` bytes; 0 when the
// total is 0 (nothing to show), never beyond 1000.
int32_t ProgressPosition(int64_t done, int64_t total);

// Position in a join that pauses before each piece, where only the pieces
// reached so far are known: after the `sumSoFar` bytes of pieces 1..piece
// the bar stands near piece / (count - 0.5) of its length, and at exactly 1000
// after the last piece.
int32_t PausingJoinPosition(int64_t done, int64_t sumSoFar, int32_t piece, int32_t count);
