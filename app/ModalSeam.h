// Every modal thing the main window does -- file dialogs, message boxes,
// Yes/No questions, running a modal dialog -- goes through this one interface,
// so tests can answer in order instead of blocking on a real modal window.
#pragma once

#include <QString>
#include <QStringList>

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

// What an accepted file dialog leaves behind: the process's current folder
// is the chosen file's folder, as the workflows expect, and the name is in
// native form. An empty name (cancelled) is returned as it is.
QString AcceptChosenFile(const QString& chosen);

// Converts a catalogue filter ("desc|pattern|...") into Qt's "desc (pattern);;..."
// form; "*.*" becomes "*" where names need no dot.
QString QtFilterFromCatalogue(const QString& filter);
