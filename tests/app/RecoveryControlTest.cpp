// The recovery control of the smaller files' group: how far the spin box
// goes, when it can be used, and what its plan line says, before any split.
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>

#include "settings/SettingsStore.h"
#include "tests/app/WorkflowFixture.h"
#include "texts/ExtraTexts.h"

class RecoveryControl : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        UsePiecesFolder();
    }
    // A file of `size` bytes chosen to split, at the base size in use.
    void ChooseFile(const QString& name, int64_t size) {
        ASSERT_TRUE(Write(Path(name), Pattern(size)));
        ChooseToSplit(Path(name));
    }
    QSpinBox* Spin() { return Parts().spnRecovery; }
    QString PlanLine() { return Parts().lblRecoveryPlan->text(); }

    static constexpr int64_t kFloppy = 1457664;  // the base size of a first start
};

// The spin box never asks for more pieces than the planned set has; the
// number the user chose is kept for a larger set, and stored as chosen.
TEST_F(RecoveryControl, TheLimitFollowsThePlannedPieceCount) {
    store.Write(Settings::RecoveryPieces, 5);
    Start();
    Parts().JoinPath = Path("pieces");
    // Nothing planned: the format's limit, and the stored number (more than
    // the few pieces an earlier version allowed) read back as it was.
    EXPECT_EQ(Spin()->maximum(), 32768);
    EXPECT_EQ(Spin()->value(), 5);

    ChooseFile("Three.bin", 2 * kFloppy + 1000);
    EXPECT_EQ(Spin()->maximum(), 3);
    EXPECT_EQ(Spin()->value(), 3);
    EXPECT_EQ(store.Read(Settings::RecoveryPieces), 5);  // the set's limit is no choice of the user

    ChooseFile("Ten.bin", 9 * kFloppy + 1000);
    EXPECT_EQ(Spin()->maximum(), 10);
    EXPECT_EQ(Spin()->value(), 5);

    // Free-space pieces are counted only as the split cuts them.
    Parts().rbSizeFree->click();
    EXPECT_EQ(Spin()->maximum(), 32768);
    EXPECT_EQ(Spin()->value(), 5);
    EXPECT_TRUE(PlanLine().isEmpty());

    Parts().rbSizeBase->click();
    Spin()->setValue(2);
    EXPECT_EQ(store.Read(Settings::RecoveryPieces), 2);
    Spin()->setValue(0);
    EXPECT_TRUE(PlanLine().isEmpty());  // 0 writes none
}

// The plan is one line in the window's MB, whatever the language; the
// caption names the smaller files as the group does.
TEST_F(RecoveryControl, ThePlanLineIsOneLineInMegabytes) {
    ChooseFile("Setup.exe", 2 * kFloppy + 1000);
    EXPECT_TRUE(PlanLine().isEmpty());
    Spin()->setValue(1);
    EXPECT_TRUE(QRegularExpression("^[2-9] recovery files, [0-9]+(\\.[0-9]{1,3})? MB$").match(PlanLine()).hasMatch())
        << PlanLine().toStdString();
    EXPECT_FALSE(Parts().lblRecoveryPlan->wordWrap());
    // The recovery files of one lost piece of 1.39 MB come to more than that, not to millions.
    const double megabytes = PlanLine().section(", ", 1).section(' ', 0, 0).toDouble();
    EXPECT_GT(megabytes, 1.39);
    EXPECT_LT(megabytes, 10.0);

    Main().ChooseLanguage(Language::German);
    EXPECT_TRUE(PlanLine().endsWith(" MB")) << PlanLine().toStdString();
    EXPECT_TRUE(PlanLine().contains("Wiederherstellungsdateien"));
    EXPECT_EQ(Main().findChild<QLabel*>("lblRecovery")->text(),
              "Kleinere Dateien, die sich bei Verlust neu erstellen lassen:");
    Main().ChooseLanguage(Language::Swedish);
    EXPECT_EQ(Main().findChild<QLabel*>("lblRecovery")->text(), "Mindre filer som kan återskapas vid förlust:");
    EXPECT_FALSE(Spin()->toolTip().isEmpty());
}

TEST_F(RecoveryControl, AJoinBeingPreparedTurnsTheControlOff) {
    ChooseFile("Setup.exe", 2 * kFloppy + 1000);
    Main().SelectPauseMode(PauseMode::Never);
    Main().DoSplitClick();
    Main().WaitForTransfer();
    ASSERT_TRUE(QFileInfo::exists(Piece(prefix, 1)));
    EXPECT_TRUE(Spin()->isEnabled());

    ChoosePiece(Piece(prefix, 1));
    ASSERT_TRUE(Parts().DoJoin->isEnabled());
    EXPECT_FALSE(Spin()->isEnabled());
    EXPECT_FALSE(Main().findChild<QLabel*>("lblRecovery")->isEnabled());
    EXPECT_TRUE(PlanLine().isEmpty());

    // A file chosen to split ends the join being prepared.
    ChooseFile("Other.bin", 5000);
    EXPECT_TRUE(Spin()->isEnabled());
    EXPECT_TRUE(Main().findChild<QLabel*>("lblRecovery")->isEnabled());
}

// Pieces smaller than a recovery file's own packets cannot carry any: the
// plan line says so at once, and the split is refused before it copies
// anything rather than failing after the last piece.
TEST_F(RecoveryControl, PiecesTooSmallForRecoveryFilesAreSaidToBeBeforeTheSplit) {
    ChooseFile("Small.bin", 300);
    Parts().BaseSizeValues[size_t(Parts().BaseSizeIndex)] = 100;
    Main().PlanPieceSizes(0);
    ASSERT_EQ(engine.PieceCount(), 3);
    Spin()->setValue(1);
    const QString why = QString::fromStdString(ExtraText(Language::English, Extra::RecoveryPlanTooSmall));
    EXPECT_EQ(PlanLine(), why);

    Main().DoSplitClick();
    EXPECT_FALSE(Main().TransferRunning());
    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "The File Quorvel", why, ModalSeam::Icon::Exclamation);
    EXPECT_EQ(Status1(), why);
    EXPECT_TRUE(PiecesFolder().isEmpty());
    EXPECT_TRUE(Parts().DoSplit->isEnabled());

    // Without recovery files the same pieces split.
    Spin()->setValue(0);
    EXPECT_TRUE(PlanLine().isEmpty());
    Main().SelectPauseMode(PauseMode::Never);
    Main().DoSplitClick();
    Main().WaitForTransfer();
    EXPECT_EQ(Status1(), "The file is splitted!");
    EXPECT_TRUE(QFileInfo::exists(Piece(Path("pieces/Small.bin"), 3)));
}
