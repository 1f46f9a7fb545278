// Joining from the window a set that lost pieces: the set is the one its
// checksum file lists, and the recovery files beside it stand in for what is
// missing.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QToolButton>
#include <iostream>

#include "tests/app/WorkflowFixture.h"
#include "tests/engine/EngineTestSupport.h"

class RebuildWorkflow : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        UsePiecesAndBigFolders();
    }

    // Starts joining the chosen set into big/Setup.exe, answering the place
    // dialog; WaitForTransfer ends it.
    void StartJoinIntoBig() {
        modal.SetNextFileName(Path("big/Setup.exe"));
        QTest::mouseClick(Parts().FindPlaceToBigFileBtn, Qt::LeftButton);
        QTest::mouseClick(Parts().DoJoinBtn, Qt::LeftButton);
    }
};

// Pieces 1 and 2 of three gone: the checksum file still names the set, so the
// count, the sizes and the total are the set's, and the join can start.
TEST_F(RebuildWorkflow, ASetIsTheOneItsChecksumFileListsWhateverIsMissing) {
    SplitWithRecovery(Pattern(3000000, 3), 2);
    ASSERT_TRUE(QFile::remove(Piece(prefix, 1)));
    ASSERT_TRUE(QFile::remove(Piece(prefix, 2)));
    ChoosePiece(Piece(prefix, 3));

    EXPECT_TRUE(modal.Messages().empty()) << MessageTexts().join("\n").toStdString();
    EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 3");
    EXPECT_EQ(Sizes(), QStringList({"1457664", "1457664", "84672"}));
    EXPECT_EQ(Parts().BigFileBytes, 3000000);
    EXPECT_EQ(Status1(),
              "Ready to restore the file! Missing smaller files, to be rebuilt from the recovery files: 1, 2");
    ExpectEnabled({"DoJoin", "DoJoinBtn"}, true);

    // The set's recovery and checksum files name it as well as its pieces do.
    const QStringList volumes = QDir(Path("pieces")).entryList({"Setup.exe.vol*.par2"});
    ASSERT_FALSE(volumes.isEmpty());
    for (const QString& name : {volumes.last(), QStringLiteral("Setup.exe.Quorved_sha256")}) {
        ChoosePiece(Path("pieces/" + name));
        EXPECT_TRUE(modal.Messages().empty()) << name.toStdString();
        EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 3");
        EXPECT_EQ(Parts().BigFileName->text(), Path("Setup.exe"));  // where the split took it from
    }

    // Without its recovery files a set ends where a piece is missing, as any set does.
    for (const QString& name : QDir(Path("pieces")).entryList({"*.par2"})) QFile::remove(Path("pieces/" + name));
    ChoosePiece(Piece(prefix, 3));
    ASSERT_EQ(modal.Messages().size(), 1u);
    EXPECT_EQ(modal.Messages()[0].text, "File is missing: " + Piece(prefix, 1));
    EXPECT_EQ(engine.PieceCount(), 0);
}

// Missing or damaged pieces, any of them: the join rebuilds them into the file
// it restores, counts the set's pieces and bytes, names every piece it rebuilt
// in a box, and leaves the pieces' folder as it was.
TEST_F(RebuildWorkflow, AJoinRebuildsWhateverTheRecoveryFilesCover) {
    const QByteArray bytes = Pattern(3000000, 7);
    SplitWithRecovery(bytes, 2);
    const QByteArray second = Read(Piece(prefix, 2));
    struct Case {
        QList<int> missing, damaged;
        QString rebuilt;
    };
    const QList<Case> cases{
        {{1}, {}, "1 (Setup.exe.Quorved_1)"},
        {{2}, {}, "2 (Setup.exe.Quorved_2)"},
        {{1, 3}, {}, "1 (Setup.exe.Quorved_1), 3 (Setup.exe.Quorved_3)"},
        {{}, {2}, "2 (Setup.exe.Quorved_2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rebuilt.toStdString());
        QFile::remove(Path("big/Setup.exe"));
        for (int n = 1; n <= 3; ++n) ASSERT_TRUE(Write(Piece(prefix, n), bytes.mid((n - 1) * 1457664, 1457664)));
        for (const int n : c.missing) QFile::remove(Piece(prefix, n));
        QByteArray changed = second;
        changed[1000] = char(changed[1000] ^ 0x40);
        for (const int n : c.damaged) ASSERT_TRUE(Write(Piece(prefix, n), changed));
        const QStringList before = PiecesFolder();
        modal.shown.clear();

        ChoosePiece(Piece(prefix, c.missing.contains(3) ? 2 : 3));
        StartJoinIntoBig();
        // The bar counts the set, not the pieces found.
        EXPECT_EQ(Parts().Progress.pieceCount, 3);
        EXPECT_EQ(Parts().Progress.totalBytes, 3000000);
        Main().WaitForTransfer();

        EXPECT_EQ(Read(Path("big/Setup.exe")), bytes);
        ASSERT_EQ(modal.Messages().size(), 1u) << MessageTexts().join("\n").toStdString();
        const QString said = modal.Messages()[0].text;
        EXPECT_EQ(modal.Messages()[0].icon, ModalSeam::Icon::Information);
        EXPECT_TRUE(said.contains(c.rebuilt)) << said.toStdString();
        EXPECT_TRUE(said.contains("a repair can rebuild them in place")) << said.toStdString();
        EXPECT_TRUE(Status1().startsWith("The file is restored and checked;")) << Status1().toStdString();
        EXPECT_EQ(PiecesFolder(), before);
        for (const int n : c.damaged) EXPECT_EQ(Read(Piece(prefix, n)), changed);
    }
}

// More lost than the recovery files cover: every lost piece is named, and
// nothing is written.
TEST_F(RebuildWorkflow, TooManyLostPiecesAreAllNamed) {
    SplitWithRecovery(Pattern(3000000, 9), 1);
    ASSERT_TRUE(QFile::remove(Piece(prefix, 1)));
    ASSERT_TRUE(QFile::remove(Piece(prefix, 3)));
    ChoosePiece(Piece(prefix, 2));
    StartJoinIntoBig();
    Main().WaitForTransfer();
    ASSERT_EQ(modal.Messages().size(), 1u);
    const QString said = modal.Messages()[0].text;
    EXPECT_TRUE(said.contains("Missing smaller files: 1 (Setup.exe.Quorved_1), 3 (Setup.exe.Quorved_3).")) << said.toStdString();
    EXPECT_TRUE(said.contains("Recovery data for one more smaller file would be needed")) << said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("big/Setup.exe")));
    EXPECT_EQ(QDir(Path("big")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

// Pieces on read-only media, and pieces that come disk by disk: a lost piece
// is rebuilt all the same, and nothing is written beside the pieces.
TEST_F(RebuildWorkflow, ReadOnlyMediaAndDiskByDiskRebuildToo) {
    const QByteArray bytes = Pattern(3000000, 11);
    SplitWithRecovery(bytes, 1);
    ASSERT_TRUE(QFile::remove(Piece(prefix, 2)));
    const QStringList before = PiecesFolder();
    {
        ReadOnlyView disk(Path("pieces").toStdString(), Path("cd").toStdString());
        if (disk.Mounted()) {
            ChoosePiece(Piece(Path("cd/Setup.exe"), 1));
            StartJoinIntoBig();
            Main().WaitForTransfer();
            EXPECT_EQ(Read(Path("big/Setup.exe")), bytes);
            ASSERT_EQ(modal.Messages().size(), 1u) << MessageTexts().join("\n").toStdString();
            EXPECT_TRUE(modal.Messages()[0].text.contains("2 (Setup.exe.Quorved_2)"));
            ASSERT_TRUE(QFile::remove(Path("big/Setup.exe")));
        } else {
#ifdef Q_OS_WIN
            std::cerr << "read-only media left out: Windows has no bind mount to make a read-only view\n";
#else
            std::cerr << "read-only media left out: a bind mount is not permitted here\n";
#endif
        }
    }
    ASSERT_FALSE(QFileInfo::exists(Path("big/Setup.exe")));

    // Disk by disk: every question answered, the recovery files found beside the checksum file.
    modal.shown.clear();
    Main().SelectPauseMode(PauseMode::Always);
    AnswerDiskCount(modal, 3);
    ChoosePiece(Piece(prefix, 1));
    for (int i = 0; i < 6; ++i) modal.SetNextAnswer(true);
    StartJoinIntoBig();
    Main().WaitForTransfer();
    EXPECT_EQ(Read(Path("big/Setup.exe")), bytes);
    EXPECT_TRUE(MessageTexts().join("\n").contains("2 (Setup.exe.Quorved_2)")) << MessageTexts().join("\n").toStdString();
    EXPECT_EQ(PiecesFolder(), before);
}
