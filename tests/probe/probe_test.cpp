// The probe against a target window whose every property is known: if these
// pass, a failing end-to-end test points at the program, not at the probe.
#include <gtest/gtest.h>

#include <cstdio>

#include "probe.h"
#include "target/probe_target.h"

using namespace qlprobe;

namespace {

std::string besideMe(const char* name) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n);
  return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

class ProbeTest : public ::testing::Test {
 protected:
  void startTarget(const std::string& arguments = "") {
    ASSERT_TRUE(target_.start(besideMe("probe_target.exe"), arguments, ""));
    window_ = waitTopLevel(target_.pid(), qltarget::kClass, 20000, true, target_.handle());
    ASSERT_NE(window_, nullptr) << "the target's window did not appear";
  }
  POINT clientToScreen(int x, int y) const {
    POINT p = {x, y};
    ClientToScreen(window_, &p);
    return p;
  }

  Process target_;
  HWND window_ = nullptr;
};

TEST_F(ProbeTest, ReadsWindowPropertiesAcrossProcesses) {
  startTarget();
  WindowInfo w = describe(window_);
  EXPECT_EQ(w.pid, target_.pid());
  EXPECT_EQ(w.className, qltarget::kClass);
  EXPECT_EQ(w.width(), qltarget::kWidth);
  EXPECT_EQ(w.height(), qltarget::kHeight);
  EXPECT_EQ(w.rect.left, (GetSystemMetrics(SM_CXSCREEN) - qltarget::kWidth) / 2);
  EXPECT_EQ(w.rect.top, (GetSystemMetrics(SM_CYSCREEN) - qltarget::kHeight) / 2);
  EXPECT_TRUE(w.topmost());
  EXPECT_TRUE(w.exStyle & WS_EX_LAYERED);
  EXPECT_TRUE(w.layeredAttributes);
  EXPECT_EQ(w.alpha, qltarget::kAlpha);
  EXPECT_EQ(w.layeredFlags, static_cast<DWORD>(LWA_ALPHA));
  EXPECT_EQ(w.regionType, COMPLEXREGION);
  EXPECT_EQ(className(w.owner), qltarget::kToolClass);
  EXPECT_FALSE(wouldHaveTaskbarButton(w));
  EXPECT_TRUE(w.visible);
  EXPECT_TRUE(w.enabled);

  HWND label = control(window_, qltarget::kIdLabel);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(windowText(label), "晴岚钟表");
  RECT r = rectInClient(label, window_);
  EXPECT_EQ(r.left, qltarget::kLabelLeft);
  EXPECT_EQ(r.top, qltarget::kLabelTop);
  EXPECT_EQ(r.right - r.left, qltarget::kLabelWidth);
}

TEST_F(ProbeTest, ScreenCaptureShowsTheWindowsPixels) {
  startTarget();
  Sleep(300);  // the first paint
  WindowInfo w = describe(window_);
  Image shot = captureScreen(w.rect);
  ASSERT_EQ(shot.width, qltarget::kWidth);
  ASSERT_EQ(shot.height, qltarget::kHeight);
  RECT square = {qltarget::kSquareLeft, qltarget::kSquareTop, qltarget::kSquareLeft + qltarget::kSquareSize,
                 qltarget::kSquareTop + qltarget::kSquareSize};
  EXPECT_EQ(shot.count(square, [](const Rgb& c) { return closeTo(c, 58, 148, 249, 10); }),
            qltarget::kSquareSize * qltarget::kSquareSize);
  // Outside the round region the screen behind shows, not the window's white.
  for (POINT corner :
       {POINT{0, 0}, POINT{shot.width - 1, 0}, POINT{0, shot.height - 1}, POINT{shot.width - 1, shot.height - 1}}) {
    EXPECT_FALSE(isWhite(shot.at(corner.x, corner.y))) << corner.x << "," << corner.y;
  }
  EXPECT_TRUE(isWhite(shot.at(100, 90)));
  RECT label = {qltarget::kLabelLeft, qltarget::kLabelTop, qltarget::kLabelLeft + qltarget::kLabelWidth,
                qltarget::kLabelTop + qltarget::kLabelHeight};
  EXPECT_GT(shot.count(label, isDark), 40) << "no glyphs drawn in the label";

  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string file = std::string(temp) + "probe_test_shot.png";
  ASSERT_TRUE(savePng(shot, file));
  Image back;
  ASSERT_TRUE(loadPng(file, back));
  EXPECT_EQ(back.width, shot.width);
  EXPECT_EQ(back.pixels, shot.pixels);
  std::remove(file.c_str());
}

TEST_F(ProbeTest, DrivesControlsMenusAndKeys) {
  startTarget();
  HWND label = control(window_, qltarget::kIdLabel);
  ASSERT_TRUE(clickButton(control(window_, qltarget::kIdButton)));
  auto waitLabel = [&](const std::string& text) {
    for (int i = 0; i < 400 && windowText(label) != text; ++i) Sleep(5);
    return windowText(label);
  };
  EXPECT_EQ(waitLabel("clicked"), "clicked");

  HWND edit = control(window_, qltarget::kIdEdit);
  ASSERT_TRUE(typeChars(edit, "12-a"));
  for (int i = 0; i < 400 && windowText(edit) != "12-a"; ++i) Sleep(5);
  EXPECT_EQ(windowText(edit), "12-a");

  ASSERT_TRUE(postTrayEvent(window_, qltarget::kTrayMessage, 1, WM_RBUTTONUP));
  HWND menu = waitPopupMenu(5000);
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(chooseMenuItem(menu, 1));
  EXPECT_EQ(waitLabel("乙"), "乙");
  EXPECT_TRUE(waitGone(menu, 5000, true));

  ASSERT_TRUE(pressKey(window_, VK_ESCAPE));
  EXPECT_TRUE(target_.wait(10000));
  EXPECT_EQ(target_.exitCode(), 0u);
}

TEST_F(ProbeTest, RealMouseInputDragsTheWindow) {
  startTarget();
  RECT before = describe(window_).rect;
  POINT from = clientToScreen(100, 90);
  ASSERT_TRUE(mouseDrag(from, POINT{from.x + 60, from.y - 40}, 6));
  Sleep(200);
  RECT after = describe(window_).rect;
  EXPECT_EQ(after.left - before.left, 60);
  EXPECT_EQ(after.top - before.top, -40);
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, from.x + 60);
  EXPECT_EQ(cursor.y, from.y - 40);
}

TEST_F(ProbeTest, FindsAndAnswersMessageBoxes) {
  startTarget("box");
  MessageBoxInfo box = waitMessageBox(target_.pid(), 10000, target_.handle());
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.title, "目标");
  EXPECT_EQ(box.text, "目标正文");
  EXPECT_EQ(box.owner, window_);
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  // Task-modal: the thread's other windows are disabled while the box is up.
  EXPECT_FALSE(IsWindowEnabled(window_));
  ASSERT_TRUE(pressDialogButton(box.hwnd, IDOK));
  EXPECT_TRUE(waitGone(box.hwnd, 5000));
  for (int i = 0; i < 200 && !IsWindowEnabled(window_); ++i) Sleep(5);
  EXPECT_TRUE(IsWindowEnabled(window_));
}

TEST(ClockText, ReadsTheClockForms) {
  EXPECT_EQ(clockTextMillis("09:58:58:999"), ((9 * 60 + 58) * 60 + 58) * 1000 + 999);
  EXPECT_EQ(clockTextMillis("09:58:58.999"), ((9 * 60 + 58) * 60 + 58) * 1000 + 999);
  EXPECT_EQ(clockTextMillis("00:00:00:000"), 0);
  for (const char* bad : {"", "9:58:58:999", "09:58:58:99", "24:00:00:000", "09-58-58:999", "09:60:00:000"}) {
    EXPECT_EQ(clockTextMillis(bad), -1) << bad;
  }
  EXPECT_EQ(dialDifference(100, 86399900), 200);
  EXPECT_EQ(dialDifference(86399900, 100), -200);
  EXPECT_EQ(dialDifference(5000, 3500), 1500);
}

}  // namespace
