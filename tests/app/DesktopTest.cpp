// The window on a Linux desktop: files named on the command line or dropped,
// the join dialog's piece list for unusual markers, tool bar icons on a dark
// palette, Escape in the help window, and a growing window.
#include <QDropEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <vector>

#include "app/ToolIcons.h"
#include "dialogs/HelpWindow.h"
#include "tests/app/WorkflowFixture.h"
#include "texts/QtText.h"

namespace {

class DesktopTest : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        ASSERT_TRUE(Write(Path("Setup.exe"), Pattern(3000)));
    }
    void TearDown() override {
        BuildCatalogue(kDefaultMarker);
        WorkflowFixture::TearDown();
    }
    void MakeSet(const QString& prefix, int count, int from = 1) {
        for (int n = from; n <= count; ++n) ASSERT_TRUE(Write(Piece(prefix, n), Pattern(100, n)));
    }
    void Drop(const QStringList& names) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& name : names) urls << QUrl::fromLocalFile(name);
        data.setUrls(urls);
        // As the desktop does: the window is entered, then dropped on.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Main(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Main(), &drop);
    }
    bool ReadyToSplit() { return IsEnabled("DoSplit") && !IsEnabled("DoJoin"); }
    bool ReadyToJoin() { return IsEnabled("DoJoin") && !IsEnabled("DoSplit"); }
};

TEST_F(DesktopTest, NamedFileIsSplitAPieceOfAPresentSetIsJoined) {
    Main().OpenFromOutside(Path("Setup.exe"));
    EXPECT_EQ(Parts().BigFileName->text(), Path("Setup.exe"));
    EXPECT_TRUE(ReadyToSplit());

    MakeSet(Path("Setup.exe"), 3);
    Main().OpenFromOutside(Path("Setup.exe.Quorved_2"));
    EXPECT_TRUE(ReadyToJoin());
    EXPECT_EQ(Sizes(), QStringList({"100", "100", "100"}));

    // Without piece 1 the name is no piece of a set: a big file to split.
    MakeSet(Path("Other"), 3, 2);
    Main().OpenFromOutside(Path("Other.Quorved_3"));
    EXPECT_TRUE(ReadyToSplit());
    EXPECT_EQ(Parts().BigFileName->text(), Path("Other.Quorved_3"));
    EXPECT_TRUE(MessageTexts().isEmpty());

    Main().OpenFromOutside(Path("gone.bin"));
    EXPECT_EQ(MessageTexts(), QStringList({"File is missing: " + Path("gone.bin")}));
}

TEST_F(DesktopTest, DroppedFilesFollowTheSameRuleFirstOneCounts) {
    MakeSet(Path("Setup.exe"), 2);
    Drop({Path("Setup.exe.Quorved_1"), Path("Setup.exe")});
    EXPECT_TRUE(ReadyToJoin());
    Drop({Path("Setup.exe"), Path("Setup.exe.Quorved_1")});
    EXPECT_TRUE(ReadyToSplit());
    EXPECT_EQ(StoredPath("SplitPath"), QDir::toNativeSeparators(dir.path()));
}

// The names a real join dialog lists in the test folder once it has loaded.
QStringList ListedNames(const QString& folder, const QString& marker) {
    BuildCatalogue(marker.toStdString());
    QFileDialog dialog(nullptr, QString(), folder);
    ConfigureOpenDialog(dialog, Texts::Text(Entry::PieceFilter), /*exactNames=*/true);
    dialog.show();
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    auto* files = dialog.findChild<QFileSystemModel*>();
    if (!view || !files) return {"(no list)"};
    QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);
    loaded.wait(3000);
    QTest::qWait(50);
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
}

TEST_F(DesktopTest, JoinDialogListsExactlyTheFirstPiecesForAnyMarker) {
    for (const QString& marker : {QStringLiteral(" -x- "), QStringLiteral(".Stück_"), QStringLiteral("[1]")}) {
        SCOPED_TRACE(marker.toStdString());
        QTemporaryDir folder;
        ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));
        const QString upper = marker.toUpper() == marker ? marker + "x" : marker.toUpper();
        // Decoys a wildcard or case-blind reading of the marker would take.
        for (const QString& name :
             QStringList{"a" + marker + "1", "b c" + marker + "1", ".h" + marker + "1", "a" + marker + "2",
                         "a" + marker + "sha256", "a" + upper + "1", "a11", "a -x- 11x", marker + "1", "plain"})
            ASSERT_TRUE(Write(folder.filePath(name), "x"));
        EXPECT_EQ(ListedNames(folder.path(), marker),
                  QStringList({".h" + marker + "1", "a" + marker + "1", "b c" + marker + "1", "sub"}));
    }
}

TEST(ToolIconsOnDark, EveryIconsOutlineStandsOutFromADarkWindow) {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    const QColor ground = dark.color(QPalette::Window);
    auto luminance = [](QColor c) {
        auto channel = [](double v) {
            v /= 255;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    std::vector<int> icons;
    for (int which = 0; which <= int(ToolIcon::Help); ++which) icons.push_back(which);
    icons.push_back(int(ToolIcon::CheckPieces));
    icons.push_back(int(ToolIcon::RepairPieces));
    for (const int which : icons) {
        // The icon's rim: drawn pixels beside undrawn ones, as seen on the window.
        const QImage icon =
            ToolPixmap(ToolIcon(which), 32, true, dark).toImage().convertToFormat(QImage::Format_ARGB32);
        double contrastSum = 0;
        int rim = 0;
        for (int y = 1; y < 31; ++y)
            for (int x = 1; x < 31; ++x) {
                auto alpha = [&](int px, int py) { return qAlpha(icon.pixel(px, py)); };
                if (alpha(x, y) < 128 ||
                    std::min({alpha(x - 1, y), alpha(x + 1, y), alpha(x, y - 1), alpha(x, y + 1)}) >= 128)
                    continue;
                const QRgb p = icon.pixel(x, y);
                const double a = qAlpha(p) / 255.0;
                const QColor seen(int(qRed(p) * a + ground.red() * (1 - a)),
                                  int(qGreen(p) * a + ground.green() * (1 - a)),
                                  int(qBlue(p) * a + ground.blue() * (1 - a)));
                const double l1 = luminance(seen), l2 = luminance(ground);
                contrastSum += (std::max(l1, l2) + 0.05) / (std::min(l1, l2) + 0.05);
                ++rim;
            }
        ASSERT_GT(rim, 0) << which;
        EXPECT_GE(contrastSum / rim, 4.5) << "icon " << which;
    }
}

// The tool bar's icons are drawn for the palette in use.
TEST_F(DesktopTest, ToolIconsFollowThePalette) {
    QPalette dark = Main().palette();
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    auto shown = [](QAction* command) { return command->icon().pixmap(QSize(16, 16)).toImage(); };
    const QImage light = shown(Parts().DoSplit);
    Main().setPalette(dark);
    const QImage drawnDark = ToolPixmap(ToolIcon::Split, 16, true, Parts().SpeedBar->palette()).toImage();
    EXPECT_NE(shown(Parts().DoSplit), light);
    EXPECT_EQ(shown(Parts().DoSplit), drawnDark.convertToFormat(shown(Parts().DoSplit).format()));
}

TEST_F(DesktopTest, EscapeClosesTheHelpWindow) {
    Main().HintClick();
    ASSERT_TRUE(windows.Others().frmHint->isVisible());
    QTest::keyClick(windows.Others().frmHint->findChild<QWidget*>("ListBox1"), Qt::Key_Escape);
    EXPECT_FALSE(windows.Others().frmHint->isVisible());
}

TEST_F(DesktopTest, PieceListGrowsWithTheWindow) {
    Main().show();
    QTest::qWait(20);
    const QSize before = Parts().SmallerSizesLB->size();
    Main().resize(Main().size() + QSize(300, 200));
    QTest::qWait(20);
    EXPECT_GT(Parts().SmallerSizesLB->height(), before.height() + 100);
    EXPECT_GT(Parts().SmallerSizesLB->width(), before.width() + 100);
}

}  // namespace
