// Joining from the window a set that lost pieces: the set is the one its
// checksum file lists, and the recovery files beside it stand in for what is
// missing.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "tests/app/WorkflowFixture.h"

class RebuildWorkflow : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        ASSERT_TRUE(QDir(dir.path()).mkdir("pieces"));
        ASSERT_TRUE(QDir(dir.path()).mkdir("big"));
        Parts().JoinPath = Path("pieces");
        Parts().SplitPath = Path("big");
        prefix = Path("pieces/Setup.exe");
    }

    // Splits `bytes` from the window into diskette-sized pieces with recovery
    // files that rebuild any `lost` of them.
    void SplitWithRecovery(const QByteArray& bytes, int lost) {
        ASSERT_TRUE(Write(Path("Setup.exe"), bytes));
        SplitFromTheWindow(Path("Setup.exe"), lost);
        ASSERT_TRUE(QFileInfo::exists(Path("pieces/Setup.exe.par2")));
    }
    void ChoosePiece(const QString& name) {
        modal.SetNextFileName(name);
        Main().JoinFilesClick();
    }

    QString prefix;
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
    for (const QString& name : {QStringLiteral("Setup.exe.vol1+1.par2"), QStringLiteral("Setup.exe.Quorved_sha256")}) {
        const QStringList volumes = QDir(Path("pieces")).entryList({"Setup.exe.vol*.par2"});
        ChoosePiece(Path("pieces/" + (name.contains("vol") && !volumes.isEmpty() ? volumes.last() : name)));
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
