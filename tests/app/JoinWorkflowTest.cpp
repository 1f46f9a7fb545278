// The join workflow from the main window: choosing the pieces by any one of
// them, the place of the big file, and the join itself, on real files.
#include <sys/stat.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <map>
#include <numeric>

#include "dialogs/DiskDialog.h"
#include "settings/SettingsStore.h"
#include "tests/app/WorkflowFixture.h"

namespace {
const QList<int64_t> kFiveSizes = {1000, 2000, 0, 3000, 500};
}  // namespace

class JoinWorkflow : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        UsePiecesAndBigFolders();
        target = Path("big/Setup.exe");
    }

    // Writes pieces 1..n of the given sizes, slices of one pattern; returns
    // the bytes they join into.
    QByteArray MakeSet(const QList<int64_t>& sizes) {
        const QByteArray whole = Pattern(std::accumulate(sizes.begin(), sizes.end(), int64_t(0)));
        int64_t offset = 0;
        for (int n = 1; n <= sizes.size(); ++n) {
            EXPECT_TRUE(Write(Piece(prefix, n), whole.mid(int(offset), int(sizes[n - 1]))));
            offset += sizes[n - 1];
        }
        return whole;
    }
    bool DiskDialogShown() const {
        for (const auto& s : modal.shown)
            if (s.kind == ScriptedModal::Shown::Kind::Dialog && s.dialog == windows.Others().frmDisk) return true;
        return false;
    }

    QString target;
};

TEST_F(JoinWorkflow, PickingAMiddlePieceListsTheWholeSet) {
    Main().SetControlState(ControlGroup::SplitCommand, true);  // split commands of an earlier file
    Main().SetControlState(ControlGroup::PlaceForPieces, true);
    MakeSet(kFiveSizes);
    ChoosePiece(Piece(prefix, 3));

    const auto& open = modal.shown.front();
    EXPECT_EQ(open.title, "Select the first smaller file in a series");
    EXPECT_EQ(open.filter, "Splitted Files (*.Quorved_1)|*.Quorved_1|Checksum and recovery files|*.Quorved_sha256;*.par2");
    EXPECT_EQ(open.folder, Path("pieces"));
    EXPECT_TRUE(open.exactNames);
    EXPECT_FALSE(DiskDialogShown());

    EXPECT_EQ(Sizes(), QStringList({"1000", "2000", "0", "3000", "500"}));
    EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 5");
    EXPECT_EQ(Parts().ActualSizeGB->statusTip(), "The * in the names is an integer from 1 to 5");
    EXPECT_EQ(Parts().SmallFileNames->text(), prefix + ".Quorved_*");
    EXPECT_EQ(Parts().BigFileName->text(), target);
    EXPECT_EQ(engine.BigFilePath(), target.toStdString());
    EXPECT_EQ(Parts().BigFileBytes, 6500);
    EXPECT_EQ(engine.CurrentPieceName(), Piece(prefix, 6).toStdString());
    EXPECT_EQ(StoredPath("JoinPath"), Path("pieces"));
    EXPECT_EQ(Status1(), "Ready to restore the file!");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ExpectEnabled({"DoSplit", "DoSplitBtn", "SmallerSizesLB", "FindPlaceToSmallFiles", "CBBaseSize", "rbSizeBase",
                   "rbSizeFree", "ApplyBaseSize"},
                  false);
    ExpectEnabled({"DoJoin", "DoJoinBtn", "FindPlaceToBigFile", "FindPlaceToBigFileBtn"}, true);
}

TEST_F(JoinWorkflow, SplitFileJoinedBackFromTheMiddlePieceIsTheSameFile) {
    const QString original = Path("Setup.exe");
    const QByteArray bytes = Pattern(3000000, 5);
    ASSERT_TRUE(Write(original, bytes));
    ChooseToSplit(original);
    Main().DoSplitClick();
    Main().WaitForTransfer();
    ASSERT_EQ(Status1(), "The file is splitted!");

    ChoosePiece(Piece(prefix, 2));
    EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 3");
    // The big file goes where the last file to split came from: choose a new name.
    modal.SetNextFileName(Path("big/Restored.exe"));
    QTest::mouseClick(Parts().FindPlaceToBigFileBtn, Qt::LeftButton);
    QTest::mouseClick(Parts().DoJoinBtn, Qt::LeftButton);
    Main().WaitForTransfer();

    EXPECT_TRUE(modal.Messages().empty());
    EXPECT_EQ(Status1(), "The file is restored and checked!");
    EXPECT_EQ(Read(Path("big/Restored.exe")), bytes);
    EXPECT_EQ(Parts().BigFileSize->text(), "2.861");
    EXPECT_EQ(Parts().BigFileBytes, 3000000);
    ExpectEnabled({"DoJoin", "DoJoinBtn", "FindPlaceToBigFile", "FindPlaceToBigFileBtn", "DoSplit"}, false);
    ExpectEnabled({"CBBaseSize", "rbSizeBase", "rbSizeFree", "ApplyBaseSize"}, true);
}

TEST_F(JoinWorkflow, GapOrUnreadablePieceRefusesTheJoin) {
    MakeSet({100, 200, 300, 400});
    QFile::remove(Piece(prefix, 3));
    ChoosePiece(Piece(prefix, 4));
    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "Abnormal termination!", "File is missing: " + Piece(prefix, 3),
              ModalSeam::Icon::Stop);
    ExpectEnabled({"DoJoin", "DoJoinBtn"}, false);

#ifndef _WIN32  // Linux only: FIFOs
    // Piece 3 there, but a FIFO: counted as unreadable, not as the set's end.
    modal.shown.clear();
    ASSERT_EQ(mkfifo(Piece(prefix, 3).toUtf8().constData(), 0600), 0);
    ChoosePiece(Piece(prefix, 1));
    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "Abnormal termination!", "Could not read smaller file number: 3",
              ModalSeam::Icon::Stop);
    ExpectEnabled({"DoJoin", "DoJoinBtn"}, false);
    EXPECT_FALSE(QFileInfo::exists(target));
#endif
}

TEST_F(JoinWorkflow, PauseRuleDecidesBetweenCountingAndAskingForTheDiskCount) {
    MakeSet({10, 20, 30});
    struct Case {
        int32_t mode;
        bool asks;
    };
    // On this system no absolute path starts with A or B: Sometimes counts.
    // A mode outside 0..2 behaves as Sometimes.
    for (const Case c : {Case{1, false}, Case{0, true}, Case{2, false}, Case{7, false}}) {
        SCOPED_TRACE(testing::Message() << "pause mode " << c.mode);
        modal.shown.clear();
        Parts().PauseMode = static_cast<PauseMode>(c.mode);
        AnswerDiskCount(modal, 4);
        ChoosePiece(Piece(prefix, 1));
        EXPECT_EQ(DiskDialogShown(), c.asks);
        EXPECT_EQ(Sizes(), c.asks ? QStringList({"?", "?", "?", "?"}) : QStringList({"10", "20", "30"}));
        EXPECT_EQ(Parts().lblNrFiles->text(), c.asks ? "Nr. of files: 4" : "Nr. of files: 3");
        EXPECT_EQ(Parts().BigFileBytes, c.asks ? 0 : 60);
        // Asked sizes are measured during the join: none left from the set counted before.
        EXPECT_EQ(engine.PieceSizes(), c.asks ? std::vector<int64_t>(5, 0) : std::vector<int64_t>({0, 10, 20, 30}));
        EXPECT_EQ(Status1(), "Ready to restore the file!");
        modal.dialogActions.clear();
    }
}

TEST_F(JoinWorkflow, PausingJoinAsksBeforeEachPieceWithTheListEnabled) {
    const QByteArray whole = MakeSet({10, 20, 30});
    QuestionWatchingModal seam;
    Modal::Install(&seam);
    std::vector<bool> listEnabled;
    seam.onQuestion = [&] { listEnabled.push_back(Parts().SmallerSizesLB->isEnabled()); };
    Main().SelectPauseMode(PauseMode::Always);
    AnswerDiskCount(seam, 3);
    seam.SetNextFileName(Piece(prefix, 2));
    Main().JoinFilesClick();
    ASSERT_EQ(Sizes(), QStringList({"?", "?", "?"}));
    ASSERT_FALSE(Parts().SmallerSizesLB->isEnabled());

    for (int i = 0; i < 3; ++i) seam.SetNextAnswer(true);
    Main().DoJoinClick();
    Main().WaitForTransfer();

    QStringList questions;
    for (const auto& m : seam.Messages()) {
        questions << m.text;
        EXPECT_EQ(m.title, "Change diskette");
        EXPECT_EQ(m.icon, ModalSeam::Icon::Question);
    }
    EXPECT_EQ(questions, QStringList({"Ready for diskette/file number 1?", "Ready for diskette/file number 2?",
                                      "Ready for diskette/file number 3?"}));
    EXPECT_EQ(listEnabled, std::vector<bool>({true, true, true}));
    EXPECT_FALSE(Parts().SmallerSizesLB->isEnabled());  // as before the join
    EXPECT_EQ(Status1(), "The file is restored!");
    EXPECT_EQ(Read(target), whole);
    EXPECT_EQ(Parts().BigFileBytes, 60);
}

TEST_F(JoinWorkflow, MissingPieceOneTurnsOffTheSplitCommandsOnly) {
    MakeSet({10, 20, 30});
    QFile::remove(Piece(prefix, 1));
    // A file chosen for splitting earlier, in another folder.
    const QString other = Path("big/Other.bin");
    ASSERT_TRUE(Write(other, Pattern(5000)));
    ChooseToSplit(other);
    ASSERT_TRUE(IsEnabled("DoSplit"));
    const QStringList unchanged = {"DoJoin", "FindPlaceToBigFile", "CBBaseSize", "rbSizeBase", "ApplyBaseSize"};
    std::map<QString, bool> before;
    for (const QString& name : unchanged) before[name] = IsEnabled(name);

    ChoosePiece(Piece(prefix, 2));

    ASSERT_EQ(modal.Messages().size(), 1u);
    EXPECT_EQ(modal.Messages()[0].text, "File is missing: " + Piece(prefix, 1));
    EXPECT_EQ(modal.Messages()[0].title, "Abnormal termination!");
    EXPECT_EQ(Status1(), "Abnormal termination!");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(StoredPath("JoinPath"), Path("pieces"));
    EXPECT_EQ(Parts().SmallFileNames->text(), prefix + ".Quorved_*");
    EXPECT_TRUE(Sizes().isEmpty());
    ExpectEnabled({"DoSplit", "DoSplitBtn", "FindPlaceToSmallFiles", "FindPlaceToSmallFilesBtn"}, false);
    for (const QString& name : unchanged) EXPECT_EQ(IsEnabled(name), before[name]) << name.toStdString();
}

TEST_F(JoinWorkflow, ChosenPieceThatDoesNotExistChangesOnlyTheEngineNames) {
    modal.SetNextFileName(Path("big/Other.bin"));
    ASSERT_TRUE(Write(Path("big/Other.bin"), Pattern(5000)));
    Main().ChooseSplitAFileClick();
    const QString label = Parts().BigFileName->text();

    ChoosePiece(Piece(prefix, 9));

    ASSERT_EQ(modal.Messages().size(), 1u);
    EXPECT_EQ(modal.Messages()[0].text, "File is missing: " + Piece(prefix, 9));
    EXPECT_EQ(engine.PiecePrefix(), prefix.toStdString());
    EXPECT_EQ(StoredPath("JoinPath"), "(none)");
    EXPECT_EQ(Parts().BigFileName->text(), label);
    ExpectEnabled({"DoSplit", "FindPlaceToSmallFiles", "DoJoin"}, false);
}

// A folder, or a file whose name holds no marker, is said to be what it is.
TEST_F(JoinWorkflow, AFolderOrAFileThatIsNoPieceIsSaidToBeOne) {
    const QString folder = Path("sets.Quorved_1"), plain = Path("big/Other.bin");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(Write(plain, Pattern(10)));
    ChoosePiece(folder);
    ChoosePiece(plain);
    ASSERT_EQ(modal.Messages().size(), 2u);
    ExpectBox(modal.Messages()[0], "Abnormal termination!", folder + " is a folder, not a file.",
              ModalSeam::Icon::Stop);
    EXPECT_EQ(modal.Messages()[1].text,
              plain + " is not one of a set's smaller files: its name does not contain \".Quorved_\".");
    ExpectEnabled({"DoJoin", "DoSplit"}, false);
    EXPECT_EQ(StoredPath("JoinPath"), "(none)");
}

TEST_F(JoinWorkflow, PlaceDialogCancelledRecreatesBesideThePieces) {
    const QByteArray whole = MakeSet({10, 20});
    ChoosePiece(Piece(prefix, 1));
    store.DeleteSetting("Path", "SplitPath");
    Main().FindPlaceToBigFileClick();  // cancelled

    const auto& save = modal.shown.back();
    EXPECT_EQ(save.kind, ScriptedModal::Shown::Kind::Save);
    EXPECT_EQ(save.title, "Choose where you want to recreate the big file");
    EXPECT_TRUE(save.filter.isEmpty());
    EXPECT_EQ(save.folder, Path("big"));
    EXPECT_EQ(save.proposedName, "Setup.exe");
    EXPECT_EQ(engine.BigFilePath(), prefix.toStdString());
    EXPECT_EQ(Parts().BigFileName->text(), target);  // the earlier target stays shown
    EXPECT_EQ(StoredPath("SplitPath"), "(none)");

    Main().DoJoinClick();
    Main().WaitForTransfer();
    EXPECT_EQ(Status1(), "The file is restored!");
    EXPECT_EQ(Read(prefix), whole);
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(JoinWorkflow, PlaceDialogWithTheSameNameStillStoresTheFolder) {
    MakeSet({10});
    ChoosePiece(Piece(prefix, 1));
    store.DeleteSetting("Path", "SplitPath");
    modal.SetNextFileName(target);
    Main().FindPlaceToBigFileClick();
    EXPECT_EQ(Status1(), "Ready to restore the file!");  // no "New place selected!"
    EXPECT_EQ(StoredPath("SplitPath"), Path("big"));

    modal.SetNextFileName(Path("pieces/Copy.exe"));
    Main().FindPlaceToBigFileClick();
    EXPECT_EQ(Status1(), "New place selected!");
    EXPECT_EQ(Parts().BigFileName->text(), Path("pieces/Copy.exe"));
    EXPECT_EQ(StoredPath("SplitPath"), Path("pieces"));
}

TEST_F(JoinWorkflow, FailureOnPieceTwoLeavesAnExistingTargetAsItWas) {
    MakeSet({10, 20, 30});
    const QByteArray old = "an older file of the target's name";
    ASSERT_TRUE(Write(target, old));
    ChoosePiece(Piece(prefix, 1));
    QFile::remove(Piece(prefix, 2));
    modal.SetNextAnswer(true);  // replace the older file
    Main().DoJoinClick();
    Main().WaitForTransfer();

    ASSERT_EQ(modal.Messages().size(), 2u);
    EXPECT_EQ(modal.Messages()[1].text, "Could not read smaller file number: 2\nThe file is not there.");
    EXPECT_EQ(modal.Messages()[1].icon, ModalSeam::Icon::Stop);
    EXPECT_EQ(Status1(), "Abnormal termination!");
    EXPECT_EQ(Read(target), old);
    EXPECT_EQ(Parts().BigFileBytes, old.size());            // measured from the file on disk
    ExpectEnabled({"DoJoin", "FindPlaceToBigFile"}, true);  // the same set can be tried again
}

TEST_F(JoinWorkflow, DiskDialogNeverConfirmedJoinsNothing) {
    MakeSet({10, 20});
    const QByteArray old = "kept";
    ASSERT_TRUE(Write(target, old));
    Parts().PauseMode = PauseMode::Always;
    ChoosePiece(Piece(prefix, 1));  // the disk dialog is closed without OK
    EXPECT_TRUE(DiskDialogShown());
    EXPECT_TRUE(Sizes().isEmpty());
    EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 0");
    EXPECT_TRUE(IsEnabled("DoJoin"));

    modal.SetNextAnswer(true);  // replace the older file
    Main().DoJoinClick();
    Main().WaitForTransfer();
    QStringList texts = MessageTexts();
    EXPECT_EQ(texts,
              QStringList({"The file " + target + " already exists. Replace it?", "Not all diskettes were entered."}));
    EXPECT_EQ(Status1(), "Abnormal termination!");
    EXPECT_EQ(Read(target), old);
}

TEST_F(JoinWorkflow, TargetThatIsOneOfItsOwnPiecesIsRefused) {
    const QByteArray whole = MakeSet({10, 20});
    ChoosePiece(Piece(prefix, 1));
    modal.SetNextFileName(Piece(prefix, 2));
    Main().FindPlaceToBigFileClick();
    Main().DoJoinClick();
    Main().WaitForTransfer();

    EXPECT_EQ(MessageTexts(),
              QStringList({Piece(prefix, 2) + " belongs to the set being joined; the big file cannot be written there. "
                                              "Choose another name."}));
    EXPECT_EQ(Read(Piece(prefix, 1)), whole.left(10));
    EXPECT_EQ(Read(Piece(prefix, 2)), whole.mid(10));
}

TEST_F(JoinWorkflow, ExistingTargetNotPickedIsReplacedOnlyAfterAYes) {
    const QByteArray whole = MakeSet({10, 20});
    ASSERT_TRUE(Write(target, "other"));
    ChoosePiece(Piece(prefix, 2));
    Main().DoJoinClick();  // answered No
    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "The File Quorvel", "The file " + target + " already exists. Replace it?",
              ModalSeam::Icon::Question, ModalSeam::Buttons::YesNo);
    EXPECT_EQ(Read(target), "other");
    EXPECT_EQ(Status1(), "Nothing was restored; no file was changed.");
    modal.SetNextAnswer(true);
    Main().DoJoinClick();
    Main().WaitForTransfer();
    EXPECT_EQ(Read(target), whole);

    // Picked in the place dialog, even under the same name: no question.
    ChoosePiece(Piece(prefix, 1));
    modal.SetNextFileName(target);
    Main().FindPlaceToBigFileClick();
    Main().DoJoinClick();
    Main().WaitForTransfer();
    EXPECT_EQ(modal.Messages().size(), 2u);
}

TEST_F(JoinWorkflow, ChoosingAFileToSplitEndsAPreparedJoin) {
    MakeSet({10, 20});
    ASSERT_TRUE(Write(Path("big/Empty.bin"), {}));
    ChoosePiece(Piece(prefix, 1));
    ChooseToSplit(Path("big/Empty.bin"));
    EXPECT_TRUE(Sizes().isEmpty());
    EXPECT_EQ(engine.PieceCount(), 0);
    ExpectEnabled({"DoJoin", "DoJoinBtn", "FindPlaceToBigFile", "FindPlaceToBigFileBtn"}, false);
}
