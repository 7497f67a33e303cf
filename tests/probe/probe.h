// A test-only driver for another process's windows: finds them, reads what the
// window manager knows about them, and acts on them the way a user or the shell
// would (posted tray callbacks, menu keys, clicks, typed characters, real mouse
// input). Everything works across processes, so the program under test runs
// exactly as it ships.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qlprobe {

// Top-level windows of one process (pid 0: of every process), in z-order.
std::vector<HWND> topLevelWindows(DWORD pid);
// The first top-level window of the class; only visible ones when `visibleOnly`.
HWND findTopLevel(DWORD pid, const char* className, bool visibleOnly);
// Polls for such a window until the timeout; stops early when `process` (if
// given) has ended. nullptr when none appeared.
HWND waitTopLevel(DWORD pid, const char* className, DWORD timeoutMs, bool visibleOnly = true, HANDLE process = nullptr);
// Polls until `window` no longer exists (or is hidden, when `orHidden`).
bool waitGone(HWND window, DWORD timeoutMs, bool orHidden = false);

DWORD processOf(HWND window);
std::string className(HWND window);
// WM_GETTEXT: the window text as the target holds it (GBK for the program's own windows).
std::string windowText(HWND window);
// Every descendant window, depth first.
std::vector<HWND> descendants(HWND parent);
// The descendant with this control identifier (controls inside group boxes included).
HWND control(HWND parent, int id);

struct WindowInfo {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  DWORD threadId = 0;
  std::string className;
  std::string text;
  int controlId = 0;
  RECT rect = {};    // screen coordinates
  RECT client = {};  // client area, its own coordinates
  LONG style = 0;
  LONG exStyle = 0;
  HWND owner = nullptr;
  HWND parent = nullptr;
  bool visible = false;
  bool enabled = false;
  int regionType = ERROR;  // GetWindowRgnBox: ERROR (no region), NULLREGION, SIMPLEREGION, COMPLEXREGION
  RECT regionBox = {};
  bool layeredAttributes = false;  // GetLayeredWindowAttributes succeeded
  BYTE alpha = 0;
  COLORREF colorKey = 0;
  DWORD layeredFlags = 0;

  int width() const { return rect.right - rect.left; }
  int height() const { return rect.bottom - rect.top; }
  bool topmost() const { return (exStyle & WS_EX_TOPMOST) != 0; }
};
WindowInfo describe(HWND window);

// The shell's rule for a taskbar button: a visible, unowned window that is not
// a tool window, or any window with WS_EX_APPWINDOW.
bool wouldHaveTaskbarButton(const WindowInfo& info);

// A control's rectangle in its top-level window's client coordinates.
RECT rectInClient(HWND control, HWND topLevel);

// --- acting on windows -----------------------------------------------------

// Posts the notification-area callback as the shell does: wParam the icon's
// identifier, lParam the mouse message.
bool postTrayEvent(HWND owner, UINT callbackMessage, UINT iconId, UINT mouseMessage);
// Whether the notification area holds the icon (owner, id): a modification
// that changes nothing succeeds only for an icon that exists.
bool trayIconPresent(HWND owner, UINT iconId);
// Removes the icon as a restarted shell would have lost it.
bool forgetTrayIcon(HWND owner, UINT iconId);
// Posts the shell's "TaskbarCreated" message to every top-level window.
bool broadcastTaskbarCreated();

// The visible pop-up menu window ("#32768") of any process.
HWND findPopupMenu();
HWND waitPopupMenu(DWORD timeoutMs);
// Chooses item `index` (0 for the first) of a popped-up menu with the keyboard.
bool chooseMenuItem(HWND menu, int index);

// The window with the keyboard focus in the thread that owns `window`, when
// it is `window` or one of its descendants; otherwise `window` itself.
HWND keyTarget(HWND window);
// Posts WM_KEYDOWN and WM_KEYUP of the virtual key to keyTarget(window).
bool pressKey(HWND window, UINT virtualKey);
// Posts one WM_CHAR per byte: how a typed character reaches an edit box.
bool typeChars(HWND edit, const std::string& chars);
// BM_GETCHECK == BST_CHECKED.
bool isChecked(HWND button);
// EM_SETSEL over the whole text, so that the next typed character replaces it.
bool selectAll(HWND edit);
// Puts the text on the clipboard and posts WM_PASTE: how a paste reaches an edit box.
bool pasteText(HWND edit, const std::string& text);
// Posts BM_CLICK (posted, so that a modal loop the click opens cannot block us).
bool clickButton(HWND button);
// Answers a dialog as its button with this identifier would.
bool pressDialogButton(HWND dialog, int id);

// Real input through SendInput, at screen coordinates.
bool mouseMove(int x, int y);
bool mouseButton(bool down);
bool mouseClick(int x, int y);
// Presses at `from`, moves in steps to `to`, and releases there when `release`.
bool mouseDrag(POINT from, POINT to, int steps, bool release = true);

// --- message boxes ---------------------------------------------------------

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::string title;
  std::string text;
  HWND owner = nullptr;
  std::vector<int> buttons;  // identifiers of its push buttons
};
// Dialog-class windows ("#32770") of the process that look like message boxes.
std::vector<MessageBoxInfo> messageBoxes(DWORD pid);
MessageBoxInfo waitMessageBox(DWORD pid, DWORD timeoutMs, HANDLE process = nullptr);

// --- screenshots -----------------------------------------------------------

struct Rgb {
  int r = 0, g = 0, b = 0;
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom

  bool empty() const { return pixels.empty(); }
  Rgb at(int x, int y) const;
  // Pixels of the rectangle (clipped to the image) that satisfy `test`.
  template <typename Test>
  int count(const RECT& area, Test test) const {
    int n = 0;
    for (int y = area.top < 0 ? 0 : area.top; y < area.bottom && y < height; ++y) {
      for (int x = area.left < 0 ? 0 : area.left; x < area.right && x < width; ++x) {
        if (test(at(x, y))) ++n;
      }
    }
    return n;
  }
  Image crop(const RECT& area) const;
};

// The screen's pixels in the rectangle (screen coordinates), read with BitBlt
// from the screen DC.
Image captureScreen(const RECT& area);
Image captureScreen();
bool savePng(const Image& image, const std::string& path);
bool loadPng(const std::string& path, Image& image);

bool isWhite(const Rgb& c);
bool isDark(const Rgb& c);  // text ink: every channel below 110
bool isInk(const Rgb& c);   // ink or its anti-aliased edge: every channel below 170
bool closeTo(const Rgb& c, int r, int g, int b, int tolerance);

// --- clock text ------------------------------------------------------------

// Milliseconds since midnight of a clock text "HH:mm:ss:NNN" (or with a full
// stop before the milliseconds); -1 when the text has another form.
int clockTextMillis(const std::string& text);
// Local milliseconds since midnight of an instant given in UTC milliseconds.
int localMillisOfDay(std::int64_t unixMillis);
// The Unix time in milliseconds, from the system clock.
std::int64_t unixNowMillis();
// a - b on a 24-hour dial, in (-12 h, 12 h].
int dialDifference(int a, int b);

// --- the process -----------------------------------------------------------

// A program started by the caller; ended (TerminateProcess) when still
// running at destruction, so that a failed test leaves nothing behind.
class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();
  // Starts `exe` with the arguments in `directory`; the environment is the
  // caller's. Paths may be Unix paths.
  bool start(const std::string& exe, const std::string& arguments, const std::string& directory);
  DWORD pid() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }
  bool running() const;
  // True when the process has ended within the time.
  bool wait(DWORD timeoutMs) const;
  // STILL_ACTIVE while it runs.
  DWORD exitCode() const;
  void terminate();

 private:
  PROCESS_INFORMATION info_ = {};
};

struct ProcessUsage {
  bool ok = false;
  double cpuSeconds = 0;           // user + kernel
  std::uint64_t privateBytes = 0;  // PROCESS_MEMORY_COUNTERS_EX::PrivateUsage
  std::uint64_t workingSetBytes = 0;
  // Sum of the committed private regions (VirtualQueryEx): what Windows calls
  // private bytes, also where the counter above reads 0 (Wine).
  std::uint64_t privateCommitted = 0;
  DWORD handles = 0;       // GetProcessHandleCount
  DWORD handlesInUse = 0;  // handle values that can be duplicated from the process
  DWORD gdiObjects = 0;
  DWORD userObjects = 0;
};
// Needs PROCESS_QUERY_INFORMATION, PROCESS_VM_READ and PROCESS_DUP_HANDLE.
ProcessUsage processUsage(HANDLE process);

// Text in GBK (the program's) to UTF-8 (the terminal's).
std::string gbkToUtf8(const std::string& text);
// A path given to a Windows program: Unix paths ("/...") go through drive Z:.
std::string windowsPath(const std::string& path);

}  // namespace qlprobe
