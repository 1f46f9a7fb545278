// The How It Works window: its lines in each language, and the help file
// written, shown in a stand-in viewer, waited for and deleted.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "dialogs/HelpWindow.h"
#include "tests/support/TestSupport.h"
#include "texts/ExtraTexts.h"
#include "texts/TextCatalogue.h"

namespace {

QStringList Lines(TfrmHint& window) {
    QStringList lines;
    auto* list = window.findChild<QListWidget*>(QStringLiteral("ListBox1"));
    for (int i = 0; list && i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

// The catalogue's lines, an empty line and the paragraph on what this program adds.
int AllLines(Language lang) {
    return 100 + 1 + static_cast<int>(QString::fromStdString(ExtraText(lang, Extra::HelpAdditions)).count('\n')) + 1;
}

QList<int> EmptyPositions(const QStringList& lines) {
    QList<int> positions;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].isEmpty()) positions << i;
    return positions;
}

class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        LanguageIndex = Language::English;
        BuildCatalogue(".Quorved_");
    }
    void TearDown() override {
        LanguageIndex = Language::English;
        BuildCatalogue(".Quorved_");
    }
};

TEST_F(HelpWindowTest, EnglishTextInTheWindowsOrder) {
    TfrmHint window;
    window.show();
    EXPECT_EQ(window.windowTitle(), "How It Works");
    EXPECT_EQ(window.findChild<QPushButton*>("OnFileBtn")->text(), "Information On File");

    const QStringList lines = Lines(window);
    // The catalogue's 100 lines, then a paragraph on what this program adds.
    ASSERT_EQ(lines.size(), AllLines(Language::English));
    EXPECT_EQ(lines[0], "THE PROGRAM DOES THE FOLLOWING TWO THINGS");
    EXPECT_EQ(lines[100], "");
    EXPECT_EQ(lines[101], "WHAT THIS VERSION ADDS");
    EXPECT_TRUE(lines.join(' ').contains("Stop (Escape)"));
    EXPECT_TRUE(lines.last().contains("quorvel-cli --help"));
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "TO SPLIT A FILE");
    EXPECT_EQ(lines[99], "of getting ''.Quorved_1'', ''.Quorved_2'', ... appended.");
    // The sizes paragraph reads on from entry 130 to entry 170, not 131.
    const int at = lines.indexOf("files. Default, each file fills up the available space on the");
    ASSERT_GT(at, 0);
    EXPECT_EQ(lines.value(at + 1), "disk(ette)s but using the base sizes they will get the base size");
}

TEST_F(HelpWindowTest, SwedishAndGermanKeepTheLayout) {
    TfrmHint window;
    window.show();
    const QStringList english = Lines(window);
    for (int language : {1, 2}) {
        LanguageIndex = static_cast<Language>(language);
        window.hide();
        window.show();
        const QStringList lines = Lines(window);
        ASSERT_EQ(lines.size(), AllLines(LanguageIndex)) << language;
        EXPECT_EQ(EmptyPositions(lines.mid(0, 102)), EmptyPositions(english.mid(0, 102))) << language;
        EXPECT_NE(lines[101], english[101]) << language;
        EXPECT_NE(lines[0], english[0]) << language;
    }
}

TEST_F(HelpWindowTest, FirstLineKeepsTheDotsAndAccentsOfItsCapitals) {
    LanguageIndex = Language::Swedish;  // "PROGRAMMET GÖR FÖLJANDE TVÅ SAKER"
    TfrmHint window;
    window.show();
    auto* list = window.findChild<QListWidget*>(QStringLiteral("ListBox1"));
    ASSERT_GT(list->count(), 0);
    const QRect row = list->visualItemRect(list->item(0));
    const QFontMetrics metrics = list->fontMetrics();
    EXPECT_GE(row.top(), 0);
    EXPECT_GE(row.height(), metrics.boundingRect(QString::fromUtf8("ÅÄÖÜÉgjpq")).height());
}

TEST_F(HelpWindowTest, LanguageSwitchShowsAtTheNextActivation) {
    TfrmHint window;
    window.show();
    LanguageIndex = Language::German;
    EXPECT_EQ(window.windowTitle(), "How It Works");

    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&window, &activate);
    EXPECT_EQ(window.windowTitle(), "Wie es funktioniert");
    EXPECT_EQ(window.findChild<QPushButton*>("OnFileBtn")->text(), "Dateiinformation");
    EXPECT_EQ(Lines(window).size(), AllLines(Language::German));
    EXPECT_NE(Lines(window).value(0), "THE PROGRAM DOES THE FOLLOWING TWO THINGS");

    const QString shots = qEnvironmentVariable("QUORVEL_SHOT_DIR");
    if (!shots.isEmpty()) {
        for (int language : {0, 1, 2}) {
            LanguageIndex = static_cast<Language>(language);
            QCoreApplication::sendEvent(&window, &activate);
            window.grab().save(QStringLiteral("%1/frmHint-%2.png").arg(shots).arg(language));
        }
    }
}

// ---- the help file ------------------------------------------------------

// A private search path, temporary folder and current folder for each test,
// with stand-in viewers written as shell scripts.
class HelpFileTest : public HelpWindowTest {
protected:
    void SetUp() override {
#ifdef Q_OS_WIN
        GTEST_SKIP() << "Linux viewers: the stand-ins are shell scripts, which Windows cannot start; "
                        "Notepad is found by HelpFileOnWindows";
#endif
        HelpWindowTest::SetUp();
        oldPath_ = qgetenv("PATH");
        oldTmp_ = qgetenv("TMPDIR");
        oldCurrent_ = QDir::currentPath();
        qputenv("TMPDIR", tmp_.path().toLocal8Bit());
        QDir::setCurrent(work_.path());
    }
    void TearDown() override {
        if (oldCurrent_.isEmpty()) return;  // skipped before SetUp saved anything: the search path stays
        qputenv("PATH", oldPath_);
        if (oldTmp_.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", oldTmp_);
        QDir::setCurrent(oldCurrent_);
        HelpWindowTest::TearDown();
    }

    // Only the stand-ins on the path, or the stand-ins first.
    void UsePath(bool standInsOnly) {
        QByteArray path = bin_.path().toLocal8Bit();
        if (!standInsOnly) path += ":" + oldPath_;
        qputenv("PATH", path);
    }
    void WriteStandIn(const QString& name, const QByteArray& script) {
        QFile file(bin_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // A viewer that stays open a moment, then records its arguments, whether
    // the file still existed and what it held.
    void WriteRecordingViewer(const QString& name) {
        const QByteArray log = log_.path().toLocal8Bit();
        WriteStandIn(name,
                     "#!/bin/sh\n"
                     "sleep 0.3\n"
                     "for last; do :; done\n"
                     "cat \"$last\" > '" +
                         log +
                         "/content'\n"
                         "for a; do printf '%s\\n' \"$a\"; done > '" +
                         log + "/args'\n");
    }
    QByteArray Logged(const char* name) const {
        QFile file(log_.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList TempEntries() const { return QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    QTemporaryDir bin_, log_, tmp_, work_;
    QByteArray oldPath_, oldTmp_;
    QString oldCurrent_;
};

TEST_F(HelpFileTest, WrittenShownWaitedForAndDeleted) {
    struct Case {
        int language;
        const char* fileName;
    };
    const TextViewer viewer = TextViewerCandidates().front();
    WriteRecordingViewer(viewer.program);
    UsePath(false);

    for (const Case& c : {Case{0, "The File Quorvel_How It Works.TXT"}, Case{1, "Filquorvelen_Hur det funkar.TXT"}}) {
        LanguageIndex = static_cast<Language>(c.language);
        const QString name = QString::fromUtf8(c.fileName);
        // Files of the same name where a careless program might write: left alone.
        for (const QString& folder : {work_.path(), tmp_.path()}) {
            QFile planted(folder + "/" + name);
            ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
            planted.write("keep me");
        }
        QFile::remove(log_.filePath("args"));

        TfrmHint window;
        window.show();
        bool repainted = false;
        QTimer::singleShot(20, &window, [&] { repainted = true; });
        QTest::mouseClick(window.findChild<QPushButton*>("OnFileBtn"), Qt::LeftButton);

        // The click returned only after the viewer had ended.
        const QStringList args = QString::fromUtf8(Logged("args")).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(args.size(), viewer.arguments.size() + 1) << c.language;
        EXPECT_EQ(args.mid(0, viewer.arguments.size()), viewer.arguments);
        const QFileInfo shown(args.last());
        EXPECT_EQ(shown.fileName(), name);
        EXPECT_TRUE(repainted) << "events were not processed while waiting";

        // The viewer saw the window's lines, one per line end, in UTF-8.
        EXPECT_EQ(Logged("content"), (Lines(window).join('\n') + '\n').toUtf8());

        // Afterwards the file and its private folder are gone.
        EXPECT_FALSE(shown.exists());
        EXPECT_FALSE(QDir(shown.path()).exists());
        EXPECT_NE(QDir(shown.path()), QDir(work_.path()));
        EXPECT_EQ(TempEntries(), QStringList{name});
        for (const QString& folder : {work_.path(), tmp_.path()}) {
            QFile planted(folder + "/" + name);
            ASSERT_TRUE(planted.open(QIODevice::ReadOnly));
            EXPECT_EQ(planted.readAll(), "keep me");
            planted.remove();
        }
    }
}

TEST_F(HelpFileTest, AViewerThatCannotStartMeansTheFileIsDeletedAtOnce) {
    TfrmHint window;
    window.show();
    UsePath(true);

    // Installed but cannot be started.
    WriteStandIn(TextViewerCandidates().front().program, "#!/nonexistent/interpreter\n");
    QTest::mouseClick(window.findChild<QPushButton*>("OnFileBtn"), Qt::LeftButton);
    EXPECT_TRUE(TempEntries().isEmpty());
    EXPECT_EQ(window.windowTitle(), "How It Works");
}

TEST_F(HelpFileTest, WithoutAViewerTheDesktopGetsAFileKeptUntilTheEnd) {
    UsePath(true);  // nothing installed
    {
        TfrmHint window;
        window.show();
        QStringList told;  // the desktop's viewer may show nothing: the user is told where the file is
        QObject::connect(&window, &TfrmHint::FileKept, [&](const QString& name) { told << name; });
        QTest::mouseClick(window.findChild<QPushButton*>("OnFileBtn"), Qt::LeftButton);
        ASSERT_EQ(TempEntries().size(), 1);
        QFile kept(tmp_.filePath(TempEntries().front()) + "/" + HelpFileName());
        EXPECT_EQ(told, QStringList{QDir::toNativeSeparators(kept.fileName())});
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_TRUE(kept.readAll().startsWith("THE PROGRAM DOES THE FOLLOWING TWO THINGS"));
    }
    EXPECT_TRUE(TempEntries().isEmpty());
}

TEST_F(HelpFileTest, TheFirstInstalledViewerOfTheListIsUsed) {
    const std::vector<TextViewer> candidates = TextViewerCandidates();
    for (const TextViewer& viewer : candidates)
        EXPECT_NE(viewer.program, "xdg-open") << "returns before the file is shown";
    if (candidates.size() < 3) GTEST_SKIP() << "a single viewer on this platform";

    UsePath(true);
    EXPECT_FALSE(FindTextViewer().has_value());
    WriteStandIn(candidates[2].program, "#!/bin/sh\n");
    WriteStandIn(candidates[1].program, "#!/bin/sh\n");
    const std::optional<TextViewer> found = FindTextViewer();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->program, bin_.filePath(candidates[1].program));
    EXPECT_EQ(found->arguments, candidates[1].arguments);
}

#ifdef Q_OS_WIN
// The help file opens in Notepad: NOTEPAD.EXE from the search path, named by
// its full path (the program is not started here).
TEST(HelpFileOnWindows, NotepadIsFoundOnTheSearchPath) {
    const std::optional<TextViewer> viewer = FindTextViewer();
    ASSERT_TRUE(viewer.has_value()) << "no NOTEPAD.EXE on the search path";
    const QFileInfo program(viewer->program);
    EXPECT_TRUE(program.isAbsolute()) << viewer->program.toStdString();
    EXPECT_TRUE(program.isFile()) << viewer->program.toStdString();
    EXPECT_EQ(program.fileName().toUpper(), "NOTEPAD.EXE");
    EXPECT_TRUE(viewer->arguments.isEmpty());
    const QStringList searched = qEnvironmentVariable("PATH").split(QLatin1Char(';'), Qt::SkipEmptyParts);
    bool onPath = false;
    for (const QString& folder : searched) onPath = onPath || QFileInfo(QDir(folder).filePath("notepad.exe")) == program;
    EXPECT_TRUE(onPath) << viewer->program.toStdString();

    // The search path's order decides: a NOTEPAD.EXE in the first folder is the one.
    QTemporaryDir first;
    ASSERT_TRUE(QFile::copy(viewer->program, first.filePath("NOTEPAD.EXE")));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QDir::toNativeSeparators(first.path()).toLocal8Bit() + ';' + oldPath);
    const std::optional<TextViewer> before = FindTextViewer();
    qputenv("PATH", oldPath);
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(QFileInfo(before->program), QFileInfo(first.filePath("NOTEPAD.EXE"))) << before->program.toStdString();
}
#endif

}  // namespace
