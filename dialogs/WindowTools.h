// What the program's windows share beyond their look: where a window opens
// and which row of a list the user picked.
#pragma once

class QListWidget;
class QScreen;
class QWidget;

// Puts window, frame and all, in the middle of the part of screen that
// windows may use; leaves it where it is without a screen.
void CentreOnScreen(QWidget* window, const QScreen* screen);

// The selected row of a list, -1 when nothing is selected (the current row
// may be set with nothing selected).
int SelectedRow(const QListWidget* list);
