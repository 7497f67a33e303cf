// Windows defined as data: a table of properties and controls per window, and
// one routine, openWindow, that builds a window from its table, raises its
// created event and shows it (modally or not).
#pragma once

#include <windows.h>

#include "text/text.h"

namespace ql {

enum class ControlKind { Label, PictureBox, PictureButton, GroupBox, RadioButton, EditBox, Button, Timer };

// Kind-specific handlers receive the window and the control that raised the event.
using ControlHandler = void (*)(HWND window, HWND control);

struct ControlDefinition {
  ControlKind kind;
  const char* name;  // kind + "_" + role, as the window's designer named it
  int id;
  int left, top, width, height;  // relative to `group` when it is set, else to the client area
  const char* text;              // initial content (a timer's text is unused)
  int group = 0;                 // id of the group box the control sits in
  UINT drawFlags = 0;            // labels: DrawText flags
  const LOGFONTA* font = nullptr;  // nullptr: DEFAULT_GUI_FONT
  int image = 0;                   // pictures: resource id of a PNG
  int interval = 0;                // timers: period in milliseconds
  ControlHandler onEvent = nullptr;  // clicked, text changed, or timer period elapsed
  bool firstOfGroup = false;         // radio buttons: starts an exclusive group
  DWORD extraStyle = 0;
  DWORD extraExStyle = 0;
  const char* acceptedCharacters = nullptr;  // edit boxes: the only printable characters typing may add
};

// A window-specific message handler; returns true when it handled `message`.
using MessageHandler = bool (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

struct WindowDefinition {
  const char* className;
  const char* caption;
  DWORD style;
  DWORD exStyle;
  int width, height;                 // outer size; the window opens centred on the primary screen
  COLORREF background;               // used when backgroundSystemColour is negative
  int backgroundSystemColour;        // a COLOR_* index, or -1
  int cornerDivisor;                 // above 0: a round-rectangle region with r = min(w, h) / divisor
  bool topmost;                      // made topmost right after creation
  bool escapeCloses;                 // Escape on the window or its controls sends WM_CLOSE
  bool dialogKeys;                   // Tab and arrow keys move between controls
  const ControlDefinition* controls;
  int controlCount;
  void (*onCreated)(HWND window);    // after the controls exist, before the window is shown
  MessageHandler onMessage;          // anything the generic handling leaves
  void (*onDestroyed)(HWND window);  // WM_DESTROY, while the controls still exist
};

// Opens the window of `definition`. Already open: a minimised window is
// restored, any other activated; nothing new is created. Modal: the window is
// owned by the hidden tool window whatever `owner` says, the program's other
// top-level windows are disabled, and the call returns when it has been
// destroyed. Returns the window (nullptr when it could not be created, when
// its created event closed it, or after a modal window has closed);
// `created` tells whether it was created at all.
HWND openWindow(const WindowDefinition& definition, HWND owner, bool modal, bool* created = nullptr);
// The open window of `definition`, or nullptr.
HWND findOpenWindow(const WindowDefinition& definition);
// How many of the program's windows made by openWindow exist.
int openWindowCount();

HWND controlOf(HWND window, int id);
void setControlText(HWND window, int id, const Text& text);
Text controlText(HWND window, int id);

// Set when the program's message loop has been entered: from then on the
// destruction of its last window posts a quit message.
void setLoopStarted(bool started);
// Runs the thread's message loop until a quit message arrives.
void runMessageLoop();
// The Escape and dialog-key handling that every message loop of the program
// applies before dispatching; true when the message has been consumed.
bool preTranslateWindowMessage(MSG& msg);

// Window classes of the program; called once at start-up.
bool registerWindowClasses(HINSTANCE instance);

// Sets the window's topmost state; when it is made not topmost, the program's
// other windows that are topmost and kept out of the taskbar are put back on top.
void setTopmost(HWND window, bool topmost);
bool isTopmost(HWND window);

}  // namespace ql
