// What the window reports of its work: the progress bar and the status bar.
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>

#include "app/MainWindowParts.h"
#include "app/PartWidgets.h"

void TMainStatus::Build(QMainWindow* window, QWidget* content) {
    PBar = Named(new QProgressBar(content), "PBar");
    PBar->setRange(0, 100);
    PBar->setValue(0);
    PBar->setTextVisible(false);

    StatusBar = Named(new QStatusBar(window), "StatusBar");
    // Panel 0 keeps its designed width (set at start) and widens while a long
    // hint shows, so hints are read whole when the window has room.
    StatusPanel0 = Named(new TElidingLabel(StatusBar, true), "StatusPanel0");
    StatusPanel1 = Named(new TElidingLabel(StatusBar), "StatusPanel1");
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar->addWidget(StatusPanel0);
    StatusBar->addWidget(StatusPanel1, 1);
    window->setStatusBar(StatusBar);
}

void TMainStatus::ApplyTexts() { SetHints({{PBar, Entry::ProgressHint}}); }

void TMainStatus::ShowHint(const QString& hint) {
    static_cast<TElidingLabel*>(StatusPanel0)->SetElideMode(Qt::ElideRight);
    StatusPanel0->setText(hint);
}

void TMainStatus::ShowPath(const QString& path) {
    static_cast<TElidingLabel*>(StatusPanel0)->SetElideMode(Qt::ElideLeft);
    StatusPanel0->setText(path);
}
