#include "message_window.h"

namespace qltest {
namespace {
const char kClassName[] = "QlTestMessageWindow";
}

MessageWindow::MessageWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);  // a second registration fails harmlessly
  hwnd_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
}

MessageWindow::~MessageWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT CALLBACK MessageWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == kPing && self) {
    self->pings_.push_back(wParam);
    if (self->onPing_) self->onPing_();
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace qltest
