// Stopping a running split or join from the window: Escape, the tool bar
// and closing the window, each at a disk question or in the middle of a copy.
#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

#include "app/TransferRunner.h"
#include "tests/app/WorkflowFixture.h"

namespace {
// Whether a thread of this process carries the worker's name.
bool WorkerThreadAlive() {
    for (QDirIterator it(QStringLiteral("/proc/self/task"), QDir::Dirs | QDir::NoDotAndDotDot); it.hasNext();) {
        QFile comm(it.next() + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == kWorkerThreadName) return true;
    }
    return false;
}
}  // namespace

class StopWorkflow : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        Modal::Install(&seam);
        UsePiecesFolder();
        big = Path("Setup.exe");
        bigBytes = Pattern(3000000);
        ASSERT_TRUE(Write(big, bigBytes));
        // A question before each piece: a fixed point in the transfer to stop at.
        Main().SelectPauseMode(PauseMode::Always);
        for (int i = 0; i < 3; ++i) seam.SetNextAnswer(true);
    }
    void TearDown() override {
        Modal::Install(&modal);
        WorkflowFixture::TearDown();
    }
    // The fixture's, answered by this test's own seam.
    void ChooseToSplit(const QString& name) {
        seam.SetNextFileName(name);
        Main().ChooseSplitAFileClick();
    }
    // Every file left in the pieces' folder is a whole piece of the big file.
    void ExpectOnlyWholePieces() {
        for (const QString& file : QDir(Path("pieces")).entryList(QDir::Files | QDir::Hidden)) {
            const int n = file.startsWith("Setup.exe.Quorved_") ? file.section('_', -1).toInt() : 0;
            const QByteArray slice = bigBytes.mid(int(int64_t(n - 1) * 1457664), 1457664);
            EXPECT_TRUE(n > 0 && Read(Path("pieces/") + file) == slice) << file.toStdString();
        }
    }
    void ExpectStoppedAndUnlocked() {
        for (const auto& box : seam.Messages()) EXPECT_NE(box.text, "Stopped.");  // the status bar says it
        EXPECT_EQ(Status1(), "Stopped.");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        ExpectEnabled({"Stop", "StopBtn"}, false);
        ExpectEnabled({"Exit", "ExitBtn", "LanguageGerman", "JoinFiles", "ChooseSplitAFile", "MemoryUsage"}, true);
    }

    // Small blocks and a bigger file: the copy is still running when the test acts.
    void StartSlowSplit() {
        bigBytes = Pattern(40000000, 3);
        ASSERT_TRUE(Write(big, bigBytes));
        Main().SelectPauseMode(PauseMode::Never);
        seam.answers.clear();  // no disk questions: the next answer is the test's
        Parts().MaxRAM = 512;
        Main().show();
        ChooseToSplit(big);
        Main().DoSplitClick();
        ASSERT_TRUE(Main().TransferRunning());
    }

    QuestionWatchingModal seam;
    QString big;
    QByteArray bigBytes;
};

TEST_F(StopWorkflow, EscapeDuringASplitLeavesOnlyWholePiecesOrNone) {
    Main().show();
    Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    ChooseToSplit(big);
    const QString other = Path("Other.bin");
    ASSERT_TRUE(Write(other, Pattern(5000)));
    int asked = 0;
    seam.onQuestion = [&] {
        if (++asked != 2) return;
        // While it runs only Stop, About and How It Works can be used.
        ExpectEnabled({"Stop", "StopBtn", "About", "Hint", "HintBtn"}, true);
        ExpectEnabled({"DoSplit", "DoSplitBtn", "ChooseSplitAFile", "JoinFiles", "Exit", "ExitBtn", "ClearRegistry",
                       "LanguageGerman", "MemoryUsage", "ChooseFiletype", "ChangeNever", "CBBaseSize", "BigFileRB1",
                       "rbSizeFree", "txtNewSize"},
                      false);
        Main().OpenFromOutside(other);  // a drop changes nothing either
        EXPECT_EQ(Parts().BigFileName->text(), big);
        QTest::keyClick(&Main(), Qt::Key_Escape);
    };
    Main().DoSplitClick();
    Main().WaitForTransfer();

    EXPECT_EQ(asked, 2);
    ExpectStoppedAndUnlocked();
    ExpectOnlyWholePieces();
    EXPECT_EQ(Read(big), bigBytes);

    // The same split can be started again at once, as a stopped join can.
    ExpectEnabled({"DoSplit", "DoSplitBtn", "FindPlaceToSmallFiles"}, true);
    Main().SelectPauseMode(PauseMode::Never);
    QTest::mouseClick(Parts().DoSplitBtn, Qt::LeftButton);
    Main().WaitForTransfer();
    EXPECT_EQ(Status1(), "The file is splitted!");
    EXPECT_EQ(Read(Piece(prefix, 3)), bigBytes.mid(2 * 1457664));
}

TEST_F(StopWorkflow, StopDuringAJoinLeavesTheExistingTargetByteForByte) {
    ChooseToSplit(big);
    Main().SelectPauseMode(PauseMode::Never);
    Main().DoSplitClick();
    Main().WaitForTransfer();
    ASSERT_EQ(Status1(), "The file is splitted!");
    const QByteArray old = "an older file of the target's name";
    const QString target = Path("Restored.exe");
    ASSERT_TRUE(Write(target, old));

    Main().SelectPauseMode(PauseMode::Always);
    AnswerDiskCount(seam, 3);
    seam.SetNextFileName(Piece(prefix, 1));
    Main().JoinFilesClick();
    seam.SetNextFileName(target);
    Main().FindPlaceToBigFileClick();
    int asked = 0;
    seam.onQuestion = [&] {
        if (++asked == 3) QTest::mouseClick(Parts().StopBtn, Qt::LeftButton);
    };
    Main().DoJoinClick();
    Main().WaitForTransfer();

    ExpectStoppedAndUnlocked();
    EXPECT_EQ(Read(target), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"Restored.exe", "Setup.exe"}));
}

// Closing the window (Alt+F4, the title bar) while a split runs asks first;
// Yes stops it, waits for the worker and closes.
TEST_F(StopWorkflow, ClosingTheWindowMidCopyAsksThenStopsAndEndsTheWorker) {
    StartSlowSplit();
    seam.SetNextAnswer(true);

    EXPECT_TRUE(Main().close());

    EXPECT_FALSE(Main().TransferRunning());
    EXPECT_FALSE(WorkerThreadAlive());
    ASSERT_EQ(seam.Messages().size(), 1u);  // the question; the window goes: nothing else to report
    ExpectBox(seam.Messages()[0], "The File Quorvel",
              "A split or restore is still running. Stop it and close the window?\nNothing half-written is left "
              "behind.",
              ModalSeam::Icon::Question, ModalSeam::Buttons::YesNo);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ExpectOnlyWholePieces();
}

// No keeps the split going to its end, with the window open.
TEST_F(StopWorkflow, ClosingTheWindowMidCopyAnsweredNoKeepsTheSplitGoing) {
    StartSlowSplit();
    seam.SetNextAnswer(false);

    EXPECT_FALSE(Main().close());

    EXPECT_TRUE(Main().TransferRunning());
    EXPECT_TRUE(Main().isVisible());
    Main().WaitForTransfer();
    EXPECT_EQ(Status1(), "The file is splitted!");
    EXPECT_EQ(seam.Messages().size(), 1u);
    EXPECT_EQ(Read(Piece(prefix, 1)), bigBytes.left(1457664));
    EXPECT_EQ(Read(Piece(prefix, 28)), bigBytes.mid(27 * 1457664));
    EXPECT_TRUE(QFileInfo::exists(Path("pieces/Setup.exe.Quorved_sha256")));
}

// Alt pressed and let go (as on coming back to the window with Alt+Tab) gives
// the menu bar the keyboard; its Escape used to only leave that mode while
// the split went on.
TEST_F(StopWorkflow, EscapeStopsASplitWhileTheMenuBarHasTheKeyboard) {
    Main().show();
    Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    StartSlowSplit();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Alt);
    ASSERT_EQ(QApplication::focusWidget(), Main().menuBar());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    Main().WaitForTransfer();

    ExpectStoppedAndUnlocked();
    EXPECT_NE(QApplication::focusWidget(), Main().menuBar());  // and the menu bar let go of the keyboard
    ExpectOnlyWholePieces();
}
