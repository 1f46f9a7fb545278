// The main window: menus, tool bar, the big file and smaller files groups,
// progress bar and status bar, and the split and join workflows.
//
// The window keeps its state and its workflows; its parts (menus and tool
// bar, the two groups, progress and status) own their controls
// (MainWindowParts.h). Implemented over several files by concern:
//   MainLayout.cpp        BuildLayout: the parts put together; ApplyTexts, hints
//   MainCommands.cpp      the menus and the tool bar of their commands
//   BigFileGroup.cpp      the big file's group
//   SmallerFilesGroup.cpp the smaller files' group
//   MainStatus.cpp        progress bar and status bar
//   PartWidgets.cpp       the small widgets the parts are made of
//   MainState.cpp         control groups, busy/done, result reports, TransferView
//   MainLifecycle.cpp     FormCreate, exit, reset, pause menu, About
//   MainPlan.cpp          size display, piece size plan, presets, base size choice
//   MainSplit.cpp         split workflow
//   MainJoin.cpp          join workflow
//   MainOutside.cpp       files from the command line and dropped files
//   MainLanguage.cpp      language menu, marker dialog, memory dialog, help window
//   MainTransfer.cpp      the split or join on the worker thread: locked controls,
//                         throttled drawing of its progress, Stop
//
// Below, what the window does (functions, then slots) comes first; then,
// private, its state (the settings it runs with), its parts, its helpers
// and bookkeeping. Tests reach the state and controls through TMain::Parts
// (tests/app/MainParts.h).
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/MainWindowParts.h"
#include "app/TransferStatus.h"
#include "engine/PieceEngine.h"
#include "planning/SizePlan.h"
#include "recovery/Recovery.h"
#include "texts/Entries.h"
#include "texts/TextCatalogue.h"

class QDragEnterEvent;
class QDropEvent;
class TSettingsStore;
class TAboutBox;
class TfrmDisk;
class TfrmHint;
class TMemory;
class TFrmBaseSize;
class TFrmFileType;
class TTransferRunner;

// The program's other windows, created once after the main window and reused
// (app/Windows.h). The main window owns them as its Qt children.
struct TOtherWindows {
    TAboutBox* AboutBox = nullptr;
    TfrmDisk* frmDisk = nullptr;
    TfrmHint* frmHint = nullptr;
    TMemory* Memory = nullptr;
    TFrmBaseSize* FrmBaseSize = nullptr;
    TFrmFileType* FrmFileType = nullptr;
};

// The groups of controls that SetControlState switches together.
enum class ControlGroup {
    SplitCommand,     // Split the file, and the size list
    PlaceForPieces,   // Find a place for the smaller files
    JoinCommand,      // Restore the file; a join being prepared locks the base size controls
    PlaceForBigFile,  // Find a place for the big file
    BaseSizeChoice,   // the base size list
    NewSizeEditing,   // the new size field, its label and its button
    SizeList,         // the size list alone
};

class TMain : public QMainWindow, public TransferView {
    Q_OBJECT
public:
    // Builds the controls and runs FormCreate (reads every setting).
    TMain(TPieceEngine& engine, TSettingsStore& store, QWidget* parent = nullptr);
    ~TMain() override;

    // The other windows, created after the main window and reused.
    void SetWindows(const TOtherWindows& windows) { windows_ = windows; }
    const TOtherWindows& Windows() const { return windows_; }
    TPieceEngine& Engine() { return engine_; }

    // The tests' view of the state and controls below; defined by the tests.
    struct Parts;

    // ---- control state and reports (MainState.cpp)
    void SetControlState(ControlGroup group, bool enabled);
    void ShowWorking(const QString& text);  // remembers whether it set the hourglass
    void ShowDone(const QString& text);
    void ReportTransferResult(const TransferOutcome& outcome);
    void ReportMissingFile(const QString& name);
    // The message box and status of a file that cannot be used, text saying why.
    void ReportRefusedFile(const QString& text);
    // Reports and returns true when name is a folder, an empty file to split
    // (split) or, to join, a name without the marker (InputRefusal).
    bool RefuseFile(const QString& name, bool split);
    void ClearSizeList();
    void ShowPieceCount(int32_t count);  // lblNrFiles and the hint of ActualSizeGB
    static QString CurrentFolder();
    void ShowHintInStatusBar(const QString& hint);  // status panel 0

    // ---- TransferView (MainState.cpp); during a transfer the calls come
    // from the worker, 20 batches a second.
    void ClearPieceList() override;
    void SetProgressRange(int32_t min, int32_t max) override;
    void SetProgress(int32_t position) override;
    void ShowCurrentPiece(const std::string& name) override;
    void AddPieceSize(const std::string& text) override;
    void SelectPiece(int32_t index) override;
    void RepaintPieceList() override;
    bool AskYesNo(const std::string& text, const std::string& caption, Icon icon) override;
    void RepaintMainWindow() override;
    void CorrectPieceSize(int32_t index, const std::string& text) override;
    void StartRebuilding(const std::vector<int32_t>& pieces) override;

    // ---- the transfer on the worker thread (MainTransfer.cpp)
    bool TransferRunning() const;
    // Runs the event loop until the running transfer has ended and its
    // outcome is shown; returns at once when none runs.
    void WaitForTransfer();

    // ---- texts (MainLayout.cpp)
    void ApplyTexts();

    // ---- lifecycle (MainLifecycle.cpp)
    void FormCreate();
    void StorePauseMode();
    void SaveGeometry();

    // ---- size display, plan, presets (MainPlan.cpp)
    void ShowBigFileSize(SizeUnit unit);  // in that unit, which is stored; the unit buttons call it
    void PlanPieceSizes(int32_t keep);
    // The engine's piece count and sizes (sizes[0] holds no piece), and the list showing them.
    void SetPieces(int32_t count, const std::vector<int64_t>& sizes);
    // What the recovery files of the planned pieces come to, under the spin box,
    // or why the pieces cannot carry any; the spin box goes no higher than
    // the planned set has pieces.
    void ShowRecoveryPlan();
    void ApplySizeMode();
    void LoadBaseSizes();

    // What the split and join dialogs do with the name they return; files
    // from the command line and from a drop take the same way.
    void SplitChosenFile(const QString& chosen);
    void JoinChosenPiece(const QString& chosen);
    // A set with a finished checksum file is the one it lists, whichever of
    // its pieces are missing, as long as recovery files lie beside it to
    // rebuild them (`missing`); false (nothing changed) when the set is to
    // be counted.
    bool TakeListedSet(const std::string& prefix, const std::string& marker, std::vector<int32_t>& missing);
    // ---- files from outside (MainOutside.cpp)
    // A file named on the command line or dropped on the window: a piece of a
    // set whose piece 1 is present is chosen for joining, anything else for
    // splitting.
    void OpenFromOutside(const QString& name);
    // Says once that a settings file too large to read was moved to `aside`.
    void ReportSettingsSetAside(const QString& aside);

    // ---- the Pause and Language menus (MainLifecycle.cpp, MainLanguage.cpp):
    // choosing the checked item changes and writes nothing.
    void SelectPauseMode(::PauseMode mode);
    void ChooseLanguage(Language chosen);
    void SwitchLanguage();

public slots:
    // lifecycle
    void ExitClick();
    void ClearRegistryClick();
    void AboutClick();
    // split
    void ChooseSplitAFileClick();
    void FindPlaceToSmallFilesClick();
    void DoSplitClick();
    // join
    void JoinFilesClick();
    void FindPlaceToBigFileClick();
    void DoJoinClick();
    // check and repair a set against its checksum file
    void CheckSmallFilesClick();
    void RepairSmallFilesClick();
    // stop
    void StopClick();
    // size display and plan
    void rbSizeBaseClick();
    void rbSizeFreeClick();
    void spnRecoveryChange(int lostPieces);
    void SmallerSizesLBClick();
    void txtNewSizeChange();
    void ApplyNewSizeClick();
    void CBBaseSizeChange();
    void ApplyBaseSizeClick();
    // dialogs and language
    void MemoryUsageClick();
    void ChooseFiletypeClick();
    void HintClick();

protected:
    bool event(QEvent* e) override;                    // status tips into panel 0
    void closeEvent(QCloseEvent* e) override;          // same as Exit
    void dragEnterEvent(QDragEnterEvent* e) override;  // local files only
    void dropEvent(QDropEvent* e) override;            // the first file counts
    // Escape stops a transfer even in the menu bar's keyboard mode (MainTransfer.cpp).
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // ======== The window's state: the settings it runs with, read at start
    // and written as they change (settings/SettingsStore.h has their defaults).
    int32_t MaxRAM = 0;                                                // copy buffer limit
    int32_t mainTop = 0, mainLeft = 0, mainHeight = 0, mainWidth = 0;  // geometry to restore
    QString AddedFileType;                                             // the piece marker
    QString SplitPath;                                                 // folder of the big files
    QString JoinPath;                                                  // folder of the pieces
    bool UseFreeSpace = false;                                         // pieces fill the disk, not the base size
    SizeUnit BigUnit{};                                                // unit of the big file's size
    ::PauseMode PauseMode = ::PauseMode::Sometimes;
    // The big file's size as last measured: the chosen file's, or the set's
    // a join found; shown in the chosen unit and planned from.
    int64_t BigFileBytes = 0;
    // Pieces that may be lost and still be rebuilt, as the user asked (stored);
    // a smaller set takes as many as it has pieces (the spin box's value). 0: no recovery files.
    int32_t RecoveryPieces = 0;
    // The base size presets and the one in use.
    int32_t BaseSizeCount = 0;
    int32_t BaseSizeIndex = 0;
    std::vector<int64_t> BaseSizeValues;
    QStringList BaseSizeTexts;

    // ======== The window's parts, made by BuildLayout (app/MainWindowParts.h):
    // each owns, builds and words its controls.
    TMainMenus menus_;
    TMainToolBar* toolBar_ = nullptr;
    TBigFileGroup* bigFile_ = nullptr;
    TSmallerFilesGroup* smallFiles_ = nullptr;
    TMainStatus status_;

    // ---- helpers of the workflows
    void BuildLayout();
    void KeepOnScreen();        // size and position limited to the screen's available area
    void ClearPreparedJoin();   // a file chosen to split ends a join being prepared
    bool MayWriteJoinTarget();  // asks before replacing a target the user did not pick
    bool MayRemoveStrayPieces(bool& remove);  // asks before a split removes files it cannot prove its set's
    void RestoreCursor();       // undoes ShowWorking's hourglass, if it set one
    void Quit();                // ends the program; the close handler then saves nothing
    // The recovery files a split of the planned pieces would write so that
    // `lostPieces` of them can be rebuilt.
    RecoveryPlan PlannedRecovery(int32_t lostPieces) const;
    // Before a split: false, with the reason shown, when the planned pieces cannot carry recovery files.
    bool RecoveryPlanUsable();

    // Starts `job` on the worker with the window locked; `then` does what
    // follows once it has ended (not when the window closes meanwhile).
    // totalBytes and pieceCount feed the status text; 0 where not known.
    void RunTransfer(std::function<TransferOutcome(TPieceEngine&)> job, int64_t totalBytes, int32_t pieceCount,
                     std::function<void(const TransferOutcome&)> then);
    void TransferFinished(const TransferOutcome& outcome);
    TTransferRunner& Runner();  // made on first use
    void LockForTransfer(bool running);
    void ShowTransferStatus();  // the bar, the piece list and status panel 1 while a transfer runs
    void ShowPendingPieces();

    // ---- checking and repairing a set (MainCheck.cpp)
    // The prefix of the set the check and repair work on: the one prepared
    // for joining, else that of a piece the user picks. Empty when none.
    std::string SetToCheck(bool repair);
    void RunSetCommand(bool repair);
    void ShowSetResult(const struct RepairedSet& result, bool repair);
    // Repair is offered only where the prepared set's folder can be written.
    void UpdateRepairCommand();

    // ======== What the window works with, and its own bookkeeping.
    TPieceEngine& engine_;
    TSettingsStore& store_;
    bool hourglassSet_ = false;  // ShowWorking set the override cursor; ShowDone restores only that
    bool exiting_ = false;
    std::string pickedJoinTarget_;  // the join target picked in the place dialog, empty for none
    TOtherWindows windows_;         // SetWindows
    // The transfer on the worker thread (MainTransfer.cpp).
    std::unique_ptr<TTransferRunner> runner_;
    std::function<void(const TransferOutcome&)> afterTransfer_;
    std::vector<std::function<void()>> unlock_;  // gives each locked control its state back
    QElapsedTimer transferClock_;
    int64_t questionNs_ = 0;  // time the transfer waited for disk answers
    TransferStatus transferStatus_;
    static constexpr int32_t kNoPendingSelection = -2;
    QStringList pendingRows_;                         // piece sizes not listed yet
    int32_t pendingSelection_ = kNoPendingSelection;  // row to mark next; -1 marks none
    bool closing_ = false;                            // the window closes: the transfer's end is not reported
    int panel0Width_ = 0;                             // status panel 0's width as designed, while a transfer narrows it
};

// QString <-> engine strings (UTF-8).
QString FromStd(const std::string& text);
std::string ToStd(const QString& text);
