// The size display, the piece size plan, the presets and the base size choice
// in the main window, driven through its controls.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>

#include "dialogs/BaseSizeEditor.h"
#include "tests/app/MainWindowFixture.h"

namespace {

const QString kSection = "BaseSize";
constexpr int64_t kFloppy = 1457664;

class Plan : public CLocaleWindowFixture {
protected:
    // Stands in for choosing a file to split: the engine's file, its name
    // label, the size display and the plan.
    void ChooseFile(int64_t bytes, const QString& name = "/data/Setup.exe") {
        engine.SetBigFilePath(name.toStdString());
        Parts().BigFileBytes = bytes;
        Parts().BigFileName->setText(name);
        Main().ShowBigFileSize(Parts().BigUnit);
        Main().PlanPieceSizes(0);
    }

    std::vector<int64_t> EnginePieces() {
        return std::vector<int64_t>(engine.PieceSizes().begin() + 1,
                                    engine.PieceSizes().begin() + 1 + engine.PieceCount());
    }
    QStringList ComboTexts() {
        QStringList texts;
        for (int i = 0; i < Parts().CBBaseSize->count(); ++i) texts << Parts().CBBaseSize->itemText(i);
        return texts;
    }
    int32_t StoredInt(const char* name) { return store.ReadIntSetting(kSection, name, -99); }

    // On the indicator: a stretched radio button does not take clicks beside its text.
    static void ClickRadio(QRadioButton* rb) { QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(4, rb->height() / 2)); }
    void ClickRow(int row) {
        QListWidget* list = Parts().SmallerSizesLB;
        QListWidgetItem* item = list->item(row);
        ASSERT_NE(item, nullptr);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    }
    void EditPiece(int piece, const QString& size) {
        ClickRow(piece - 1);
        Parts().txtNewSize->clear();
        QTest::keyClicks(Parts().txtNewSize, size);
        QTest::mouseClick(Parts().ApplyNewSize, Qt::LeftButton);
    }
    // Picks preset i in the drop-down with the keyboard, as a user would.
    void PickPreset(int i) {
        QComboBox* box = Parts().CBBaseSize;
        while (box->currentIndex() < i) QTest::keyClick(box, Qt::Key_Down);
        while (box->currentIndex() > i) QTest::keyClick(box, Qt::Key_Up);
    }
    void StorePresets(const std::vector<std::pair<QString, int64_t>>& presets, int index) {
        store.WriteIntSetting(kSection, "BaseSizes", int(presets.size()));
        store.WriteIntSetting(kSection, "BaseSizeIndex", index);
        for (size_t i = 0; i < presets.size(); ++i) {
            store.WriteStringSetting(kSection, "BaseSizeText_" + QString::number(i), presets[i].first);
            store.WriteInt64Setting(kSection, "BaseSizeValue_" + QString::number(i), presets[i].second);
        }
    }
    bool SplitEnabled() { return IsEnabled("DoSplit") && IsEnabled("DoSplitBtn") && IsEnabled("SmallerSizesLB"); }
};

const QStringList kBuiltIns = {"720 kB 3.5'' single", "1.44 MB 3.5'' double", "105 MB SyQuest",
                               "120 MB SuperDisk",    "270 MB SyQuest",       "1 GB Jaz Drive"};

}  // namespace

TEST_F(Plan, FirstStartListsBuiltInPresetsAndStoresThem) {
    EXPECT_EQ(ComboTexts(), kBuiltIns);
    EXPECT_EQ(Parts().CBBaseSize->currentText(), QStringLiteral("1.44 MB 3.5'' double"));
    EXPECT_EQ(StoredInt("BaseSizes"), 6);
    EXPECT_EQ(StoredInt("BaseSizeIndex"), 1);
    const int64_t values[] = {730112, 1457664, 109850624, 125958144, 267612160, 1070284800};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(store.ReadInt64Setting(kSection, "BaseSizeValue_" + QString::number(i), -1), values[i]);
        EXPECT_EQ(store.ReadStringSetting(kSection, "BaseSizeText_" + QString::number(i), "?"), kBuiltIns[i]);
    }
    EXPECT_TRUE(Parts().rbSizeBase->isChecked());
    EXPECT_TRUE(Parts().BigFileRB3->isChecked());
    EXPECT_EQ(Parts().BigFileSize->text(), QStringLiteral(" "));
    EXPECT_EQ(store.Read(Settings::BigUnit), 3);
    EXPECT_EQ(Parts().SmallerSizesLB->count(), 0);
}

TEST_F(Plan, StoredPresetsWithAMissingText) {
    StorePresets({{"first", 1000}, {"second", 7}, {"third", 3000}}, 1);
    store.DeleteSetting(kSection, "BaseSizeText_2");
    store.DeleteSetting(kSection, "BaseSizeValue_1");
    Start();
    EXPECT_EQ(ComboTexts(), (QStringList{"first", "second", "(undefined)"}));
    EXPECT_EQ(Parts().CBBaseSize->currentIndex(), 1);
    ChooseFile(3);
    EXPECT_EQ(Sizes(), (QStringList{"1", "1", "1"}));  // the missing size reads as 1 byte
}

TEST_F(Plan, CountNotPositiveWritesBuiltInsAgain) {
    for (int count : {0, -2}) {
        SCOPED_TRACE(count);
        StorePresets({{"mine", 1000}}, 0);
        store.WriteIntSetting(kSection, "BaseSizes", count);
        Start();
        EXPECT_EQ(ComboTexts(), kBuiltIns);
        EXPECT_EQ(Parts().CBBaseSize->currentIndex(), 1);
        EXPECT_EQ(StoredInt("BaseSizes"), 6);
        EXPECT_EQ(StoredInt("BaseSizeIndex"), 1);
    }
}

TEST_F(Plan, IndexOutsideTheListFallsBackToFirstPreset) {
    store.WriteIntSetting(kSection, "BaseSizeIndex", 9);  // the built-ins are stored by now
    Start();
    EXPECT_EQ(Parts().CBBaseSize->currentIndex(), 0);
    EXPECT_EQ(StoredInt("BaseSizeIndex"), 0);
    ChooseFile(1000000);
    EXPECT_EQ(Sizes(), (QStringList{"730112", "269888"}));
}

TEST_F(Plan, PlanShowsSizesCountHintAndEnablesSplitting) {
    ChooseFile(3000000);
    EXPECT_EQ(Sizes(), (QStringList{"1457664", "1457664", "84672"}));
    EXPECT_EQ(engine.PieceCount(), 3);
    EXPECT_EQ(EnginePieces(), (std::vector<int64_t>{kFloppy, kFloppy, 84672}));
    EXPECT_EQ(Parts().lblNrFiles->text(), QStringLiteral("Nr. of files: 3"));
    EXPECT_EQ(GroupHint(), QStringLiteral("The * in the names is an integer from 1 to 3"));
    EXPECT_EQ(Status1(), QStringLiteral("Ready to split the file!"));
    EXPECT_TRUE(SplitEnabled());
    EXPECT_TRUE(IsEnabled("FindPlaceToSmallFiles"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    ChooseFile(2915328);
    EXPECT_EQ(Sizes(), (QStringList{"1457664", "1457664"}));
    ChooseFile(1000);
    EXPECT_EQ(Sizes(), (QStringList{"1000"}));
    EXPECT_EQ(Parts().lblNrFiles->text(), QStringLiteral("Nr. of files: 1"));
}

TEST_F(Plan, EmptyFileMakesNoPlan) {
    ChooseFile(3000000);
    ChooseFile(0);
    ExpectEnabled({"DoSplit", "FindPlaceToSmallFiles"}, false);
    EXPECT_EQ(Status1(), QString());
    EXPECT_EQ(Parts().BigFileSize->text(), QStringLiteral(" "));
}

TEST_F(Plan, PieceLimitAndTooManyFiles) {
    StorePresets({{"tiny", 1000}}, 0);
    Start();
    ChooseFile(32760000);
    EXPECT_EQ(Parts().SmallerSizesLB->count(), 32760);
    EXPECT_EQ(Parts().lblNrFiles->text(), QStringLiteral("Nr. of files: 32760"));

    ChooseFile(32760001);
    const std::vector<ScriptedModal::Shown> messages = modal.Messages();
    ASSERT_EQ(messages.size(), 1u);
    ExpectBox(messages[0], "Too many files!", "Choose a bigger Base Size, otherwise too many files have to be created",
              ModalSeam::Icon::Exclamation, ModalSeam::Buttons::Ok);
    EXPECT_EQ(Parts().SmallerSizesLB->count(), 0);
    EXPECT_EQ(Parts().lblNrFiles->text(), QString());
    EXPECT_EQ(GroupHint(), QString());
    EXPECT_EQ(Status1(), QStringLiteral("Too many files!"));
    ExpectEnabled({"DoSplit", "FindPlaceToSmallFiles", "ApplyNewSize"}, false);
    EXPECT_EQ(engine.PieceCount(), 0);  // nothing left that a split could use
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Plan, ChoosingAPresetReplansAndStoresIt) {
    ChooseFile(3000000);
    PickPreset(0);
    EXPECT_EQ(StoredInt("BaseSizeIndex"), 0);
    EXPECT_EQ(Parts().BaseSizeIndex, 0);
    EXPECT_EQ(Sizes(), (QStringList{"730112", "730112", "730112", "730112", "79552"}));
    PickPreset(2);
    EXPECT_EQ(Sizes(), (QStringList{"3000000"}));
    EXPECT_EQ(StoredInt("BaseSizeIndex"), 2);
    Start();
    EXPECT_EQ(Parts().CBBaseSize->currentIndex(), 2);
}

TEST_F(Plan, FreeSpaceModeAndBack) {
    ClickRadio(Parts().rbSizeFree);  // no file yet
    EXPECT_TRUE(Parts().UseFreeSpace);
    EXPECT_EQ(GroupHint(), QString());
    EXPECT_FALSE(Parts().CBBaseSize->isEnabled());
    EXPECT_FALSE(Parts().ApplyBaseSize->isEnabled());
    EXPECT_TRUE(store.Read(Settings::UseFreeSpace));

    ClickRadio(Parts().rbSizeBase);
    ChooseFile(3000000);
    ClickRadio(Parts().rbSizeFree);
    EXPECT_EQ(Parts().SmallerSizesLB->count(), 0);
    EXPECT_EQ(Parts().lblNrFiles->text(), QString());
    EXPECT_EQ(GroupHint(), QStringLiteral("The * in the names is an integer from 1 to ?"));
    EXPECT_TRUE(IsEnabled("DoSplit"));  // splitting stays possible: the engine sizes the pieces

    ClickRadio(Parts().rbSizeBase);
    EXPECT_FALSE(store.Read(Settings::UseFreeSpace));
    EXPECT_TRUE(Parts().CBBaseSize->isEnabled());
    EXPECT_EQ(Sizes(), (QStringList{"1457664", "1457664", "84672"}));
    EXPECT_EQ(Parts().lblNrFiles->text(), QStringLiteral("Nr. of files: 3"));

    ClickRadio(Parts().rbSizeFree);
    Start();  // the mode is remembered
    EXPECT_TRUE(Parts().rbSizeFree->isChecked());
    EXPECT_FALSE(Parts().rbSizeBase->isChecked());
    EXPECT_TRUE(Parts().UseFreeSpace);
}

TEST_F(Plan, EditingOnePiece) {
    const struct {
        int piece;
        const char* size;
        QStringList expected;
    } cases[] = {
        {2, "1000000", {"1457664", "1000000", "542336"}},
        {3, "100", {"1457664", "1457664", "100", "84572"}},
        {1, "3000000", {"3000000"}},
        {2, "1.44", {"1457664", "1", "1457664", "84671"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        ChooseFile(3000000);
        EditPiece(c.piece, c.size);
        EXPECT_EQ(Sizes(), c.expected);
        EXPECT_EQ(engine.PieceCount(), int32_t(c.expected.size()));
        EXPECT_EQ(Parts().ChangeItem->text(), QStringLiteral("File Number "));
        EXPECT_FALSE(IsEnabled("ApplyNewSize"));
    }
    EXPECT_TRUE(modal.Messages().empty());
}

TEST_F(Plan, ClickingAPieceOffersItForEditing) {
    ChooseFile(3000000);
    ClickRow(2);
    EXPECT_EQ(Parts().ChangeItem->text(), QStringLiteral("File Number 3"));
    EXPECT_EQ(Parts().txtNewSize->text(), QStringLiteral("84672"));
    ExpectEnabled({"ApplyNewSize", "txtNewSize"}, true);

    // A row chosen with the keys is offered the same way: the size applied
    // goes to the piece shown.
    QTest::keyClick(Parts().SmallerSizesLB, Qt::Key_Up);
    EXPECT_EQ(Parts().ChangeItem->text(), QStringLiteral("File Number 2"));
    EXPECT_EQ(Parts().txtNewSize->text(), QStringLiteral("1457664"));
    Parts().txtNewSize->setText("1000000");
    QTest::mouseClick(Parts().ApplyNewSize, Qt::LeftButton);
    EXPECT_EQ(Sizes(), (QStringList{"1457664", "1000000", "542336"}));
}

TEST_F(Plan, LaterEditReplansEarlierEditedPieces) {
    ChooseFile(3000000);
    EditPiece(3, "100");
    EditPiece(2, "1000000");
    EXPECT_EQ(Sizes(), (QStringList{"1457664", "1000000", "542336"}));
}

TEST_F(Plan, KeptPiecesLargerThanTheFileFallBackToTheBasePlan) {
    ChooseFile(3000000);
    EditPiece(1, "3000001");
    EXPECT_EQ(Sizes(), (QStringList{"1457664", "1457664", "84672"}));
    EXPECT_EQ(EnginePieces(), (std::vector<int64_t>{kFloppy, kFloppy, 84672}));
    ASSERT_EQ(modal.Messages().size(), 1u);
    ExpectBox(modal.Messages()[0], "Too Big New Size!", "The program chose to apply the base size instead",
              ModalSeam::Icon::Exclamation);
    EXPECT_EQ(Status1(), QStringLiteral("Ready to split the file!"));
}

TEST_F(Plan, RejectedSizeLeavesThePlan) {
    for (const char* typed : {"abc", "0", "-5", ""}) {
        SCOPED_TRACE(typed);
        ChooseFile(3000000);
        modal.shown.clear();
        EditPiece(2, typed);
        ASSERT_EQ(modal.Messages().size(), 1u);
        EXPECT_EQ(modal.Messages()[0].title, QStringLiteral("The new size can not be used!"));
        EXPECT_EQ(modal.Messages()[0].text, QStringLiteral("The program ignored the new size"));
        EXPECT_EQ(Sizes(), (QStringList{"1457664", "1457664", "84672"}));
        EXPECT_EQ(Parts().ChangeItem->text(), QStringLiteral("File Number 2"));
        EXPECT_FALSE(IsEnabled("ApplyNewSize"));
    }
}

TEST_F(Plan, NothingSelectedDoesNothing) {
    ChooseFile(3000000);
    Parts().SmallerSizesLB->clearSelection();
    Parts().txtNewSize->setText("5");
    Main().SmallerSizesLBClick();
    Main().ApplyNewSizeClick();
    EXPECT_TRUE(modal.Messages().empty());
    EXPECT_EQ(Sizes(), (QStringList{"1457664", "1457664", "84672"}));
    EXPECT_EQ(Parts().ChangeItem->text(), QStringLiteral("File Number "));
}

TEST_F(Plan, EditorNewPresetBecomesCurrentAndIsUsed) {
    ChooseFile(250000000);
    modal.SetNextDialogAction([](QDialog* d) {
        auto* editor = static_cast<TFrmBaseSize*>(d);
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("Modify Base Sizes"));
        QTest::keyClicks(editor->txtDescription, "Cartridge");
        QTest::keyClicks(editor->txtSize, "100000000");
        QTest::mouseClick(editor->NewBtn, Qt::LeftButton);
        d->close();
        return int(QDialog::Rejected);
    });
    QTest::mouseClick(Parts().ApplyBaseSize, Qt::LeftButton);
    ASSERT_EQ(modal.shown.size(), 1u);
    EXPECT_EQ(modal.shown[0].kind, ScriptedModal::Shown::Kind::Dialog);
    EXPECT_EQ(Parts().CBBaseSize->count(), 7);
    EXPECT_EQ(Parts().CBBaseSize->currentText(), QStringLiteral("Cartridge"));
    EXPECT_EQ(Sizes(), (QStringList{"100000000", "100000000", "50000000"}));
}

TEST_F(Plan, EditorClosedWithoutChangeStillReplans) {
    ChooseFile(3000000);
    EditPiece(2, "1000000");
    QTest::mouseClick(Parts().ApplyBaseSize, Qt::LeftButton);  // closed at once
    EXPECT_EQ(Parts().CBBaseSize->currentIndex(), 1);
    EXPECT_EQ(Sizes(), (QStringList{"1457664", "1457664", "84672"}));
}

TEST_F(Plan, EditorDeletingEveryPresetRestoresBuiltIns) {
    modal.SetNextDialogAction([](QDialog* d) {
        auto* editor = static_cast<TFrmBaseSize*>(d);
        while (editor->ListBox1->count() > 0) {
            editor->ListBox1->setCurrentRow(0);
            QTest::mouseClick(editor->DeleteBtn, Qt::LeftButton);
        }
        d->close();
        return int(QDialog::Rejected);
    });
    QTest::mouseClick(Parts().ApplyBaseSize, Qt::LeftButton);
    EXPECT_EQ(ComboTexts(), kBuiltIns);
    EXPECT_EQ(Parts().CBBaseSize->currentIndex(), 1);
    EXPECT_EQ(StoredInt("BaseSizes"), 6);
}

TEST_F(Plan, UnitDisplayIsStoredAndRestored) {
    ChooseFile(3000000);
    EXPECT_EQ(Parts().BigFileSize->text(), QStringLiteral("2.861"));
    const struct {
        const char* button;  // object name
        int unit;
        const char* text;
    } units[] = {
        {"BigFileRB1", 1, "3000000"},
        {"BigFileRB2", 2, "2929.688"},
        {"BigFileRB4", 4, "0.003"},
    };
    for (const auto& u : units) {
        SCOPED_TRACE(u.unit);
        ClickRadio(Find<QRadioButton>(u.button));
        EXPECT_EQ(Parts().BigFileSize->text(), QString::fromLatin1(u.text));
        EXPECT_EQ(store.Read(Settings::BigUnit), u.unit);
    }
    Start();
    EXPECT_TRUE(Parts().BigFileRB4->isChecked());
    EXPECT_EQ(Parts().BigUnit, SizeUnit::Gigabytes);
}

TEST_F(Plan, StoredUnitOutsideTheRangeReadsAsMegabytes) {
    store.Write(Settings::BigUnit, 7);
    Start();
    EXPECT_EQ(Parts().BigUnit, SizeUnit::Megabytes);
    EXPECT_TRUE(Parts().BigFileRB3->isChecked());
    ChooseFile(3000000);
    EXPECT_EQ(Parts().BigFileSize->text(), QStringLiteral("2.861"));
}

TEST_F(Plan, DecimalCommaOfTheUserLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ChooseFile(1457664);
    ClickRadio(Parts().BigFileRB2);
    EXPECT_EQ(Parts().BigFileSize->text(), QStringLiteral("1423,5"));
    ChooseFile(1);
    ClickRadio(Parts().BigFileRB3);
    EXPECT_EQ(Parts().BigFileSize->text(), QStringLiteral("0.000"));
}

// Not a check: how long planning the largest set takes in the real window.
TEST_F(Plan, TimingOfTheLargestPlan) {
    StorePresets({{"tiny", 1000}}, 0);
    Start();
    Main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    Parts().BigFileBytes = 32760000;
    Parts().BigFileName->setText("/data/big");
    QElapsedTimer timer;
    for (int run = 0; run < 3; ++run) {
        timer.start();
        Main().PlanPieceSizes(0);
        QApplication::processEvents();
        const qint64 ms = timer.elapsed();
        std::printf("PlanPieceSizes, 32760 pieces, shown window: %lld ms\n", static_cast<long long>(ms));
    }
    EXPECT_EQ(Parts().SmallerSizesLB->count(), 32760);
}
