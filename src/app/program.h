// The program's shell: start-up, the hidden owner window, the exit callbacks.
#pragma once

#include <windows.h>

namespace ql {

// The entry routine: start-up, the message loop, 0 when the loop ends.
int programMain();

// The hidden, zero-sized tool window that owns every window kept out of the taskbar.
HWND toolWindow();
// The clock window while it exists, else nullptr.
HWND mainWindow();

// Routines run once, in order of registration, when the program ends.
// Registering one that is already listed changes nothing.
void registerExitCallback(void (*callback)());
void runExitCallbacks();

}  // namespace ql
