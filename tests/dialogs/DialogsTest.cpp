// The disk number, memory limit and piece marker dialogs, driven as a user
// would: shown (not run modally), typed into and clicked.
#include <gtest/gtest.h>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <functional>
#include <memory>

#include "dialogs/DiskDialog.h"
#include "dialogs/FileTypeDialog.h"
#include "dialogs/MemoryDialog.h"
#include "settings/SettingsStore.h"
#include "tests/support/TestSupport.h"
#include "texts/TextCatalogue.h"

namespace {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearTestSettings();
        LanguageIndex = Language::English;
        BuildCatalogue(".Quorved_");
    }
    void TearDown() override { LanguageIndex = Language::English; }

    template <class T>
    static T* Child(QWidget* dialog, const char* name) {
        T* child = dialog->findChild<T*>(QString::fromLatin1(name));
        if (!child) ADD_FAILURE() << "no control " << name;
        return child;
    }
    // Replaces the whole text as typing over a selection would.
    static void TypeOver(QWidget* field, const QString& text) {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, text);
    }
    static void ClickOk(QWidget* dialog, const char* name) {
        QTest::mouseClick(Child<QPushButton>(dialog, name), Qt::LeftButton);
    }
};

// ---- disk number ----------------------------------------------------------

TEST_F(DialogTest, DiskCountIsTakenOnlyByOkAndRemembered) {
    TfrmDisk dialog;
    auto* spinner = Child<QSpinBox>(&dialog, "txtNr");
    EXPECT_EQ(dialog.Count(), 0);

    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "#");
    EXPECT_EQ(Child<QLabel>(&dialog, "ChooseDiskNr")->text(), "Enter number of diskettes/files");
    ClickOk(&dialog, "OKBtn");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Count(), 1);

    dialog.show();
    TypeOver(spinner, "7");
    ClickOk(&dialog, "OKBtn");
    EXPECT_EQ(dialog.Count(), 7);

    // Shown again it offers the number chosen before; closing it without OK
    // keeps the count even though the spinner was moved.
    dialog.show();
    EXPECT_EQ(spinner->value(), 7);
    QTest::keyClick(spinner, Qt::Key_Up);
    QTest::keyClick(spinner, Qt::Key_Up);
    EXPECT_EQ(spinner->value(), 9);
    dialog.close();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Count(), 7);
}

TEST_F(DialogTest, DiskCountClosedWithoutAnyOkStaysZero) {
    TfrmDisk dialog;
    dialog.show();
    QTest::keyClick(Child<QSpinBox>(&dialog, "txtNr"), Qt::Key_Up);
    dialog.close();
    EXPECT_EQ(dialog.Count(), 0);
}

TEST_F(DialogTest, DiskSpinnerStaysWithinOneTo32760) {
    TfrmDisk dialog;
    auto* spinner = Child<QSpinBox>(&dialog, "txtNr");
    dialog.show();
    EXPECT_EQ(spinner->minimum(), 1);
    EXPECT_EQ(spinner->maximum(), 32760);
    EXPECT_FALSE(spinner->wrapping());

    QTest::keyClick(spinner, Qt::Key_Down);
    EXPECT_EQ(spinner->value(), 1);
    spinner->setValue(32760);
    QTest::keyClick(spinner, Qt::Key_Up);
    EXPECT_EQ(spinner->value(), 32760);

    // Text beyond the range never becomes a count outside it.
    for (const char* typed : {"40000", "0", "-3", "abc"}) {
        dialog.show();
        TypeOver(spinner, QString::fromLatin1(typed));
        ClickOk(&dialog, "OKBtn");
        EXPECT_GE(dialog.Count(), 1) << typed;
        EXPECT_LE(dialog.Count(), 32760) << typed;
    }
}

// ---- memory limit ---------------------------------------------------------

TEST_F(DialogTest, MemoryFreshStoreShowsTheDefaultLimit) {
    TMemory dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Memory Usage");
    EXPECT_EQ(Child<QLabel>(&dialog, "lblMaxAllowedRAM")->text(), "Max Allowed Memory Usage (B)");
    EXPECT_EQ(Child<QLineEdit>(&dialog, "txtMaxAllowedRAM")->text(), "100000");
    EXPECT_EQ(dialog.ConfirmedLimit(), 100000);
}

TEST_F(DialogTest, MemoryFieldAlwaysShowsAPlainNonNegativeNumber) {
    struct Case {
        const char* text;
        bool typed;  // key by key; otherwise pasted over the whole field
        const char* shown;
    };
    const Case cases[] = {
        {"250k", true, "250"},
        {"12a", true, "12"},
        {"", true, "0"},
        {" 7", false, "7"},
        {"-1", false, "0"},
        {"abc", false, "0"},
        {"+42", false, "42"},
        // The limit is a 32-bit count: larger numbers stop at its top.
        {"99999999999", false, "2147483647"},
        {"99999999999999999999999", false, "2147483647"},
    };
    TMemory dialog;
    auto* field = Child<QLineEdit>(&dialog, "txtMaxAllowedRAM");
    dialog.show();
    for (const Case& c : cases) {
        if (c.typed) {
            TypeOver(field, QString::fromLatin1(c.text));
        } else {
            field->selectAll();
            field->insert(QString::fromLatin1(c.text));
        }
        EXPECT_EQ(field->text(), c.shown) << c.text;
        EXPECT_EQ(QString::number(dialog.EditedLimit()), c.shown) << c.text;
    }
}

TEST_F(DialogTest, MemoryOkStoresTheEditedLimit) {
    TSettingsStore store;
    TMemory dialog;
    auto* field = Child<QLineEdit>(&dialog, "txtMaxAllowedRAM");
    for (const auto& [typed, stored] : {std::pair{"250k", 250}, std::pair{"", 0}, std::pair{"65536", 65536}}) {
        dialog.show();
        TypeOver(field, QString::fromLatin1(typed));
        ClickOk(&dialog, "OkButton");
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.ConfirmedLimit(), stored) << typed;
        EXPECT_EQ(store.Read(Settings::MaxRAM), stored) << typed;
    }
}

TEST_F(DialogTest, MemoryDigitsTypedIntoAnEmptiedFieldReplaceItsZero) {
    TSettingsStore store;
    TMemory dialog;
    auto* field = Child<QLineEdit>(&dialog, "txtMaxAllowedRAM");
    dialog.show();
    // Emptied key by key from the end, as a user does with Backspace.
    field->end(false);
    while (field->text() != "0") QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, "65536");
    EXPECT_EQ(field->text(), "65536");
    ClickOk(&dialog, "OkButton");
    EXPECT_EQ(store.Read(Settings::MaxRAM), 65536);
}

TEST_F(DialogTest, MemoryClosedWithoutOkKeepsTheStoredLimit) {
    TSettingsStore store;
    store.Write(Settings::MaxRAM, 4096);
    TMemory dialog;
    auto* field = Child<QLineEdit>(&dialog, "txtMaxAllowedRAM");
    dialog.show();
    EXPECT_EQ(field->text(), "4096");
    TypeOver(field, "5");
    dialog.close();
    EXPECT_EQ(dialog.ConfirmedLimit(), 4096);
    EXPECT_EQ(store.Read(Settings::MaxRAM), 4096);

    // The next showing reads the store again rather than the abandoned edit.
    dialog.show();
    EXPECT_EQ(field->text(), "4096");
    EXPECT_EQ(dialog.EditedLimit(), 4096);
}

TEST_F(DialogTest, MemoryNegativeStoredLimitIsHandedOnAsTheDefault) {
    TSettingsStore store;
    store.Write(Settings::MaxRAM, -5);
    TMemory dialog;
    dialog.show();
    EXPECT_EQ(Child<QLineEdit>(&dialog, "txtMaxAllowedRAM")->text(), "100000");
    EXPECT_EQ(dialog.ConfirmedLimit(), 100000);
}

// ---- piece marker ---------------------------------------------------------

TEST_F(DialogTest, MarkerFreshStoreShowsTheDefault) {
    TFrmFileType dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Change ending to the names of the smaller files");
    EXPECT_EQ(Child<QLabel>(&dialog, "lblFtype")->text(), "Choose a new ending (before the compulsory running index)");
    EXPECT_EQ(Child<QLineEdit>(&dialog, "txtFtype")->text(), ".Quorved_");
    EXPECT_EQ(dialog.Marker(), ".Quorved_");
}

TEST_F(DialogTest, MarkerOkStoresTheTextOrTheDefaultForNothing) {
    TSettingsStore store;
    TFrmFileType dialog;
    auto* field = Child<QLineEdit>(&dialog, "txtFtype");
    for (const auto& [typed, stored] :
         {std::pair{".part", ".part"}, std::pair{"", ".Quorved_"}, std::pair{" -x- ", " -x- "}}) {
        dialog.show();
        TypeOver(field, QString::fromLatin1(typed));
        ClickOk(&dialog, "OkBtn");
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.Marker(), stored);
        EXPECT_EQ(store.Read(Settings::AddedFileType), stored);
        dialog.show();
        EXPECT_EQ(field->text(), stored);
        dialog.close();
    }
}

TEST_F(DialogTest, MarkerThatCannotStandInAFileNameKeepsTheMarkerInUse) {
    TSettingsStore store;
    store.Write(Settings::AddedFileType, ".part");
    TFrmFileType dialog;
    // A control character can be pasted; a digit at the end would run into the piece number.
    for (const char* typed : {"a/b", "a\\b", "x\ty", "1", ".part9"}) {
        dialog.show();
        Child<QLineEdit>(&dialog, "txtFtype")->setText(QString::fromLatin1(typed));
        ClickOk(&dialog, "OkBtn");
        EXPECT_EQ(store.Read(Settings::AddedFileType), ".part") << typed;
    }
}

TEST_F(DialogTest, MarkerClosedWithoutOkStoresNothing) {
    TSettingsStore store;
    store.Write(Settings::AddedFileType, ".part");
    TFrmFileType dialog;
    auto* field = Child<QLineEdit>(&dialog, "txtFtype");
    dialog.show();
    TypeOver(field, ".zz");
    dialog.close();
    EXPECT_EQ(store.Read(Settings::AddedFileType), ".part");
    EXPECT_EQ(dialog.Marker(), ".part");
    dialog.show();
    EXPECT_EQ(field->text(), ".part");
}

// ---- texts on every showing -------------------------------------------------

TEST_F(DialogTest, EveryShowingTakesTheCurrentLanguageAndFitsItsTexts) {
    struct Case {
        std::function<QDialog*(QWidget*)> make;
        const char* label;
        const char* germanLabel;
        const char* germanTitle;
    };
    const Case cases[] = {
        {[](QWidget* owner) { return new TfrmDisk(owner); }, "ChooseDiskNr", "Gib die Anzahl der Disketten/Dateien an",
         "#"},
        {[](QWidget* owner) { return new TMemory(owner); }, "lblMaxAllowedRAM",
         "Maximum erlaubte Speicher-gebrauch (B)", "Speicher-gebrauch"},
        {[](QWidget* owner) { return new TFrmFileType(owner); }, "lblFtype", "Wähle eine neue Endung",
         "Ändere die Endung der Namen von den kleineren Dateien"},
    };
    const QString shots = qEnvironmentVariable("QUORVEL_SHOT_DIR");
    // An owner in a corner, as the main window may be: the dialogs open in
    // the middle of the screen all the same.
    QWidget owner;
    owner.setGeometry(0, 0, 120, 80);
    owner.show();
    const auto offCentre = [](QDialog* d) {
        return (d->geometry().center() - d->screen()->availableGeometry().center()).manhattanLength();
    };
    for (const Case& c : cases) {
        LanguageIndex = Language::English;
        std::unique_ptr<QDialog> dialog(c.make(&owner));
        dialog->show();
        EXPECT_LE(offCentre(dialog.get()), 40) << c.label;
        if (!shots.isEmpty()) dialog->grab().save(shots + "/" + dialog->objectName() + "-en.png");
        dialog->close();

        LanguageIndex = Language::German;
        dialog->show();
        auto* label = Child<QLabel>(dialog.get(), c.label);
        EXPECT_EQ(label->text(), QString::fromUtf8(c.germanLabel));
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(c.germanTitle));
        EXPECT_LE(offCentre(dialog.get()), 40) << c.label;
        // The longer German texts still fit.
        EXPECT_GE(label->width(), label->sizeHint().width()) << c.label;
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            EXPECT_GE(button->width(), button->sizeHint().width());
        if (!shots.isEmpty()) dialog->grab().save(shots + "/" + dialog->objectName() + "-de.png");
        dialog->close();
    }
}

}  // namespace
