// The main window's controls, menus and texts.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Main.h"
#include "app/ToolIcons.h"
#include "settings/SettingsStore.h"
#include "texts/ExtraTexts.h"
#include "texts/QtHints.h"
#include "texts/QtText.h"
#include "texts/TextCatalogue.h"

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

std::string ToStd(const QString& text) { return text.toStdString(); }

namespace {

// Captions of controls the catalogue does not name.
const char* const kOpensWindow = "...";

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A label whose text a long path or hint may outgrow: it never forces the
// window wider and shows what does not fit as an ellipsis. One that asks for
// its text's width takes it where the layout has room.
class TElidingLabel : public QLabel {
public:
    explicit TElidingLabel(QWidget* parent, bool asksForTextWidth = false)
        : QLabel(parent), asksForTextWidth_(asksForTextWidth) {}
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
    QSize sizeHint() const override {
        return asksForTextWidth_ ? QLabel::sizeHint() : QSize(0, QLabel::sizeHint().height());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawFrame(&painter);
        QRect area = contentsRect().adjusted(margin() + 2, margin(), -margin() - 2, -margin());
        QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
    }

private:
    bool asksForTextWidth_;
};

// A push button that keeps room between its caption and its frame. The
// style's own size leaves a longer caption (German) touching the frame, where
// it reads as cut off; the layout gives the button no more than that size.
class TCaptionButton : public QPushButton {
public:
    explicit TCaptionButton(QWidget* parent) : QPushButton(parent) {}
    QSize sizeHint() const override {
        QSize size = QPushButton::sizeHint();
        size.rwidth() += 2 * fontMetrics().averageCharWidth();
        return size;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

// A tool bar of the menus' own commands whose drawn icons follow its
// palette, so they stay legible when the desktop switches to a dark one.
class PaletteToolBar : public QToolBar {
public:
    explicit PaletteToolBar(QWidget* parent) : QToolBar(parent) {}

    // A button for the command, named for the tests and the style sheets.
    QToolButton* AddCommand(QAction* command, ToolIcon icon, const char* buttonName) {
        commands_.push_back({command, icon});
        command->setIcon(MakeToolIcon(icon, palette()));
        command->setIconVisibleInMenu(false);  // the menus show no icons
        addAction(command);
        auto* button = Named(qobject_cast<QToolButton*>(widgetForAction(command)), buttonName);
        button->setMinimumSize(26, 26);
        return button;
    }

protected:
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::PaletteChange)
            for (const Command& c : commands_) c.action->setIcon(MakeToolIcon(c.icon, palette()));
        QToolBar::changeEvent(e);
    }

private:
    struct Command {
        QAction* action;
        ToolIcon icon;
    };
    std::vector<Command> commands_;
};

}  // namespace

void TMain::BuildLayout() {
    const int dpi = logicalDpiX();

    // ---- menus
    QMenuBar* bar = menuBar();
    File1 = Named(bar->addMenu(QString()), "File1");
    ChooseSplitAFile = Named(File1->addAction(QString()), "ChooseSplitAFile");
    FindPlaceToSmallFiles = Named(File1->addAction(QString()), "FindPlaceToSmallFiles");
    DoSplit = Named(File1->addAction(QString()), "DoSplit");
    N2 = Named(File1->addSeparator(), "N2");
    JoinFiles = Named(File1->addAction(QString()), "JoinFiles");
    FindPlaceToBigFile = Named(File1->addAction(QString()), "FindPlaceToBigFile");
    DoJoin = Named(File1->addAction(QString()), "DoJoin");
    N3 = Named(File1->addSeparator(), "N3");
    Stop = Named(File1->addAction(QString()), "Stop");
    N1 = Named(File1->addSeparator(), "N1");
    ClearRegistry = Named(File1->addAction(QString()), "ClearRegistry");
    Exit = Named(File1->addAction(QString()), "Exit");
    ChangeOfDisk = Named(bar->addMenu(QString()), "ChangeOfDisk");
    ChangeAlways = Named(ChangeOfDisk->addAction(QString()), "ChangeAlways");
    ChangeSometimes = Named(ChangeOfDisk->addAction(QString()), "ChangeSometimes");
    ChangeNever = Named(ChangeOfDisk->addAction(QString()), "ChangeNever");
    Memory1 = Named(bar->addMenu(QString()), "Memory1");
    MemoryUsage = Named(Memory1->addAction(QString()), "MemoryUsage");
    Filetype = Named(bar->addMenu(QString()), "Filetype");
    ChooseFiletype = Named(Filetype->addAction(QString()), "ChooseFiletype");
    Language1 = Named(bar->addMenu(QString()), "Language1");
    LanguageEnglish = Named(Language1->addAction(QString()), "LanguageEnglish");
    LanguageSwedish = Named(Language1->addAction(QString()), "LanguageSwedish");
    LanguageGerman = Named(Language1->addAction(QString()), "LanguageGerman");
    Help1 = Named(bar->addMenu(QString()), "Help1");
    About = Named(Help1->addAction(QString()), "About");
    Hint = Named(Help1->addAction(QString()), "Hint");

    ChooseSplitAFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    FindPlaceToSmallFiles->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    DoSplit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    JoinFiles->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    FindPlaceToBigFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    DoJoin->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    Exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Stop->setShortcut(QKeySequence(Qt::Key_Escape));
    Stop->setEnabled(false);  // only while a split or join runs
    // Menus of choices: exactly one item checked, by Qt's rule for exclusive
    // groups; each item holds the stored value of its choice.
    auto choices = [this](std::initializer_list<std::pair<QAction*, int>> items) {
        auto* group = new QActionGroup(this);
        for (const auto& [item, value] : items) {
            item->setCheckable(true);
            item->setData(value);
            group->addAction(item);
        }
        return group;
    };
    pauseChoices_ = choices({{ChangeAlways, int(PauseMode::Always)},
                             {ChangeSometimes, int(PauseMode::Sometimes)},
                             {ChangeNever, int(PauseMode::Never)}});
    languageChoices_ = choices({{LanguageEnglish, int(Language::English)},
                                {LanguageSwedish, int(Language::Swedish)},
                                {LanguageGerman, int(Language::German)}});
    connect(pauseChoices_, &QActionGroup::triggered, this,
            [this](QAction* item) { SelectPauseMode(static_cast<::PauseMode>(item->data().toInt())); });
    connect(languageChoices_, &QActionGroup::triggered, this,
            [this](QAction* item) { ChooseLanguage(static_cast<Language>(item->data().toInt())); });

    connect(ChooseSplitAFile, &QAction::triggered, this, &TMain::ChooseSplitAFileClick);
    connect(FindPlaceToSmallFiles, &QAction::triggered, this, &TMain::FindPlaceToSmallFilesClick);
    connect(DoSplit, &QAction::triggered, this, &TMain::DoSplitClick);
    connect(JoinFiles, &QAction::triggered, this, &TMain::JoinFilesClick);
    connect(FindPlaceToBigFile, &QAction::triggered, this, &TMain::FindPlaceToBigFileClick);
    connect(DoJoin, &QAction::triggered, this, &TMain::DoJoinClick);
    connect(Stop, &QAction::triggered, this, &TMain::StopClick);
    connect(ClearRegistry, &QAction::triggered, this, &TMain::ClearRegistryClick);
    connect(Exit, &QAction::triggered, this, &TMain::ExitClick);
    connect(MemoryUsage, &QAction::triggered, this, &TMain::MemoryUsageClick);
    connect(ChooseFiletype, &QAction::triggered, this, &TMain::ChooseFiletypeClick);
    connect(About, &QAction::triggered, this, &TMain::AboutClick);
    connect(Hint, &QAction::triggered, this, &TMain::HintClick);

    // ---- tool bar: the menus' split group, join group, Stop, Exit, the wide help button
    auto* tools = Named(new PaletteToolBar(this), "SpeedBar");
    SpeedBar = tools;
    SpeedBar->setMovable(false);
    SpeedBar->setFloatable(false);
    SpeedBar->setContextMenuPolicy(Qt::PreventContextMenu);
    SpeedBar->setIconSize(QSize(16, 16));
    addToolBar(Qt::TopToolBarArea, SpeedBar);
    auto gap = [this] {
        auto* space = new QWidget(SpeedBar);
        space->setFixedWidth(10);
        SpeedBar->addWidget(space);
    };
    SplitAFileBtn = tools->AddCommand(ChooseSplitAFile, ToolIcon::SelectBigFile, "SplitAFileBtn");
    FindPlaceToSmallFilesBtn =
        tools->AddCommand(FindPlaceToSmallFiles, ToolIcon::PlaceForPieces, "FindPlaceToSmallFilesBtn");
    DoSplitBtn = tools->AddCommand(DoSplit, ToolIcon::Split, "DoSplitBtn");
    gap();
    JoinFilesBtn = tools->AddCommand(JoinFiles, ToolIcon::SelectPieces, "JoinFilesBtn");
    FindPlaceToBigFileBtn = tools->AddCommand(FindPlaceToBigFile, ToolIcon::PlaceForBigFile, "FindPlaceToBigFileBtn");
    DoJoinBtn = tools->AddCommand(DoJoin, ToolIcon::Join, "DoJoinBtn");
    gap();
    StopBtn = tools->AddCommand(Stop, ToolIcon::Stop, "StopBtn");
    Stop->setIconVisibleInMenu(true);  // the one command the File menu shows with its icon
    gap();
    ExitBtn = tools->AddCommand(Exit, ToolIcon::Exit, "ExitBtn");
    gap();
    HintBtn = tools->AddCommand(Hint, ToolIcon::Help, "HintBtn");
    HintBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    HintBtn->setMinimumWidth(149 * dpi / 120);

    // ---- the big file
    auto* content = new QWidget(this);
    BigFileGB = Named(new QGroupBox(content), "BigFileGB");
    lblBigFileName = Named(new QLabel(BigFileGB), "lblBigFileName");
    BigFileName = Named(new TElidingLabel(BigFileGB), "BigFileName");
    lblBigFileSize = Named(new QLabel(BigFileGB), "lblBigFileSize");
    BigFileSize = Named(new QLabel(BigFileGB), "BigFileSize");
    BigFileRB1 = Named(new QRadioButton(QStringLiteral("B"), BigFileGB), "BigFileRB1");
    BigFileRB2 = Named(new QRadioButton(QStringLiteral("kB"), BigFileGB), "BigFileRB2");
    BigFileRB3 = Named(new QRadioButton(QStringLiteral("MB"), BigFileGB), "BigFileRB3");
    BigFileRB4 = Named(new QRadioButton(QStringLiteral("GB"), BigFileGB), "BigFileRB4");
    BigFileSize->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000.000 ")));
    auto* units = new QHBoxLayout;
    for (QRadioButton* rb : {BigFileRB1, BigFileRB2, BigFileRB3, BigFileRB4}) units->addWidget(rb);
    units->addStretch(1);
    auto* bigGrid = new QGridLayout(BigFileGB);
    bigGrid->addWidget(lblBigFileName, 0, 0);
    bigGrid->addWidget(BigFileName, 0, 1, 1, 2);
    bigGrid->addWidget(lblBigFileSize, 1, 0);
    bigGrid->addWidget(BigFileSize, 1, 1);
    bigGrid->addLayout(units, 1, 2);
    bigGrid->setColumnStretch(2, 1);
    // Checking a unit runs its handler, whether the user or the start-up checks it.
    auto onChecked = [this](QRadioButton* rb, void (TMain::*handler)()) {
        connect(rb, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on) (this->*handler)();
        });
    };
    onChecked(BigFileRB1, &TMain::BigFileRB1Click);
    onChecked(BigFileRB2, &TMain::BigFileRB2Click);
    onChecked(BigFileRB3, &TMain::BigFileRB3Click);
    onChecked(BigFileRB4, &TMain::BigFileRB4Click);

    // ---- the smaller files: base size choice | size list | new size
    ActualSizeGB = Named(new QGroupBox(content), "ActualSizeGB");
    lblSmallFileNames = Named(new QLabel(ActualSizeGB), "lblSmallFileNames");
    SmallFileNames = Named(new TElidingLabel(ActualSizeGB), "SmallFileNames");
    BaseSizeHeadline = Named(new QLabel(ActualSizeGB), "BaseSizeHeadline");
    CBBaseSize = Named(new QComboBox(ActualSizeGB), "CBBaseSize");
    CBBaseSize->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CBBaseSize->setMinimumContentsLength(22);
    rbSizeBase = Named(new QRadioButton(ActualSizeGB), "rbSizeBase");
    rbSizeFree = Named(new QRadioButton(ActualSizeGB), "rbSizeFree");
    ApplyBaseSize = Named(new TCaptionButton(ActualSizeGB), "ApplyBaseSize");
    lblRecovery = Named(new QLabel(ActualSizeGB), "lblRecovery");
    spnRecovery = Named(new QSpinBox(ActualSizeGB), "spnRecovery");
    spnRecovery->setRange(Settings::RecoveryPieces.min, Settings::RecoveryPieces.max);
    lblRecovery->setBuddy(spnRecovery);
    lblRecoveryPlan = Named(new QLabel(ActualSizeGB), "lblRecoveryPlan");
    lblRecoveryPlan->setWordWrap(true);
    lblNrFiles = Named(new QLabel(ActualSizeGB), "lblNrFiles");
    lblNrFiles->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SmallerSize = Named(new QLabel(ActualSizeGB), "SmallerSize");
    SmallerSizesLB = Named(new QListWidget(ActualSizeGB), "SmallerSizesLB");
    SmallerSizesLB->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("99999999999999")) + 24);
    SmallerSizesLB->setMinimumHeight(fontMetrics().height() * 8);
    // One line of digits per row: the list measures one row instead of every
    // row each time it lays out (with rows added during a transfer, each time
    // it draws).
    SmallerSizesLB->setUniformItemSizes(true);
    lblNewSize = Named(new QLabel(ActualSizeGB), "lblNewSize");
    txtNewSize = Named(new QLineEdit(ActualSizeGB), "txtNewSize");
    ChangeItem = Named(new QLabel(ActualSizeGB), "ChangeItem");
    ApplyNewSize = Named(new TCaptionButton(ActualSizeGB), "ApplyNewSize");

    auto* baseColumn = new QVBoxLayout;
    baseColumn->addWidget(BaseSizeHeadline);
    baseColumn->addWidget(CBBaseSize);
    baseColumn->addWidget(rbSizeBase);
    baseColumn->addWidget(rbSizeFree);
    baseColumn->addWidget(ApplyBaseSize, 0, Qt::AlignLeft);
    auto* recoveryRow = new QHBoxLayout;
    recoveryRow->addWidget(lblRecovery);
    recoveryRow->addWidget(spnRecovery);
    recoveryRow->addStretch(1);
    baseColumn->addLayout(recoveryRow);
    baseColumn->addWidget(lblRecoveryPlan);
    baseColumn->addStretch(1);
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(SmallerSize);
    listColumn->addWidget(SmallerSizesLB);
    auto* newSizeColumn = new QVBoxLayout;
    newSizeColumn->addWidget(lblNrFiles);
    newSizeColumn->addSpacing(fontMetrics().height() / 2);
    newSizeColumn->addWidget(lblNewSize);
    newSizeColumn->addWidget(txtNewSize);
    newSizeColumn->addWidget(ChangeItem);
    newSizeColumn->addWidget(ApplyNewSize);
    newSizeColumn->addStretch(1);
    auto* smallGrid = new QGridLayout(ActualSizeGB);
    smallGrid->addWidget(lblSmallFileNames, 0, 0);
    smallGrid->addWidget(SmallFileNames, 0, 1, 1, 3);
    smallGrid->addLayout(baseColumn, 1, 0, 1, 2);
    smallGrid->addLayout(listColumn, 1, 2);
    smallGrid->addLayout(newSizeColumn, 1, 3);
    // The piece list takes the room a larger window gives.
    smallGrid->setColumnStretch(2, 1);
    smallGrid->setRowStretch(1, 1);
    smallGrid->setHorizontalSpacing(12);

    // Nothing to edit until a file is planned.
    for (QWidget* w : std::initializer_list<QWidget*>{SmallerSizesLB, txtNewSize, ChangeItem, ApplyNewSize})
        w->setEnabled(false);

    onChecked(rbSizeBase, &TMain::rbSizeBaseClick);
    onChecked(rbSizeFree, &TMain::rbSizeFreeClick);
    connect(ApplyBaseSize, &QPushButton::clicked, this, &TMain::ApplyBaseSizeClick);
    connect(spnRecovery, qOverload<int>(&QSpinBox::valueChanged), this, &TMain::spnRecoveryChange);
    connect(ApplyNewSize, &QPushButton::clicked, this, &TMain::ApplyNewSizeClick);
    connect(CBBaseSize, qOverload<int>(&QComboBox::activated), this, &TMain::CBBaseSizeChange);
    // A row chosen with the keys is offered as a clicked one, so the piece
    // shown for editing is always the one a new size is applied to. (A click
    // on the row already selected changes no selection: both signals.)
    connect(SmallerSizesLB, &QListWidget::itemClicked, this, &TMain::SmallerSizesLBClick);
    connect(SmallerSizesLB, &QListWidget::itemSelectionChanged, this, &TMain::SmallerSizesLBClick);
    // Any change of the text, typed or set, offers the new size for applying.
    connect(txtNewSize, &QLineEdit::textChanged, this, &TMain::txtNewSizeChange);

    PBar = Named(new QProgressBar(content), "PBar");
    PBar->setRange(0, 100);
    PBar->setValue(0);
    PBar->setTextVisible(false);

    // A larger window widens both groups and gives the smaller files' group,
    // with its piece list, the extra height.
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(BigFileGB);
    column->addWidget(ActualSizeGB, 1);
    column->addWidget(PBar);
    auto* central = new QWidget(this);
    auto* anchor = new QGridLayout(central);
    anchor->setContentsMargins(6, 6, 6, 6);
    anchor->addWidget(content, 0, 0);
    setCentralWidget(central);

    // ---- status bar: panel 0 hints and welcome, panel 1 what the program does
    StatusBar = Named(new QStatusBar(this), "StatusBar");
    // Panel 0 keeps its designed width (set at start) and widens while a long
    // hint shows, so hints are read whole when the window has room.
    StatusPanel0 = Named(new TElidingLabel(StatusBar, true), "StatusPanel0");
    StatusPanel1 = Named(new TElidingLabel(StatusBar), "StatusPanel1");
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar->addWidget(StatusPanel0);
    StatusBar->addWidget(StatusPanel1, 1);
    setStatusBar(StatusBar);

    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);  // a dropped file is taken as a chosen one
}

void TMain::ApplyTexts() {
    using Texts::Text;
    // The menus' commands: the caption, and the hint that the menu item and
    // its tool button share; a command that opens a window says so.
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

    const std::pair<QMenu*, Entry> menus[] = {
        {File1, Entry::FileMenu},      {ChangeOfDisk, Entry::PauseMenu}, {Memory1, Entry::MemoryMenu},
        {Filetype, Entry::EndingMenu}, {Language1, Entry::LanguageMenu}, {Help1, Entry::HelpMenu},
    };
    for (const auto& [menu, title] : menus) menu->setTitle(Text(title));

    // The controls' captions and hints; the big file's group shows its hint
    // only in the status bar.
    BigFileGB->setTitle(Text(Entry::TheBigFile));
    ApplyHint(BigFileGB, Text(Entry::UnitHint), false);
    ActualSizeGB->setTitle(Text(Entry::TheSmallerFiles));
    // Labels and buttons alike take their caption as their "text" property.
    const std::pair<QWidget*, Entry> captions[] = {
        {lblBigFileName, Entry::BigFileNameLabel},
        {lblBigFileSize, Entry::BigFileSizeLabel},
        {lblSmallFileNames, Entry::SmallFileNamesLabel},
        {BaseSizeHeadline, Entry::BaseSizeHeadline},
        {rbSizeBase, Entry::UseBaseSize},
        {rbSizeFree, Entry::UseFreeSpace},
        {ApplyBaseSize, Entry::ModifyBaseSizes},
        {SmallerSize, Entry::IndividualSizes},
        {lblNewSize, Entry::NewSize},
        {ChangeItem, Entry::FileNumber},
        {ApplyNewSize, Entry::ApplyNewSize},
    };
    for (const auto& [control, caption] : captions) control->setProperty("text", Text(caption));
    const std::pair<QWidget*, Entry> hints[] = {
        {ApplyBaseSize, Entry::ModifyBaseSizesHint}, {CBBaseSize, Entry::BaseSizeChoiceHint},
        {SmallerSizesLB, Entry::SizeListHint},       {txtNewSize, Entry::NewSizeHint},
        {ApplyNewSize, Entry::ApplyNewSizeHint},     {PBar, Entry::ProgressHint},
    };
    for (const auto& [control, hint] : hints) ApplyHint(control, Text(hint));
    lblRecovery->setText(FromStd(ExtraText(Extra::RecoveryLabel)));
    ApplyHint(spnRecovery, FromStd(ExtraText(Extra::RecoveryHint)));
    ShowRecoveryPlan();
    lblNrFiles->clear();
}

void TMain::CheckChoice(const QActionGroup* choices, int value) {
    for (QAction* item : choices->actions())
        if (item->data().toInt() == value) item->setChecked(true);
}

bool TMain::event(QEvent* e) {
    if (e->type() == QEvent::StatusTip) {
        QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        // Leaving a control sends an empty tip; over a child without a hint of
        // its own, the hint of the group box around it shows.
        if (tip.isEmpty()) {
            for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w && w != this && isAncestorOf(w);
                 w = w->parentWidget()) {
                if (!w->statusTip().isEmpty()) {
                    tip = w->statusTip();
                    break;
                }
            }
        }
        ShowHintInStatusBar(tip);
        return true;
    }
    return QMainWindow::event(e);
}
