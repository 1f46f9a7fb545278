// The program's windows, created once at start in a fixed order and reused.
#pragma once

#include <functional>
#include <memory>

#include "app/Main.h"

class TSettingsStore;
class TPieceEngine;

// The main window owns the other windows (they are its Qt children), so they
// go with it; it holds their pointers.
struct TWindows {
    std::unique_ptr<TMain> Main;
    const TOtherWindows& Others() const { return Main->Windows(); }
};

// Creates Main, AboutBox, frmDisk, frmHint, Memory, FrmBaseSize and
// FrmFileType, in this order, and hands them to Main.
TWindows CreateWindows(TPieceEngine& engine, TSettingsStore& store);

// Creates the windows with `create`, shows the main window and runs the
// message loop. Returns the loop's exit code, or 1 when creating the windows
// failed (the failure is shown in a message box first).
int RunWindows(const std::function<TWindows()>& create);
