// The split workflow from the main window: choosing the file, the place of
// the pieces, and the split itself, on real files.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "settings/SettingsStore.h"
#include "tests/app/WorkflowFixture.h"

namespace {
constexpr int64_t kFloppy = 1457664;
constexpr int64_t kBigSize = 3000000;
const QStringList kSplitCommands = {"DoSplit", "DoSplitBtn", "FindPlaceToSmallFiles", "FindPlaceToSmallFilesBtn"};
const QStringList kJoinCommands = {"DoJoin", "DoJoinBtn", "FindPlaceToBigFile", "FindPlaceToBigFileBtn"};
}  // namespace

class SplitWorkflow : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        UsePiecesFolder();
        big = Path("Setup.exe");
        bigBytes = Pattern(kBigSize);
        ASSERT_TRUE(Write(big, bigBytes));
    }

    // The big file's bytes from offset on, `size` of them.
    QByteArray Slice(int64_t offset, int64_t size) const { return bigBytes.mid(int(offset), int(size)); }

    QString big;
    QByteArray bigBytes;
};

TEST_F(SplitWorkflow, ChoosingAFileShowsItPlansItAndOffersTheSplit) {
    const QString firstFolder = Parts().SplitPath;
    // Commands of a join being prepared go off when a file to split is chosen.
    Main().SetControlState(ControlGroup::JoinCommand, true);
    Main().SetControlState(ControlGroup::PlaceForBigFile, true);
    ChooseToSplit(big);

    ASSERT_EQ(modal.shown.size(), 1u);
    EXPECT_EQ(modal.shown[0].kind, ScriptedModal::Shown::Kind::Open);
    EXPECT_EQ(modal.shown[0].title, "Select a file to be splitted");
    EXPECT_EQ(modal.shown[0].filter, "All Files (*.*)|*.*");
    EXPECT_EQ(modal.shown[0].folder, firstFolder);
    EXPECT_FALSE(modal.shown[0].exactNames);

    EXPECT_EQ(Parts().BigFileName->text(), big);
    EXPECT_EQ(Parts().BigFileSize->text(), "2.861");  // MB, the unit of a first start
    EXPECT_EQ(Sizes(), QStringList({"1457664", "1457664", "84672"}));
    EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 3");
    EXPECT_EQ(Parts().SmallFileNames->text(), Path("pieces/Setup.exe.Quorved_*"));
    EXPECT_EQ(Status1(), "Ready to split the file!");
    EXPECT_EQ(Parts().SplitPath, QDir::toNativeSeparators(dir.path()));
    EXPECT_EQ(StoredPath("SplitPath"), Parts().SplitPath);
    EXPECT_EQ(Main().CurrentFolder(), Parts().SplitPath);
    EXPECT_EQ(Parts().BigFileBytes, kBigSize);
    ExpectEnabled(kSplitCommands, true);
    ExpectEnabled(kJoinCommands, false);
    EXPECT_TRUE(IsEnabled("CBBaseSize"));
}

TEST_F(SplitWorkflow, SplitWritesTheSlicesAndTurnsTheCommandsOff) {
    ChooseToSplit(big);
    QTest::mouseClick(Parts().DoSplitBtn, Qt::LeftButton);
    Main().WaitForTransfer();

    EXPECT_EQ(Read(Piece(prefix, 1)), Slice(0, kFloppy));
    EXPECT_EQ(Read(Piece(prefix, 2)), Slice(kFloppy, kFloppy));
    EXPECT_EQ(Read(Piece(prefix, 3)), Slice(2 * kFloppy, kBigSize - 2 * kFloppy));
    EXPECT_FALSE(QFileInfo::exists(Piece(prefix, 4)));
    EXPECT_EQ(Read(big), bigBytes);

    EXPECT_TRUE(modal.Messages().empty());
    EXPECT_EQ(Status1(), "The file is splitted!");
    EXPECT_EQ(Sizes(), QStringList({"1457664", "1457664", "84672"}));
    EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 3");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ExpectEnabled(kSplitCommands, false);
    ExpectEnabled({"ApplyNewSize", "txtNewSize"}, false);
    // The labels keep showing the last file and pieces.
    EXPECT_EQ(Parts().BigFileName->text(), big);
    EXPECT_EQ(Parts().SmallFileNames->text(), prefix + ".Quorved_*");
}

// A file named like a piece after the new set, which no older checksum file
// proves to be a piece: No leaves every file as it was, Yes removes it with
// the split, so that no later join takes it in.
TEST_F(SplitWorkflow, AStrayPieceAfterTheSetGoesOnlyWhenTheUserSaysSo) {
    ASSERT_TRUE(Write(Piece(prefix, 4), "not a piece of this split"));
    ChooseToSplit(big);
    modal.SetNextAnswer(false);
    QTest::mouseClick(Parts().DoSplitBtn, Qt::LeftButton);
    Main().WaitForTransfer();
    ASSERT_EQ(modal.Messages().size(), 1u);
    EXPECT_TRUE(modal.Messages()[0].text.contains(Piece(prefix, 4))) << modal.Messages()[0].text.toStdString();
    EXPECT_TRUE(modal.Messages()[0].text.endsWith("Remove it?")) << modal.Messages()[0].text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Piece(prefix, 1)));
    EXPECT_EQ(Read(Piece(prefix, 4)), QByteArray("not a piece of this split"));
    EXPECT_TRUE(Status1().endsWith("Nothing was changed.")) << Status1().toStdString();
    ExpectEnabled(kSplitCommands, true);

    modal.SetNextAnswer(true);
    QTest::mouseClick(Parts().DoSplitBtn, Qt::LeftButton);
    Main().WaitForTransfer();
    EXPECT_EQ(Status1(), "The file is splitted!");
    EXPECT_EQ(Read(Piece(prefix, 3)), Slice(2 * kFloppy, kBigSize - 2 * kFloppy));
    EXPECT_FALSE(QFileInfo::exists(Piece(prefix, 4)));
}

// The recovery spin box is stored, shows what the planned pieces' recovery
// files come to, and the split writes them beside the pieces and ends by
// saying how many it wrote, where, and their size: the files on disk.
TEST_F(SplitWorkflow, RecoveryFilesArePlannedStoredWrittenAndReported) {
    ChooseToSplit(big);
    EXPECT_TRUE(Parts().lblRecoveryPlan->text().isEmpty());
    Parts().spnRecovery->setValue(1);
    EXPECT_EQ(store.Read(Settings::RecoveryPieces), 1);
    EXPECT_TRUE(Parts().lblRecoveryPlan->text().contains("recovery files"))
        << Parts().lblRecoveryPlan->text().toStdString();
    const QString planned = Parts().lblRecoveryPlan->text();
    QTest::mouseClick(Parts().DoSplitBtn, Qt::LeftButton);
    Main().WaitForTransfer();
    EXPECT_TRUE(QFileInfo::exists(Path("pieces/Setup.exe.par2")));

    int64_t bytes = 0;
    const QFileInfoList written = QDir(Path("pieces")).entryInfoList({"*.par2"}, QDir::Files);
    for (const QFileInfo& f : written) bytes += f.size();
    ASSERT_GE(written.size(), 2);
    const QString count = QString::number(written.size());
    const QString megabytes = QString::number(double(bytes) / (1 << 20), 'f', 3).remove(QRegularExpression("\\.?0+$"));
    const QString what = count + " recovery files, " + megabytes + " MB";
    EXPECT_EQ(planned, what);  // the plan said what the split wrote
    EXPECT_EQ(Status1(), "The file is splitted! \u00b7 " + what);
    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "The File Quorvel",
              what + " in all, were written to " + QDir::toNativeSeparators(QDir(Path("pieces")).absolutePath()) +
                  ". Any one lost or damaged smaller file can be rebuilt from them.",
              ModalSeam::Icon::Information, ModalSeam::Buttons::Ok);

    Start();  // the next run takes the stored count
    EXPECT_EQ(Parts().spnRecovery->value(), 1);
}

TEST_F(SplitWorkflow, CancelledOpenDialogKeepsTheEarlierChoice) {
    ChooseToSplit(big);
    Main().ChooseSplitAFileClick();  // nothing queued: cancelled

    EXPECT_EQ(Status1(), "No file selected!");
    EXPECT_EQ(Parts().BigFileName->text(), big);
    EXPECT_EQ(engine.BigFilePath(), big.toStdString());
    ExpectEnabled(kSplitCommands, true);
    EXPECT_TRUE(modal.Messages().empty());
}

TEST_F(SplitWorkflow, NameOfNoFileIsReportedAndLaterSplitCannotReadIt) {
    ChooseToSplit(big);
    const QString storedFolder = StoredPath("SplitPath");
    const QString missing = Path("pieces/Nothing.bin");
    ChooseToSplit(missing);

    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "Abnormal termination!", "File is missing: " + missing, ModalSeam::Icon::Stop);
    EXPECT_EQ(Status1(), "Abnormal termination!");
    EXPECT_EQ(Parts().BigFileName->text(), big);
    EXPECT_EQ(StoredPath("SplitPath"), storedFolder);
    EXPECT_EQ(Parts().BigFileBytes, -1);
    ExpectEnabled(kSplitCommands, true);

    // The engine already holds the new name: the split cannot read it.
    Main().DoSplitClick();
    Main().WaitForTransfer();
    ASSERT_EQ(modal.Messages().size(), 2u);
    EXPECT_EQ(modal.Messages()[1].text, "Could not read the big file.");
    EXPECT_FALSE(QFileInfo::exists(Piece(prefix, 1)));
}

TEST_F(SplitWorkflow, AFolderIsSaidToBeOne) {
    const QString folder = Path("pieces");
    ASSERT_TRUE(QDir().mkpath(folder));
    ChooseToSplit(folder);
    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "Abnormal termination!", folder + " is a folder, not a file.",
              ModalSeam::Icon::Stop);
    EXPECT_EQ(Status1(), "Abnormal termination!");
    ExpectEnabled(kSplitCommands, false);
}

TEST_F(SplitWorkflow, EmptyFileIsShownButNotPlanned) {
    const QString empty = Path("Empty.txt");
    ASSERT_TRUE(Write(empty, {}));
    ChooseToSplit(empty);

    EXPECT_EQ(Parts().BigFileName->text(), empty);
    EXPECT_EQ(Parts().BigFileBytes, 0);
    EXPECT_TRUE(Sizes().isEmpty());
    EXPECT_TRUE(Parts().SmallFileNames->text().trimmed().isEmpty());
    ExpectEnabled(kSplitCommands, false);
    EXPECT_TRUE(modal.Messages().empty());
}

TEST_F(SplitWorkflow, PlaceDialogWithAnotherNameNamesThePiecesAfterIt) {
    ChooseToSplit(big);
    ASSERT_TRUE(QDir(dir.path()).mkdir("backup"));
    const QString backup = Path("backup/Backup");
    modal.SetNextFileName(backup);
    QTest::mouseClick(Parts().FindPlaceToSmallFilesBtn, Qt::LeftButton);

    const auto& dialog = modal.shown.back();
    EXPECT_EQ(dialog.kind, ScriptedModal::Shown::Kind::Save);
    EXPECT_EQ(dialog.title, "Choose where you want to put the smaller files");
    EXPECT_EQ(dialog.filter, "Will be added at the end: .Quorved_*|*.*");
    EXPECT_EQ(dialog.folder, Path("pieces"));
    EXPECT_EQ(dialog.proposedName, "Setup.exe");
    EXPECT_EQ(Status1(), "New place selected!");
    EXPECT_EQ(Parts().SmallFileNames->text(), backup + ".Quorved_*");
    EXPECT_EQ(Parts().JoinPath, Path("backup"));
    EXPECT_EQ(StoredPath("JoinPath"), Path("backup"));

    Main().DoSplitClick();
    Main().WaitForTransfer();
    EXPECT_EQ(Read(Piece(backup, 1)), Slice(0, kFloppy));
    EXPECT_EQ(Read(Piece(backup, 3)).size(), kBigSize - 2 * kFloppy);
    EXPECT_FALSE(QFileInfo::exists(Piece(prefix, 1)));
}

TEST_F(SplitWorkflow, PlaceDialogWithTheSameNameStillStoresTheFolder) {
    ChooseToSplit(big);
    store.DeleteSetting("Path", "JoinPath");
    modal.SetNextFileName(prefix);
    Main().FindPlaceToSmallFilesClick();

    EXPECT_EQ(Status1(), "Ready to split the file!");  // no "New place selected!"
    EXPECT_EQ(engine.PiecePrefix(), prefix.toStdString());
    EXPECT_EQ(StoredPath("JoinPath"), Path("pieces"));
}

TEST_F(SplitWorkflow, CancelledPlaceDialogPutsThePiecesBesideTheBigFile) {
    ChooseToSplit(big);
    const QString shownNames = Parts().SmallFileNames->text();
    Main().FindPlaceToSmallFilesClick();  // cancelled

    EXPECT_EQ(Parts().SmallFileNames->text(), shownNames);
    EXPECT_EQ(Status1(), "Ready to split the file!");
    Main().DoSplitClick();
    Main().WaitForTransfer();
    EXPECT_EQ(Status1(), "The file is splitted!");
    EXPECT_EQ(Read(Piece(big, 2)), Slice(kFloppy, kFloppy));
    EXPECT_FALSE(QFileInfo::exists(Piece(prefix, 1)));
}

TEST_F(SplitWorkflow, FreeSpaceModeListsTheSizesActuallyWritten) {
    std::vector<std::string> asked;
    engine.SetFreeSpaceQuery([&](const std::string& folder) {
        asked.push_back(folder);
        return int64_t(1200000);
    });
    Main().rbSizeFreeClick();
    ChooseToSplit(big);
    EXPECT_TRUE(Sizes().isEmpty());
    ExpectEnabled(kSplitCommands, true);

    Main().DoSplitClick();
    Main().WaitForTransfer();
    EXPECT_EQ(Status1(), "The file is splitted!");
    EXPECT_EQ(Sizes(), QStringList({"1200000", "1200000", "600000"}));
    EXPECT_EQ(Parts().lblNrFiles->text(), "Nr. of files: 3");
    EXPECT_EQ(Parts().ActualSizeGB->statusTip(), "The * in the names is an integer from 1 to 3");
    EXPECT_EQ(Read(Piece(prefix, 3)), Slice(2400000, 600000));
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(QString::fromStdString(asked.front()), Path("pieces"));
}

TEST_F(SplitWorkflow, SplitFailingAtPieceThreeReportsItsNumber) {
    ChooseToSplit(big);
    // A folder in the way: piece 3 cannot be created.
    ASSERT_TRUE(QDir().mkdir(Piece(prefix, 3)));
    Main().DoSplitClick();
    Main().WaitForTransfer();

    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "Abnormal termination!",
              "Possible invalid path! Could not create smaller file number 3", ModalSeam::Icon::Stop);
    EXPECT_EQ(Status1(), "Abnormal termination!");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ExpectEnabled(kSplitCommands, false);
    // Pieces written before the failure are taken back: no set is left that joins.
    EXPECT_FALSE(QFileInfo::exists(Piece(prefix, 1)));
    EXPECT_FALSE(QFileInfo::exists(Piece(prefix, 2)));
}

TEST_F(SplitWorkflow, PiecesNamedLikeTheBigFileItselfAreRefused) {
    // A big file that carries a piece's name; the place dialog then makes
    // piece 1 that very file.
    const QString odd = Path("Data.Quorved_1");
    ASSERT_TRUE(Write(odd, bigBytes));
    ChooseToSplit(odd);
    modal.SetNextFileName(Path("Data"));
    Main().FindPlaceToSmallFilesClick();
    Main().DoSplitClick();
    Main().WaitForTransfer();

    ASSERT_EQ(modal.Messages().size(), 1u);
    EXPECT_EQ(modal.Messages()[0].text, "Possible invalid path! Could not create smaller file number 1");
    EXPECT_EQ(Read(odd), bigBytes);
}
