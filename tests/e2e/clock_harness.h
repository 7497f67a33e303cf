// The end-to-end harness: the platform emulator that the ctest fixture started
// (ports 47801/47802, compiled into the test variants of the program), the
// program copied into a fresh directory of its own with its config.ini, and
// the probe that watches and drives it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "probe.h"

namespace qle2e {

// --- the emulator's control API --------------------------------------------

struct EmulatorRequest {
  std::string channel;  // "1".."5", "manifest" or "other"
  std::string path;
  std::string userAgent;
  std::int64_t timeMs = 0;
};

namespace emulator {
// Default state: skew 0, version 2, manifest ok, no overrides; empty log.
bool reset();
// Merges a JSON object into the state (ASCII only: \u escapes for the rest).
bool configure(const std::string& json);
// Every request since the last reset, oldest first.
std::vector<EmulatorRequest> requests();
// Requests of one channel ("1".."5" or "manifest").
std::vector<EmulatorRequest> requestsOf(const std::string& channel);
// The directory the fixture gave the emulator (Windows form), with the
// browser stand-in's log.
std::string stateDirectory();
}  // namespace emulator

// The addresses the browser stand-in was asked to open, in order.
std::vector<std::string> openedAddresses();

// --- one run of the program ------------------------------------------------

constexpr char kEmulated[] = "qinglan_emulated";   // every host on the emulator, manifest included
constexpr char kNoUpdate[] = "qinglan_no_update";  // the same channels, no manifest host

// How long the harness waits for something the program does at once. Only a
// bound against a hang: nothing is asserted about how fast it happens.
constexpr DWORD kPatience = 20000;

class ClockRun {
 public:
  // A fresh directory <work>/<test name>/<name>.
  explicit ClockRun(const std::string& name = "run");
  ~ClockRun();
  ClockRun(const ClockRun&) = delete;
  ClockRun& operator=(const ClockRun&) = delete;

  // config.ini beside the executable, written byte for byte (GBK).
  void writeConfig(const std::string& contents);
  // Copies the variant into the directory and starts it with QL_TRACE_FILE set.
  bool start(const char* variant = kEmulated);
  // Waits for the visible clock window; nullptr when the program ended first.
  // Records whether the clock was ever seen visible.
  HWND waitShown(DWORD timeoutMs = kPatience);
  // Waits for the process to end while watching that the clock never shows.
  bool waitExit(DWORD timeoutMs = kPatience);
  bool everShown() const { return everShown_; }

  qlprobe::Process& process() { return process_; }
  DWORD pid() const { return process_.pid(); }
  HWND main() const { return main_; }
  // A top-level window of this program by class (visible ones).
  HWND window(const char* className, DWORD timeoutMs = kPatience) const;

  std::string text(HWND window, int controlId) const;
  std::string label(int controlId) const { return text(main_, controlId); }
  // Polls until the control's text is `expected` (or the time is up); returns the last text.
  std::string waitText(HWND window, int controlId, const std::string& expected, DWORD timeoutMs = kPatience) const;

  std::vector<std::string> trace() const;
  int traceCount(const std::string& line) const;
  bool waitTrace(const std::string& line, int count, DWORD timeoutMs = kPatience) const;

  std::string dir() const { return dir_; }
  std::string configPath() const { return dir_ + "\\config.ini"; }
  bool configExists() const;
  std::string configText() const;
  // The value of a key in config.ini, or "<absent>".
  std::string setting(const char* section, const char* key) const;

  // The clock window's pixels, saved as <dir>/<name>.png for a person to look at.
  qlprobe::Image screenshot(HWND window, const std::string& name) const;

  // Right-click on the tray icon, then the item (0 设置, 1 关于).
  bool chooseTrayMenuItem(int index);

 private:
  std::string dir_;
  std::string name_;
  qlprobe::Process process_;
  HWND main_ = nullptr;
  bool everShown_ = false;
};

// --- the clock's time ------------------------------------------------------

// Samples of (time on the clock's label) − (local time at the read), in ms,
// from labels already showing the colon form.
struct ClockOffset {
  int samples = 0;
  int median = 0;
  int spread = 0;  // max − min
};
ClockOffset measureOffset(HWND timeLabel, int samples = 25);
// The median of (label A) − (label B) over interleaved reads of two clocks.
ClockOffset measureDifference(HWND labelA, HWND labelB, int samples = 25);
// Whether a measured (shown − local) fits the expected value. The clock trails
// the true time: the label is read up to a timer period after it was written,
// and a synchronisation reads the local clock only after the answer has
// arrived and been parsed, which in a freshly started process under Wine can
// take over 100 ms (see the benchmark). It can lead only by the read's own
// uncertainty. Cases told apart this way differ by 1500 ms or more.
constexpr int kLagAllowance = 250;
constexpr int kLeadAllowance = 25;
::testing::AssertionResult clockShows(int shownMinusLocal, int expected);

// Waits until the label shows the colon form (the clock has ticked).
bool waitTicking(HWND timeLabel, DWORD timeoutMs = kPatience);

// Polls `condition` every few milliseconds until it holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kPatience);

// A delay long enough for a posted message to have been handled by a program
// that is idle; used only where the test checks that something did NOT happen.
void settle(DWORD ms = 700);

// The frame that the About and settings windows share: caption, outer size,
// centred on the screen, title bar with close and minimise boxes only, not
// resizable, topmost copied from the clock, owned by the hidden tool window.
void expectToolDialogFrame(const qlprobe::WindowInfo& w, const char* caption, int width, int height);

}  // namespace qle2e
