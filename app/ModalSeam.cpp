#include "app/ModalSeam.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QSortFilterProxyModel>
#include <algorithm>

namespace {

// Lists the folders and the files whose names match the chosen filter's
// patterns: "*" followed by a literal ending (the marker and "1"), matched
// case-sensitively and with something before it; ";" between patterns. Qt's own name filters
// cannot take a marker with blanks or letters beyond ASCII, and read
// brackets, "*" and "?" in it as wildcards.
class TExactEndingFilter : public QSortFilterProxyModel {
public:
    TExactEndingFilter(QFileDialog& dialog, QStringList endings)
        : QSortFilterProxyModel(&dialog), endings_(std::move(endings)) {
        ending_ = endings_.value(0).split(QLatin1Char(';'));
        connect(&dialog, &QFileDialog::filterSelected, this, [this, &dialog](const QString& chosen) {
            ending_ = endings_.value(std::max<qsizetype>(0, dialog.nameFilters().indexOf(chosen))).split(QLatin1Char(';'));
            invalidateFilter();
        });
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr) return true;
        const QModelIndex index = files->index(row, 0, parent);
        if (files->isDir(index)) return true;
        const QString name = files->fileName(index);
        for (QString ending : ending_) {
            if (ending.startsWith(QLatin1Char('*'))) ending.remove(0, 1);
            if (name.size() > ending.size() && name.endsWith(ending, Qt::CaseSensitive)) return true;
        }
        return false;
    }

private:
    QStringList endings_;
    QStringList ending_;  // of the chosen filter
};

class QtModal : public ModalSeam {
public:
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter, const QString& folder,
                         bool exactNames) override {
        QFileDialog dialog(parent, title, folder);
        ConfigureOpenDialog(dialog, filter, exactNames);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return AcceptChosenFile(dialog.selectedFiles().first());
    }

    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& folder,
                         const QString& proposedName) override {
        QFileDialog dialog(parent, title, folder, QtFilterFromCatalogue(filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The workflows decide what an existing name means; no second question.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return AcceptChosenFile(dialog.selectedFiles().first());
    }

    bool Message(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) override {
        QMessageBox::Icon qtIcon = icon == Icon::Stop          ? QMessageBox::Critical
                                   : icon == Icon::Exclamation ? QMessageBox::Warning
                                   : icon == Icon::Information ? QMessageBox::Information
                                                               : QMessageBox::Question;
        QMessageBox box(qtIcon, caption, text,
                        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
        WidenForCaption(box);
        int answer = box.exec();
        return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
    }

    int ExecDialog(QDialog* dialog) override { return dialog->exec(); }
};

QtModal qtModal;
ModalSeam* current = &qtModal;

}  // namespace

// Qt's dialogs leave the current folder untouched.
QString AcceptChosenFile(const QString& chosen) {
    if (chosen.isEmpty()) return chosen;
    QDir::setCurrent(QFileInfo(chosen).absolutePath());
    return QDir::toNativeSeparators(chosen);
}

ModalSeam& Modal::InUse() { return *current; }

void Modal::Install(ModalSeam* seam) { current = seam ? seam : &qtModal; }

int CaptionRoom(const QString& caption) {
    // The window manager draws the caption, often in bold, beside the
    // window's icon and its buttons; Qt's own allowance for that is too small.
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(caption) + 6 * metrics.height();
}

void WidenForCaption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) return;
    grid->addItem(new QSpacerItem(CaptionRoom(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void ConfigureOpenDialog(QFileDialog& dialog, const QString& filter, bool exactNames) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that does not exist is reported by the workflow.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (!exactNames) {
        dialog.setNameFilter(QtFilterFromCatalogue(filter));
        return;
    }
    // Qt's own dialog, so the list can be filtered by a model of ours; Qt's
    // name filters only narrow nothing ("*").
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() | QDir::Hidden | QDir::CaseSensitive);
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names, endings;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        names << parts[i] + QStringLiteral(" (*)");
        endings << parts[i + 1];
    }
    if (names.isEmpty()) return;
    dialog.setNameFilters(names);
    dialog.setProxyModel(new TExactEndingFilter(dialog, endings));
}

QString QtFilterFromCatalogue(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& raw : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QString pattern = raw.trimmed();
#ifndef _WIN32
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");  // names need no dot here
#endif
            if (!pattern.isEmpty()) patterns << pattern;
        }
        if (patterns.isEmpty()) patterns << QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}
