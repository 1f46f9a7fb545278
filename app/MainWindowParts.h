// The main window's parts: each owns its controls, builds them, wires them to
// the window's handlers and gives them their texts. The window keeps its
// state and reaches the controls through these parts. Every control's name
// here is also its Qt object name, so tests find it with findChild.
//   MainCommands.cpp      TMainMenus, TMainToolBar
//   BigFileGroup.cpp      TBigFileGroup
//   SmallerFilesGroup.cpp TSmallerFilesGroup
//   MainStatus.cpp        TMainStatus
#pragma once

#include <QGroupBox>
#include <QToolBar>
#include <vector>

#include "app/ToolIcons.h"
#include "engine/PieceNaming.h"
#include "planning/SizePlan.h"
#include "texts/TextCatalogue.h"

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QToolButton;
class TMain;

// The menus and their commands; the tool bar's buttons run the same commands.
struct TMainMenus {
    QMenu *File1 = nullptr, *ChangeOfDisk = nullptr, *Memory1 = nullptr, *Filetype = nullptr, *Language1 = nullptr,
          *Help1 = nullptr;
    QAction *ChooseSplitAFile = nullptr, *FindPlaceToSmallFiles = nullptr, *DoSplit = nullptr, *N2 = nullptr,
            *JoinFiles = nullptr, *FindPlaceToBigFile = nullptr, *DoJoin = nullptr, *N3 = nullptr, *Stop = nullptr,
            *N1 = nullptr, *ClearRegistry = nullptr, *Exit = nullptr;
    // Checking and repairing a set against its checksum file.
    QAction *N4 = nullptr, *CheckSmallFiles = nullptr, *RepairSmallFiles = nullptr;
    QAction *ChangeAlways = nullptr, *ChangeSometimes = nullptr, *ChangeNever = nullptr;
    QAction* MemoryUsage = nullptr;
    QAction* ChooseFiletype = nullptr;
    QAction *LanguageEnglish = nullptr, *LanguageSwedish = nullptr, *LanguageGerman = nullptr;
    QAction *About = nullptr, *Hint = nullptr;

    // Fills the window's menu bar and connects each command to its handler.
    void Build(QMenuBar* bar, TMain& main);
    void ApplyTexts();
    // Checks the item of the choice; the one checked before is unchecked.
    void CheckPauseMode(::PauseMode mode);
    void CheckLanguage(Language language);
    // The menus whose items a running split or join locks (not Help).
    std::vector<QMenu*> LockedInTransfer() const;

private:
    void Connect(TMain& main);
    QActionGroup *pauseChoices_ = nullptr, *languageChoices_ = nullptr;
};

// The tool bar: a button for each of the commands it shows, whose drawn
// icons follow its palette, so they stay legible when the desktop switches
// to a dark one.
class TMainToolBar : public QToolBar {
public:
    // At the top of the window.
    TMainToolBar(const TMainMenus& menus, QMainWindow* window);

    QToolButton *SplitAFileBtn = nullptr, *FindPlaceToSmallFilesBtn = nullptr, *DoSplitBtn = nullptr,
                *JoinFilesBtn = nullptr, *FindPlaceToBigFileBtn = nullptr, *DoJoinBtn = nullptr, *StopBtn = nullptr,
                *ExitBtn = nullptr, *HintBtn = nullptr, *CheckSmallFilesBtn = nullptr, *RepairSmallFilesBtn = nullptr;

protected:
    void changeEvent(QEvent* e) override;

private:
    QToolButton* AddCommand(QAction* command, ToolIcon icon, const char* buttonName);
    void AddGap();
    struct Command {
        QAction* action;
        ToolIcon icon;
    };
    std::vector<Command> commands_;
};

// The big file: its name, its size and the unit the size is shown in.
class TBigFileGroup : public QGroupBox {
public:
    // Checking a unit shows the size in it, whether the user or the start-up checks it.
    TBigFileGroup(QWidget* parent, TMain& main);
    void ApplyTexts();
    QRadioButton* UnitButton(SizeUnit unit) const;

    QLabel *lblBigFileName = nullptr, *BigFileName = nullptr, *lblBigFileSize = nullptr, *BigFileSize = nullptr;
    QRadioButton *BigFileRB1 = nullptr, *BigFileRB2 = nullptr, *BigFileRB3 = nullptr, *BigFileRB4 = nullptr;
};

// The smaller files: their names, the base size choice with the recovery
// files, the list of piece sizes, and a new size for one piece.
class TSmallerFilesGroup : public QGroupBox {
public:
    TSmallerFilesGroup(QWidget* parent, TMain& main);
    void ApplyTexts();

    QLabel *lblSmallFileNames = nullptr, *SmallFileNames = nullptr, *BaseSizeHeadline = nullptr;
    QComboBox* CBBaseSize = nullptr;
    QRadioButton *rbSizeBase = nullptr, *rbSizeFree = nullptr;
    QPushButton* ApplyBaseSize = nullptr;
    QLabel *lblRecovery = nullptr, *lblRecoveryPlan = nullptr;  // recovery files: how many pieces may be lost
    QSpinBox* spnRecovery = nullptr;
    QLabel *lblNrFiles = nullptr, *SmallerSize = nullptr;
    QListWidget* SmallerSizesLB = nullptr;
    QLabel* lblNewSize = nullptr;
    QLineEdit* txtNewSize = nullptr;
    QLabel* ChangeItem = nullptr;
    QPushButton* ApplyNewSize = nullptr;

private:
    void Arrange(const QFontMetrics& metrics);
    void Connect(TMain& main);
};

// What the window reports of its work: the progress bar under the groups,
// and the status bar's panels: 0 hints and the piece in transfer, 1 what the
// program does.
struct TMainStatus {
    QProgressBar* PBar = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel *StatusPanel0 = nullptr, *StatusPanel1 = nullptr;

    // The progress bar in `content`; the status bar set on the window.
    void Build(QMainWindow* window, QWidget* content);
    void ApplyTexts();
    // Panel 0: a hint, or the path of the piece in transfer.
    void ShowHint(const QString& hint);
    void ShowPath(const QString& path);
};
