// The window tests' view of TMain's private state and controls: references
// to the members they read or set, taken afresh on each call of the
// fixture's Parts(), as Start() makes a new window.
#pragma once

#include <vector>

#include "app/Main.h"

struct TMain::Parts {
    explicit Parts(TMain& main) : main_(main) {}

private:
    TMain& main_;  // first: the references below are taken from it

public:
    // The settings the window runs with.
    int32_t& MaxRAM = main_.MaxRAM;
    QString& AddedFileType = main_.AddedFileType;
    QString& SplitPath = main_.SplitPath;
    QString& JoinPath = main_.JoinPath;
    bool& UseFreeSpace = main_.UseFreeSpace;
    SizeUnit& BigUnit = main_.BigUnit;
    ::PauseMode& PauseMode = main_.PauseMode;
    int64_t& BigFileBytes = main_.BigFileBytes;
    int32_t& BaseSizeCount = main_.BaseSizeCount;
    int32_t& BaseSizeIndex = main_.BaseSizeIndex;
    std::vector<int64_t>& BaseSizeValues = main_.BaseSizeValues;

    // The controls; the window keeps them, the tests only use them.
    QToolBar* const& SpeedBar = main_.SpeedBar;
    QToolButton* const& SplitAFileBtn = main_.SplitAFileBtn;
    QToolButton* const& FindPlaceToSmallFilesBtn = main_.FindPlaceToSmallFilesBtn;
    QToolButton* const& DoSplitBtn = main_.DoSplitBtn;
    QToolButton* const& FindPlaceToBigFileBtn = main_.FindPlaceToBigFileBtn;
    QToolButton* const& DoJoinBtn = main_.DoJoinBtn;
    QToolButton* const& StopBtn = main_.StopBtn;
    QToolButton* const& ExitBtn = main_.ExitBtn;
    QToolButton* const& HintBtn = main_.HintBtn;
    QGroupBox* const& BigFileGB = main_.BigFileGB;
    QLabel* const& lblBigFileName = main_.lblBigFileName;
    QLabel* const& BigFileName = main_.BigFileName;
    QLabel* const& BigFileSize = main_.BigFileSize;
    QRadioButton* const& BigFileRB1 = main_.BigFileRB1;
    QRadioButton* const& BigFileRB2 = main_.BigFileRB2;
    QRadioButton* const& BigFileRB3 = main_.BigFileRB3;
    QRadioButton* const& BigFileRB4 = main_.BigFileRB4;
    QGroupBox* const& ActualSizeGB = main_.ActualSizeGB;
    QLabel* const& SmallFileNames = main_.SmallFileNames;
    QComboBox* const& CBBaseSize = main_.CBBaseSize;
    QRadioButton* const& rbSizeBase = main_.rbSizeBase;
    QRadioButton* const& rbSizeFree = main_.rbSizeFree;
    QPushButton* const& ApplyBaseSize = main_.ApplyBaseSize;
    QLabel* const& lblRecoveryPlan = main_.lblRecoveryPlan;
    QSpinBox* const& spnRecovery = main_.spnRecovery;
    QLabel* const& lblNrFiles = main_.lblNrFiles;
    QListWidget* const& SmallerSizesLB = main_.SmallerSizesLB;
    QLineEdit* const& txtNewSize = main_.txtNewSize;
    QLabel* const& ChangeItem = main_.ChangeItem;
    QPushButton* const& ApplyNewSize = main_.ApplyNewSize;
    QProgressBar* const& PBar = main_.PBar;
    QLabel* const& StatusPanel0 = main_.StatusPanel0;
    QLabel* const& StatusPanel1 = main_.StatusPanel1;
    QMenu* const& File1 = main_.File1;
    QMenu* const& ChangeOfDisk = main_.ChangeOfDisk;
    QAction* const& ChooseSplitAFile = main_.ChooseSplitAFile;
    QAction* const& FindPlaceToSmallFiles = main_.FindPlaceToSmallFiles;
    QAction* const& DoSplit = main_.DoSplit;
    QAction* const& JoinFiles = main_.JoinFiles;
    QAction* const& FindPlaceToBigFile = main_.FindPlaceToBigFile;
    QAction* const& DoJoin = main_.DoJoin;
    QAction* const& ClearRegistry = main_.ClearRegistry;
    QAction* const& Exit = main_.Exit;
    QAction* const& ChangeAlways = main_.ChangeAlways;
    QAction* const& ChangeSometimes = main_.ChangeSometimes;
    QAction* const& ChangeNever = main_.ChangeNever;
    QAction* const& MemoryUsage = main_.MemoryUsage;
    QAction* const& ChooseFiletype = main_.ChooseFiletype;
    QAction* const& LanguageEnglish = main_.LanguageEnglish;
    QAction* const& LanguageSwedish = main_.LanguageSwedish;
    QAction* const& LanguageGerman = main_.LanguageGerman;
    QAction* const& About = main_.About;
    QAction* const& Hint = main_.Hint;
};
