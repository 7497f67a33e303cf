// MainWindow: the floating clock, its notification-area icon and tray menu,
// and dragging by the window's own surface.
#include <windows.h>

#include "../resources/resource_ids.h"
#include "app/control_ids.h"
#include "app/images.h"
#include "app/program.h"
#include "app/trace.h"
#include "app/update_check.h"
#include "app/windows.h"
#include "channels/channel_sync.h"
#include "clock/clock_core.h"
#include "clock/date_time_text.h"
#include "common/handles.h"

namespace ql {
namespace {

constexpr UINT kLabelFlags = DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;

const LOGFONTA kTimeFont = {
    -24, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
    PROOF_QUALITY, DEFAULT_PITCH, "幼圆"};

// The drag state: the window follows the cursor's movement between two
// mouse-move events on its surface while the left button is down.
bool dragging = false;
int lastCursorX = 0;
int lastCursorY = 0;

IconHandle g_trayIcon;
bool g_trayIconAdded = false;

void storeCursorPosition() {
  POINT cursor = {};
  GetCursorPos(&cursor);
  lastCursorX = cursor.x;
  lastCursorY = cursor.y;
}

// The record that names the window's icon to the shell, in the first
// version's layout: understood by every shell since Windows 95.
NOTIFYICONDATAA trayIconData(HWND window) {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  data.uID = kTrayIconId;
  return data;
}

bool addTrayIcon(HWND window) {
  if (!g_trayIcon) g_trayIcon = imageToIcon(loadPngResource(QL_RES_TRAY_ICON_PNG));
  NOTIFYICONDATAA data = trayIconData(window);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = g_trayIcon.get();
  lstrcpynA(data.szTip, "晴岚钟表", 63);
  g_trayIconAdded = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
  traceEvent(g_trayIconAdded ? "tray-add ok" : "tray-add failed");
  return g_trayIconAdded;
}

void deleteTrayIcon(HWND window) {
  if (g_trayIconAdded) {
    NOTIFYICONDATAA data = trayIconData(window);
    Shell_NotifyIconA(NIM_DELETE, &data);
    g_trayIconAdded = false;
    traceEvent("tray-delete");
  }
  g_trayIcon.reset();
}

void writeClockLabel(ClockLabel label, const Text& text) {
  setControlText(mainWindow(), label == ClockLabel::Channel ? kIdChannelLabel : kIdDelayLabel, text);
}

void onMainWindowCreated(HWND window) {
  // Exactly WS_EX_LAYERED: the window stays topmost all the same. (Every
  // system the program runs on has layered windows.)
  SetWindowLongA(window, GWL_EXSTYLE, WS_EX_LAYERED);
  SetLayeredWindowAttributes(window, 0, 230, LWA_ALPHA);
  addTrayIcon(window);
  storeCursorPosition();
  setClockLabelWriter(writeClockLabel);
  syncChannel();
  checkForUpdate(false);
}

void onMainWindowDestroyed(HWND window) {
  setClockLabelWriter(nullptr);
  deleteTrayIcon(window);
  dragging = false;
}

void onClockTick(HWND window, HWND) { setControlText(window, kIdTimeLabel, formatClockText(serverNowMillis())); }

void onCloseButtonClicked(HWND window, HWND) { DestroyWindow(window); }

void onSettingsMenuSelected() { openWindow(kSettingsWindow, nullptr, true); }

void onAboutMenuSelected() { openWindow(kAboutWindow, mainWindow(), true); }

void popUpTrayMenu(HWND window) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  AppendMenuA(menu, MF_STRING, kMenuSettings, "设置");
  AppendMenuA(menu, MF_STRING, kMenuAbout, "关于");
  POINT cursor = {};
  GetCursorPos(&cursor);
  SetForegroundWindow(window);
  TrackPopupMenu(menu, TPM_RIGHTALIGN, cursor.x - 5, cursor.y - 5, 0, window, nullptr);
  // Lets the menu close properly when the user clicks elsewhere.
  PostMessageA(window, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

void onTrayIconEvent(HWND window, int actionCode) {
  if (actionCode == 3) popUpTrayMenu(window);
}

int trayActionCode(LPARAM mouseMessage) {
  switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONUP:
      return 1;
    case WM_LBUTTONDBLCLK:
      return 2;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
      return 3;
  }
  return 0;
}

void onLeftButtonPressed() { dragging = true; }

void onLeftButtonReleased() { dragging = false; }

void onMouseMoved(HWND window, WPARAM keys) {
  // A button released outside the window never reaches it: the first move
  // back over the surface without the button ends the drag.
  if (dragging && !(keys & MK_LBUTTON)) dragging = false;
  if (dragging) {
    POINT cursor = {};
    GetCursorPos(&cursor);
    RECT rect = {};
    GetWindowRect(window, &rect);
    const int dx = cursor.x - lastCursorX, dy = cursor.y - lastCursorY;
    if (dx != 0 || dy != 0) {
      MoveWindow(window, rect.left + dx, rect.top + dy, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
  }
  storeCursorPosition();
}

UINT taskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

bool onMainWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  switch (message) {
    case kTrayCallbackMessage:
      if (wParam == kTrayIconId) {
        if (int code = trayActionCode(lParam)) onTrayIconEvent(window, code);
      }
      return true;
    case WM_COMMAND:
      if (lParam == 0 && LOWORD(wParam) == kMenuSettings) onSettingsMenuSelected();
      if (lParam == 0 && LOWORD(wParam) == kMenuAbout) onAboutMenuSelected();
      return lParam == 0;
    case WM_LBUTTONDOWN:
      onLeftButtonPressed();
      return true;
    case WM_MOUSEMOVE:
      onMouseMoved(window, wParam);
      return true;
    case WM_LBUTTONUP:
      onLeftButtonReleased();
      return true;
  }
  if (message == taskbarCreatedMessage() && message != 0) {
    // Explorer restarted: its new notification area knows nothing of us.
    addTrayIcon(window);
    return true;
  }
  return false;
}

const ControlDefinition kMainControls[] = {
    {ControlKind::PictureBox, "图片框1", kIdPicture, 8, 8, 20, 20, "", 0, 0, nullptr, QL_RES_CLOCK_PICTURE_PNG},
    {ControlKind::Label, "标签_名称", kIdNameLabel, 32, 6, 48, 24, "晴岚钟表", 0, kLabelFlags | DT_LEFT},
    {ControlKind::Label, "标签_时间", kIdTimeLabel, 8, 48, 184, 56, "09:58:58.999", 0, kLabelFlags | DT_CENTER,
     &kTimeFont},
    {ControlKind::Label, "标签_渠道", kIdChannelLabel, 8, 120, 35, 24, "淘宝", 0, kLabelFlags | DT_LEFT},
    {ControlKind::Label, "标签_主动延迟", kIdDelayLabel, 80, 120, 60, 24, "", 0, kLabelFlags | DT_LEFT},
    {ControlKind::PictureButton, "图形按钮_关闭", kIdCloseButton, 168, 8, 25, 25, "", 0, 0, nullptr,
     QL_RES_CLOSE_BUTTON_PNG, 0, onCloseButtonClicked},
    {ControlKind::Timer, "时钟1", kIdClockTimer, 0, 0, 0, 0, "", 0, 0, nullptr, 0, 10, onClockTick},
};

}  // namespace

const WindowDefinition kMainWindow = {
    kMainWindowClass,
    "",
    WS_POPUP | WS_CLIPCHILDREN,
    0,
    200,
    150,
    RGB(255, 255, 255),
    -1,
    5,
    true,
    true,
    false,
    kMainControls,
    static_cast<int>(sizeof kMainControls / sizeof kMainControls[0]),
    onMainWindowCreated,
    onMainWindowMessage,
    onMainWindowDestroyed,
};

}  // namespace ql
