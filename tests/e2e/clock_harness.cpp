#include "clock_harness.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "http/http_request.h"
#include "script/json_document.h"

namespace qle2e {
namespace {

constexpr char kControlBase[] = "http://127.0.0.1:47801/__emulator/";

std::string environment(const char* name) {
  char value[2048];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string besideMe(const std::string& name) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n);
  return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  std::string line;
  while (std::getline(s, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

void removeTree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = dir + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(dir.c_str());
}

void makeDirectories(const std::string& dir) {
  for (std::size_t at = dir.find('\\', 3); at != std::string::npos; at = dir.find('\\', at + 1)) {
    CreateDirectoryA(dir.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(dir.c_str(), nullptr);
}

std::string testName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "outside";
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':') c = '_';
  }
  return name;
}

ql::Text control(const std::string& verb, const std::string& body, bool post) {
  ql::HttpRequestOptions options;
  options.method = post ? 1 : 0;
  options.submitText = body;
  if (post) options.extraHeaders = "Content-Type: application/json";
  ql::Text status;
  options.statusText = &status;
  options.timeoutSeconds = 10;
  ql::Text answer = ql::httpRequest(std::string(kControlBase) + verb, options);
  return status.rfind("200", 0) == 0 ? answer : ql::Text();
}

// Registers the browser stand-in (a Unix script beside the emulator's state,
// made by the fixture) as the only browser Wine's winebrowser may start.
class BrowserStandIn : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string script = environment("QL_E2E_STATE") + "/browser.sh";
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(script.c_str()),
                     static_cast<DWORD>(script.size() + 1));
      RegCloseKey(key);
    }
  }
  void TearDown() override {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "Browsers");
      RegCloseKey(key);
    }
  }
};

const auto* const kBrowserStandIn = ::testing::AddGlobalTestEnvironment(new BrowserStandIn);

int median(std::vector<int> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

ClockOffset summarise(const std::vector<int>& values) {
  ClockOffset out;
  out.samples = static_cast<int>(values.size());
  if (values.empty()) return out;
  out.median = median(values);
  auto [low, high] = std::minmax_element(values.begin(), values.end());
  out.spread = *high - *low;
  return out;
}

bool ticking(const std::string& text) {
  return text.size() == 12 && text[8] == ':' && qlprobe::clockTextMillis(text) >= 0;
}

// Irregular pauses, so that samples do not lock onto the timer's phase.
void jitterPause(unsigned& seed) {
  seed = seed * 1103515245u + 12345u;
  Sleep(3 + (seed >> 16) % 9);
}

}  // namespace

namespace emulator {

bool reset() {
  // Each test starts from an empty browser log as well.
  DeleteFileA((stateDirectory() + "\\browser.log").c_str());
  return !control("reset", "{}", true).empty();
}

bool configure(const std::string& json) { return !control("config", json, true).empty(); }

std::vector<EmulatorRequest> requests() {
  std::vector<EmulatorRequest> out;
  ql::JsonDocument log;
  if (!log.parse(control("requests", "", false))) return out;
  int count = log.arrayCount("");
  for (int i = 0; i < count; ++i) {
    std::string item = "[" + std::to_string(i) + "]";
    EmulatorRequest r;
    r.channel = log.getText(item + ".channel", false);
    r.path = log.getText(item + ".path", false);
    if (log.exists(item + ".headers['user-agent']")) r.userAgent = log.getText(item + ".headers['user-agent']", false);
    r.timeMs = static_cast<std::int64_t>(log.getNumber(item + ".time_ms"));
    out.push_back(r);
  }
  return out;
}

std::vector<EmulatorRequest> requestsOf(const std::string& channel) {
  std::vector<EmulatorRequest> out;
  for (const EmulatorRequest& r : requests()) {
    if (r.channel == channel) out.push_back(r);
  }
  return out;
}

std::string stateDirectory() { return qlprobe::windowsPath(environment("QL_E2E_STATE")); }

}  // namespace emulator

std::vector<std::string> openedAddresses() { return lines(readFile(emulator::stateDirectory() + "\\browser.log")); }

ClockRun::ClockRun(const std::string& name) : name_(name) {
  std::string work = environment("QL_E2E_WORK");
  dir_ = qlprobe::windowsPath((work.empty() ? std::string("/tmp/qinglan-e2e") : work) + "/" + testName() + "/" + name);
  removeTree(dir_);
  makeDirectories(dir_);
}

ClockRun::~ClockRun() {
  // Leaves nothing running: a test that failed half-way must not disturb the next.
  process_.terminate();
}

void ClockRun::writeConfig(const std::string& contents) {
  std::ofstream out(configPath(), std::ios::binary | std::ios::trunc);
  out << contents;
}

bool ClockRun::start(const char* variant) {
  std::string exe = dir_ + "\\" + variant + ".exe";
  if (!CopyFileA(besideMe(std::string(variant) + ".exe").c_str(), exe.c_str(), FALSE)) return false;
  std::string tracePath = dir_ + "\\trace.txt";
  DeleteFileA(tracePath.c_str());
  SetEnvironmentVariableA("QL_TRACE_FILE", tracePath.c_str());
  bool started = process_.start(exe, "", dir_);
  SetEnvironmentVariableA("QL_TRACE_FILE", nullptr);
  return started;
}

HWND ClockRun::waitShown(DWORD timeoutMs) {
  main_ = qlprobe::waitTopLevel(pid(), ql::kMainWindowClass, timeoutMs, true, process_.handle());
  if (main_) everShown_ = true;
  return main_;
}

bool ClockRun::waitExit(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!process_.wait(5)) {
    if (qlprobe::findTopLevel(pid(), ql::kMainWindowClass, true)) everShown_ = true;
    if (GetTickCount() - start >= timeoutMs) return false;
  }
  return true;
}

HWND ClockRun::window(const char* className, DWORD timeoutMs) const {
  return qlprobe::waitTopLevel(pid(), className, timeoutMs, true, process_.handle());
}

std::string ClockRun::text(HWND window, int controlId) const {
  HWND child = window ? qlprobe::control(window, controlId) : nullptr;
  return child ? qlprobe::windowText(child) : std::string("<no control>");
}

std::string ClockRun::waitText(HWND window, int controlId, const std::string& expected, DWORD timeoutMs) const {
  std::string last;
  waitUntil([&] { return (last = text(window, controlId)) == expected; }, timeoutMs);
  return last;
}

std::vector<std::string> ClockRun::trace() const { return lines(readFile(dir_ + "\\trace.txt")); }

int ClockRun::traceCount(const std::string& line) const {
  std::vector<std::string> all = trace();
  return static_cast<int>(std::count(all.begin(), all.end(), line));
}

bool ClockRun::waitTrace(const std::string& line, int count, DWORD timeoutMs) const {
  return waitUntil([&] { return traceCount(line) >= count; }, timeoutMs);
}

bool ClockRun::configExists() const { return GetFileAttributesA(configPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ClockRun::configText() const { return readFile(configPath()); }

std::string ClockRun::setting(const char* section, const char* key) const {
  char value[256];
  DWORD n = GetPrivateProfileStringA(section, key, "<absent>", value, sizeof value, configPath().c_str());
  return std::string(value, n);
}

qlprobe::Image ClockRun::screenshot(HWND window, const std::string& name) const {
  RECT r = {};
  GetWindowRect(window, &r);
  qlprobe::Image image = qlprobe::captureScreen(r);
  qlprobe::savePng(image, dir_ + "\\" + name + ".png");
  return image;
}

bool ClockRun::chooseTrayMenuItem(int index) {
  if (!qlprobe::postTrayEvent(main_, ql::kTrayCallbackMessage, ql::kTrayIconId, WM_RBUTTONUP)) return false;
  HWND menu = qlprobe::waitPopupMenu(kPatience);
  return menu && qlprobe::chooseMenuItem(menu, index);
}

ClockOffset measureOffset(HWND timeLabel, int samples) {
  std::vector<int> values;
  unsigned seed = GetTickCount();
  for (int i = 0; i < samples * 3 && static_cast<int>(values.size()) < samples && IsWindow(timeLabel); ++i) {
    std::int64_t before = qlprobe::unixNowMillis();
    std::string text = qlprobe::windowText(timeLabel);
    std::int64_t after = qlprobe::unixNowMillis();
    if (ticking(text)) {
      values.push_back(
          qlprobe::dialDifference(qlprobe::clockTextMillis(text), qlprobe::localMillisOfDay((before + after) / 2)));
    }
    jitterPause(seed);
  }
  return summarise(values);
}

ClockOffset measureDifference(HWND labelA, HWND labelB, int samples) {
  std::vector<int> values;
  unsigned seed = GetTickCount();
  for (int i = 0; i < samples * 3 && static_cast<int>(values.size()) < samples; ++i) {
    // A then B then A again: the mean of the two A reads stands for the
    // moment of the B read.
    std::string a1 = qlprobe::windowText(labelA);
    std::string b = qlprobe::windowText(labelB);
    std::string a2 = qlprobe::windowText(labelA);
    if (ticking(a1) && ticking(b) && ticking(a2)) {
      int ma1 = qlprobe::clockTextMillis(a1), ma2 = qlprobe::clockTextMillis(a2);
      int a = ma1 + qlprobe::dialDifference(ma2, ma1) / 2;
      values.push_back(qlprobe::dialDifference(a, qlprobe::clockTextMillis(b)));
    }
    jitterPause(seed);
  }
  return summarise(values);
}

::testing::AssertionResult clockShows(int shownMinusLocal, int expected) {
  if (shownMinusLocal >= expected - kLagAllowance && shownMinusLocal <= expected + kLeadAllowance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "the clock shows local time " << (shownMinusLocal < 0 ? "" : "+")
                                       << shownMinusLocal << " ms; expected " << expected << " ms (within -"
                                       << kLagAllowance << "/+" << kLeadAllowance << ")";
}

bool waitTicking(HWND timeLabel, DWORD timeoutMs) {
  return waitUntil([&] { return ticking(qlprobe::windowText(timeLabel)); }, timeoutMs);
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}

void settle(DWORD ms) { Sleep(ms); }

void expectToolDialogFrame(const qlprobe::WindowInfo& w, const char* caption, int width, int height) {
  EXPECT_EQ(w.text, caption);
  EXPECT_EQ(w.width(), width);
  EXPECT_EQ(w.height(), height);
  EXPECT_EQ(w.rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(w.rect.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
  EXPECT_EQ(w.style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(w.style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  EXPECT_TRUE(w.topmost()) << "topmost copied from the clock";
  EXPECT_EQ(qlprobe::className(w.owner), ql::kToolWindowClass) << "modal windows are owned by the hidden tool window";
}

}  // namespace qle2e
