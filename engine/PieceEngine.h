// The transfer engine: cuts the big file into pieces or joins pieces back into
// the big file, with progress, disk-change questions, free-space sizing and
// one result code. Standard library only; reaches the window only through
// TransferView.
#pragma once

#include "engine/ChecksumFile.h"
#include "engine/PieceNaming.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
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
};

// The catalogue entries the engine shows, by their entry numbers. A plain
// enum, so that a lookup written for entry numbers takes them as they are.
namespace EngineEntry {
enum Id : int {
    ReadyForDiskNumber = 55,  // "Ready for diskette/file number "
    ChangeDisk = 56,          // "Change diskette", the caption of the disk questions
    NoRoomOnDisk = 230,       // "No available space on this diskette! "
};
}  // namespace EngineEntry

// Catalogue text of an entry in the current language. Keeps the engine free
// of the catalogue.
using TextLookup = std::function<std::string(EngineEntry::Id entry)>;

// Free bytes available to the user on the volume holding `folder`; 0 when the
// query fails.
using FreeSpaceQuery = std::function<int64_t(const std::string& folder)>;
int64_t FreeBytesInFolder(const std::string& folder);

// Result codes of Split, Join and Transfer; a positive code is the number of
// the piece that could not be opened.
enum TransferResult : int32_t {
    kTransferOk = 0,
    kSizesDiffer = -1,
    kCannotReadBigFile = -89,
    kCannotCreateBigFile = -90,
    kDisksNotEntered = -91,
    kStopped = -2,  // the user (or a signal) asked the transfer to stop
    // The set's checksum file speaks against the join; FailureSubject names
    // what: the piece's number, the checksum file, the missing piece.
    kPieceDamaged = -3,         // a piece's size or bytes differ from its checksum
    kChecksumsUnfinished = -4,  // the split that wrote the checksum file did not finish
    kChecksumsDamaged = -5,     // the checksum file cannot be read or makes no sense
    kPieceMissing = -6,         // a piece the checksum file names is not there
    kJoinedFileDamaged = -7,    // the joined bytes differ from the whole file's checksum
    kChecksumsNotWritten = -8,  // a split could not write its checksum file
};

// Largest copy buffer ever allocated, whatever the memory limit says.
inline constexpr int64_t kMaxBufferBytes = 64 * 1024 * 1024;

// Progress bar position 0..1000 after `done` of `total` bytes; 0 when the
// total is 0 (nothing to show), never beyond 1000.
int32_t ProgressPosition(int64_t done, int64_t total);

// Position in a join that pauses before each piece, where only the pieces
// reached so far are known: after the `sumSoFar` bytes of pieces 1..piece
// the bar stands near piece / (count - 0.5) of its length, and at exactly 1000
// after the last piece.
int32_t PausingJoinPosition(int64_t done, int64_t sumSoFar, int32_t piece, int32_t count);

class TPieceEngine {
public:
    enum class Direction { Split, Join };

    explicit TPieceEngine(TextLookup texts = {}, FreeSpaceQuery freeSpace = FreeBytesInFolder);

    void SetView(TransferView* view) { view_ = view; }
    void SetTextLookup(TextLookup texts) { texts_ = std::move(texts); }
    void SetFreeSpaceQuery(FreeSpaceQuery query) { freeSpace_ = std::move(query); }
    // Looked at before every block: once it is true the transfer ends with
    // kStopped, leaving what a failure leaves. May be set from another
    // thread or a signal handler.
    void SetStopFlag(const std::atomic<bool>* flag) { stop_ = flag; }

    int32_t Split(int32_t maxBuffer, const std::string& marker, PauseMode pauseMode, bool useFreeSpace);
    int32_t Join(int32_t maxBuffer, const std::string& marker, PauseMode pauseMode);
    int32_t Transfer(Direction direction, int32_t maxBuffer, const std::string& marker, PauseMode pauseMode,
                     bool useFreeSpace);

    // Sets PieceCount and PieceSizes[1..count] (element 0 holds no piece).
    void SetPieceCount(int32_t count);

    int32_t PieceCount = 0;
    std::string BigFilePath;
    std::string PiecePrefix;
    std::string CurrentPieceName;
    int64_t BigFileBytes = 0;            // as the window last knew it; the engine never reads it
    std::vector<int64_t> PieceSizes{0};  // element 0 holds no piece
    std::string FreeSpaceFolder;         // folder whose free space sizes a free-space split
    int LastError = 0;                   // errno behind the last failure; 0 when none is known
    std::string FailureSubject;          // what the last failure is about, where its code needs one
    bool UseChecksums = true;            // a split writes the set's checksum file, a join checks it
    std::string ChecksumFilePath;        // a split's checksum file; a join's, when it had one
    bool Checked = false;                // the last join was checked against a checksum file

private:
    // A join's set as its checksum file says, where there is one: the count
    // and sizes, into `expected` the digests. Fails when the file is
    // unfinished or damaged, or a piece it names is missing or of another size.
    int32_t TakeSetFromChecksums(const std::string& marker, bool pausing, ChecksumSet& expected);
    bool Stopped() const;
    std::string Text(EngineEntry::Id entry) const;
    // "No room on this disk! Ready for disk number " (NoRoomOnDisk, ReadyForDiskNumber).
    std::string FullDiskQuestion() const;

    TextLookup texts_;
    FreeSpaceQuery freeSpace_;
    TransferView* view_ = nullptr;
    const std::atomic<bool>* stop_ = nullptr;
};
