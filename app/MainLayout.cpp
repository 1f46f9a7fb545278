// The main window put together from its parts, its texts, and its hints in
// the status bar.
#include <QApplication>
#include <QCursor>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>

#include "app/Main.h"
#include "app/ToolIcons.h"

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

std::string ToStd(const QString& text) { return text.toStdString(); }

void TMain::BuildLayout() {
    menus_.Build(menuBar(), *this);
    menuBar()->installEventFilter(this);  // Escape during a transfer (MainTransfer.cpp)
    toolBar_ = new TMainToolBar(menus_, this);
    auto* content = new QWidget(this);
    bigFile_ = new TBigFileGroup(content, *this);
    smallFiles_ = new TSmallerFilesGroup(content, *this);
    status_.Build(this, content);

    // A larger window widens both groups and gives the smaller files' group,
    // with its piece list, the extra height.
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(bigFile_);
    column->addWidget(smallFiles_, 1);
    column->addWidget(status_.PBar);
    auto* central = new QWidget(this);
    auto* anchor = new QGridLayout(central);
    anchor->setContentsMargins(6, 6, 6, 6);
    anchor->addWidget(content, 0, 0);
    setCentralWidget(central);

    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);  // a dropped file is taken as a chosen one
}

void TMain::ApplyTexts() {
    menus_.ApplyTexts();
    bigFile_->ApplyTexts();
    smallFiles_->ApplyTexts();
    status_.ApplyTexts();
    ShowRecoveryPlan();
    smallFiles_->lblNrFiles->clear();
}

bool TMain::event(QEvent* e) {
    if (e->type() == QEvent::StatusTip) {
        QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        // Leaving a control sends an empty tip; over a child without a hint of
        // its own, the hint of the group box around it shows.
        if (tip.isEmpty()) {
            for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w && w != this && isAncestorOf(w);
                 w = w->parentWidget()) {
                if (!w->statusTip().isEmpty()) {
                    tip = w->statusTip();
                    break;
                }
            }
        }
        ShowHintInStatusBar(tip);
        return true;
    }
    return QMainWindow::event(e);
}
