// The program's icon as a Windows icon file (.ico), for the icon resource of
// the .exe files: the same drawing as the window's icon, at every size
// Windows picks from for the desktop, the Explorer and the task bar.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// The sizes Windows asks an icon file for, smallest first.
inline constexpr int kWindowsIconSizes[] = {16, 24, 32, 48, 64, 256};

// An icon file holding the square images in the order given: up to 64
// pixels as 32-bit bitmaps with their mask (what every Windows version
// reads), larger ones as PNG (what Windows takes for 256 pixels).
// Empty when an image is not square, is empty or larger than 256 pixels.
QByteArray WindowsIconFile(const QList<QImage>& images);
// The program's icon at kWindowsIconSizes.
QByteArray ProgramIconFile();
