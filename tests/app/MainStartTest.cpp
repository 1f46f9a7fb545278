// Start-up from the stored settings, leaving with the geometry saved, reset,
// the Pause menu and the texts of each language.
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include "tests/app/MainWindowFixture.h"

class MainStart : public MainWindowFixture {
protected:
    std::array<bool, 3> PauseChecks() {
        return {Parts().ChangeAlways->isChecked(), Parts().ChangeSometimes->isChecked(),
                Parts().ChangeNever->isChecked()};
    }
    // A stored value read back with a default no program value uses.
    int32_t Stored(const IntSetting& s) { return store.ReadIntSetting(s.section, s.name, -12345); }
};

TEST_F(MainStart, FirstStartComesUpWithEveryDefault) {
    Main().show();
    EXPECT_EQ(Main().pos(), QPoint(100, 50));
    EXPECT_EQ(Main().windowTitle(), "The File Quorvel");
    EXPECT_EQ(LanguageChecks(), (Checks{true, false, false}));
    EXPECT_EQ(LanguageIndex, Language::English);
    EXPECT_EQ(PauseChecks(), (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(Parts().PauseMode, PauseMode::Sometimes);
    EXPECT_EQ(Parts().MaxRAM, 100000);
    EXPECT_EQ(Parts().AddedFileType, ".Quorved_");
    EXPECT_EQ(Parts().SplitPath, DefaultFolder());
    EXPECT_EQ(Parts().JoinPath, DefaultFolder());
    EXPECT_EQ(Parts().StatusPanel0->text(), "Welcome to The File Quorvel, version 1.7");
    EXPECT_EQ(Parts().StatusPanel0->width(), 345 * Main().logicalDpiX() / 120);
    EXPECT_EQ(Parts().ChangeItem->text(), "File Number ");

    // Nothing can be split, joined or edited yet; choosing files and sizing can.
    ExpectEnabled(
        {"DoSplit", "DoSplitBtn", "SmallerSizesLB", "FindPlaceToSmallFiles", "FindPlaceToSmallFilesBtn", "DoJoin",
         "DoJoinBtn", "FindPlaceToBigFile", "FindPlaceToBigFileBtn", "txtNewSize", "ChangeItem", "ApplyNewSize"},
        false);
    ExpectEnabled({"SplitAFileBtn", "JoinFilesBtn", "ExitBtn", "HintBtn", "ChooseSplitAFile", "JoinFiles", "rbSizeBase",
                   "rbSizeFree", "ApplyBaseSize", "CBBaseSize"},
                  true);
}

TEST_F(MainStart, EveryWayOfLeavingSavesTheGeometryAndTheNextStartRestoresIt) {
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"Exit menu item", [this] { Parts().Exit->trigger(); }},
        {"Exit tool button", [this] { QTest::mouseClick(Parts().ExitBtn, Qt::LeftButton); }},
        {"close box", [this] { Main().close(); }},
    };
    int shift = 0;
    for (const auto& [way, leave] : ways) {
        SCOPED_TRACE(way);
        Start();
        Main().show();
        // Inside the screen (the test screen is 800 x 800).
        const QPoint where(30 + shift, 40 + shift);
        const QSize size(700 + shift, 450 + shift);
        shift += 10;
        Main().move(where);
        Main().resize(size);
        leave();
        EXPECT_EQ(Stored(Settings::MainLeft), where.x());
        EXPECT_EQ(Stored(Settings::MainTop), where.y());
        EXPECT_EQ(Stored(Settings::MainWidth), size.width());
        EXPECT_EQ(Stored(Settings::MainHeight), size.height());

        Start();
        Main().show();
        EXPECT_EQ(Main().pos(), where);
        EXPECT_EQ(Main().size(), size);
    }
}

TEST_F(MainStart, StoredSizeIsUsedOnlyWhenHeightAndWidthArePositive) {
    const QSize designed = Main().size();
    struct Case {
        int height, width;
        bool restored;
    };
    for (const Case& c : {Case{0, 760, false}, Case{700, 0, false}, Case{-700, -760, false}, Case{700, -760, false},
                          Case{700, 760, true}}) {
        SCOPED_TRACE(testing::Message() << c.height << " x " << c.width);
        store.Write(Settings::MainHeight, c.height);
        store.Write(Settings::MainWidth, c.width);
        store.Write(Settings::MainLeft, 20);
        Start();
        EXPECT_EQ(Main().size(), c.restored ? QSize(c.width, c.height) : designed);
        EXPECT_EQ(Main().pos().x(), 20);
    }
}

TEST_F(MainStart, ResetForgetsEverythingAndSavesNoGeometry) {
    store.Write(Settings::Language, 2);
    store.Write(Settings::MaxRAM, 4096);
    store.Write(Settings::ChangeDisk, 2);
    store.Write(Settings::AddedFileType, ".part");
    store.Write(Settings::MainLeft, 300);
    Start();
    Main().show();
    Main().move(310, 320);

    Parts().ClearRegistry->trigger();
    Main().close();  // quitting closes the windows: that must not store the geometry again
    EXPECT_EQ(Stored(Settings::MainLeft), -12345);
    EXPECT_EQ(Stored(Settings::MainTop), -12345);

    Start();
    Main().show();
    EXPECT_EQ(Main().pos(), QPoint(100, 50));
    EXPECT_TRUE(LanguageChecks().english);
    EXPECT_EQ(Parts().File1->title(), "&File");
    EXPECT_EQ(Parts().MaxRAM, 100000);
    EXPECT_EQ(Parts().PauseMode, PauseMode::Sometimes);
    EXPECT_EQ(Parts().AddedFileType, ".Quorved_");
}

TEST_F(MainStart, PauseMenuWritesOnlyAChange) {
    Parts().ChangeSometimes->trigger();  // already checked
    EXPECT_EQ(PauseChecks(), (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(Stored(Settings::ChangeDisk), -12345);

    Parts().ChangeNever->trigger();
    EXPECT_EQ(PauseChecks(), (std::array<bool, 3>{false, false, true}));
    EXPECT_EQ(Parts().PauseMode, PauseMode::Never);
    EXPECT_EQ(Stored(Settings::ChangeDisk), 2);

    Parts().ChangeAlways->trigger();
    EXPECT_EQ(PauseChecks(), (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(Stored(Settings::ChangeDisk), 0);
}

TEST_F(MainStart, StoredPauseModeOutOfRangeReadsAsSometimes) {
    store.Write(Settings::ChangeDisk, 7);
    Start();
    EXPECT_EQ(Parts().PauseMode, PauseMode::Sometimes);
    EXPECT_EQ(PauseChecks(), (std::array<bool, 3>{false, true, false}));
    Parts().ChangeNever->trigger();
    EXPECT_EQ(Stored(Settings::ChangeDisk), 2);
}

TEST_F(MainStart, StoredLanguageChoosesTextsAndCheckMark) {
    struct Case {
        int stored;
        Checks checks;
        const char *file, *caption, *welcome;
    };
    const Case cases[] = {
        {1, {false, true, false}, "&Arkiv", "Filquorvelen", "Välkommen till Filquorvelen, version 1.7"},
        {2, {false, false, true}, "&Datei", "Dateiquorvel", "Willkommen in Dateiquorvel, version 1.7"},
        // Out of range: the default, English.
        {7, {true, false, false}, "&File", "The File Quorvel", "Welcome to The File Quorvel, version 1.7"},
        {-1, {true, false, false}, "&File", "The File Quorvel", "Welcome to The File Quorvel, version 1.7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        store.Write(Settings::Language, c.stored);
        Start();
        EXPECT_EQ(LanguageChecks(), c.checks);
        EXPECT_EQ(Parts().File1->title(), c.file);
        EXPECT_EQ(Main().windowTitle(), c.caption);
        EXPECT_EQ(Parts().StatusPanel0->text(), c.welcome);
    }
}

TEST_F(MainStart, GermanTexts) {
    store.Write(Settings::Language, 2);
    Start();
    EXPECT_EQ(Parts().LanguageGerman->text(), "&Deutch");
    EXPECT_EQ(Parts().HintBtn->toolTip(), "Erklärt das Programm");
    EXPECT_EQ(Parts().HintBtn->statusTip(), "Erklärt wie das Programm funktioniert und angewendet wird");
    EXPECT_EQ(Parts().HintBtn->text(), "Wie es funktioniert");
    EXPECT_EQ(Parts().Hint->text(), "&Wie es funktioniert...");
    EXPECT_EQ(Parts().FindPlaceToBigFileBtn->toolTip(), "Finde einen Platz für die große Datei");
    EXPECT_EQ(Parts().ChangeOfDisk->title(), "&Pause");
    EXPECT_EQ(Parts().About->text(), "Ü&ber");
}

TEST_F(MainStart, EnglishTextsOfWindowsMenuItemsAndHelpButton) {
    EXPECT_EQ(Parts().MemoryUsage->text(), "Memory Usage...");
    EXPECT_EQ(Parts().ChooseFiletype->text(), "Change ending to the names of the smaller files...");
    EXPECT_EQ(Parts().Hint->text(), "&How It Works...");
    EXPECT_EQ(Parts().Hint->statusTip(), "Explains how the program works and is used");
    EXPECT_EQ(Parts().HintBtn->text(), "How It Works");
    EXPECT_EQ(Parts().About->text(), "&About");
    for (QAction* language : {Parts().LanguageEnglish, Parts().LanguageSwedish, Parts().LanguageGerman})
        EXPECT_EQ(language->statusTip(), "Choose preferable language") << language->objectName().toStdString();
    EXPECT_EQ(Parts().ChangeNever->statusTip(), "Choose ''pause'' if you will need to change disks");
    EXPECT_EQ(Parts().ClearRegistry->text(), "Exit and reset default settings");
    EXPECT_EQ(Parts().Exit->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(Parts().DoJoin->shortcut(), QKeySequence("Ctrl+J"));
}
