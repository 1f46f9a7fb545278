// The tool bar's icons, drawn in code: each has its own image for the normal
// and for the disabled state.
#pragma once

#include <QIcon>
#include <QPixmap>

enum class ToolIcon { SelectBigFile, PlaceForPieces, Split, SelectPieces, PlaceForBigFile, Join, Exit, Help, Stop };

// The icon at 16 x 16 (and 32 x 32 for high-density screens).
QIcon MakeToolIcon(ToolIcon which);
// One image of it: the drawing, or its greyed disabled look.
QPixmap ToolPixmap(ToolIcon which, int size, bool enabled);
