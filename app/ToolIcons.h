// The tool bar's icons, drawn in code in the colours of the palette they are
// shown on: each has its own image for the normal and for the disabled state.
// Also the program's own icon.
#pragma once

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

enum class ToolIcon { SelectBigFile, PlaceForPieces, Split, SelectPieces, PlaceForBigFile, Join, Exit, Help, Stop, CheckPieces, RepairPieces };

// The icon at 16 x 16 (and 32 x 32 for high-density screens).
QIcon MakeToolIcon(ToolIcon which, const QPalette& palette = QApplication::palette());
// One image of it: the drawing, or its greyed disabled look.
QPixmap ToolPixmap(ToolIcon which, int size, bool enabled, const QPalette& palette = QApplication::palette());
// The program's icon (the picture the desktop entry names), for its windows.
QIcon ProgramIcon();
// That picture at size x size, and its drawing on a 128 x 128 grid.
QImage ProgramIconImage(int size);
void DrawProgramIcon(QPainter& p);
