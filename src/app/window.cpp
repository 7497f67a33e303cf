#include "app/window.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "app/control_ids.h"
#include "app/images.h"
#include "app/program.h"
#include "app/trace.h"
#include "common/handles.h"
#include "common/message_pump.h"

namespace ql {
namespace {

constexpr UINT_PTR kTimerEvent = kClockTimerEvent;

using BrushHandle = UniqueHandle<HBRUSH, CloseGdiObject>;

// What one open window owns besides its controls.
struct WindowInstance {
  const WindowDefinition* definition = nullptr;
  BrushHandle ownBrush;  // only for a background that is not a system colour
  HBRUSH background = nullptr;
  COLORREF backgroundColour = 0;
  std::vector<FontHandle> fonts;
  std::vector<std::pair<int, BitmapHandle>> bitmaps;  // by control id
  std::vector<HWND> disabledWhileOpen;                // modal windows only
};

std::vector<HWND>& openWindows() {
  static std::vector<HWND> windows;
  return windows;
}

bool g_loopStarted = false;
// The instance handed to CreateWindowExA until WM_NCCREATE takes it.
WindowInstance* g_pendingInstance = nullptr;
HINSTANCE g_instance = nullptr;
WNDPROC g_editProc = nullptr;

WindowInstance* instanceOf(HWND window) {
  return reinterpret_cast<WindowInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool isProgramWindow(HWND window) {
  const auto& windows = openWindows();
  return std::find(windows.begin(), windows.end(), window) != windows.end();
}

const ControlDefinition* controlDefinition(const WindowInstance* instance, int id) {
  if (!instance) return nullptr;
  const WindowDefinition& d = *instance->definition;
  for (int i = 0; i < d.controlCount; ++i) {
    if (d.controls[i].id == id) return &d.controls[i];
  }
  return nullptr;
}

HBITMAP bitmapOf(const WindowInstance* instance, int id) {
  if (!instance) return nullptr;
  for (const auto& entry : instance->bitmaps) {
    if (entry.first == id) return entry.second.get();
  }
  return nullptr;
}

Text windowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(window, buffer.data(), length + 1);
  return Text(buffer.data());
}

void enableWindows(std::vector<HWND>& windows) {
  for (HWND w : windows) {
    if (IsWindow(w)) EnableWindow(w, TRUE);
  }
  windows.clear();
}

// Labels: the window text is the content, drawn with the definition's
// DrawText flags on the parent's background. Drawn through a memory bitmap:
// the time label is rewritten every 10 ms and must not flicker.
LRESULT CALLBACK labelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:
      SetWindowLongPtrA(label, sizeof(LONG_PTR), static_cast<LONG_PTR>(wParam));
      if (LOWORD(lParam)) InvalidateRect(label, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrA(label, sizeof(LONG_PTR));
    case WM_SETTEXT: {
      LRESULT result = DefWindowProcA(label, message, wParam, lParam);
      InvalidateRect(label, nullptr, FALSE);
      return result;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(label, &ps);
      RECT rect;
      GetClientRect(label, &rect);
      const WindowInstance* parent = instanceOf(GetParent(label));
      auto* definition = reinterpret_cast<const ControlDefinition*>(GetWindowLongPtrA(label, 0));
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP canvas = CreateCompatibleBitmap(dc, rect.right, rect.bottom);
      HGDIOBJ oldBitmap = SelectObject(memory, canvas);
      FillRect(memory, &rect, parent ? parent->background : GetSysColorBrush(COLOR_BTNFACE));
      SetBkMode(memory, TRANSPARENT);
      SetTextColor(memory, RGB(0, 0, 0));
      HGDIOBJ oldFont = SelectObject(memory, reinterpret_cast<HFONT>(GetWindowLongPtrA(label, sizeof(LONG_PTR))));
      const Text text = windowText(label);
      DrawTextA(memory, text.c_str(), -1, &rect, definition ? definition->drawFlags : DT_LEFT | DT_NOPREFIX);
      BitBlt(dc, 0, 0, rect.right, rect.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, oldFont);
      SelectObject(memory, oldBitmap);
      DeleteObject(canvas);
      DeleteDC(memory);
      EndPaint(label, &ps);
      return 0;
    }
  }
  return DefWindowProcA(label, message, wParam, lParam);
}

LRESULT CALLBACK pictureProc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(picture, &ps);
    auto bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrA(picture, 0));
    if (bitmap) {
      BITMAP info = {};
      GetObject(bitmap, sizeof info, &info);
      HDC memory = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(memory, bitmap);
      BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
    }
    EndPaint(picture, &ps);
    return 0;
  }
  return DefWindowProcA(picture, message, wParam, lParam);
}

// A timer lives on a hidden child window of its own, so that its ticks are
// told apart from anything else the window receives.
LRESULT CALLBACK timerProc(HWND timer, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kTimerEvent) {
    auto* definition = reinterpret_cast<const ControlDefinition*>(GetWindowLongPtrA(timer, 0));
    if (definition && definition->onEvent) definition->onEvent(GetParent(timer), timer);
    return 0;
  }
  return DefWindowProcA(timer, message, wParam, lParam);
}

// Edit boxes that accept only some characters: typed characters are checked
// here; control characters (Backspace, Ctrl+V, ...) pass, and pasted text is
// not filtered.
LRESULT CALLBACK filteredEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR && wParam >= 0x20) {
    auto* definition = reinterpret_cast<const ControlDefinition*>(GetWindowLongPtrA(edit, GWLP_USERDATA));
    if (definition && definition->acceptedCharacters &&
        (wParam > 0xFF || !std::strchr(definition->acceptedCharacters, static_cast<int>(wParam)))) {
      return 0;
    }
  }
  return CallWindowProcA(g_editProc, edit, message, wParam, lParam);
}

HFONT fontFor(WindowInstance* instance, const ControlDefinition& control) {
  if (!control.font) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  FontHandle font(CreateFontIndirectA(control.font));
  if (!font) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HFONT handle = font.get();
  instance->fonts.push_back(std::move(font));
  return handle;
}

bool createControl(HWND window, WindowInstance* instance, const ControlDefinition& control) {
  int left = control.left, top = control.top;
  if (control.group) {
    if (const ControlDefinition* group = controlDefinition(instance, control.group)) {
      left += group->left;
      top += group->top;
    }
  }
  const char* windowClass = "BUTTON";
  DWORD style = WS_CHILD | WS_VISIBLE | control.extraStyle;
  switch (control.kind) {
    case ControlKind::Label:
      windowClass = kLabelClass;
      break;
    case ControlKind::PictureBox:
      windowClass = kPictureClass;
      break;
    case ControlKind::PictureButton:
      style |= BS_OWNERDRAW;
      break;
    case ControlKind::GroupBox:
      style |= BS_GROUPBOX | WS_GROUP;
      break;
    case ControlKind::RadioButton:
      style |= BS_AUTORADIOBUTTON | WS_TABSTOP | (control.firstOfGroup ? WS_GROUP : 0);
      break;
    case ControlKind::EditBox:
      windowClass = "EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP;
      break;
    case ControlKind::Button:
      style |= BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP;
      break;
    case ControlKind::Timer:
      windowClass = kTimerClass;
      style = WS_CHILD;
      break;
  }
  const bool timer = control.kind == ControlKind::Timer;
  HWND child = CreateWindowExA(control.extraExStyle, windowClass, timer ? "" : control.text, style, left, top,
                               timer ? 0 : control.width, timer ? 0 : control.height, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), g_instance, nullptr);
  if (!child) return false;

  if (control.kind == ControlKind::Label || control.kind == ControlKind::Timer) {
    SetWindowLongPtrA(child, 0, reinterpret_cast<LONG_PTR>(&control));
  }
  if (control.kind == ControlKind::PictureBox || control.kind == ControlKind::PictureButton) {
    BitmapHandle bitmap = imageToBitmap(loadPngResource(control.image), instance->backgroundColour);
    if (control.kind == ControlKind::PictureBox) {
      SetWindowLongPtrA(child, 0, reinterpret_cast<LONG_PTR>(bitmap.get()));
    }
    instance->bitmaps.emplace_back(control.id, std::move(bitmap));
  }
  if (control.kind == ControlKind::EditBox && control.acceptedCharacters) {
    SetWindowLongPtrA(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&control));
    WNDPROC old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(filteredEditProc)));
    if (!g_editProc) g_editProc = old;
  }
  if (timer) {
    SetTimer(child, kTimerEvent, static_cast<UINT>(control.interval), nullptr);
  } else {
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(instance, control)), FALSE);
  }
  return true;
}

void drawPictureButton(WindowInstance* instance, const DRAWITEMSTRUCT& item) {
  // One picture for every state: pressed and hovered look the same.
  HBITMAP bitmap = bitmapOf(instance, static_cast<int>(item.CtlID));
  FillRect(item.hDC, &item.rcItem, instance->background);
  if (!bitmap) return;
  BITMAP info = {};
  GetObject(bitmap, sizeof info, &info);
  HDC memory = CreateCompatibleDC(item.hDC);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowInstance* instance = instanceOf(window);
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    instance = static_cast<WindowInstance*>(create->lpCreateParams);
    if (instance == g_pendingInstance) g_pendingInstance = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(instance));
    openWindows().push_back(window);
  }
  if (!instance) return DefWindowProcA(window, message, wParam, lParam);
  const WindowDefinition& definition = *instance->definition;

  switch (message) {
    case WM_ERASEBKGND: {
      RECT rect;
      GetClientRect(window, &rect);
      FillRect(reinterpret_cast<HDC>(wParam), &rect, instance->background);
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetBkColor(reinterpret_cast<HDC>(wParam), instance->backgroundColour);
      return reinterpret_cast<LRESULT>(instance->background);
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlType == ODT_BUTTON) {
        drawPictureButton(instance, *item);
        return TRUE;
      }
      break;
    }
    case WM_COMMAND:
      if (lParam) {
        const ControlDefinition* control = controlDefinition(instance, LOWORD(wParam));
        const WORD code = HIWORD(wParam);
        if (control && control->onEvent &&
            ((control->kind == ControlKind::EditBox && code == EN_CHANGE) ||
             (control->kind != ControlKind::EditBox && code == BN_CLICKED))) {
          control->onEvent(window, reinterpret_cast<HWND>(lParam));
          return 0;
        }
      }
      break;
    case WM_CLOSE:
      // Enabled again before this window goes, so that activation returns to
      // them rather than to another program.
      enableWindows(instance->disabledWhileOpen);
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (definition.onDestroyed) definition.onDestroyed(window);
      break;
    case WM_NCDESTROY: {
      enableWindows(instance->disabledWhileOpen);
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      auto& windows = openWindows();
      windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
      delete instance;
      if (windows.empty() && g_loopStarted) PostQuitMessage(0);
      return DefWindowProcA(window, message, wParam, lParam);
    }
  }
  LRESULT result = 0;
  if (definition.onMessage && definition.onMessage(window, message, wParam, lParam, &result)) return result;
  return DefWindowProcA(window, message, wParam, lParam);
}

bool registerClass(const char* name, WNDPROC proc, int extraBytes) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = extraBytes;
  wc.hInstance = g_instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool ensureWindowClass(const WindowDefinition& definition) {
  WNDCLASSA existing;
  if (GetClassInfoA(g_instance, definition.className, &existing)) return true;
  return registerClass(definition.className, windowProc, 0);
}

}  // namespace

bool registerWindowClasses(HINSTANCE instance) {
  g_instance = instance;
  setMessageFilter(preTranslateWindowMessage);
  return registerClass(kLabelClass, labelProc, 2 * sizeof(LONG_PTR)) &&
         registerClass(kPictureClass, pictureProc, sizeof(LONG_PTR)) &&
         registerClass(kTimerClass, timerProc, sizeof(LONG_PTR));
}

HWND findOpenWindow(const WindowDefinition& definition) {
  for (HWND window : openWindows()) {
    const WindowInstance* instance = instanceOf(window);
    if (instance && instance->definition == &definition) return window;
  }
  return nullptr;
}

int openWindowCount() { return static_cast<int>(openWindows().size()); }

HWND openWindow(const WindowDefinition& definition, HWND owner, bool modal, bool* created) {
  if (created) *created = false;
  if (HWND open = findOpenWindow(definition)) {
    if (created) *created = true;
    if (IsIconic(open)) {
      ShowWindow(open, SW_RESTORE);
    } else {
      SetActiveWindow(open);
    }
    return open;
  }
  if (!g_instance || !ensureWindowClass(definition)) return nullptr;

  auto instance = std::make_unique<WindowInstance>();
  instance->definition = &definition;
  if (definition.backgroundSystemColour >= 0) {
    instance->background = GetSysColorBrush(definition.backgroundSystemColour);
    instance->backgroundColour = GetSysColor(definition.backgroundSystemColour);
  } else {
    instance->ownBrush.reset(CreateSolidBrush(definition.background));
    instance->background = instance->ownBrush.get();
    instance->backgroundColour = definition.background;
  }

  const int left = (GetSystemMetrics(SM_CXSCREEN) - definition.width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - definition.height) / 2;
  HWND actualOwner = (modal || !owner) ? toolWindow() : owner;
  WindowInstance* raw = instance.get();
  g_pendingInstance = raw;
  HWND window = CreateWindowExA(definition.exStyle, definition.className, definition.caption, definition.style, left,
                                top, definition.width, definition.height, actualOwner, nullptr, g_instance, raw);
  // From WM_NCCREATE on the window owns the instance and frees it at
  // WM_NCDESTROY, even when the creation fails after that point.
  const bool taken = g_pendingInstance == nullptr;
  g_pendingInstance = nullptr;
  if (taken) instance.release();
  if (!window) return nullptr;

  if (definition.cornerDivisor > 0) {
    const int r = std::min(definition.width / definition.cornerDivisor, definition.height / definition.cornerDivisor);
    SetWindowRgn(window, CreateRoundRectRgn(0, 0, definition.width, definition.height, r, r), TRUE);
  }
  if (definition.topmost) SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  for (int i = 0; i < definition.controlCount; ++i) {
    if (!createControl(window, raw, definition.controls[i])) {
      DestroyWindow(window);
      return nullptr;
    }
  }
  if (created) *created = true;

  if (modal) {
    for (HWND other : openWindows()) {
      if (other != window && IsWindowEnabled(other)) {
        EnableWindow(other, FALSE);
        raw->disabledWhileOpen.push_back(other);
      }
    }
  }
  if (definition.onCreated) definition.onCreated(window);
  if (!IsWindow(window)) return nullptr;  // the created event closed it
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  Text shown = Text("window-shown ") + definition.className;
  traceEvent(shown.c_str());
  if (!modal) return window;

  MSG msg;
  while (IsWindow(window)) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that waits for it
      break;
    }
    if (got == -1) break;
    dispatchMessage(msg);
  }
  return nullptr;
}

HWND controlOf(HWND window, int id) { return window ? GetDlgItem(window, id) : nullptr; }

void setControlText(HWND window, int id, const Text& text) {
  if (HWND control = controlOf(window, id)) SetWindowTextA(control, text.c_str());
}

Text controlText(HWND window, int id) {
  HWND control = controlOf(window, id);
  return control ? windowText(control) : Text();
}

void setLoopStarted(bool started) { g_loopStarted = started; }

void runMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) dispatchMessage(msg);
}

bool preTranslateWindowMessage(MSG& msg) {
  if (!msg.hwnd) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  if (!root || !isProgramWindow(root)) return false;
  const WindowInstance* instance = instanceOf(root);
  if (!instance) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && instance->definition->escapeCloses) {
    // A disabled window (one that a modal window keeps waiting) takes no keys.
    if (IsWindowEnabled(root)) SendMessageA(root, WM_CLOSE, 0, 0);
    return true;
  }
  return instance->definition->dialogKeys && IsDialogMessageA(root, &msg);
}

bool isTopmost(HWND window) { return window && (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void setTopmost(HWND window, bool topmost) {
  const UINT flags = SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE;
  SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags);
  if (topmost) return;
  for (HWND other : openWindows()) {
    const LONG exStyle = GetWindowLongA(other, GWL_EXSTYLE);
    const bool inTaskbar = (exStyle & WS_EX_APPWINDOW) || !GetWindow(other, GW_OWNER);
    if (other != window && (exStyle & WS_EX_TOPMOST) && !inTaskbar) {
      SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, flags);
    }
  }
}

}  // namespace ql
