// The main window's commands: the menus and the tool bar that shows some of them.
#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include "app/Main.h"
#include "app/MainWindowParts.h"
#include "app/PartWidgets.h"
#include "texts/ExtraTexts.h"
#include "texts/QtHints.h"
#include "texts/QtText.h"

namespace {

// Captions of controls the catalogue does not name.
const char* const kOpensWindow = "...";

// A menu of choices: exactly one item checked, by Qt's rule for exclusive
// groups; each item holds the stored value of its choice.
QActionGroup* Choices(QObject* owner, std::initializer_list<std::pair<QAction*, int>> items) {
    auto* group = new QActionGroup(owner);
    for (const auto& [item, value] : items) {
        item->setCheckable(true);
        item->setData(value);
        group->addAction(item);
    }
    return group;
}

void CheckChoice(const QActionGroup* choices, int value) {
    for (QAction* item : choices->actions())
        if (item->data().toInt() == value) item->setChecked(true);
}

}  // namespace

void TMainMenus::Build(QMenuBar* bar, TMain& main) {
    auto item = [](QMenu* menu, const char* name) { return Named(menu->addAction(QString()), name); };
    File1 = Named(bar->addMenu(QString()), "File1");
    ChooseSplitAFile = item(File1, "ChooseSplitAFile");
    FindPlaceToSmallFiles = item(File1, "FindPlaceToSmallFiles");
    DoSplit = item(File1, "DoSplit");
    N2 = Named(File1->addSeparator(), "N2");
    JoinFiles = item(File1, "JoinFiles");
    FindPlaceToBigFile = item(File1, "FindPlaceToBigFile");
    DoJoin = item(File1, "DoJoin");
    N4 = Named(File1->addSeparator(), "N4");
    CheckSmallFiles = item(File1, "CheckSmallFiles");
    RepairSmallFiles = item(File1, "RepairSmallFiles");
    N3 = Named(File1->addSeparator(), "N3");
    Stop = item(File1, "Stop");
    N1 = Named(File1->addSeparator(), "N1");
    ClearRegistry = item(File1, "ClearRegistry");
    Exit = item(File1, "Exit");
    ChangeOfDisk = Named(bar->addMenu(QString()), "ChangeOfDisk");
    ChangeAlways = item(ChangeOfDisk, "ChangeAlways");
    ChangeSometimes = item(ChangeOfDisk, "ChangeSometimes");
    ChangeNever = item(ChangeOfDisk, "ChangeNever");
    Memory1 = Named(bar->addMenu(QString()), "Memory1");
    MemoryUsage = item(Memory1, "MemoryUsage");
    Filetype = Named(bar->addMenu(QString()), "Filetype");
    ChooseFiletype = item(Filetype, "ChooseFiletype");
    Language1 = Named(bar->addMenu(QString()), "Language1");
    LanguageEnglish = item(Language1, "LanguageEnglish");
    LanguageSwedish = item(Language1, "LanguageSwedish");
    LanguageGerman = item(Language1, "LanguageGerman");
    Help1 = Named(bar->addMenu(QString()), "Help1");
    About = item(Help1, "About");
    Hint = item(Help1, "Hint");

    const std::pair<QAction*, QKeySequence> shortcuts[] = {
        {ChooseSplitAFile, Qt::CTRL | Qt::Key_A},
        {FindPlaceToSmallFiles, Qt::CTRL | Qt::Key_B},
        {DoSplit, Qt::CTRL | Qt::Key_S},
        {JoinFiles, Qt::CTRL | Qt::Key_D},
        {FindPlaceToBigFile, Qt::CTRL | Qt::Key_E},
        {DoJoin, Qt::CTRL | Qt::Key_J},
        {CheckSmallFiles, Qt::CTRL | Qt::Key_K},
        {RepairSmallFiles, Qt::CTRL | Qt::Key_R},
        {Exit, Qt::CTRL | Qt::Key_Q},
        {Stop, Qt::Key_Escape},
    };
    for (const auto& [command, keys] : shortcuts) command->setShortcut(keys);
    Stop->setEnabled(false);  // only while a split or join runs
    Connect(main);
}

void TMainMenus::Connect(TMain& main) {
    pauseChoices_ = Choices(&main, {{ChangeAlways, int(PauseMode::Always)},
                                    {ChangeSometimes, int(PauseMode::Sometimes)},
                                    {ChangeNever, int(PauseMode::Never)}});
    languageChoices_ = Choices(&main, {{LanguageEnglish, int(Language::English)},
                                       {LanguageSwedish, int(Language::Swedish)},
                                       {LanguageGerman, int(Language::German)}});
    QObject::connect(pauseChoices_, &QActionGroup::triggered, &main, [&main](QAction* choice) {
        main.SelectPauseMode(static_cast<::PauseMode>(choice->data().toInt()));
    });
    QObject::connect(languageChoices_, &QActionGroup::triggered, &main,
                     [&main](QAction* choice) { main.ChooseLanguage(static_cast<Language>(choice->data().toInt())); });

    const std::pair<QAction*, void (TMain::*)()> handlers[] = {
        {ChooseSplitAFile, &TMain::ChooseSplitAFileClick},
        {FindPlaceToSmallFiles, &TMain::FindPlaceToSmallFilesClick},
        {DoSplit, &TMain::DoSplitClick},
        {JoinFiles, &TMain::JoinFilesClick},
        {FindPlaceToBigFile, &TMain::FindPlaceToBigFileClick},
        {DoJoin, &TMain::DoJoinClick},
        {CheckSmallFiles, &TMain::CheckSmallFilesClick},
        {RepairSmallFiles, &TMain::RepairSmallFilesClick},
        {Stop, &TMain::StopClick},
        {ClearRegistry, &TMain::ClearRegistryClick},
        {Exit, &TMain::ExitClick},
        {MemoryUsage, &TMain::MemoryUsageClick},
        {ChooseFiletype, &TMain::ChooseFiletypeClick},
        {About, &TMain::AboutClick},
        {Hint, &TMain::HintClick},
    };
    for (const auto& [command, handler] : handlers) QObject::connect(command, &QAction::triggered, &main, handler);
}

void TMainMenus::ApplyTexts() {
    using Texts::Text;
    // The commands: the caption, and the hint that the menu item and its tool
    // button share; a command that opens a window says so.
    struct Command {
        QAction* action;
        Entry caption, hint;
        bool opensWindow = false;
    };
    const Command commands[] = {
        {ChooseSplitAFile, Entry::SelectFileToSplit, Entry::SelectFileToSplitHint},
        {FindPlaceToSmallFiles, Entry::FindPlaceForPieces, Entry::FindPlaceForPiecesHint},
        {DoSplit, Entry::SplitTheFile, Entry::SplitTheFileHint},
        {JoinFiles, Entry::SelectFileToRestore, Entry::SelectFileToRestoreHint},
        {FindPlaceToBigFile, Entry::FindPlaceForBigFile, Entry::FindPlaceForBigFileHint},
        {DoJoin, Entry::RestoreTheFile, Entry::RestoreTheFileHint},
        {ClearRegistry, Entry::ExitAndReset, Entry::ExitAndResetHint},
        {Exit, Entry::Exit, Entry::ExitHint},
        {ChangeAlways, Entry::PauseAlways, Entry::PauseHint},
        {ChangeSometimes, Entry::PauseSometimes, Entry::PauseHint},
        {ChangeNever, Entry::PauseNever, Entry::PauseHint},
        {MemoryUsage, Entry::MemoryUsage, Entry::MemoryUsageHint, true},
        {ChooseFiletype, Entry::ChangeEnding, Entry::ChangeEndingHint, true},
        {LanguageEnglish, Entry::English, Entry::LanguageHint},
        {LanguageSwedish, Entry::Swedish, Entry::LanguageHint},
        {LanguageGerman, Entry::German, Entry::LanguageHint},
    };
    for (const Command& c : commands) {
        c.action->setText(Text(c.caption) + (c.opensWindow ? QLatin1String(kOpensWindow) : QLatin1String()));
        ApplyHint(c.action, Text(c.hint));
    }
    // How It Works: its tool button shows the caption, with the short hint as the tooltip.
    Hint->setText(Text(Entry::HowItWorks) + QLatin1String(kOpensWindow));
    Hint->setIconText(FromStd(StripAccessKey(CatalogueText(Entry::HowItWorks))));
    ApplyHint(Hint, Text(Entry::HowItWorksShortHint) + QLatin1Char('|') + Text(Entry::HowItWorksHint));
    // The commands that came after the catalogue.
    Stop->setText(FromStd(ExtraText(Extra::StopCommand)));
    ApplyHint(Stop, FromStd(ExtraText(Extra::StopHint)));
    About->setText(FromStd(ExtraText(Extra::AboutMenuItem)));
    CheckSmallFiles->setText(FromStd(ExtraText(Extra::CheckCommand)));
    ApplyHint(CheckSmallFiles, FromStd(ExtraText(Extra::CheckHint)));
    RepairSmallFiles->setText(FromStd(ExtraText(Extra::RepairCommand)));
    ApplyHint(RepairSmallFiles, FromStd(ExtraText(Extra::RepairHint)));

    const std::pair<QMenu*, Entry> menus[] = {
        {File1, Entry::FileMenu},      {ChangeOfDisk, Entry::PauseMenu}, {Memory1, Entry::MemoryMenu},
        {Filetype, Entry::EndingMenu}, {Language1, Entry::LanguageMenu}, {Help1, Entry::HelpMenu},
    };
    for (const auto& [menu, title] : menus) menu->setTitle(Text(title));
}

void TMainMenus::CheckPauseMode(::PauseMode mode) { CheckChoice(pauseChoices_, int(mode)); }

void TMainMenus::CheckLanguage(Language language) { CheckChoice(languageChoices_, int(language)); }

std::vector<QMenu*> TMainMenus::LockedInTransfer() const { return {File1, ChangeOfDisk, Memory1, Filetype, Language1}; }

// ---- the tool bar: the menus' split group, join group, check and repair, Stop, Exit, the wide help button

TMainToolBar::TMainToolBar(const TMainMenus& menus, QMainWindow* window) : QToolBar(window) {
    setObjectName(QStringLiteral("SpeedBar"));
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setIconSize(QSize(16, 16));
    // On the window before the buttons come: taking a tool bar, the window
    // hands it its icon size and button style.
    window->addToolBar(Qt::TopToolBarArea, this);
    SplitAFileBtn = AddCommand(menus.ChooseSplitAFile, ToolIcon::SelectBigFile, "SplitAFileBtn");
    FindPlaceToSmallFilesBtn =
        AddCommand(menus.FindPlaceToSmallFiles, ToolIcon::PlaceForPieces, "FindPlaceToSmallFilesBtn");
    DoSplitBtn = AddCommand(menus.DoSplit, ToolIcon::Split, "DoSplitBtn");
    AddGap();
    JoinFilesBtn = AddCommand(menus.JoinFiles, ToolIcon::SelectPieces, "JoinFilesBtn");
    FindPlaceToBigFileBtn = AddCommand(menus.FindPlaceToBigFile, ToolIcon::PlaceForBigFile, "FindPlaceToBigFileBtn");
    DoJoinBtn = AddCommand(menus.DoJoin, ToolIcon::Join, "DoJoinBtn");
    AddGap();
    CheckSmallFilesBtn = AddCommand(menus.CheckSmallFiles, ToolIcon::CheckPieces, "CheckSmallFilesBtn");
    RepairSmallFilesBtn = AddCommand(menus.RepairSmallFiles, ToolIcon::RepairPieces, "RepairSmallFilesBtn");
    AddGap();
    StopBtn = AddCommand(menus.Stop, ToolIcon::Stop, "StopBtn");
    menus.Stop->setIconVisibleInMenu(true);  // the one command the File menu shows with its icon
    AddGap();
    ExitBtn = AddCommand(menus.Exit, ToolIcon::Exit, "ExitBtn");
    AddGap();
    HintBtn = AddCommand(menus.Hint, ToolIcon::Help, "HintBtn");
    HintBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    HintBtn->setMinimumWidth(149 * logicalDpiX() / 120);
}

QToolButton* TMainToolBar::AddCommand(QAction* command, ToolIcon icon, const char* buttonName) {
    commands_.push_back({command, icon});
    command->setIcon(MakeToolIcon(icon, palette()));
    command->setIconVisibleInMenu(false);  // the menus show no icons
    addAction(command);
    auto* button = Named(qobject_cast<QToolButton*>(widgetForAction(command)), buttonName);
    button->setMinimumSize(26, 26);
    return button;
}

void TMainToolBar::AddGap() {
    auto* space = new QWidget(this);
    space->setFixedWidth(10);
    addWidget(space);
}

void TMainToolBar::changeEvent(QEvent* e) {
    if (e->type() == QEvent::PaletteChange)
        for (const Command& c : commands_) c.action->setIcon(MakeToolIcon(c.icon, palette()));
    QToolBar::changeEvent(e);
}
