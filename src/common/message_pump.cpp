#include "common/message_pump.h"

namespace ql {
namespace {

MessageFilter g_filter = nullptr;

}  // namespace

void setMessageFilter(MessageFilter filter) { g_filter = filter; }

void dispatchMessage(MSG& msg) {
  if (g_filter && g_filter(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void processPendingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (msg.message == WM_QUIT) break;
    // Remove exactly the message that was looked at: the same window (or the
    // thread itself, -1) and the same message number. An unfiltered removal
    // could take a WM_QUIT that arrived in the meantime.
    HWND owner = msg.hwnd ? msg.hwnd : reinterpret_cast<HWND>(-1);
    if (!PeekMessageA(&msg, owner, msg.message, msg.message, PM_REMOVE)) break;
    dispatchMessage(msg);
  }
}

}  // namespace ql
