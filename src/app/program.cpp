#include "app/program.h"

#include <ole2.h>

#include <algorithm>
#include <vector>

#include "app/control_ids.h"
#include "app/trace.h"
#include "app/window.h"
#include "app/windows.h"
#include "common/handles.h"
#include "script/json_document.h"

namespace ql {
namespace {

WindowHandle g_toolWindow;

std::vector<void (*)()>& exitCallbacks() {
  static std::vector<void (*)()> callbacks;
  return callbacks;
}

void releaseScratch() {
  const bool had = jsonScratch() != nullptr;
  releaseJsonScratch();
  if (had) traceEvent("scratch-release");
}

// The hidden owner of every window kept out of the taskbar: zero-sized, never shown.
bool createToolWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.lpszClassName = kToolWindowClass;
  if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  g_toolWindow.reset(CreateWindowExA(WS_EX_TOOLWINDOW, kToolWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     instance, nullptr));
  return static_cast<bool>(g_toolWindow);
}

}  // namespace

HWND toolWindow() { return g_toolWindow.get(); }

HWND mainWindow() { return findOpenWindow(kMainWindow); }

void registerExitCallback(void (*callback)()) {
  auto& callbacks = exitCallbacks();
  if (std::find(callbacks.begin(), callbacks.end(), callback) == callbacks.end()) callbacks.push_back(callback);
}

void runExitCallbacks() {
  // Each runs once, even if one of them ends up here again.
  auto callbacks = std::move(exitCallbacks());
  exitCallbacks().clear();
  for (auto callback : callbacks) callback();
}

int programMain() {
  // OLE first, so that every later CoInitialize of the program nests inside it.
  OleInitialize(nullptr);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  registerWindowClasses(instance);
  createToolWindow(instance);
  createJsonScratch();
  registerExitCallback(releaseScratch);

  bool created = false;
  openWindow(kMainWindow, nullptr, false, &created);
  if (!created) {
    MessageBoxA(nullptr, "无法创建时钟窗口，晴岚钟表将退出。", "晴岚钟表", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return -1;
  }
  // The update check may have closed the clock already: then there is no loop.
  setLoopStarted(true);
  if (openWindowCount() > 0) runMessageLoop();
  return 0;
}

}  // namespace ql
