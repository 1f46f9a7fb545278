// The How It Works window: the help text in a list, and the same text opened
// as a file in the desktop's text viewer.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QFile;
class QKeyEvent;
class QListWidget;
class QPushButton;

// A text viewer and the options that keep it running until its window is
// closed; the file's name is appended as the last argument.
struct TextViewer {
    QString program;
    QStringList arguments;
};

// The viewers tried, in order: NOTEPAD.EXE on Windows, elsewhere common
// desktop editors in their stay-in-the-foreground mode.
std::vector<TextViewer> TextViewerCandidates();
// The first candidate found on the search path, its program given as the full
// path; none when no candidate is installed.
std::optional<TextViewer> FindTextViewer();
// Shows fileName in the viewer and waits until it is closed, letting the
// windows repaint meanwhile but taking no user input. False when no viewer
// could be started.
bool ShowFileInViewer(const QString& fileName);

// The help file's name in the current language: program name, "_", the
// window's title, ".TXT".
QString HelpFileName();

class TfrmHint : public QWidget {
    Q_OBJECT
public:
    explicit TfrmHint(QWidget* parent = nullptr);

    // Caption, button caption and the help lines in the current language.
    void OnActivate();
    // Writes the help text into a fresh private folder, shows it in the text
    // viewer until that is closed, then deletes it. Without a viewer that
    // waits, the desktop's default viewer gets a file that is kept until the
    // program ends.
    void OnFileBtnClick();
    // Emits the help lines in order: blank lines between paragraphs.
    void FillHelpText(bool toFile);
    // Appends line to the list, or writes it with a line end to the help file.
    void EmitHelpLine(const std::string& line, bool toFile);

signals:
    // No viewer that waits was found: the file went to the desktop's own
    // viewer, which may show nothing, and stays at fileName until the end.
    void FileKept(const QString& fileName);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;  // Escape closes

private:
    QListWidget* ListBox1 = nullptr;
    QPushButton* OnFileBtn = nullptr;
    bool WriteHelpFile(const QString& fileName);

    QFile* HelpFile = nullptr;  // open only while OnFileBtnClick runs
    bool showingFile_ = false;
    std::unique_ptr<QTemporaryDir> keptFolder_;  // for the desktop's viewer
};
