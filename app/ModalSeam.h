// Every modal thing the main window does -- file dialogs, message boxes,
// Yes/No questions, running a modal dialog -- goes through this one interface,
// so tests can answer in order instead of blocking on a real modal window.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QDialog;
class QFileDialog;
class QMessageBox;
class QWidget;

class ModalSeam {
public:
    enum class Icon { Stop, Exclamation, Question, Information };
    enum class Buttons { Ok, YesNo };

    virtual ~ModalSeam() = default;

    // The chosen file's full native name, or an empty text when cancelled.
    // filter is in catalogue form ("desc|pattern|desc|pattern"); an empty
    // filter shows every file. exactNames: the filter matches names
    // case-sensitively and hidden files are listed, as a join finds pieces.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter, const QString& folder,
                                 bool exactNames = false) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& folder,
                                 const QString& proposedName) = 0;
    // A message box, arguments in Qt's order; returns true for OK or Yes.
    virtual bool Message(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) = 0;
    // Runs a modal dialog; returns QDialog::Accepted or Rejected.
    virtual int ExecDialog(QDialog* dialog) = 0;
};

namespace Modal {
// The seam in use: the Qt implementation unless a test installed another.
ModalSeam& InUse();
// Makes seam the one in use; nullptr restores the Qt implementation.
void Install(ModalSeam* seam);
}  // namespace Modal

// The width a window needs for its caption in the title bar: the text in a
// bold title font and room for the window's icon and buttons.
int CaptionRoom(const QString& caption);
// Makes a message box at least CaptionRoom wide, so the caption is not cut.
void WidenForCaption(QMessageBox& box);

// Sets up an open dialog as the program shows it: filter in catalogue form
// (see OpenFileName). With exactNames, Qt's own dialog lists the folders and
// the files whose names end exactly in a pattern's text after its leading
// "*", whatever characters that text holds.
void ConfigureOpenDialog(QFileDialog& dialog, const QString& filter, bool exactNames);

// Converts a catalogue filter ("desc|pattern|...") into Qt's "desc (pattern);;..."
// form; "*.*" becomes "*" where names need no dot.
QString QtFilterFromCatalogue(const QString& filter);

// Scripted answers for tests: each call takes the next answer of its kind and
// records what was shown. With no answer queued a file dialog is cancelled, a
// message answers OK/No and a dialog is closed without OK.
class ScriptedModal : public ModalSeam {
public:
    struct Shown {
        enum class Kind { Open, Save, Message, Dialog } kind;
        QString title;            // dialog title or message caption
        QString text;             // message text
        QString filter;           // file dialog filter as given
        QString folder;           // file dialog initial folder
        QString proposedName;     // save dialog proposed name
        bool exactNames = false;  // open dialog: case-sensitive filter, hidden files shown
        Icon icon = Icon::Stop;
        Buttons buttons = Buttons::Ok;
        QDialog* dialog = nullptr;
    };

    void SetNextFileName(const QString& name) { fileNames.push_back(name); }
    void SetNextAnswer(bool yes) { answers.push_back(yes); }
    // Acts on the shown dialog (type, click) and returns its result.
    void SetNextDialogAction(std::function<int(QDialog*)> action) { dialogActions.push_back(std::move(action)); }

    QString OpenFileName(QWidget*, const QString& title, const QString& filter, const QString& folder,
                         bool exactNames = false) override;
    QString SaveFileName(QWidget*, const QString& title, const QString& filter, const QString& folder,
                         const QString& proposedName) override;
    bool Message(QWidget*, const QString& caption, const QString& text, Icon icon, Buttons buttons) override;
    int ExecDialog(QDialog* dialog) override;

    std::vector<Shown> shown;
    std::deque<QString> fileNames;
    std::deque<bool> answers;
    std::deque<std::function<int(QDialog*)>> dialogActions;

    // The shown messages only.
    std::vector<Shown> Messages() const;
};
