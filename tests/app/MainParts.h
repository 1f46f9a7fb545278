// The window tests' view of TMain's private state and of the controls its
// parts own: references to the members they read or set (the group boxes and
// the tool bar, which are parts themselves, as pointers), taken afresh on
// each call of the fixture's Parts(), as Start() makes a new window.
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
    const TransferStatus& Progress = main_.transferStatus_;  // what the status bar's progress counts

    // The controls; the window's parts keep them, the tests only use them.
    QToolBar* const SpeedBar = main_.toolBar_;
    QToolButton* const& SplitAFileBtn = main_.toolBar_->SplitAFileBtn;
    QToolButton* const& FindPlaceToSmallFilesBtn = main_.toolBar_->FindPlaceToSmallFilesBtn;
    QToolButton* const& DoSplitBtn = main_.toolBar_->DoSplitBtn;
    QToolButton* const& FindPlaceToBigFileBtn = main_.toolBar_->FindPlaceToBigFileBtn;
    QToolButton* const& DoJoinBtn = main_.toolBar_->DoJoinBtn;
    QToolButton* const& StopBtn = main_.toolBar_->StopBtn;
    QToolButton* const& ExitBtn = main_.toolBar_->ExitBtn;
    QToolButton* const& HintBtn = main_.toolBar_->HintBtn;
    QToolButton* const& CheckSmallFilesBtn = main_.toolBar_->CheckSmallFilesBtn;
    QToolButton* const& RepairSmallFilesBtn = main_.toolBar_->RepairSmallFilesBtn;
    QGroupBox* const BigFileGB = main_.bigFile_;
    QLabel* const& lblBigFileName = main_.bigFile_->lblBigFileName;
    QLabel* const& BigFileName = main_.bigFile_->BigFileName;
    QLabel* const& BigFileSize = main_.bigFile_->BigFileSize;
    QRadioButton* const& BigFileRB1 = main_.bigFile_->BigFileRB1;
    QRadioButton* const& BigFileRB2 = main_.bigFile_->BigFileRB2;
    QRadioButton* const& BigFileRB3 = main_.bigFile_->BigFileRB3;
    QRadioButton* const& BigFileRB4 = main_.bigFile_->BigFileRB4;
    QGroupBox* const ActualSizeGB = main_.smallFiles_;
    QLabel* const& SmallFileNames = main_.smallFiles_->SmallFileNames;
    QComboBox* const& CBBaseSize = main_.smallFiles_->CBBaseSize;
    QRadioButton* const& rbSizeBase = main_.smallFiles_->rbSizeBase;
    QRadioButton* const& rbSizeFree = main_.smallFiles_->rbSizeFree;
    QPushButton* const& ApplyBaseSize = main_.smallFiles_->ApplyBaseSize;
    QLabel* const& lblRecoveryPlan = main_.smallFiles_->lblRecoveryPlan;
    QSpinBox* const& spnRecovery = main_.smallFiles_->spnRecovery;
    QLabel* const& lblNrFiles = main_.smallFiles_->lblNrFiles;
    QListWidget* const& SmallerSizesLB = main_.smallFiles_->SmallerSizesLB;
    QLineEdit* const& txtNewSize = main_.smallFiles_->txtNewSize;
    QLabel* const& ChangeItem = main_.smallFiles_->ChangeItem;
    QPushButton* const& ApplyNewSize = main_.smallFiles_->ApplyNewSize;
    QProgressBar* const& PBar = main_.status_.PBar;
    QLabel* const& StatusPanel0 = main_.status_.StatusPanel0;
    QLabel* const& StatusPanel1 = main_.status_.StatusPanel1;
    QMenu* const& File1 = main_.menus_.File1;
    QMenu* const& ChangeOfDisk = main_.menus_.ChangeOfDisk;
    QAction* const& ChooseSplitAFile = main_.menus_.ChooseSplitAFile;
    QAction* const& FindPlaceToSmallFiles = main_.menus_.FindPlaceToSmallFiles;
    QAction* const& DoSplit = main_.menus_.DoSplit;
    QAction* const& JoinFiles = main_.menus_.JoinFiles;
    QAction* const& FindPlaceToBigFile = main_.menus_.FindPlaceToBigFile;
    QAction* const& DoJoin = main_.menus_.DoJoin;
    QAction* const& CheckSmallFiles = main_.menus_.CheckSmallFiles;
    QAction* const& RepairSmallFiles = main_.menus_.RepairSmallFiles;
    QAction* const& ClearRegistry = main_.menus_.ClearRegistry;
    QAction* const& Exit = main_.menus_.Exit;
    QAction* const& ChangeAlways = main_.menus_.ChangeAlways;
    QAction* const& ChangeSometimes = main_.menus_.ChangeSometimes;
    QAction* const& ChangeNever = main_.menus_.ChangeNever;
    QAction* const& MemoryUsage = main_.menus_.MemoryUsage;
    QAction* const& ChooseFiletype = main_.menus_.ChooseFiletype;
    QAction* const& LanguageEnglish = main_.menus_.LanguageEnglish;
    QAction* const& LanguageSwedish = main_.menus_.LanguageSwedish;
    QAction* const& LanguageGerman = main_.menus_.LanguageGerman;
    QAction* const& About = main_.menus_.About;
    QAction* const& Hint = main_.menus_.Hint;
};
