// Hints of the form "short|long": the short part is the tooltip, the long
// part the status text that the main window shows in status panel 0.
#pragma once

#include <QString>

class QAction;
class QWidget;

// The part before the first '|'; the whole hint when it has none.
QString ShortHint(const QString& hint);
// The part after the first '|'; the whole hint when it has none.
QString LongHint(const QString& hint);

// Sets a control's hint. withToolTip false: only the status text (group boxes).
void ApplyHint(QWidget* widget, const QString& hint, bool withToolTip = true);
// Sets a command's hint: its menu item shows only the status text, a tool
// button for it the tooltip too.
void ApplyHint(QAction* action, const QString& hint);
