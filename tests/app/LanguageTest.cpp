// The Language menu: the main window's texts rewritten, the piece count and
// group hint in the new language, the choice stored at once and restored at
// the next start, and the checked language changing nothing.
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>

#include "app/QtLanguage.h"
#include "tests/app/MainWindowFixture.h"

namespace {

class Language : public MainWindowFixture {
protected:
    QAction* Item(int language) {
        QAction* const items[] = {Parts().LanguageEnglish, Parts().LanguageSwedish, Parts().LanguageGerman};
        return items[language];
    }
    int32_t StoredLanguage() { return store.ReadIntSetting("Language", "Language", -12345); }

    // A planned file of `bytes` in base size mode (1.44 MB pieces by default).
    void PlanFile(int64_t bytes) {
        engine.SetBigFilePath("/data/Setup.exe");
        Parts().BigFileBytes = bytes;
        Parts().BigFileName->setText("/data/Setup.exe");
        Main().PlanPieceSizes(0);
    }
};

TEST_F(Language, SwitchRewritesTheMainWindowAndStoresTheChoice) {
    Item(2)->trigger();
    EXPECT_EQ(LanguageIndex, ::Language::German);
    EXPECT_EQ(LanguageChecks(), (Checks{false, false, true}));
    EXPECT_EQ(Parts().File1->title(), "&Datei");
    EXPECT_EQ(Main().windowTitle(), "Dateiquorvel");
    EXPECT_EQ(Parts().LanguageGerman->text(), "&Deutch");
    EXPECT_EQ(Parts().HintBtn->toolTip(), "Erklärt das Programm");
    EXPECT_EQ(Parts().Hint->text(), "&Wie es funktioniert...");
    EXPECT_EQ(StoredLanguage(), 2);

    Item(0)->trigger();
    EXPECT_EQ(LanguageChecks(), (Checks{true, false, false}));
    EXPECT_EQ(Parts().File1->title(), "&File");
    EXPECT_EQ(Main().windowTitle(), "The File Quorvel");
    EXPECT_EQ(Parts().HintBtn->toolTip(), "Explains the program");
    EXPECT_EQ(StoredLanguage(), 0);
}

TEST_F(Language, PieceCountAndGroupHintFollowTheSwitch) {
    PlanFile(3000000);
    ASSERT_EQ(engine.PieceCount(), 3);
    // A piece offered for editing: after a switch the label names no piece.
    Parts().SmallerSizesLB->setCurrentRow(1);
    Main().SmallerSizesLBClick();
    ASSERT_EQ(Parts().ChangeItem->text(), "File Number 2");

    struct Case {
        int language;
        const char *nrFiles, *hint, *changeItem;
    };
    const Case cases[] = {
        {1, "Antal filer: 3", "* i filnamnen är ett heltal från 1 till 3", "Filnummer "},
        {2, "Dateien: 3", "Das * in den Namen ist eine ganze Zahl von 1 zu 3", "Dateienummer "},
        {0, "Nr. of files: 3", "The * in the names is an integer from 1 to 3", "File Number "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        Parts().StatusPanel0->setText("hint");
        Parts().StatusPanel1->setText("Ready to split the file!");
        Item(c.language)->trigger();
        EXPECT_EQ(Parts().lblNrFiles->text(), c.nrFiles);
        EXPECT_EQ(GroupHint(), c.hint);
        EXPECT_EQ(Parts().ChangeItem->text(), c.changeItem);
        EXPECT_EQ(Parts().StatusPanel0->text(), QString());
        EXPECT_EQ(Parts().StatusPanel1->text(), QString());
    }
    // Only texts change: the plan, the list and the editing controls stay.
    EXPECT_EQ(Parts().SmallerSizesLB->count(), 3);
    EXPECT_EQ(engine.PieceCount(), 3);
    EXPECT_TRUE(IsEnabled("DoSplit"));
}

TEST_F(Language, TextsFitAfterASwitchAndButtonCaptionsKeepRoomToTheFrame) {
    Main().show();
    QWidget* content = Main().centralWidget();
    for (int language : {2, 1, 0, 2}) {
        SCOPED_TRACE(language);
        Item(language)->trigger();
        // Each layout request reaches the next parent up in the next round.
        for (int round = 0; round < 10; ++round) QCoreApplication::processEvents();
        for (QLabel* label : content->findChildren<QLabel*>())
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
        for (QPushButton* button : content->findChildren<QPushButton*>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect inside = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const QFontMetrics metrics = button->fontMetrics();
            // About a character's width free on either side of the caption.
            EXPECT_GE(inside.width() - metrics.horizontalAdvance(button->text()), 2 * metrics.averageCharWidth())
                << button->text().toStdString();
        }
    }
}

TEST_F(Language, QtsOwnButtonsSpeakTheLanguageFromTheStartAndAfterASwitch) {
    auto buttonTexts = [] {
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        return box.button(QMessageBox::Yes)->text() + '/' + box.button(QMessageBox::No)->text() + '/' +
               QCoreApplication::translate("QPlatformTheme", "Cancel");
    };
    // Debian ships Qt's German texts in a package of their own; without it they stay English.
    const bool germanInstalled = QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm");
    const QString german = germanInstalled ? "&Ja/&Nein/Abbrechen" : "&Yes/&No/Cancel";

    store.Write(Settings::Language, 2);
    Start();
    EXPECT_EQ(buttonTexts(), german);

    struct Case {
        int language;
        QString texts;
    };
    for (const Case& c : {Case{1, "&Ja/&Nej/Avbryt"}, Case{0, "&Yes/&No/Cancel"}, Case{2, german}}) {
        SCOPED_TRACE(c.language);
        Item(c.language)->trigger();
        EXPECT_EQ(buttonTexts(), c.texts);
    }
}

TEST_F(Language, FreeSpaceModeShowsNoCountAndAQuestionMark) {
    PlanFile(3000000);
    Parts().rbSizeFree->click();
    ASSERT_TRUE(Parts().UseFreeSpace);
    Item(1)->trigger();
    EXPECT_EQ(Parts().lblNrFiles->text(), QString());
    EXPECT_EQ(GroupHint(), "* i filnamnen är ett heltal från 1 till ?");
}

TEST_F(Language, ChoosingTheCheckedLanguageChangesAndWritesNothing) {
    struct Case {
        int stored;
        bool fromMenu;  // the item's own trigger, or the handler called directly
    };
    for (const Case c : {Case{0, true}, Case{0, false}, Case{2, true}, Case{2, false}}) {
        SCOPED_TRACE(testing::Message() << c.stored << (c.fromMenu ? " menu" : " direct"));
        store.Write(Settings::Language, c.stored);
        Start();
        const Checks before = LanguageChecks();
        // Marks that a rewrite of the texts or the status bar would remove.
        Parts().File1->setTitle("untouched");
        Parts().StatusPanel0->setText("welcome");
        Parts().StatusPanel1->setText("The file is splitted!");
        ClearTestSettings();

        if (c.fromMenu)
            Item(c.stored)->trigger();
        else if (c.stored == 0)
            Main().ChooseLanguage(::Language::English);
        else
            Main().ChooseLanguage(::Language::German);

        EXPECT_EQ(StoredTestKeys(), QStringList()) << "the choice was written";
        if (SettingsAreAFile()) {
            EXPECT_FALSE(QFile::exists(TestSettingsFile())) << "the store was written";
        }
        EXPECT_EQ(LanguageChecks(), before);
        EXPECT_EQ(LanguageIndex, static_cast<::Language>(c.stored));
        EXPECT_EQ(Parts().File1->title(), "untouched");
        EXPECT_EQ(Parts().StatusPanel0->text(), "welcome");
        EXPECT_EQ(Parts().StatusPanel1->text(), "The file is splitted!");
    }
}

TEST_F(Language, ChoiceIsRestoredAtTheNextStart) {
    Item(1)->trigger();
    Start();
    EXPECT_EQ(LanguageIndex, ::Language::Swedish);
    EXPECT_EQ(LanguageChecks(), (Checks{false, true, false}));
    EXPECT_EQ(Parts().File1->title(), "&Arkiv");
    EXPECT_EQ(Main().windowTitle(), "Filquorvelen");
}

TEST_F(Language, StoredLanguageOutOfRangeReadsAsEnglish) {
    store.Write(Settings::Language, 7);
    Start();
    EXPECT_EQ(LanguageIndex, ::Language::English);
    EXPECT_EQ(LanguageChecks(), (Checks{true, false, false}));
    Item(1)->trigger();
    EXPECT_EQ(LanguageChecks(), (Checks{false, true, false}));
    EXPECT_EQ(StoredLanguage(), 1);
}

// Numbers are written as the chosen language writes them, whatever the
// desktop's locale; a first start speaks the desktop's language.
TEST_F(Language, NumbersFollowTheChosenLanguage) {
    Item(2)->trigger();
    EXPECT_EQ(QLocale().toString(qlonglong(2918772)), "2.918.772");
    EXPECT_EQ(QLocale().decimalPoint(), ",");
    Item(1)->trigger();
    EXPECT_EQ(QLocale().toString(qlonglong(2918772)), QString::fromUtf8("2\u00a0918\u00a0772"));
    const QLocale german(QLocale::German, QLocale::Germany), swiss(QLocale::German, QLocale::Switzerland);
    EXPECT_EQ(NumbersLocale(::Language::English, german).toString(qlonglong(2918772)), "2,918,772");
    EXPECT_EQ(NumbersLocale(::Language::Swedish, german).toString(qlonglong(2918772)),
              QString::fromUtf8("2\u00a0918\u00a0772"));
    // A desktop of the chosen language keeps its country's ways.
    EXPECT_EQ(NumbersLocale(::Language::German, swiss).territory(), QLocale::Switzerland);

    EXPECT_EQ(DesktopLanguage(QLocale(QLocale::German, QLocale::Austria)), ::Language::German);
    EXPECT_EQ(DesktopLanguage(QLocale(QLocale::Swedish, QLocale::Finland)), ::Language::Swedish);
    EXPECT_EQ(DesktopLanguage(QLocale(QLocale::French, QLocale::France)), ::Language::English);
}

}  // namespace
