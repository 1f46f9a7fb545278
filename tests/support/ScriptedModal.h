#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "app/ModalSeam.h"

// Scripted answers for tests and the window's speed measurement, in place of
// modal windows that would block: each call takes the next answer of its kind and
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
