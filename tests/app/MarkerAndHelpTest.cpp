// The menu items that open the piece marker dialog, the memory limit dialog
// and the How It Works window, and what the main window takes from them.
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "dialogs/FileTypeDialog.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/MemoryDialog.h"
#include "engine/PieceNaming.h"
#include "tests/app/MainWindowFixture.h"
#include "texts/QtText.h"

namespace {

// A dialog action for the scripted seam: types `text` into the field and,
// when `ok`, presses the OK button; returns the dialog's result.
std::function<int(QDialog*)> TypeAndClose(const char* field, const char* okButton, const QString& text, bool ok) {
    return [=](QDialog* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(field));
        if (!edit) {
            ADD_FAILURE() << "no field " << field;
            return int(QDialog::Rejected);
        }
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
        if (!ok) return int(QDialog::Rejected);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QLatin1String(okButton)), Qt::LeftButton);
        return dialog->result();
    };
}

class MarkerAndHelp : public MainWindowFixture {
protected:
    // Answers the next marker dialog.
    void Marker(const QString& text, bool ok = true) {
        modal.SetNextDialogAction(TypeAndClose("txtFtype", "OkBtn", text, ok));
        Parts().ChooseFiletype->trigger();
    }
    void Memory(const QString& text, bool ok = true) {
        modal.SetNextDialogAction(TypeAndClose("txtMaxAllowedRAM", "OkButton", text, ok));
        Parts().MemoryUsage->trigger();
    }
    QString StoredMarker() { return store.Read(Settings::AddedFileType); }

    // A real file of `bytes` bytes, each byte its offset modulo 251.
    static QString MakeFile(const QString& name, int64_t bytes) {
        QByteArray data(int(bytes), Qt::Uninitialized);
        for (int64_t i = 0; i < bytes; ++i) data[int(i)] = char(i % 251);
        EXPECT_TRUE(Write(name, data));
        return name;
    }

    QListWidget* HelpList() { return windows.Others().frmHint->findChild<QListWidget*>("ListBox1"); }
};

// ---- piece marker -------------------------------------------------------------

TEST_F(MarkerAndHelp, MarkerDialogShowsTheStoredMarkerAndTakesOnlyAnOk) {
    QString shownInField;
    modal.SetNextDialogAction([&](QDialog* dialog) {
        shownInField = dialog->findChild<QLineEdit*>("txtFtype")->text();
        return int(QDialog::Rejected);
    });
    Parts().ChooseFiletype->trigger();
    ASSERT_EQ(modal.shown.size(), 1u);
    EXPECT_EQ(modal.shown[0].dialog, windows.Others().FrmFileType);
    EXPECT_EQ(modal.shown[0].title, "Change ending to the names of the smaller files");
    EXPECT_EQ(shownInField, ".Quorved_");
    EXPECT_EQ(Parts().AddedFileType, ".Quorved_");

    Marker(".part");
    EXPECT_EQ(Parts().AddedFileType, ".part");
    EXPECT_EQ(StoredMarker(), ".part");
    Marker(".typed", /*ok=*/false);
    EXPECT_EQ(Parts().AddedFileType, ".part");
    EXPECT_EQ(StoredMarker(), ".part");
    Marker("");
    EXPECT_EQ(Parts().AddedFileType, ".Quorved_");
    EXPECT_EQ(StoredMarker(), ".Quorved_");
}

TEST_F(MarkerAndHelp, MarkerChangeRebuildsTheTextsThatQuoteIt) {
    Marker(".part");
    EXPECT_EQ(QString::fromStdString(CatalogueText(Entry::PieceFilter)), "Splitted Files (*.part1)|*.part1");
    EXPECT_EQ(QString::fromStdString(CatalogueText(Entry::PiecePlaceFilter)), "Will be added at the end: .part*|*.*");
    // The main window's texts are applied again, in the current language.
    Parts().LanguageSwedish->trigger();
    Parts().File1->setTitle("stale");
    Marker(".p");
    EXPECT_EQ(Parts().File1->title(), "&Arkiv");
    // The help text names the built-in marker whatever the marker in use.
    Main().HintClick();
    EXPECT_TRUE(HelpList()->item(99)->text().contains("''.Quorved_1''"));  // the catalogue's last line
}

TEST_F(MarkerAndHelp, WithNoFileChosenTheNamePatternStays) {
    const QString before = Parts().SmallFileNames->text();
    Marker(".part");
    EXPECT_EQ(Parts().SmallFileNames->text(), before);
    // A chosen file shows its pattern with the new marker at once.
    engine.SetPiecePrefix("/data/Setup.exe");
    Parts().BigFileBytes = 10;
    Marker(".vol");
    EXPECT_EQ(Parts().SmallFileNames->text(), "/data/Setup.exe.vol*");
}

TEST_F(MarkerAndHelp, NewMarkerNamesTheNextSplitAndTheJoinFilter) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString big = MakeFile(dir.filePath("Setup.exe"), 3000000);
    Parts().JoinPath = QDir::toNativeSeparators(dir.path());

    modal.SetNextFileName(big);
    Main().ChooseSplitAFileClick();
    ASSERT_EQ(engine.PieceCount(), 3);
    Marker(".part");
    EXPECT_EQ(Parts().SmallFileNames->text(), QDir::toNativeSeparators(dir.filePath("Setup.exe.part*")));

    Main().DoSplitClick();
    Main().WaitForTransfer();
    EXPECT_EQ(Parts().StatusPanel1->text(), "The file is splitted!");
    const QByteArray whole = Read(big);
    int64_t offset = 0;
    for (int n = 1; n <= 3; ++n) {
        const QByteArray piece = Read(dir.filePath("Setup.exe.part" + QString::number(n)));
        EXPECT_EQ(piece, whole.mid(int(offset), int(engine.PieceSizes()[size_t(n)]))) << n;
        offset += piece.size();
    }
    EXPECT_EQ(offset, 3000000);
    EXPECT_FALSE(QFile::exists(dir.filePath("Setup.exe.Quorved_1")));

    modal.shown.clear();
    Main().JoinFilesClick();  // cancelled: only the filter matters here
    ASSERT_FALSE(modal.shown.empty());
    EXPECT_EQ(modal.shown[0].kind, ScriptedModal::Shown::Kind::Open);
    EXPECT_EQ(modal.shown[0].filter, "Splitted Files (*.part1)|*.part1|Checksum and recovery files|*.partsha256;*.par2");
}

// ---- memory limit -------------------------------------------------------------

TEST_F(MarkerAndHelp, MemoryLimitIsTakenHoweverTheDialogWasClosed) {
    EXPECT_EQ(Parts().MaxRAM, 100000);
    Memory("250k");
    EXPECT_EQ(modal.shown.back().dialog, windows.Others().Memory);
    EXPECT_EQ(Parts().MaxRAM, 250);
    Memory("9", /*ok=*/false);
    EXPECT_EQ(Parts().MaxRAM, 250);
    // Closed without OK, the window takes what is stored, even when that
    // changed meanwhile.
    store.Write(Settings::MaxRAM, 4096);
    Memory("1", /*ok=*/false);
    EXPECT_EQ(Parts().MaxRAM, 4096);
    Memory("");
    EXPECT_EQ(Parts().MaxRAM, 0);
    EXPECT_EQ(store.Read(Settings::MaxRAM), 0);
}

// ---- How It Works -------------------------------------------------------------

TEST_F(MarkerAndHelp, HelpWindowOpensBesideTheMainWindowAndComesToTheFront) {
    ASSERT_FALSE(windows.Others().frmHint->isVisible());
    Parts().Hint->trigger();
    EXPECT_TRUE(windows.Others().frmHint->isVisible());
    const QPoint offCentre =
        windows.Others().frmHint->geometry().center() - Main().screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 40) << "opens centred on the screen";
    EXPECT_TRUE(modal.shown.empty()) << "not modal";
    EXPECT_EQ(windows.Others().frmHint->windowTitle(), "How It Works");
    ASSERT_GT(HelpList()->count(), 100);  // the catalogue's 100, then what this program adds
    EXPECT_EQ(HelpList()->item(0)->text(), "THE PROGRAM DOES THE FOLLOWING TWO THINGS");

    // The open window changes language with the main window.
    Parts().LanguageGerman->trigger();
    EXPECT_EQ(windows.Others().frmHint->windowTitle(), "Wie es funktioniert");
    EXPECT_EQ(HelpList()->item(0)->text(), CatalogueQText(HelpLineOrder().front()));

    // Minimised, then asked for again from the tool button: it comes back.
    windows.Others().frmHint->showMinimized();
    QTest::mouseClick(Parts().HintBtn, Qt::LeftButton);
    EXPECT_TRUE(windows.Others().frmHint->isVisible());
    EXPECT_FALSE(windows.Others().frmHint->isMinimized());
    EXPECT_GT(HelpList()->count(), 100);

    windows.Others().frmHint->close();
    Main().HintClick();
    EXPECT_TRUE(windows.Others().frmHint->isVisible());
    EXPECT_EQ(windows.Others().frmHint->windowTitle(), "Wie es funktioniert");
    EXPECT_GT(HelpList()->count(), 100);

    // Without a viewer that waits, the user learns where the help file was kept.
    emit windows.Others().frmHint->FileKept(QStringLiteral("/tmp/kept/help.TXT"));
    ASSERT_EQ(modal.Messages().size(), 1u);
    EXPECT_EQ(modal.Messages()[0].title, "Wie es funktioniert");
    EXPECT_TRUE(modal.Messages()[0].text.endsWith("\n/tmp/kept/help.TXT"));
}

}  // namespace
