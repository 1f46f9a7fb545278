#include "tests/support/ScriptedModal.h"

#include <QDialog>

QString ScriptedModal::OpenFileName(QWidget*, const QString& title, const QString& filter, const QString& folder,
                                    bool exactNames) {
    Shown s{Shown::Kind::Open, title, {}, filter, folder, {}};
    s.exactNames = exactNames;
    shown.push_back(s);
    if (fileNames.empty()) return {};
    QString name = fileNames.front();
    fileNames.pop_front();
    return AcceptChosenFile(name);
}

QString ScriptedModal::SaveFileName(QWidget*, const QString& title, const QString& filter, const QString& folder,
                                    const QString& proposedName) {
    shown.push_back(Shown{Shown::Kind::Save, title, {}, filter, folder, proposedName});
    if (fileNames.empty()) return {};
    QString name = fileNames.front();
    fileNames.pop_front();
    return AcceptChosenFile(name);
}

bool ScriptedModal::Message(QWidget*, const QString& caption, const QString& text, Icon icon, Buttons buttons) {
    Shown s{Shown::Kind::Message, caption, text, {}, {}, {}};
    s.icon = icon;
    s.buttons = buttons;
    shown.push_back(s);
    if (buttons == Buttons::Ok) return true;
    if (answers.empty()) return false;
    bool yes = answers.front();
    answers.pop_front();
    return yes;
}

int ScriptedModal::ExecDialog(QDialog* dialog) {
    Shown s{Shown::Kind::Dialog, dialog->windowTitle(), {}, {}, {}, {}};
    s.dialog = dialog;
    // Shown as exec() would, so the dialog sets its texts and fields on showing.
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    s.title = dialog->windowTitle();
    shown.push_back(s);
    int result = QDialog::Rejected;
    if (!dialogActions.empty()) {
        auto action = std::move(dialogActions.front());
        dialogActions.pop_front();
        result = action(dialog);
    }
    if (dialog->isVisible()) {
        dialog->setResult(result);
        dialog->hide();
    }
    return result;
}

std::vector<ScriptedModal::Shown> ScriptedModal::Messages() const {
    std::vector<Shown> messages;
    for (const Shown& s : shown)
        if (s.kind == Shown::Kind::Message) messages.push_back(s);
    return messages;
}
