// The window's arrangement as the user meets it: the Tab key's way through
// the controls, the tool bar's buttons and the commands they run, and each
// control drawn inside its own group.
#include <QGroupBox>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "tests/app/MainWindowFixture.h"

using MainLayout = MainWindowFixture;

TEST_F(MainLayout, TabGoesThroughTheControlsTopToBottom) {
    // Every control of the window's own the Tab key can reach (not Qt's
    // inner ones), in the order it reaches them.
    QStringList order;
    for (QWidget* w = Main().nextInFocusChain(); w != &Main(); w = w->nextInFocusChain()) {
        const QString name = w->objectName();
        if ((w->focusPolicy() & Qt::TabFocus) && !name.isEmpty() && !name.startsWith("qt_")) order << name;
    }
    EXPECT_EQ(order, (QStringList{"BigFileRB1", "BigFileRB2", "BigFileRB3", "BigFileRB4", "CBBaseSize", "rbSizeBase",
                                  "rbSizeFree", "ApplyBaseSize", "spnRecovery", "SmallerSizesLB", "txtNewSize",
                                  "ApplyNewSize"}));
}

TEST_F(MainLayout, ToolButtonsRunTheMenuCommandsLeftToRight) {
    const std::pair<QToolButton*, QAction*> buttons[] = {
        {Parts().SplitAFileBtn, Parts().ChooseSplitAFile},
        {Parts().FindPlaceToSmallFilesBtn, Parts().FindPlaceToSmallFiles},
        {Parts().DoSplitBtn, Parts().DoSplit},
        {Find<QToolButton>("JoinFilesBtn"), Parts().JoinFiles},
        {Parts().FindPlaceToBigFileBtn, Parts().FindPlaceToBigFile},
        {Parts().DoJoinBtn, Parts().DoJoin},
        {Parts().CheckSmallFilesBtn, Parts().CheckSmallFiles},
        {Parts().RepairSmallFilesBtn, Parts().RepairSmallFiles},
        {Parts().StopBtn, Find<QAction>("Stop")},
        {Parts().ExitBtn, Parts().Exit},
        {Parts().HintBtn, Parts().Hint},
    };
    Main().show();
    int left = -1;
    for (const auto& [button, command] : buttons) {
        ASSERT_NE(button, nullptr);
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_EQ(button->parentWidget(), Parts().SpeedBar);
        EXPECT_EQ(button->defaultAction(), command);
        EXPECT_EQ(command->isIconVisibleInMenu(), command->objectName() == "Stop");
        // The command switches its button.
        command->setEnabled(!command->isEnabled());
        EXPECT_EQ(button->isEnabled(), command->isEnabled());
        EXPECT_GT(button->x(), left);
        left = button->x();
    }
    // Only Stop shows its icon in the File menu.
    for (QAction* item : Parts().File1->actions()) {
        const bool iconShown = !item->icon().isNull() && item->isIconVisibleInMenu();
        EXPECT_EQ(iconShown, item->objectName() == "Stop") << item->objectName().toStdString();
    }
}

TEST_F(MainLayout, EachControlIsDrawnInsideItsGroup) {
    const std::pair<const char*, QStringList> groups[] = {
        {"BigFileGB",
         {"lblBigFileName", "BigFileName", "lblBigFileSize", "BigFileSize", "BigFileRB1", "BigFileRB2", "BigFileRB3",
          "BigFileRB4"}},
        {"ActualSizeGB",
         {"lblSmallFileNames", "SmallFileNames", "BaseSizeHeadline", "CBBaseSize", "rbSizeBase", "rbSizeFree",
          "ApplyBaseSize", "lblRecovery", "spnRecovery", "lblRecoveryPlan", "lblNrFiles", "SmallerSize",
          "SmallerSizesLB", "lblNewSize", "txtNewSize", "ChangeItem", "ApplyNewSize"}},
        {"StatusBar", {"StatusPanel0", "StatusPanel1"}},
    };
    Main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    for (const auto& [groupName, names] : groups) {
        QWidget* group = Find(groupName);
        ASSERT_NE(group, nullptr);
        for (const QString& name : names) {
            QWidget* control = Find(name);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->parentWidget(), group) << name.toStdString();
            EXPECT_TRUE(group->rect().contains(control->geometry())) << name.toStdString();
        }
    }
    // The two groups and the progress bar stand one below the other.
    const QWidget* column[] = {Parts().BigFileGB, Parts().ActualSizeGB, Parts().PBar};
    for (int i = 1; i < 3; ++i) EXPECT_LE(column[i - 1]->geometry().bottom(), column[i]->geometry().top());
    EXPECT_EQ(Main().statusBar()->objectName(), "StatusBar");
}

// At its smallest, in the language with the longest captions, the window
// still shows every tool button: none hides behind the tool bar's extension arrow.
TEST_F(MainLayout, TheToolBarIsWholeAtTheSmallestWindow) {
    for (const ::Language language : {::Language::English, ::Language::German}) {
        Main().ChooseLanguage(language);
        Main().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
        Main().resize(1, 1);  // as small as the window lets itself be
        QTest::qWait(20);
        const QWidget* last = Parts().HintBtn;
        ASSERT_TRUE(last->isVisible()) << int(language);
        EXPECT_LE(last->geometry().right(), Parts().SpeedBar->contentsRect().right()) << int(language);
        EXPECT_GE(Main().width(), Parts().SpeedBar->sizeHint().width()) << int(language);
    }
}
