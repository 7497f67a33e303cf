// probe.exe: the probe library from the command line, for shell scripts (the
// run command, the benchmarks) and for looking at a running clock by hand.
// Windows are found by class in every process unless --pid is given first.
// Texts are printed in UTF-8; exit status 0 on success, 1 on failure, 2 on a
// usage error.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "probe.h"

using namespace qlprobe;

namespace {

DWORD gPid = 0;

void print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}

std::string hex(HWND hwnd) {
  return format("0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
}

int usage() {
  std::fputs(
      "usage: probe.exe [--pid PID] COMMAND ...\n"
      "  windows [CLASS]                  top-level windows: handle, pid, class, geometry, state, text\n"
      "  wait-window CLASS [MS]           wait until a visible window of the class exists\n"
      "  wait-gone CLASS [MS]             wait until no window of the class exists\n"
      "  info CLASS                       styles, owner, region, layered alpha of the window\n"
      "  labels [CLASS]                   control id and text of each label (default QinglanMainWindow)\n"
      "  text CLASS ID                    the text of one control\n"
      "  screenshot FILE.png [CLASS]      the screen (or the window's rectangle) as PNG\n"
      "  pixel X Y                        the screen pixel as r g b\n"
      "  tray CODE                        tray callback to the clock: 1 left click, 2 double click, 3 right click\n"
      "  menu INDEX                       choose item INDEX (0 first) of the open pop-up menu\n"
      "  escape CLASS                     post Escape to the focused control of the window\n"
      "  click CLASS ID                   BM_CLICK on the control\n"
      "  close                            click the clock's close button\n"
      "  type CLASS ID TEXT               post WM_CHAR for each character to the control\n"
      "  mouse-click X Y                  real left click at screen coordinates\n"
      "  drag X1 Y1 X2 Y2                 real left-button drag\n"
      "  boxes                            visible message boxes: title, text, owner\n"
      "  box-button ID                    press a button of the first message box (1 = OK)\n"
      "  usage [CLASS]                    cpu seconds, private bytes, handles of the window's process\n"
      "  launch EXE [MS]                  start EXE, print the ms until its clock window is visible and its pid\n"
      "  sync-error SKEW_MS SAMPLES       sample the clock's time label against the local clock + skew\n",
      stderr);
  return 2;
}

HWND needWindow(const char* cls) {
  HWND hwnd = findTopLevel(gPid, cls, false);
  if (!hwnd) std::fprintf(stderr, "no window of class %s\n", cls);
  return hwnd;
}

int cmdWindows(int argc, char** argv) {
  for (HWND hwnd : topLevelWindows(gPid)) {
    WindowInfo w = describe(hwnd);
    if (argc > 0 && w.className != argv[0]) continue;
    print(format("%s pid=%lu class=%s rect=%ld,%ld %dx%d visible=%d enabled=%d owner=%s text=", hex(hwnd).c_str(),
                 w.pid, w.className.c_str(), w.rect.left, w.rect.top, w.width(), w.height(), w.visible, w.enabled,
                 hex(w.owner).c_str()) +
          gbkToUtf8(w.text));
  }
  return 0;
}

int cmdWaitWindow(int argc, char** argv, bool gone) {
  if (argc < 1) return usage();
  DWORD timeout = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
  if (!gone) {
    HWND hwnd = waitTopLevel(gPid, argv[0], timeout, true);
    if (!hwnd) return 1;
    print(hex(hwnd));
    return 0;
  }
  DWORD start = GetTickCount();
  while (findTopLevel(gPid, argv[0], false)) {
    if (GetTickCount() - start >= timeout) return 1;
    Sleep(20);
  }
  return 0;
}

int cmdInfo(int argc, char** argv) {
  if (argc < 1) return usage();
  HWND hwnd = needWindow(argv[0]);
  if (!hwnd) return 1;
  WindowInfo w = describe(hwnd);
  print(format("window %s pid %lu class %s", hex(hwnd).c_str(), w.pid, w.className.c_str()));
  print("text " + gbkToUtf8(w.text));
  print(format("rect %ld,%ld %dx%d (screen %dx%d)", w.rect.left, w.rect.top, w.width(), w.height(),
               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
  print(format("style 0x%08lx exstyle 0x%08lx topmost %d visible %d enabled %d", static_cast<unsigned long>(w.style),
               static_cast<unsigned long>(w.exStyle), w.topmost(), w.visible, w.enabled));
  WindowInfo owner = describe(w.owner);
  print(format("owner %s class %s, taskbar button %d", hex(w.owner).c_str(), owner.className.c_str(),
               wouldHaveTaskbarButton(w)));
  print(format("region type %d box %ld,%ld,%ld,%ld", w.regionType, w.regionBox.left, w.regionBox.top, w.regionBox.right,
               w.regionBox.bottom));
  print(format("layered %d alpha %d flags %lu", w.layeredAttributes, w.alpha, w.layeredFlags));
  return 0;
}

int cmdLabels(int argc, char** argv) {
  const char* cls = argc > 0 ? argv[0] : ql::kMainWindowClass;
  HWND hwnd = needWindow(cls);
  if (!hwnd) return 1;
  for (HWND child : descendants(hwnd)) {
    if (className(child) != ql::kLabelClass) continue;
    print(format("%d\t", GetDlgCtrlID(child)) + gbkToUtf8(windowText(child)));
  }
  return 0;
}

int cmdText(int argc, char** argv) {
  if (argc < 2) return usage();
  HWND hwnd = needWindow(argv[0]);
  HWND child = hwnd ? control(hwnd, std::atoi(argv[1])) : nullptr;
  if (!child) return 1;
  print(gbkToUtf8(windowText(child)));
  return 0;
}

int cmdScreenshot(int argc, char** argv) {
  if (argc < 1) return usage();
  Image image;
  if (argc > 1) {
    HWND hwnd = needWindow(argv[1]);
    if (!hwnd) return 1;
    RECT r;
    GetWindowRect(hwnd, &r);
    image = captureScreen(r);
  } else {
    image = captureScreen();
  }
  if (image.empty() || !savePng(image, argv[0])) {
    std::fprintf(stderr, "screen capture failed\n");
    return 1;
  }
  print(format("%s %dx%d", argv[0], image.width, image.height));
  return 0;
}

int cmdPixel(int argc, char** argv) {
  if (argc < 2) return usage();
  int x = std::atoi(argv[0]), y = std::atoi(argv[1]);
  Image image = captureScreen(RECT{x, y, x + 1, y + 1});
  if (image.empty()) return 1;
  Rgb c = image.at(0, 0);
  print(format("%d %d %d", c.r, c.g, c.b));
  return 0;
}

int cmdTray(int argc, char** argv) {
  if (argc < 1) return usage();
  HWND hwnd = needWindow(ql::kMainWindowClass);
  if (!hwnd) return 1;
  int code = std::atoi(argv[0]);
  UINT message = code == 1 ? WM_LBUTTONUP : code == 2 ? WM_LBUTTONDBLCLK : WM_RBUTTONUP;
  return postTrayEvent(hwnd, ql::kTrayCallbackMessage, ql::kTrayIconId, message) ? 0 : 1;
}

int cmdMenu(int argc, char** argv) {
  if (argc < 1) return usage();
  HWND menu = waitPopupMenu(5000);
  if (!menu) {
    std::fprintf(stderr, "no pop-up menu\n");
    return 1;
  }
  return chooseMenuItem(menu, std::atoi(argv[0])) ? 0 : 1;
}

int cmdEscape(int argc, char** argv) {
  if (argc < 1) return usage();
  HWND hwnd = needWindow(argv[0]);
  return hwnd && pressKey(hwnd, VK_ESCAPE) ? 0 : 1;
}

int cmdClick(const char* cls, int id) {
  HWND hwnd = needWindow(cls);
  HWND button = hwnd ? control(hwnd, id) : nullptr;
  return button && clickButton(button) ? 0 : 1;
}

int cmdType(int argc, char** argv) {
  if (argc < 3) return usage();
  HWND hwnd = needWindow(argv[0]);
  HWND edit = hwnd ? control(hwnd, std::atoi(argv[1])) : nullptr;
  return edit && typeChars(edit, argv[2]) ? 0 : 1;
}

int cmdBoxes() {
  for (const MessageBoxInfo& box : messageBoxes(gPid)) {
    print(format("%s owner=%s title=", hex(box.hwnd).c_str(), hex(box.owner).c_str()) + gbkToUtf8(box.title) +
          " text=" + gbkToUtf8(box.text));
  }
  return 0;
}

int cmdBoxButton(int argc, char** argv) {
  if (argc < 1) return usage();
  std::vector<MessageBoxInfo> boxes = messageBoxes(gPid);
  if (boxes.empty()) return 1;
  return pressDialogButton(boxes.front().hwnd, std::atoi(argv[0])) ? 0 : 1;
}

int cmdUsage(int argc, char** argv) {
  HWND hwnd = needWindow(argc > 0 ? argv[0] : ql::kMainWindowClass);
  if (!hwnd) return 1;
  HANDLE process =
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, processOf(hwnd));
  if (!process) return 1;
  ProcessUsage u = processUsage(process);
  CloseHandle(process);
  if (!u.ok) return 1;
  print(format(
      "cpu_s=%.3f private_committed_kb=%llu private_usage_kb=%llu working_set_kb=%llu handles_in_use=%lu "
      "handle_count=%lu gdi=%lu user=%lu",
      u.cpuSeconds, static_cast<unsigned long long>(u.privateCommitted / 1024),
      static_cast<unsigned long long>(u.privateBytes / 1024), static_cast<unsigned long long>(u.workingSetBytes / 1024),
      u.handlesInUse, u.handles, u.gdiObjects, u.userObjects));
  return 0;
}

int cmdLaunch(int argc, char** argv) {
  if (argc < 1) return usage();
  DWORD timeout = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 30000;
  std::string exe = windowsPath(argv[0]);
  std::string dir = exe.substr(0, exe.find_last_of('\\'));
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
    std::fprintf(stderr, "cannot start %s (%lu)\n", exe.c_str(), GetLastError());
    return 1;
  }
  HWND hwnd = waitTopLevel(pi.dwProcessId, ql::kMainWindowClass, timeout, true, pi.hProcess);
  QueryPerformanceCounter(&end);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!hwnd) return 1;
  print(format("startup_ms=%.1f pid=%lu",
               static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart),
               pi.dwProcessId));
  return 0;
}

// Each sample: the label read between two clock readings; the true server time
// of the sample is the local time at the middle of the read plus the skew.
int cmdSyncError(int argc, char** argv) {
  if (argc < 2) return usage();
  int skew = std::atoi(argv[0]);
  int samples = std::atoi(argv[1]);
  HWND hwnd = needWindow(ql::kMainWindowClass);
  HWND label = hwnd ? control(hwnd, ql::kIdTimeLabel) : nullptr;
  if (!label) return 1;
  std::vector<int> errors;
  unsigned seed = GetTickCount();
  for (int i = 0; i < samples && IsWindow(label); ++i) {
    std::int64_t before = unixNowMillis();
    std::string text = windowText(label);
    std::int64_t after = unixNowMillis();
    int shown = clockTextMillis(text);
    if (shown >= 0 && text[8] == ':') {
      int truth = localMillisOfDay((before + after) / 2 + skew);
      errors.push_back(dialDifference(shown, truth));
    }
    // Irregular gaps, so that the samples do not lock onto the timer's phase.
    seed = seed * 1103515245u + 12345u;
    Sleep(5 + (seed >> 16) % 20);
  }
  if (errors.empty()) return 1;
  std::vector<int> sorted = errors;
  std::sort(sorted.begin(), sorted.end());
  std::vector<int> magnitudes;
  for (int e : errors) magnitudes.push_back(std::abs(e));
  std::sort(magnitudes.begin(), magnitudes.end());
  auto pick = [](const std::vector<int>& v, double q) {
    std::size_t i = static_cast<std::size_t>(std::ceil(q * v.size())) - 1;
    return v[std::min(i, v.size() - 1)];
  };
  print(format("samples=%d median_ms=%d p5_ms=%d p95_ms=%d p95_abs_ms=%d min_ms=%d max_ms=%d",
               static_cast<int>(sorted.size()), pick(sorted, 0.5), pick(sorted, 0.05), pick(sorted, 0.95),
               pick(magnitudes, 0.95), sorted.front(), sorted.back()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  int i = 1;
  if (i + 1 < argc && std::string(argv[i]) == "--pid") {
    gPid = std::strtoul(argv[i + 1], nullptr, 10);
    i += 2;
  }
  if (i >= argc) return usage();
  std::string command = argv[i++];
  int n = argc - i;
  char** rest = argv + i;
  if (command == "windows") return cmdWindows(n, rest);
  if (command == "wait-window") return cmdWaitWindow(n, rest, false);
  if (command == "wait-gone") return cmdWaitWindow(n, rest, true);
  if (command == "info") return cmdInfo(n, rest);
  if (command == "labels") return cmdLabels(n, rest);
  if (command == "text") return cmdText(n, rest);
  if (command == "screenshot") return cmdScreenshot(n, rest);
  if (command == "pixel") return cmdPixel(n, rest);
  if (command == "tray") return cmdTray(n, rest);
  if (command == "menu") return cmdMenu(n, rest);
  if (command == "escape") return cmdEscape(n, rest);
  if (command == "click") return n < 2 ? usage() : cmdClick(rest[0], std::atoi(rest[1]));
  if (command == "close") return cmdClick(ql::kMainWindowClass, ql::kIdCloseButton);
  if (command == "type") return cmdType(n, rest);
  if (command == "mouse-click") return n < 2 ? usage() : (mouseClick(std::atoi(rest[0]), std::atoi(rest[1])) ? 0 : 1);
  if (command == "drag") {
    if (n < 4) return usage();
    POINT from = {std::atoi(rest[0]), std::atoi(rest[1])}, to = {std::atoi(rest[2]), std::atoi(rest[3])};
    return mouseDrag(from, to, 10) ? 0 : 1;
  }
  if (command == "boxes") return cmdBoxes();
  if (command == "box-button") return cmdBoxButton(n, rest);
  if (command == "usage") return cmdUsage(n, rest);
  if (command == "launch") return cmdLaunch(n, rest);
  if (command == "sync-error") return cmdSyncError(n, rest);
  return usage();
}
