// Control groups, busy and done states, result reports and the view the
// engine draws on.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTemporaryDir>
#include <cerrno>
#include <climits>
#include <map>

#include "tests/app/MainWindowFixture.h"

namespace {

// Every control that some group switches.
const QStringList kSwitched = {"DoSplit",
                               "DoSplitBtn",
                               "SmallerSizesLB",
                               "FindPlaceToSmallFiles",
                               "FindPlaceToSmallFilesBtn",
                               "DoJoin",
                               "DoJoinBtn",
                               "CBBaseSize",
                               "rbSizeBase",
                               "rbSizeFree",
                               "ApplyBaseSize",
                               "FindPlaceToBigFile",
                               "FindPlaceToBigFileBtn",
                               "ApplyNewSize",
                               "txtNewSize",
                               "ChangeItem"};

}  // namespace

class MainState : public MainWindowFixture {
protected:
    std::map<QString, bool> Snapshot() {
        std::map<QString, bool> states;
        for (const QString& name : kSwitched) states[name] = IsEnabled(name);
        return states;
    }
    void SetAll(bool enabled) {
        for (const QString& name : kSwitched) {
            if (auto* w = Main().findChild<QWidget*>(name)) w->setEnabled(enabled);
            if (auto* a = Main().findChild<QAction*>(name)) a->setEnabled(enabled);
        }
    }
};

TEST_F(MainState, EachGroupSwitchesExactlyItsControls) {
    struct Group {
        ControlGroup group;
        QStringList follow;   // enabled as the call says
        QStringList inverse;  // enabled as the call does not say
    };
    const Group groups[] = {
        {ControlGroup::SplitCommand, {"DoSplit", "DoSplitBtn", "SmallerSizesLB"}, {}},
        {ControlGroup::PlaceForPieces, {"FindPlaceToSmallFiles", "FindPlaceToSmallFilesBtn"}, {}},
        {ControlGroup::JoinCommand,
         {"DoJoin", "DoJoinBtn"},
         {"CBBaseSize", "rbSizeBase", "rbSizeFree", "ApplyBaseSize"}},
        {ControlGroup::PlaceForBigFile, {"FindPlaceToBigFile", "FindPlaceToBigFileBtn"}, {}},
        {ControlGroup::BaseSizeChoice, {"CBBaseSize"}, {}},
        {ControlGroup::NewSizeEditing, {"ApplyNewSize", "txtNewSize", "ChangeItem"}, {}},
        {ControlGroup::SizeList, {"SmallerSizesLB"}, {}},
    };
    for (const Group& g : groups) {
        for (bool enabled : {true, false}) {
            SCOPED_TRACE(testing::Message() << "group " << static_cast<int>(g.group) << (enabled ? " on" : " off"));
            SetAll(!enabled);
            auto before = Snapshot();
            Main().SetControlState(g.group, enabled);
            auto after = Snapshot();
            for (const QString& name : kSwitched) {
                bool expected = g.follow.contains(name) ? enabled : g.inverse.contains(name) ? !enabled : before[name];
                EXPECT_EQ(after[name], expected) << name.toStdString();
            }
        }
    }
}

TEST_F(MainState, JoinDoneInFreeSpaceModeLeavesBaseSizeListOff) {
    Parts().UseFreeSpace = true;
    Main().SetControlState(ControlGroup::JoinCommand, true);
    Main().SetControlState(ControlGroup::JoinCommand, false);
    ExpectEnabled({"rbSizeBase", "rbSizeFree", "ApplyBaseSize"}, true);
    EXPECT_FALSE(IsEnabled("CBBaseSize"));
}

TEST_F(MainState, GroupsOutsideZeroToSixChangeNothing) {
    for (int group : {7, -1, INT_MIN, INT_MAX}) {
        for (bool enabled : {true, false}) {
            SetAll(!enabled);
            auto before = Snapshot();
            Main().SetControlState(static_cast<ControlGroup>(group), enabled);
            EXPECT_EQ(Snapshot(), before) << group;
        }
    }
}

TEST_F(MainState, ReportTransferResultForEveryKindOfOutcome) {
    using What = TransferOutcome::What;
    struct Case {
        What what;
        int32_t piece;
        const char* message;  // nullptr: no message box
        const char* panel1;
    };
    const Case cases[] = {
        {What::Done, 0, nullptr, "The file is splitted!"},
        {What::SizesDiffer, 0, "The sizes of the files differ. The disk may be full.", "Abnormal termination!"},
        {What::CannotReadBigFile, 0, "Could not read the big file.", "Abnormal termination!"},
        {What::CannotCreateBigFile, 0, "Possible invalid path! Could not recreate the big file.",
         "Abnormal termination!"},
        {What::DisksNotEntered, 0, "Not all diskettes were entered.", "Abnormal termination!"},
        {What::CannotCreatePiece, 3, "Possible invalid path! Could not create smaller file number 3",
         "Abnormal termination!"},
        // An outcome the engine never gives still ends as a failure, without a crash.
        {static_cast<What>(99), 0, "", "Abnormal termination!"},
    };
    engine.SetPieceCount(4);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.what));
        modal.shown.clear();
        Main().ShowWorking("Splits the file...");
        TransferOutcome outcome;
        outcome.what = c.what;
        outcome.split = true;
        outcome.piece = c.piece;
        Main().ReportTransferResult(outcome);
        auto messages = modal.Messages();
        if (c.message) {
            ASSERT_EQ(messages.size(), 1u);
            ExpectBox(messages[0], "Abnormal termination!", c.message, ModalSeam::Icon::Stop, ModalSeam::Buttons::Ok);
        } else {
            EXPECT_TRUE(messages.empty());
        }
        EXPECT_EQ(Parts().StatusPanel1->text(), c.panel1);
        EXPECT_EQ(Parts().StatusPanel0->text(), "");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 4");
        EXPECT_EQ(Parts().ActualSizeGB->statusTip(), "The * in the names is an integer from 1 to 4");
        EXPECT_EQ(Parts().ActualSizeGB->toolTip(), "");
    }
}

TEST_F(MainState, TheSystemsReasonFollowsTheMessageInTheUsersLanguage) {
    Parts().LanguageGerman->trigger();
    TransferOutcome full;
    full.what = TransferOutcome::What::SizesDiffer;
    full.error = ENOSPC;
    Main().ReportTransferResult(full);
    ASSERT_EQ(modal.Messages().size(), 1u);
    EXPECT_TRUE(modal.Messages()[0].text.endsWith("\nDer Datenträger ist voll."))
        << modal.Messages()[0].text.toStdString();

    // A stop is news, not a failure: the status bar says it, no box waits for a click.
    modal.shown.clear();
    TransferOutcome stopped;
    stopped.what = TransferOutcome::What::Stopped;
    Main().ReportTransferResult(stopped);
    EXPECT_TRUE(modal.Messages().empty());
    EXPECT_EQ(Parts().StatusPanel1->text(), "Abgebrochen.");
}

TEST_F(MainState, MissingFileIsReportedAndTheHourglassGoes) {
    Main().ShowWorking("Counting files...");
    Main().ReportMissingFile("/data/Setup.exe.Quorved_2");
    auto messages = modal.Messages();
    ASSERT_EQ(messages.size(), 1u);
    ExpectBox(messages[0], "Abnormal termination!", "File is missing: /data/Setup.exe.Quorved_2",
              ModalSeam::Icon::Stop);
    EXPECT_EQ(Parts().StatusPanel1->text(), "Abnormal termination!");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainState, BusyAndDoneRestoreOnlyTheirOwnCursor) {
    QApplication::setOverrideCursor(Qt::CrossCursor);  // someone else's
    Main().ShowDone("x");                              // nothing of ours to restore
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);

    Main().ShowWorking("Working...");
    Main().ShowWorking("Splits the file...");  // a second busy step sets no second hourglass
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(Parts().StatusPanel1->text(), "Splits the file...");
    Main().ShowHintInStatusBar("a hint");
    Main().ShowDone("The file is splitted!");
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    EXPECT_EQ(Parts().StatusPanel0->text(), "");
    EXPECT_EQ(Parts().StatusPanel1->text(), "The file is splitted!");
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainState, ClosingTheWindowWhileBusyLeavesNoHourglass) {
    Main().ShowWorking("Working...");
    windows = TWindows{};
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainState, ClearSizeListAndEditingTheNewSize) {
    for (const char* size : {"1457664", "1457664", "300"}) Main().AddPieceSize(size);
    Parts().ChangeItem->setText("File Number 2");
    Parts().txtNewSize->setText("1000");  // any change offers the new size for applying
    ExpectEnabled({"ApplyNewSize", "txtNewSize", "ChangeItem"}, true);

    Main().ClearSizeList();
    EXPECT_EQ(Parts().SmallerSizesLB->count(), 0);
    EXPECT_EQ(Parts().ChangeItem->text(), "File Number ");
    EXPECT_EQ(Parts().txtNewSize->text(), "");
    ExpectEnabled({"ApplyNewSize", "txtNewSize", "ChangeItem"}, false);
}

TEST_F(MainState, CurrentFolderIsNativeWithoutTrailingSeparator) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(TMain::CurrentFolder(), QDir::toNativeSeparators(QDir(dir.path()).canonicalPath()));
    EXPECT_FALSE(TMain::CurrentFolder().endsWith(QDir::separator()));
    ASSERT_TRUE(QDir::setCurrent(QDir::rootPath()));
    EXPECT_EQ(TMain::CurrentFolder(), QDir::toNativeSeparators(QDir::rootPath()));
}

TEST_F(MainState, TransferViewDrawsOnTheControls) {
    TransferView& view = Main();
    view.SetProgressRange(0, 1000);
    view.SetProgress(500);
    EXPECT_EQ(Parts().PBar->maximum(), 1000);
    EXPECT_EQ(Parts().PBar->value(), 500);

    view.AddPieceSize("1457664");
    view.AddPieceSize("?");
    view.SelectPiece(1);
    EXPECT_EQ(Parts().SmallerSizesLB->currentRow(), 1);
    // The engine's marking offers no piece for editing.
    EXPECT_EQ(Parts().ChangeItem->text(), QStringLiteral("File Number "));
    EXPECT_FALSE(IsEnabled("ApplyNewSize"));
    EXPECT_EQ(Parts().SmallerSizesLB->item(1)->text(), "?");
    view.SelectPiece(-1);
    EXPECT_EQ(Parts().SmallerSizesLB->currentRow(), -1);
    view.ClearPieceList();
    EXPECT_EQ(Parts().SmallerSizesLB->count(), 0);

    view.ShowCurrentPiece("/data/Setup.exe.Quorved_3");
    EXPECT_EQ(Parts().StatusPanel0->text(), "/data/Setup.exe.Quorved_3");
}

TEST_F(MainState, EngineQuestionsGoThroughTheSeamAsYesNoBoxes) {
    TransferView& view = Main();
    modal.SetNextAnswer(true);
    EXPECT_TRUE(view.AskYesNo("Ready for diskette/file number 2", "Change diskette", TransferView::Icon::Question));
    EXPECT_FALSE(view.AskYesNo("No available space on this diskette! 3", "Change diskette",
                               TransferView::Icon::Exclamation));  // nothing queued: No
    auto messages = modal.Messages();
    ASSERT_EQ(messages.size(), 2u);
    ExpectBox(messages[0], "Change diskette", "Ready for diskette/file number 2", ModalSeam::Icon::Question,
              ModalSeam::Buttons::YesNo);
    EXPECT_EQ(messages[1].icon, ModalSeam::Icon::Exclamation);
}
