// Entry point. Until the floating clock window arrives, the program shows the
// server-corrected clock text in a plain window, refreshed every 10 ms.
#include <windows.h>

#include "clock/clock_core.h"
#include "clock/date_time_text.h"
#include "common/automation.h"

namespace {

constexpr UINT_PTR kClockTimer = 1;

LRESULT CALLBACK onClockDemoMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kClockTimer) {
        ql::Text text = ql::formatClockText(ql::serverNowMillis());
        SetWindowTextA(GetDlgItem(window, 1), text.c_str());
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  OleInitialize(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = onClockDemoMessage;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "QinglanClockDemo";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "晴岚钟表", WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, 320, 120, nullptr, nullptr, instance, nullptr);
  if (!window) return -1;
  CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 20, 280, 30, window,
                  reinterpret_cast<HMENU>(1), instance, nullptr);
  SetTimer(window, kClockTimer, 10, nullptr);
  ShowWindow(window, show);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  OleUninitialize();
  return 0;
}
