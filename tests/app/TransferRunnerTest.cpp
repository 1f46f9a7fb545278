// The transfer on the worker thread, without a window: the engine's view
// calls, the disk question, and the status text the window shows meanwhile.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/TransferRunner.h"
#include "app/TransferStatus.h"
#include "engine/PieceNaming.h"
#include "tests/support/ScriptedModal.h"
#include "tests/support/TestSupport.h"
#include "texts/TextCatalogue.h"

namespace {

// Notes every call and the thread it came on; answers every question Yes.
class RecordingView : public TransferView {
public:
    void ClearPieceList() override { Note("Clear"); }
    void SetProgressRange(int32_t min, int32_t max) override {
        Note("Range " + std::to_string(min) + " " + std::to_string(max));
    }
    void SetProgress(int32_t position) override { Note("Progress " + std::to_string(position)); }
    void ShowCurrentPiece(const std::string& name) override { Note("Show " + name); }
    void AddPieceSize(const std::string& text) override { Note("Add " + text); }
    void SelectPiece(int32_t index) override { Note("Select " + std::to_string(index)); }
    void RepaintPieceList() override { Note("RepaintList"); }
    void RepaintMainWindow() override { Note("RepaintMain"); }
    bool AskYesNo(const std::string& text, const std::string&, Icon) override {
        Note("Ask " + text);
        if (onQuestion) onQuestion();
        return true;
    }

    std::vector<std::string> calls;
    bool onCreatingThread = true;
    std::function<void()> onQuestion;

private:
    void Note(std::string call) {
        calls.push_back(std::move(call));
        if (std::this_thread::get_id() != thread_) onCreatingThread = false;
    }
    std::thread::id thread_ = std::this_thread::get_id();
};

class TransferRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        big = dir.filePath("Setup.exe").toStdString();
        QFile file(QString::fromStdString(big));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(QByteArray(3000000, 'q')), 3000000);
        file.close();
        engine.SetBigFilePath(big);
        engine.SetPiecePrefix(big);
        engine.SetPieces(3, {0, 1457664, 1457664, 84672});
    }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    // A split that asks for a disk before each piece, on the worker.
    TransferOutcome::What SplitOnTheWorker(RecordingView& view) {
        TTransferRunner runner(engine, view);
        TransferOutcome::What code = TransferOutcome::What::CannotReadBigFile;
        QObject::connect(&runner, &TTransferRunner::Finished, [&](const TransferOutcome& c) { code = c.what; });
        EXPECT_TRUE(
            runner.Start([](TPieceEngine& e) { return e.Split(100000, kDefaultMarker, PauseMode::Always, false); }));
        runner.Wait();
        return code;
    }

    QTemporaryDir dir;
    std::string big;
    TPieceEngine engine{[](int n) { return CatalogueText(n); }};
};

}  // namespace

TEST_F(TransferRunnerTest, WorkerReportsTheSameCallsInTheSameOrderOnTheWindowThread) {
    RecordingView direct;
    engine.SetView(&direct);
    ASSERT_EQ(engine.Split(100000, kDefaultMarker, PauseMode::Always, false).what, TransferOutcome::What::Done);

    RecordingView worked;
    EXPECT_EQ(SplitOnTheWorker(worked), TransferOutcome::What::Done);
    EXPECT_EQ(worked.calls, direct.calls);
    EXPECT_TRUE(worked.onCreatingThread);
    EXPECT_EQ(std::count_if(worked.calls.begin(), worked.calls.end(),
                            [](const std::string& call) { return call.rfind("Ask ", 0) == 0; }),
              3);
}

TEST_F(TransferRunnerTest, DiskQuestionHoldsOnlyTheWorker) {
    RecordingView view;
    int asked = 0;
    view.onQuestion = [&] {
        if (++asked != 2) return;
        const size_t callsBefore = view.calls.size();
        const QStringList filesBefore = Files();
        bool ticked = false;
        QTimer::singleShot(0, [&] { ticked = true; });
        QTest::qWait(100);
        EXPECT_TRUE(ticked);                        // the window's thread goes on
        EXPECT_EQ(view.calls.size(), callsBefore);  // the worker waits for the answer
        EXPECT_EQ(Files(), filesBefore);
    };
    EXPECT_EQ(SplitOnTheWorker(view), TransferOutcome::What::Done);
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(PieceName(big, kDefaultMarker, 3))));
}

// What escapes a transfer on the worker thread ends it as a failure with
// its reason and a box naming it, never the process; the runner is free
// for the next transfer.
TEST_F(TransferRunnerTest, AJobThatThrowsEndsAsAFailureWithItsReason) {
    ScriptedModal modal;
    Modal::Install(&modal);
    struct Case {
        std::function<TransferOutcome(TPieceEngine&)> job;
        int error;
    } const cases[] = {
        {[](TPieceEngine&) -> TransferOutcome { throw std::bad_alloc(); }, ENOMEM},
        {[](TPieceEngine&) -> TransferOutcome { throw std::system_error(EAGAIN, std::generic_category()); }, EAGAIN},
        {[](TPieceEngine&) -> TransferOutcome { throw 7; }, 0},
    };
    RecordingView view;
    TTransferRunner runner(engine, view);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        modal.shown.clear();
        TransferOutcome ended;
        ended.what = TransferOutcome::What::Done;
        int finished = 0;
        const auto connection = QObject::connect(&runner, &TTransferRunner::Finished, [&](const TransferOutcome& o) {
            ended = o;
            ++finished;
        });
        ASSERT_TRUE(runner.Start(c.job));
        runner.Wait();
        QObject::disconnect(connection);
        EXPECT_EQ(finished, 1);
        EXPECT_EQ(ended.what, TransferOutcome::What::WorkFailed);
        EXPECT_EQ(ended.error, c.error);
        EXPECT_EQ(modal.Messages().size(), 1u);
    }
    Modal::Install(nullptr);
}

TEST(TransferStatusText, TellsWhatIsKnown) {
    TransferStatus split{370, 1073741824, 5, 737, 2.0};
    EXPECT_EQ(TransferStatusText(split, Language::English, "."),
              "37% · 0.37 of 1.00 GB · 189 MB/s · 0:04 left · file 5 of 737");
    EXPECT_EQ(TransferStatusText(split, Language::German, ","),
              "37 % · 0,37 von 1,00 GB · 189 MB/s · noch 0:04 · Teil 5 von 737");
    // Too early for a speed; a join that measures each piece as it comes
    // knows no total, a free-space split no count.
    EXPECT_EQ(TransferStatusText({10, 3000000, 1, 3, 0.2}, Language::Swedish, ","),
              "1 % · 0,03 av 2,86 MB · fil 1 av 3");
    EXPECT_EQ(TransferStatusText({450, 0, 3, 0, 5.0}, Language::English, "."), "45% · file 3");
    EXPECT_EQ(TransferStatusText({250, 7200000, 0, 0, 1800.0}, Language::English, "."),
              "25% · 1.72 of 6.87 MB · 1000 B/s · 1:30:00 left");
}
