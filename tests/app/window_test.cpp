#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "app/program.h"
#include "app/window.h"
#include "common/message_pump.h"

using namespace ql;

namespace {

// What the test windows' handlers saw.
struct Events {
  std::vector<const char*> log;
  bool visibleWhenCreated = true;
  int clicks = 0;
  int changes = 0;
  int ticks = 0;
};
Events g_events;

void onTestCreated(HWND window) {
  g_events.log.push_back("created");
  g_events.visibleWhenCreated = IsWindowVisible(window) != FALSE;
}
void onTestClicked(HWND, HWND) { ++g_events.clicks; }
void onTestChanged(HWND, HWND) { ++g_events.changes; }
void onTestTick(HWND window, HWND) {
  if (++g_events.ticks == 3) PostMessageA(window, WM_CLOSE, 0, 0);
}

const ControlDefinition kControls[] = {
    {ControlKind::GroupBox, "分组框_测试", 10, 20, 30, 200, 80, "组"},
    {ControlKind::RadioButton, "单选框_甲", 11, 5, 10, 60, 20, "甲", 10, 0, nullptr, 0, 0, onTestClicked, true},
    {ControlKind::RadioButton, "单选框_乙", 12, 70, 10, 60, 20, "乙", 10, 0, nullptr, 0, 0, onTestClicked},
    {ControlKind::EditBox, "编辑框_数值", 13, 5, 40, 100, 20, "0", 10, 0, nullptr, 0, 0, onTestChanged, false, 0,
     WS_EX_STATICEDGE, "0123456789-"},
    {ControlKind::Label, "标签_说明", 14, 0, 0, 80, 16, "说明&文字", 0, DT_NOPREFIX | DT_LEFT},
};

const WindowDefinition kTestWindow = {
    "QinglanTestWindow", "测试", WS_POPUP, 0, 240, 120, RGB(255, 255, 255), -1, 0, false, true, false, kControls,
    static_cast<int>(sizeof kControls / sizeof kControls[0]), onTestCreated, nullptr, nullptr};

const WindowDefinition kOtherWindow = {
    "QinglanOtherTestWindow", "另一个", WS_POPUP, 0, 100, 80, 0, COLOR_BTNFACE, 0, false, true, false, nullptr, 0,
    nullptr, nullptr, nullptr};

const ControlDefinition kTimerControls[] = {
    {ControlKind::Timer, "时钟1", 20, 0, 0, 0, 0, "", 0, 0, nullptr, 0, 10, onTestTick},
};
const WindowDefinition kTimedModal = {
    "QinglanTimedModal", "模态", WS_POPUP, 0, 120, 80, 0, COLOR_BTNFACE, 0, false, true, true, kTimerControls, 1,
    nullptr, nullptr, nullptr};

void drainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) DispatchMessageA(&msg);
  }
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(registerWindowClasses(GetModuleHandleA(nullptr))); }
  void SetUp() override {
    g_events = Events();
    setLoopStarted(false);
  }
  void TearDown() override {
    for (const WindowDefinition* d : {&kTestWindow, &kOtherWindow, &kTimedModal}) {
      if (HWND w = findOpenWindow(*d)) DestroyWindow(w);
    }
    setLoopStarted(false);
    drainQueue();
  }
};

bool quitQueued(int* code) {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
  *code = static_cast<int>(msg.wParam);
  return true;
}

}  // namespace

TEST_F(WindowTest, OpensFromItsDefinitionRaisingCreatedBeforeShowing) {
  bool created = false;
  HWND window = openWindow(kTestWindow, nullptr, false, &created);
  ASSERT_TRUE(window);
  EXPECT_TRUE(created);
  EXPECT_EQ(g_events.log, std::vector<const char*>{"created"});
  EXPECT_FALSE(g_events.visibleWhenCreated);
  EXPECT_TRUE(IsWindowVisible(window));

  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 240);
  EXPECT_EQ(rect.bottom - rect.top, 120);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 240) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 120) / 2);

  // Controls inside a group box are placed relative to it.
  HWND edit = controlOf(window, 13);
  ASSERT_TRUE(edit);
  RECT editRect;
  GetWindowRect(edit, &editRect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&editRect), 2);
  EXPECT_EQ(editRect.left, 20 + 5);
  EXPECT_EQ(editRect.top, 30 + 40);
  EXPECT_TRUE(GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_STATICEDGE);
  // A label's content is its window text, an ampersand included.
  EXPECT_EQ(controlText(window, 14), "说明&文字");
  setControlText(window, 14, "新的");
  EXPECT_EQ(controlText(window, 14), "新的");
}

TEST_F(WindowTest, OpeningAnOpenWindowCreatesNoSecondOneAndRestoresAMinimisedOne) {
  HWND first = openWindow(kTestWindow, nullptr, false);
  ASSERT_TRUE(first);
  const int count = openWindowCount();
  EXPECT_EQ(openWindow(kTestWindow, nullptr, false), first);
  EXPECT_EQ(openWindowCount(), count);
  EXPECT_EQ(g_events.log.size(), 1u);

  ShowWindow(first, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(first));
  EXPECT_EQ(openWindow(kTestWindow, nullptr, false), first);
  EXPECT_FALSE(IsIconic(first));
}

TEST_F(WindowTest, RadioClicksAndTextChangesRaiseTheirEventsButCodeSelectionDoesNot) {
  HWND window = openWindow(kTestWindow, nullptr, false);
  ASSERT_TRUE(window);
  CheckDlgButton(window, 11, BST_CHECKED);
  EXPECT_EQ(g_events.clicks, 0);
  SendMessageA(controlOf(window, 12), BM_CLICK, 0, 0);
  EXPECT_EQ(g_events.clicks, 1);
  // One exclusive group: clicking 乙 cleared 甲.
  EXPECT_EQ(IsDlgButtonChecked(window, 11), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(window, 12), static_cast<UINT>(BST_CHECKED));

  setControlText(window, 13, "30");
  EXPECT_EQ(g_events.changes, 1);
}

TEST_F(WindowTest, EditBoxRefusesTypedCharactersOutsideItsSetButNotPastedText) {
  HWND window = openWindow(kTestWindow, nullptr, false);
  ASSERT_TRUE(window);
  HWND edit = controlOf(window, 13);
  SetWindowTextA(edit, "");
  for (char c : {'1', 'a', '2', 'Z', '-', ' ', '.', '3'}) SendMessageA(edit, WM_CHAR, c, 0);
  EXPECT_EQ(controlText(window, 13), "12-3");
  SendMessageA(edit, WM_CHAR, VK_BACK, 0);  // a control key passes
  EXPECT_EQ(controlText(window, 13), "12-");
  // Pasted (here: replaced) text is taken as it is.
  SendMessageA(edit, EM_SETSEL, 0, -1);
  SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("4x5"));
  EXPECT_EQ(controlText(window, 13), "4x5");
}

TEST_F(WindowTest, EscapeClosesTheWindowFromAnyOfItsControlsUnlessItIsDisabled) {
  HWND window = openWindow(kTestWindow, nullptr, false);
  ASSERT_TRUE(window);
  MSG msg = {controlOf(window, 13), WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
  EnableWindow(window, FALSE);
  EXPECT_TRUE(preTranslateWindowMessage(msg));
  EXPECT_TRUE(IsWindow(window));
  EnableWindow(window, TRUE);
  MSG other = {controlOf(window, 13), WM_KEYDOWN, 'A', 0, 0, {0, 0}};
  EXPECT_FALSE(preTranslateWindowMessage(other));
  EXPECT_TRUE(preTranslateWindowMessage(msg));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowTest, ModalWindowDisablesTheOthersRunsItsOwnLoopAndEnablesThemAgain) {
  HWND first = openWindow(kTestWindow, nullptr, false);
  HWND second = openWindow(kOtherWindow, nullptr, false);
  ASSERT_TRUE(first && second);
  EnableWindow(second, FALSE);  // already disabled: stays so afterwards

  // The modal window closes itself on its third tick; until then the others
  // must be disabled.
  struct Probe {
    static void CALLBACK check(HWND, UINT, UINT_PTR, DWORD) {
      HWND modal = findOpenWindow(kTimedModal);
      if (!modal) return;
      g_events.log.push_back(IsWindowEnabled(findOpenWindow(kTestWindow)) ? "enabled" : "disabled");
      g_events.log.push_back(GetWindow(modal, GW_OWNER) == toolWindow() ? "owned" : "other owner");
    }
  };
  UINT_PTR timer = SetTimer(nullptr, 0, 10, Probe::check);
  HWND result = openWindow(kTimedModal, first, true);
  KillTimer(nullptr, timer);

  EXPECT_EQ(result, nullptr);
  EXPECT_FALSE(findOpenWindow(kTimedModal));
  EXPECT_GE(g_events.ticks, 3);
  ASSERT_GE(g_events.log.size(), 3u);
  EXPECT_STREQ(g_events.log[1], "disabled");
  EXPECT_STREQ(g_events.log[2], "owned");
  EXPECT_TRUE(IsWindowEnabled(first));
  EXPECT_FALSE(IsWindowEnabled(second));
}

TEST_F(WindowTest, TheLastWindowPostsAQuitOnlyOnceTheLoopHasStarted) {
  int code = -1;
  HWND window = openWindow(kOtherWindow, nullptr, false);
  DestroyWindow(window);
  EXPECT_FALSE(quitQueued(&code));

  HWND a = openWindow(kOtherWindow, nullptr, false);
  HWND b = openWindow(kTestWindow, nullptr, false);
  setLoopStarted(true);
  DestroyWindow(a);
  EXPECT_FALSE(quitQueued(&code));  // one is left
  DestroyWindow(b);
  ASSERT_TRUE(quitQueued(&code));
  EXPECT_EQ(code, 0);
}

TEST_F(WindowTest, AQuitArrivingInsideAModalLoopEndsItAndStaysForTheOuterLoop) {
  PostQuitMessage(7);
  openWindow(kTimedModal, nullptr, true);
  int code = -1;
  ASSERT_TRUE(quitQueued(&code));
  EXPECT_EQ(code, 7);
}

TEST_F(WindowTest, TopmostStateIsCopiedBothWays) {
  HWND window = openWindow(kOtherWindow, nullptr, false);
  ASSERT_TRUE(window);
  setTopmost(window, true);
  EXPECT_TRUE(isTopmost(window));
  setTopmost(window, false);
  EXPECT_FALSE(isTopmost(window));
}

namespace {
int g_exitRuns = 0;
void countExit() { ++g_exitRuns; }
}  // namespace

TEST(ExitCallbacks, ARoutineRegisteredTwiceRunsOnce) {
  g_exitRuns = 0;
  registerExitCallback(countExit);
  registerExitCallback(countExit);
  runExitCallbacks();
  EXPECT_EQ(g_exitRuns, 1);
  runExitCallbacks();  // the list is spent
  EXPECT_EQ(g_exitRuns, 1);
}
