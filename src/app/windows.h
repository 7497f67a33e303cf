// The program's three windows, each a table of properties and controls.
#pragma once

#include "app/window.h"

namespace ql {

extern const WindowDefinition kMainWindow;
extern const WindowDefinition kAboutWindow;
extern const WindowDefinition kSettingsWindow;

// The About text's first four lines and the start of the fifth (CR LF
// between them); the website address follows.
extern const char kAboutText[];
// The frame of the About and settings windows: a title bar with the close and
// minimise boxes, not resizable.
extern const DWORD kToolDialogStyle;

}  // namespace ql
