// Hints: short part as tooltip on the controls that show tooltips, long part
// in status panel 0 while the pointer rests on a control or a menu item is
// highlighted.
#include <QCursor>
#include <QEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolButton>

#include "tests/app/MainWindowFixture.h"
#include "texts/QtHints.h"

TEST(Hints, ShortAndLongParts) {
    struct Case {
        const char *hint, *shortPart, *longPart;
    };
    for (const Case& c :
         {Case{"Exit|Exit from the program", "Exit", "Exit from the program"},
          Case{"|Shows how much of the work that is done", "", "Shows how much of the work that is done"},
          Case{"Decide how much memory that may be used", "Decide how much memory that may be used",
               "Decide how much memory that may be used"},
          Case{"a|b|", "a", "b|"}, Case{"", "", ""}}) {
        EXPECT_EQ(ShortHint(c.hint), c.shortPart) << c.hint;
        EXPECT_EQ(LongHint(c.hint), c.longPart) << c.hint;
    }
}

class MainHints : public MainWindowFixture {
protected:
    void Hover(QWidget* w) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
        QCoreApplication::sendEvent(w, &enter);
    }
};

TEST_F(MainHints, ToolButtonsAndProgressBar) {
    EXPECT_EQ(Parts().SplitAFileBtn->toolTip(), "Select a file to be splitted");
    EXPECT_EQ(Parts().ExitBtn->toolTip(), "Exit");
    EXPECT_EQ(Parts().FindPlaceToSmallFilesBtn->toolTip(), "Find a place for the smaller files");
    EXPECT_EQ(Parts().HintBtn->toolTip(), "Explains the program");
    EXPECT_EQ(Parts().PBar->toolTip(), "");  // the hint starts with "|"

    Hover(Parts().SplitAFileBtn);
    EXPECT_EQ(Parts().StatusPanel0->text(), "Select a file that will be splitted into smaller files");
    Hover(Parts().ExitBtn);
    EXPECT_EQ(Parts().StatusPanel0->text(), "Exit from the program");
    Hover(Parts().PBar);
    EXPECT_EQ(Parts().StatusPanel0->text(), "Shows how much of the work that is done");
    Hover(Parts().HintBtn);
    EXPECT_EQ(Parts().StatusPanel0->text(), "Explains how the program works and is used");
}

TEST_F(MainHints, LongHintIsShownWholeWhereTheWindowHasRoom) {
    const int designed = 345 * Main().logicalDpiX() / 120;
    Main().show();
    Main().resize(1000, Main().height());
    Hover(Parts().SplitAFileBtn);
    QCoreApplication::processEvents();
    EXPECT_GE(Parts().StatusPanel0->width(), Parts().StatusPanel0->sizeHint().width());
    EXPECT_GT(Parts().StatusPanel0->width(), designed);
    Main().ShowHintInStatusBar("");
    QCoreApplication::processEvents();
    EXPECT_EQ(Parts().StatusPanel0->width(), designed);
}

TEST_F(MainHints, OnlyTheChosenControlsShowTooltips) {
    const QStringList withTips = {"SplitAFileBtn",
                                  "FindPlaceToSmallFilesBtn",
                                  "DoSplitBtn",
                                  "JoinFilesBtn",
                                  "FindPlaceToBigFileBtn",
                                  "DoJoinBtn",
                                  "CheckSmallFilesBtn",
                                  "RepairSmallFilesBtn",
                                  "StopBtn",
                                  "ExitBtn",
                                  "HintBtn",
                                  "SmallerSizesLB",
                                  "CBBaseSize",
                                  "txtNewSize",
                                  "ApplyBaseSize",
                                  "ApplyNewSize",
                                  "spnRecovery"};
    for (const QString& name : withTips) EXPECT_FALSE(Find(name)->toolTip().isEmpty()) << name.toStdString();
    for (QWidget* w : Main().findChildren<QWidget*>()) {
        if (withTips.contains(w->objectName())) continue;
        EXPECT_EQ(w->toolTip(), "") << w->objectName().toStdString() << " " << w->metaObject()->className();
    }
}

TEST_F(MainHints, GroupBoxHintShowsOverItsChildrenWithoutOwnHint) {
    EXPECT_EQ(Parts().BigFileGB->toolTip(), "");
    EXPECT_EQ(Parts().BigFileGB->statusTip(), "Click on a circular button to change unit of size");

    Main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    QCursor::setPos(Parts().lblBigFileName->mapToGlobal(Parts().lblBigFileName->rect().center()));
    QStatusTipEvent left{QString()};  // what leaving a control with a hint sends
    QCoreApplication::sendEvent(&Main(), &left);
    EXPECT_EQ(Parts().StatusPanel0->text(), "Click on a circular button to change unit of size");

    // Over a control without any hint around it, panel 0 is emptied.
    QCursor::setPos(Parts().StatusPanel1->mapToGlobal(Parts().StatusPanel1->rect().center()));
    QCoreApplication::sendEvent(&Main(), &left);
    EXPECT_EQ(Parts().StatusPanel0->text(), "");
}

TEST_F(MainHints, HighlightedMenuItemShowsItsLongHint) {
    Parts().ChooseSplitAFile->showStatusText(Main().menuBar());
    EXPECT_EQ(Parts().StatusPanel0->text(), "Select a file that will be splitted into smaller files");
    Parts().ClearRegistry->showStatusText(Main().menuBar());
    EXPECT_EQ(Parts().StatusPanel0->text(), "Forgets entered paths, base sizes, positions and so on...");
}
