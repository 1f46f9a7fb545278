#include "dialogs/HelpWindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "texts/ExtraTexts.h"
#include "texts/QtText.h"
#include "texts/TextCatalogue.h"

std::vector<TextViewer> TextViewerCandidates() {
#ifdef Q_OS_WIN
    return {{QStringLiteral("NOTEPAD.EXE"), {}}};
#elif defined(Q_OS_MACOS)
    // -W waits until TextEdit is quit, -n starts an instance of its own.
    return {{QStringLiteral("open"), {QStringLiteral("-W"), QStringLiteral("-n"), QStringLiteral("-e")}}};
#else
    // Editors that hand a file to an instance already running must be told
    // to wait; otherwise the help file would be deleted before it is shown.
    return {
        {QStringLiteral("gedit"), {QStringLiteral("--wait")}},
        {QStringLiteral("gnome-text-editor"), {QStringLiteral("--standalone")}},
        {QStringLiteral("kate"), {QStringLiteral("--block")}},
        {QStringLiteral("mousepad"), {QStringLiteral("--disable-server")}},
        {QStringLiteral("leafpad"), {}},
        {QStringLiteral("gvim"), {QStringLiteral("--nofork")}},
    };
#endif
}

std::optional<TextViewer> FindTextViewer() {
    for (TextViewer viewer : TextViewerCandidates()) {
        const QString path = QStandardPaths::findExecutable(viewer.program);
        if (!path.isEmpty()) {
            viewer.program = path;
            return viewer;
        }
    }
    return std::nullopt;
}

bool ShowFileInViewer(const QString& fileName) {
    const std::optional<TextViewer> viewer = FindTextViewer();
    if (!viewer) return false;
    QProcess process;
    // An argument list, no shell: the file's name holds blanks.
    process.setProgram(viewer->program);
    process.setArguments(QStringList(viewer->arguments) << fileName);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted()) return false;
    // Wait in slices so the windows stay drawn; user input waits until the
    // viewer is closed.
    while (!process.waitForFinished(50) && process.state() != QProcess::NotRunning)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
}

QString HelpFileName() {
    return Texts::Text(Entry::ProgramName) + QLatin1Char('_') + Texts::Text(Entry::HowItWorksTitle) +
           QStringLiteral(".TXT");
}

namespace {
// Rows tall enough for accented capitals ("GÖR FÖLJANDE"): the style makes a
// row one line high, and the dots above it are cut off on the first row.
class TTallLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QFontMetrics& metrics = option.fontMetrics;
        const int rise = -metrics.boundingRect(QString::fromUtf8("ÅÄÖÜÉ")).top() - metrics.ascent();
        // The line is centred in its row: the room above is matched below.
        size.setHeight(std::max(size.height(), metrics.height() + 2 * std::max(rise, 0)));
        return size;
    }
};
}  // namespace

TfrmHint::TfrmHint(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHint"));
    setWindowTitle(QStringLiteral("Hint"));

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setItemDelegate(new TTallLineDelegate(ListBox1));
    // Read-only help: shown on the window's colour, like a menu.
    QPalette palette = ListBox1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    ListBox1->setPalette(palette);

    OnFileBtn = new QPushButton(QStringLiteral("OnFileBtn"), this);
    OnFileBtn->setObjectName(QStringLiteral("OnFileBtn"));
    connect(OnFileBtn, &QPushButton::clicked, this, &TfrmHint::OnFileBtnClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListBox1, 1);
    layout->addWidget(OnFileBtn);
    resize(539, 330);
}

bool TfrmHint::event(QEvent* event) {
    // The texts follow the language at every showing and every return to the
    // window, not while it stays active.
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) OnActivate();
    return QWidget::event(event);
}

void TfrmHint::keyPressEvent(QKeyEvent* event) {
    // Escape closes the window, as it does a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmHint::OnActivate() {
    setWindowTitle(Texts::Text(Entry::HowItWorksTitle));
    OnFileBtn->setText(Texts::Text(Entry::HelpOnFile));
    ListBox1->clear();
    FillHelpText(false);
}

void TfrmHint::FillHelpText(bool toFile) {
    static const std::string empty;
    for (int entry : HelpLineOrder()) EmitHelpLine(entry < 0 ? empty : CatalogueText(entry), toFile);
    // What this program adds to the text, as a paragraph of its own.
    EmitHelpLine(empty, toFile);
    const std::string& additions = ExtraText(Extra::HelpAdditions);
    for (std::string::size_type start = 0, end = 0; start <= additions.size(); start = end + 1) {
        end = std::min(additions.find('\n', start), additions.size());
        EmitHelpLine(additions.substr(start, end - start), toFile);
    }
}

void TfrmHint::EmitHelpLine(const std::string& line, bool toFile) {
    if (!toFile) {
        ListBox1->addItem(QString::fromUtf8(line.c_str()));
        return;
    }
    if (HelpFile) {
        // The file is open in text mode: "\n" becomes the platform's line end.
        HelpFile->write(line.data(), static_cast<qint64>(line.size()));
        HelpFile->write("\n", 1);
    }
}

bool TfrmHint::WriteHelpFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
    HelpFile = &file;
    FillHelpText(true);
    HelpFile = nullptr;
    file.close();
    return file.error() == QFileDevice::NoError;
}

void TfrmHint::OnFileBtnClick() {
    // Input is held back while the viewer is open, so a click made meanwhile
    // arrives afterwards; it must not stack a second viewer inside the wait.
    if (showingFile_) return;
    showingFile_ = true;
    if (FindTextViewer()) {
        // A fresh private folder: no other user can plant a link under the
        // file's fixed name, and a file of that name elsewhere is left alone.
        QTemporaryDir folder;
        const QString fileName = folder.filePath(HelpFileName());
        if (folder.isValid() && WriteHelpFile(fileName)) {
            ShowFileInViewer(fileName);
            QFile::remove(fileName);
        }
    } else {
        // The desktop's own viewer returns at once and reads the file when it
        // likes, so the file stays in its private folder until the program ends.
        if (!keptFolder_) keptFolder_ = std::make_unique<QTemporaryDir>();
        const QString fileName = keptFolder_->filePath(HelpFileName());
        if (keptFolder_->isValid() && WriteHelpFile(fileName)) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
            emit FileKept(QDir::toNativeSeparators(fileName));
        }
    }
    showingFile_ = false;
    activateWindow();
    raise();
}
