// The modal seam, the About box, and what happens to exceptions and a failed
// start.
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

#include "app/AboutBox.h"
#include "app/Application.h"
#include "tests/app/MainWindowFixture.h"

TEST(ModalSeamFilter, CatalogueFiltersBecomeQtFilters) {
    struct Case {
        const char *catalogue, *qt;
    };
#ifdef _WIN32
    const char* everyFile = "All Files (*.*) (*.*)";
#else
    const char* everyFile = "All Files (*.*) (*)";  // names need no dot
#endif
    for (const Case& c :
         {Case{"All Files (*.*)|*.*", everyFile},
          Case{"Splitted Files (*.Quorved_1)|*.Quorved_1", "Splitted Files (*.Quorved_1) (*.Quorved_1)"},
          Case{"Texts|*.txt;*.doc|Pieces|*.p1", "Texts (*.txt *.doc);;Pieces (*.p1)"},
          Case{"Will be added at the end: *|*.Quorved_1", "Will be added at the end: * (*.Quorved_1)"}, Case{"", ""}}) {
        EXPECT_EQ(QtFilterFromCatalogue(c.catalogue), c.qt) << c.catalogue;
    }
}

TEST(ScriptedModalSeam, AnswersInOrderAndRecordsWhatWasShown) {
    ScriptedModal modal;
    QTemporaryDir dir;
    const QString chosen = QDir::toNativeSeparators(dir.path() + "/Setup.exe");
    const QString before = QDir::currentPath();

    EXPECT_EQ(modal.OpenFileName(nullptr, "Select", "All|*.*", "/start"), "");  // nothing queued: cancelled
    EXPECT_EQ(QDir::currentPath(), before);
    modal.SetNextFileName(chosen);
    EXPECT_EQ(modal.SaveFileName(nullptr, "Where", "", "/start", "Setup.exe"), chosen);
    // An accepted dialog leaves the current folder at the chosen file's folder.
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QDir::setCurrent(before);

    EXPECT_TRUE(modal.Message(nullptr, "c", "t", ModalSeam::Icon::Stop, ModalSeam::Buttons::Ok));
    EXPECT_FALSE(modal.Message(nullptr, "c", "q", ModalSeam::Icon::Question, ModalSeam::Buttons::YesNo));
    modal.SetNextAnswer(true);
    modal.SetNextAnswer(false);
    EXPECT_TRUE(modal.Message(nullptr, "c", "q1", ModalSeam::Icon::Question, ModalSeam::Buttons::YesNo));
    EXPECT_FALSE(modal.Message(nullptr, "c", "q2", ModalSeam::Icon::Question, ModalSeam::Buttons::YesNo));

    ASSERT_EQ(modal.shown.size(), 6u);
    EXPECT_EQ(modal.shown[0].kind, ScriptedModal::Shown::Kind::Open);
    EXPECT_EQ(modal.shown[0].filter, "All|*.*");
    EXPECT_EQ(modal.shown[0].folder, "/start");
    EXPECT_EQ(modal.shown[1].kind, ScriptedModal::Shown::Kind::Save);
    EXPECT_EQ(modal.shown[1].proposedName, "Setup.exe");
    EXPECT_EQ(modal.Messages().size(), 4u);
    EXPECT_EQ(modal.Messages()[3].text, "q2");
}

// A short text under a long caption: the box is as wide as the title bar needs.
TEST(MessageBoxWidth, LeavesRoomForTheCaption) {
    for (const char* caption : {"Abnormal termination!", "Onormalt avslut!", "Anormale Beendigung!", "x"}) {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(caption), QStringLiteral("Ok."), QMessageBox::Ok);
        WidenForCaption(box);
        box.show();
        EXPECT_GE(box.width(), CaptionRoom(box.windowTitle())) << caption;
        EXPECT_GT(CaptionRoom(box.windowTitle()), box.fontMetrics().horizontalAdvance(box.windowTitle())) << caption;
    }
}

TEST(ScriptedModalSeam, DialogIsShownWhileTheActionRunsAndHiddenAfter) {
    ScriptedModal modal;
    QDialog dialog;
    EXPECT_EQ(modal.ExecDialog(&dialog), QDialog::Rejected);  // nothing queued: closed without OK
    EXPECT_FALSE(dialog.isVisible());

    bool visibleDuringAction = false;
    modal.SetNextDialogAction([&](QDialog* d) {
        visibleDuringAction = d->isVisible();
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(modal.ExecDialog(&dialog), QDialog::Accepted);
    EXPECT_TRUE(visibleDuringAction);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

class AboutBoxTest : public MainWindowFixture {};

TEST_F(AboutBoxTest, ShowsNameVersionAndInstallationInTheCurrentLanguage) {
    struct Case {
        int language;
        const char *name, *program, *heading, *lastLine;
    };
    // The installation lines say how this program comes: a package that needs Qt, and quorvel-cli.
    for (const Case& c : {Case{0, "Name", "The File Quorvel", "INSTALLATION", "comes as a package"},
                          Case{2, "Name", "Dateiquorvel", "INSTALLATION", "als Paket"}}) {
        SCOPED_TRACE(c.language);
        store.Write(Settings::Language, c.language);
        Start();
        QStringList seen;
        modal.SetNextDialogAction([&](QDialog* d) {
            auto* box = static_cast<TAboutBox*>(d);
            seen << box->lblName->text() << box->ProgramName->text() << box->lblVersion->text() << box->Version->text()
                 << box->Installation->text();
            QTest::mouseClick(box->OKButton, Qt::LeftButton);
            return d->result();
        });
        Parts().About->trigger();
        ASSERT_EQ(seen.size(), 5);
        EXPECT_EQ(seen[0], c.name);
        EXPECT_EQ(seen[1], c.program);
        EXPECT_EQ(seen[2], "Version");
        EXPECT_EQ(seen[3], "1.7");
        EXPECT_TRUE(seen[4].contains(c.heading)) << seen[4].toStdString();
        EXPECT_TRUE(seen[4].contains(c.lastLine)) << seen[4].toStdString();
        EXPECT_TRUE(seen[4].contains("Qt") && seen[4].contains("quorvel-cli")) << seen[4].toStdString();
        EXPECT_FALSE(seen[4].contains("DLL")) << seen[4].toStdString();
        ASSERT_FALSE(modal.shown.empty());
        EXPECT_EQ(modal.shown.back().dialog, windows.Others().AboutBox);
        EXPECT_FALSE(windows.Others().AboutBox->isVisible());
    }
}

class Failures : public ::testing::Test {
protected:
    void SetUp() override { Modal::Install(&modal); }
    void TearDown() override { Modal::Install(nullptr); }
    ScriptedModal modal;
};

TEST_F(Failures, AFailedStartIsShownAndIsNotSuccess) {
    int code = RunWindows([]() -> TWindows { throw std::runtime_error("cannot create the windows"); });
    EXPECT_NE(code, 0);
    auto messages = modal.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "cannot create the windows");
    EXPECT_EQ(messages[0].icon, ModalSeam::Icon::Stop);
}

TEST_F(Failures, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
    EXPECT_FALSE(RunGuarded([]() -> bool { throw std::runtime_error("disk on fire"); }));
    EXPECT_FALSE(RunGuarded([]() -> bool { throw 42; }));
    EXPECT_TRUE(RunGuarded([] { return true; }));
    auto messages = modal.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "disk on fire");
    EXPECT_FALSE(messages[1].text.isEmpty());
}
