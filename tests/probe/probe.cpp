#include "probe.h"

#include <png.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>

namespace qlprobe {
namespace {

constexpr DWORD kPollMs = 5;
// A target that does not answer a sent message within this time is treated as
// hung rather than waited for without end.
constexpr UINT kSendTimeoutMs = 5000;

struct EnumState {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK collectTopLevel(HWND hwnd, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  if (state->pid == 0 || processOf(hwnd) == state->pid) state->windows.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK collectChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

bool processEnded(HANDLE process) { return process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

LPARAM keyParam(UINT virtualKey, bool up) {
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
  return 1 | scan | (up ? static_cast<LPARAM>(0xC0000000u) : 0);
}

bool sendMouse(DWORD flags, int x, int y) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    // Normalised coordinates: 0..65535 across the primary screen. Rounding up
    // makes the conversion back land on the pixel itself.
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = static_cast<LONG>((static_cast<long long>(x) * 65536 + w - 1) / w);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(y) * 65536 + h - 1) / h);
  }
  return SendInput(1, &input, sizeof input) == 1;
}

std::uint64_t fileTimeValue(const FILETIME& ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace

std::vector<HWND> topLevelWindows(DWORD pid) {
  EnumState state{pid, {}};
  EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&state));
  return state.windows;
}

HWND findTopLevel(DWORD pid, const char* name, bool visibleOnly) {
  for (HWND hwnd : topLevelWindows(pid)) {
    if (className(hwnd) == name && (!visibleOnly || IsWindowVisible(hwnd))) return hwnd;
  }
  return nullptr;
}

HWND waitTopLevel(DWORD pid, const char* name, DWORD timeoutMs, bool visibleOnly, HANDLE process) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND hwnd = findTopLevel(pid, name, visibleOnly)) return hwnd;
    if (processEnded(process) || GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

bool waitGone(HWND window, DWORD timeoutMs, bool orHidden) {
  DWORD start = GetTickCount();
  for (;;) {
    if (!IsWindow(window) || (orHidden && !IsWindowVisible(window))) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

DWORD processOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::string className(HWND window) {
  char name[256] = {};
  int n = GetClassNameA(window, name, sizeof name);
  return std::string(name, n > 0 ? n : 0);
}

std::string windowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return {};
  std::vector<char> buffer(length + 2, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &copied))
    return {};
  return std::string(buffer.data(), std::min<std::size_t>(copied, buffer.size()));
}

std::vector<HWND> descendants(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&out));
  return out;
}

HWND control(HWND parent, int id) {
  for (HWND child : descendants(parent)) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

WindowInfo describe(HWND window) {
  WindowInfo info;
  info.hwnd = window;
  if (!IsWindow(window)) return info;
  info.threadId = GetWindowThreadProcessId(window, &info.pid);
  info.className = className(window);
  info.text = windowText(window);
  info.controlId = GetDlgCtrlID(window);
  GetWindowRect(window, &info.rect);
  GetClientRect(window, &info.client);
  info.style = GetWindowLongA(window, GWL_STYLE);
  info.exStyle = GetWindowLongA(window, GWL_EXSTYLE);
  info.owner = GetWindow(window, GW_OWNER);
  info.parent = GetAncestor(window, GA_PARENT);
  info.visible = IsWindowVisible(window) != FALSE;
  info.enabled = IsWindowEnabled(window) != FALSE;
  info.regionType = GetWindowRgnBox(window, &info.regionBox);
  info.layeredAttributes = GetLayeredWindowAttributes(window, &info.colorKey, &info.alpha, &info.layeredFlags) != FALSE;
  return info;
}

bool wouldHaveTaskbarButton(const WindowInfo& info) {
  if (info.exStyle & WS_EX_APPWINDOW) return true;
  return info.owner == nullptr && !(info.exStyle & WS_EX_TOOLWINDOW);
}

RECT rectInClient(HWND child, HWND topLevel) {
  RECT r = {};
  GetWindowRect(child, &r);
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  // Not MapWindowPoints: for a window with a region or no border the client
  // origin is what ScreenToClient reports.
  ScreenToClient(topLevel, &corners[0]);
  ScreenToClient(topLevel, &corners[1]);
  return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

bool postTrayEvent(HWND owner, UINT callbackMessage, UINT iconId, UINT mouseMessage) {
  return PostMessageA(owner, callbackMessage, iconId, mouseMessage) != FALSE;
}

namespace {

// Asks the shell about (or to drop) the icon of `owner` with `iconId`.
bool trayIconCall(DWORD action, HWND owner, UINT iconId) {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = owner;
  data.uID = iconId;
  return Shell_NotifyIconA(action, &data) != FALSE;
}

}  // namespace

bool trayIconPresent(HWND owner, UINT iconId) { return trayIconCall(NIM_MODIFY, owner, iconId); }

bool forgetTrayIcon(HWND owner, UINT iconId) { return trayIconCall(NIM_DELETE, owner, iconId); }

bool broadcastTaskbarCreated() {
  UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message && PostMessageA(HWND_BROADCAST, message, 0, 0);
}

HWND findPopupMenu() { return findTopLevel(0, "#32768", true); }

HWND waitPopupMenu(DWORD timeoutMs) { return waitTopLevel(0, "#32768", timeoutMs, true); }

bool chooseMenuItem(HWND menu, int index) {
  bool ok = true;
  for (int i = 0; i <= index; ++i) {
    ok = PostMessageA(menu, WM_KEYDOWN, VK_DOWN, keyParam(VK_DOWN, false)) && ok;
    ok = PostMessageA(menu, WM_KEYUP, VK_DOWN, keyParam(VK_DOWN, true)) && ok;
  }
  ok = PostMessageA(menu, WM_KEYDOWN, VK_RETURN, keyParam(VK_RETURN, false)) && ok;
  return ok;
}

HWND keyTarget(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread && GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
      (info.hwndFocus == window || IsChild(window, info.hwndFocus)))
    return info.hwndFocus;
  return window;
}

bool pressKey(HWND window, UINT virtualKey) {
  HWND target = keyTarget(window);
  bool ok = PostMessageA(target, WM_KEYDOWN, virtualKey, keyParam(virtualKey, false)) != FALSE;
  return PostMessageA(target, WM_KEYUP, virtualKey, keyParam(virtualKey, true)) && ok;
}

bool typeChars(HWND edit, const std::string& chars) {
  bool ok = true;
  for (unsigned char c : chars) ok = PostMessageA(edit, WM_CHAR, c, 1) && ok;
  return ok;
}

bool isChecked(HWND button) {
  DWORD_PTR state = 0;
  return SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state) &&
         state == BST_CHECKED;
}

bool selectAll(HWND edit) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored) != 0;
}

bool pasteText(HWND edit, const std::string& text) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  bool ok = false;
  if (memory) {
    char* p = static_cast<char*>(GlobalLock(memory));
    std::memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    ok = SetClipboardData(CF_TEXT, memory) != nullptr;
    if (!ok) GlobalFree(memory);
  }
  CloseClipboard();
  return ok && PostMessageA(edit, WM_PASTE, 0, 0);
}

bool clickButton(HWND button) { return PostMessageA(button, BM_CLICK, 0, 0) != FALSE; }

bool pressDialogButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool mouseMove(int x, int y) {
  bool ok = sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
  POINT at = {};
  // The conversion of normalised coordinates may be off by a pixel: the cursor
  // is then put exactly where the caller asked.
  if (GetCursorPos(&at) && (at.x != x || at.y != y)) ok = SetCursorPos(x, y) && ok;
  return ok;
}

bool mouseButton(bool down) { return sendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP, 0, 0); }

bool mouseClick(int x, int y) {
  bool ok = mouseMove(x, y);
  Sleep(30);
  ok = mouseButton(true) && ok;
  Sleep(30);
  return mouseButton(false) && ok;
}

bool mouseDrag(POINT from, POINT to, int steps, bool release) {
  if (steps < 1) steps = 1;
  bool ok = mouseMove(from.x, from.y);
  Sleep(30);
  ok = mouseButton(true) && ok;
  Sleep(30);
  for (int i = 1; i <= steps; ++i) {
    ok = mouseMove(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps) && ok;
    Sleep(20);
  }
  if (release) {
    ok = mouseButton(false) && ok;
    Sleep(30);
  }
  return ok;
}

std::vector<MessageBoxInfo> messageBoxes(DWORD pid) {
  std::vector<MessageBoxInfo> out;
  for (HWND hwnd : topLevelWindows(pid)) {
    if (className(hwnd) != "#32770" || !IsWindowVisible(hwnd)) continue;
    MessageBoxInfo box;
    box.hwnd = hwnd;
    box.title = windowText(hwnd);
    box.owner = GetWindow(hwnd, GW_OWNER);
    // A message box's text is the static control with identifier 0xFFFF.
    if (HWND text = GetDlgItem(hwnd, 0xFFFF)) box.text = windowText(text);
    for (HWND child : descendants(hwnd)) {
      if (className(child) == "Button") box.buttons.push_back(GetDlgCtrlID(child));
    }
    out.push_back(box);
  }
  return out;
}

MessageBoxInfo waitMessageBox(DWORD pid, DWORD timeoutMs, HANDLE process) {
  DWORD start = GetTickCount();
  for (;;) {
    std::vector<MessageBoxInfo> boxes = messageBoxes(pid);
    if (!boxes.empty()) return boxes.front();
    if (processEnded(process) || GetTickCount() - start >= timeoutMs) return {};
    Sleep(kPollMs);
  }
}

Rgb Image::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {};
  std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
  return Rgb{static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

Image Image::crop(const RECT& area) const {
  Image out;
  int left = std::max<int>(0, area.left), top = std::max<int>(0, area.top);
  int right = std::min<int>(width, area.right), bottom = std::min<int>(height, area.bottom);
  if (right <= left || bottom <= top) return out;
  out.width = right - left;
  out.height = bottom - top;
  out.pixels.reserve(static_cast<std::size_t>(out.width) * out.height);
  for (int y = top; y < bottom; ++y) {
    const std::uint32_t* row = &pixels[static_cast<std::size_t>(y) * width];
    out.pixels.insert(out.pixels.end(), row + left, row + right);
  }
  return out;
}

Image captureScreen(const RECT& area) {
  Image image;
  int w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return image;
  HDC screen = GetDC(nullptr);
  if (!screen) return image;
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h;  // top-down rows
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory && bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY | CAPTUREBLT)) {
      GdiFlush();
      const auto* p = static_cast<const std::uint32_t*>(bits);
      image.width = w;
      image.height = h;
      image.pixels.assign(p, p + static_cast<std::size_t>(w) * h);
      for (auto& px : image.pixels) px &= 0x00FFFFFF;
    }
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

Image captureScreen() {
  return captureScreen(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

bool savePng(const Image& image, const std::string& path) {
  if (image.empty()) return false;
  std::vector<unsigned char> rgb;
  rgb.reserve(image.pixels.size() * 3);
  for (std::uint32_t p : image.pixels) {
    rgb.push_back(static_cast<unsigned char>(p >> 16));
    rgb.push_back(static_cast<unsigned char>(p >> 8));
    rgb.push_back(static_cast<unsigned char>(p));
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  bool ok = png_image_write_to_file(&png, windowsPath(path).c_str(), 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return ok;
}

bool loadPng(const std::string& path, Image& image) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, windowsPath(path).c_str())) return false;
  png.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&png);
    return false;
  }
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = (static_cast<std::uint32_t>(rgb[i * 3]) << 16) |
                      (static_cast<std::uint32_t>(rgb[i * 3 + 1]) << 8) | rgb[i * 3 + 2];
  }
  return true;
}

bool isWhite(const Rgb& c) { return c.r >= 245 && c.g >= 245 && c.b >= 245; }

bool isDark(const Rgb& c) { return c.r < 110 && c.g < 110 && c.b < 110; }

bool isInk(const Rgb& c) { return c.r < 170 && c.g < 170 && c.b < 170; }

bool closeTo(const Rgb& c, int r, int g, int b, int tolerance) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

int clockTextMillis(const std::string& text) {
  // HH:mm:ss:NNN (or HH:mm:ss.NNN before the first tick)
  if (text.size() != 12 || text[2] != ':' || text[5] != ':' || (text[8] != ':' && text[8] != '.')) return -1;
  const int positions[] = {0, 1, 3, 4, 6, 7, 9, 10, 11};
  for (int p : positions) {
    if (text[p] < '0' || text[p] > '9') return -1;
  }
  auto two = [&](int at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  int h = two(0), m = two(3), s = two(6);
  int ms = (text[9] - '0') * 100 + (text[10] - '0') * 10 + (text[11] - '0');
  if (h > 23 || m > 59 || s > 59) return -1;
  return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

int localMillisOfDay(std::int64_t unixMillis) {
  std::uint64_t ticks = static_cast<std::uint64_t>(unixMillis) * 10000 + 116444736000000000ull;
  FILETIME utc = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME u = {}, local = {};
  if (!FileTimeToSystemTime(&utc, &u) || !SystemTimeToTzSpecificLocalTime(nullptr, &u, &local)) return -1;
  return ((local.wHour * 60 + local.wMinute) * 60 + local.wSecond) * 1000 + local.wMilliseconds;
}

std::int64_t unixNowMillis() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return static_cast<std::int64_t>((fileTimeValue(ft) - 116444736000000000ull) / 10000);
}

int dialDifference(int a, int b) {
  constexpr int day = 86400000;
  int d = (a - b) % day;
  if (d <= -day / 2) d += day;
  if (d > day / 2) d -= day;
  return d;
}

std::uint64_t privateCommittedBytes(HANDLE process) {
  std::uint64_t total = 0;
  MEMORY_BASIC_INFORMATION info;
  const char* address = nullptr;
  while (VirtualQueryEx(process, address, &info, sizeof info) == sizeof info) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

DWORD countHandles(HANDLE process) {
  // Handle values are multiples of 4; a value is in use when it can be duplicated.
  DWORD count = 0;
  for (UINT_PTR value = 4; value < 0x10000; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      ++count;
      CloseHandle(copy);
    } else if (GetLastError() == ERROR_ACCESS_DENIED) {
      ++count;
    }
  }
  return count;
}

ProcessUsage processUsage(HANDLE process) {
  ProcessUsage usage;
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return usage;
  usage.cpuSeconds = static_cast<double>(fileTimeValue(kernel) + fileTimeValue(user)) / 1e7;
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    usage.privateBytes = memory.PrivateUsage;
    usage.workingSetBytes = memory.WorkingSetSize;
  }
  usage.privateCommitted = privateCommittedBytes(process);
  GetProcessHandleCount(process, &usage.handles);
  usage.handlesInUse = countHandles(process);
  usage.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
  usage.userObjects = GetGuiResources(process, GR_USEROBJECTS);
  usage.ok = true;
  return usage;
}

Process::~Process() {
  terminate();
  if (info_.hThread) CloseHandle(info_.hThread);
  if (info_.hProcess) CloseHandle(info_.hProcess);
}

bool Process::start(const std::string& exe, const std::string& arguments, const std::string& directory) {
  if (info_.hProcess) return false;
  std::string commandLine = "\"" + windowsPath(exe) + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  std::string dir = windowsPath(directory);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &startup, &info))
    return false;
  info_ = info;
  return true;
}

bool Process::running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

bool Process::wait(DWORD timeoutMs) const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::exitCode() const {
  DWORD code = STILL_ACTIVE;
  if (info_.hProcess) GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void Process::terminate() {
  if (running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

std::string gbkToUtf8(const std::string& text) {
  if (text.empty()) return text;
  int wide = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(wide, L'\0');
  MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), &w[0], wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
  return out;
}

std::string windowsPath(const std::string& path) {
  std::string out = !path.empty() && path[0] == '/' ? "Z:" + path : path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

}  // namespace qlprobe
