#include <gtest/gtest.h>
#include <windows.h>

#include "common/message_pump.h"
#include "message_window.h"

using namespace ql;
using qltest::MessageWindow;

namespace {

// Takes every message still queued for the thread, so that tests start clean.
void drainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace

TEST(MessagePump, DispatchesEverythingQueuedUpToAQuitWhichStaysQueued) {
  drainQueue();
  MessageWindow window;
  ASSERT_TRUE(window.handle());
  PostMessageA(window.handle(), MessageWindow::kPing, 1, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_APP + 7, 0, 0);  // a thread message (no window)
  PostMessageA(window.handle(), MessageWindow::kPing, 2, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 42, 0);
  PostMessageA(window.handle(), MessageWindow::kPing, 3, 0);

  processPendingMessages();

  EXPECT_EQ(window.pings(), (std::vector<WPARAM>{1, 2}));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 42u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, MessageWindow::kPing);
  EXPECT_EQ(msg.wParam, 3u);
  drainQueue();
}

TEST(MessagePump, ReturnsAtOnceOnAnEmptyQueueAndLeavesALoneQuit) {
  drainQueue();
  processPendingMessages();
  PostQuitMessage(5);
  processPendingMessages();
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 5u);
}
