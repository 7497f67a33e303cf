// A small window program with known properties, built only to check the probe
// itself: every value below is something the probe test expects to read back.
// It imitates the clock's kind of window (caption-less, round region, layered,
// topmost, owned by a hidden tool window) without any of the clock's logic.
#include <windows.h>

#include <initializer_list>

#include "probe_target.h"

namespace {

HWND gMain = nullptr;
HWND gLabel = nullptr;
bool gDragging = false;
POINT gLast = {};

void setLabel(const char* text) { SetWindowTextA(gLabel, text); }

LRESULT CALLBACK onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT all;
      GetClientRect(hwnd, &all);
      FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      HBRUSH blue = CreateSolidBrush(RGB(58, 148, 249));
      RECT square = {qltarget::kSquareLeft, qltarget::kSquareTop, qltarget::kSquareLeft + qltarget::kSquareSize,
                     qltarget::kSquareTop + qltarget::kSquareSize};
      FillRect(dc, &square, blue);
      DeleteObject(blue);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == qltarget::kIdButton && HIWORD(wParam) == BN_CLICKED) setLabel("clicked");
      if (LOWORD(wParam) == qltarget::kMenuFirst) setLabel("甲");
      if (LOWORD(wParam) == qltarget::kMenuSecond) setLabel("乙");
      return 0;
    case qltarget::kTrayMessage:
      if (lParam == WM_RBUTTONUP) {
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, qltarget::kMenuFirst, "甲");
        AppendMenuA(menu, MF_STRING, qltarget::kMenuSecond, "乙");
        POINT at;
        GetCursorPos(&at);
        SetForegroundWindow(hwnd);
        TrackPopupMenu(menu, TPM_RIGHTALIGN, at.x - 5, at.y - 5, 0, hwnd, nullptr);
        PostMessageA(hwnd, WM_NULL, 0, 0);
        DestroyMenu(menu);
      }
      return 0;
    case WM_LBUTTONDOWN:
      gDragging = true;
      GetCursorPos(&gLast);
      return 0;
    case WM_LBUTTONUP:
      gDragging = false;
      return 0;
    case WM_MOUSEMOVE: {
      POINT now;
      GetCursorPos(&now);
      if (gDragging && (wParam & MK_LBUTTON)) {
        RECT r;
        GetWindowRect(hwnd, &r);
        MoveWindow(hwnd, r.left + now.x - gLast.x, r.top + now.y - gLast.y, r.right - r.left, r.bottom - r.top, TRUE);
      }
      gLast = now;
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = onMessage;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = qltarget::kClass;
  RegisterClassA(&wc);
  WNDCLASSA tool = {};
  tool.lpfnWndProc = DefWindowProcA;
  tool.hInstance = instance;
  tool.lpszClassName = qltarget::kToolClass;
  RegisterClassA(&tool);
  HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, tool.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               instance, nullptr);
  int w = qltarget::kWidth, h = qltarget::kHeight;
  gMain = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                          (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, owner, nullptr, instance, nullptr);
  SetWindowRgn(gMain, CreateRoundRectRgn(0, 0, w, h, 30, 30), FALSE);
  SetWindowPos(gMain, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetWindowLongA(gMain, GWL_EXSTYLE, WS_EX_LAYERED);
  SetLayeredWindowAttributes(gMain, 0, qltarget::kAlpha, LWA_ALPHA);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  gLabel = CreateWindowExA(0, "STATIC", "晴岚钟表", WS_CHILD | WS_VISIBLE, qltarget::kLabelLeft, qltarget::kLabelTop,
                           qltarget::kLabelWidth, qltarget::kLabelHeight, gMain,
                           reinterpret_cast<HMENU>(qltarget::kIdLabel), instance, nullptr);
  HWND button = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 120, 110, 60, 24, gMain,
                                reinterpret_cast<HMENU>(qltarget::kIdButton), instance, nullptr);
  HWND edit = CreateWindowExA(WS_EX_STATICEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_CENTER, 8, 110, 100, 24, gMain,
                              reinterpret_cast<HMENU>(qltarget::kIdEdit), instance, nullptr);
  for (HWND child : {gLabel, button, edit}) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  ShowWindow(gMain, SW_SHOW);
  UpdateWindow(gMain);
  if (lstrcmpA(commandLine, "box") == 0) MessageBoxA(gMain, "目标正文", "目标", MB_OK | MB_TASKMODAL);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      PostMessageA(gMain, WM_CLOSE, 0, 0);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
