#include "dialogs/WindowTools.h"

#include <QListWidget>
#include <QScreen>
#include <QWidget>

void CentreOnScreen(QWidget* window, const QScreen* screen) {
    if (screen == nullptr) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

int SelectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}
