// Checking and repairing a set from the window, on a set the window split
// with recovery files: the report names every bad piece, the repair puts
// them back, and Repair is offered only where the pieces may be written.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QToolButton>
#include "tests/app/WorkflowFixture.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

// 3 MB in pieces of the default base size: two whole ones and a short third.
constexpr int kBigSize = 3000000;

}  // namespace

class CheckRepairWorkflow : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        UsePiecesAndBigFolders();
        SplitWithRecovery(Pattern(kBigSize, 3), 2);
        for (int n = 1; n <= 3; ++n) pieces << Read(Piece(prefix, n));
        ASSERT_EQ(pieces[2].size(), kBigSize - 2 * pieces[0].size());
    }

    // Runs a command from its tool button, answering a file dialog with
    // `piece` when one is given, and waits for its end.
    void Run(QToolButton* button, const QString& piece = {}) {
        if (!piece.isEmpty()) modal.SetNextFileName(piece);
        QTest::mouseClick(button, Qt::LeftButton);
        Main().WaitForTransfer();
    }
    QString Name(int n) const { return QFileInfo(Piece(prefix, n)).fileName(); }
    void Damage(int n) {
        QByteArray damaged = pieces[n - 1];
        damaged[100] = char(damaged[100] ^ 1);
        ASSERT_TRUE(Write(Piece(prefix, n), damaged));
    }
    bool OpenDialogShown() const {
        for (const auto& s : modal.shown)
            if (s.kind == ScriptedModal::Shown::Kind::Open) return true;
        return false;
    }

    QList<QByteArray> pieces;
};

TEST_F(CheckRepairWorkflow, AGoodSetIsCheckedOnTheWorkerWithTheWindowLocked) {
    modal.SetNextFileName(Piece(prefix, 2));
    QTest::mouseClick(Parts().CheckSmallFilesBtn, Qt::LeftButton);
    // No set was prepared: the join's dialog asked for a piece.
    ASSERT_FALSE(modal.shown.empty());
    const auto& open = modal.shown.front();
    EXPECT_EQ(open.kind, ScriptedModal::Shown::Kind::Open);
    EXPECT_EQ(open.title, "Select the first smaller file in a series");
    EXPECT_TRUE(open.exactNames);
    // Until its end reaches the window, the check holds it as a transfer does.
    ASSERT_TRUE(Main().TransferRunning());
    ExpectEnabled({"CheckSmallFiles", "RepairSmallFiles", "CheckSmallFilesBtn", "JoinFiles", "ChooseSplitAFile",
                   "spnRecovery"},
                  false);
    ExpectEnabled({"Stop", "StopBtn"}, true);
    Main().WaitForTransfer();

    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages().front(), "The File Quorvel", "All 3 smaller files match their checksums.",
              ModalSeam::Icon::Information, ModalSeam::Buttons::Ok);
    EXPECT_EQ(Status1(), "All 3 smaller files match their checksums.");
    ExpectEnabled({"CheckSmallFiles", "RepairSmallFiles", "JoinFiles"}, true);
    EXPECT_FALSE(IsEnabled("Stop"));

    // Without its checksum file there is nothing to check against: said, and why.
    ASSERT_TRUE(QFile::remove(prefix + ".Quorved_sha256"));
    Run(Parts().CheckSmallFilesBtn, Piece(prefix, 2));
    ASSERT_EQ(modal.Messages().size(), 2u);
    ExpectBox(modal.Messages().back(), "The File Quorvel",
              "There is no checksum file for this set: " + prefix + ".Quorved_sha256", ModalSeam::Icon::Stop);
}

// The set prepared for joining is the one checked, without a dialog; the
// report names every damaged piece, the repair puts them back in place.
TEST_F(CheckRepairWorkflow, DamagedPiecesOfThePreparedSetAreNamedAndRepaired) {
    Damage(1);
    Damage(3);
    ChoosePiece(Piece(prefix, 2));
    ASSERT_TRUE(IsEnabled("DoJoin"));
    EXPECT_TRUE(IsEnabled("RepairSmallFiles"));
    modal.shown.clear();

    Run(Parts().CheckSmallFilesBtn);
    EXPECT_FALSE(OpenDialogShown());
    ASSERT_EQ(modal.Messages().size(), 1u);
    const QString found = "2 of 3 smaller files are missing or damaged:\n"
                          "Smaller file 1 (" + Name(1) + ") is damaged: its checksum differs.\n"
                          "Smaller file 3 (" + Name(3) + ") is damaged: its checksum differs.\n";
    ExpectBox(modal.Messages().back(), "The File Quorvel",
              found + "2 smaller files are missing or damaged; the recovery files can rebuild 2 of them.\n"
                      "\"Repair the smaller files\" in the File menu puts them back in place.",
              ModalSeam::Icon::Exclamation);
    EXPECT_TRUE(Status1().startsWith("2 of 3 smaller files are missing or damaged: Smaller file 1")) << Status1().toStdString();
    EXPECT_TRUE(Parts().RepairSmallFiles->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_R));

    Run(Parts().RepairSmallFilesBtn);
    EXPECT_FALSE(OpenDialogShown());
    ASSERT_EQ(modal.Messages().size(), 2u);
    ExpectBox(modal.Messages().back(), "The File Quorvel",
              found + "Rebuilt from the recovery files and checked: smaller files 1, 3.",
              ModalSeam::Icon::Information);
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(Read(Piece(prefix, n)), pieces[n - 1]) << n;

    Run(Parts().CheckSmallFilesBtn);
    EXPECT_EQ(modal.Messages().back().text, "All 3 smaller files match their checksums.");
}

// A missing, a short and a damaged piece: more than the recovery files can
// rebuild. The check says by how much, the repair changes nothing.
TEST_F(CheckRepairWorkflow, MoreBadPiecesThanTheRecoveryFilesCoverAreNamedAndLeftAlone) {
    ASSERT_TRUE(QFile::remove(Piece(prefix, 1)));
    ASSERT_TRUE(Write(Piece(prefix, 2), "short"));
    Damage(3);
    const QStringList before = PiecesFolder();

    Run(Parts().CheckSmallFilesBtn, Piece(prefix, 3));
    ASSERT_EQ(modal.Messages().size(), 1u);
    const QString found = "3 of 3 smaller files are missing or damaged:\n"
                          "Smaller file 1 (" + Name(1) + ") is missing.\n"
                          "Smaller file 2 (" + Name(2) + ") has the wrong size: 5 bytes instead of " +
                          QString::number(pieces[1].size()) + ".\n"
                          "Smaller file 3 (" + Name(3) + ") is damaged: its checksum differs.\n";
    ExpectBox(modal.Messages().back(), "The File Quorvel",
              found + "3 smaller files are missing or damaged; the recovery files can rebuild 2 of them.\n"
                      "Recovery data for one more smaller file would be needed to rebuild them all.",
              ModalSeam::Icon::Exclamation);

    Run(Parts().RepairSmallFilesBtn, Piece(prefix, 3));
    ASSERT_EQ(modal.Messages().size(), 2u);
    EXPECT_EQ(modal.Messages().back().text,
              found + "3 smaller files are missing or damaged, but the recovery files can rebuild only 2. Nothing "
                      "was changed.\nRecovery data for one more smaller file would be needed to rebuild them all.");
    EXPECT_EQ(PiecesFolder(), before);
    EXPECT_EQ(Read(Piece(prefix, 2)), "short");
}

// The pieces seen through a read-only mount: Repair is off while that set
// is prepared, and refused for a piece chosen there; Check still works.
TEST_F(CheckRepairWorkflow, RepairIsOfferedOnlyWhereThePiecesFolderCanBeWritten) {
    Damage(2);
    ReadOnlyView view(Path("pieces").toStdString(), Path("readonly").toStdString());
    if (!view.Mounted()) GTEST_SKIP() << "mounting is not permitted here";
    const QString seen = QDir::toNativeSeparators(Path("readonly") + "/Setup.exe");

    ChoosePiece(Piece(seen, 1));
    ASSERT_TRUE(IsEnabled("DoJoin"));
    ExpectEnabled({"RepairSmallFiles", "RepairSmallFilesBtn"}, false);
    ExpectEnabled({"CheckSmallFiles", "CheckSmallFilesBtn"}, true);
    Run(Parts().CheckSmallFilesBtn);
    ASSERT_FALSE(modal.Messages().empty());
    EXPECT_TRUE(modal.Messages().back().text.contains("Smaller file 2 (Setup.exe.Quorved_2) is damaged"))
        << modal.Messages().back().text.toStdString();

    // A file chosen to split ends the prepared join: Repair asks again, and
    // refuses a piece in the read-only folder before any work starts.
    ChooseToSplit(Path("Setup.exe"));
    EXPECT_TRUE(IsEnabled("RepairSmallFiles"));
    modal.shown.clear();
    Run(Parts().RepairSmallFilesBtn, Piece(seen, 1));
    ASSERT_EQ(modal.Messages().size(), 1u);
    EXPECT_EQ(modal.Messages().back().text,
              "The smaller files cannot be repaired where they are: the folder " + Path("readonly") +
                  " cannot be written.");
    EXPECT_EQ(modal.Messages().back().icon, ModalSeam::Icon::Stop);
    EXPECT_EQ(Read(Piece(prefix, 2)).size(), pieces[1].size());
    EXPECT_NE(Read(Piece(prefix, 2)), pieces[1]);  // left as it was
}
