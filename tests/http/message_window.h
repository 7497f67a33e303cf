// A message-only window that records the pings posted to it.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace qltest {

class MessageWindow {
 public:
  static constexpr UINT kPing = WM_APP + 1;

  MessageWindow();
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  HWND handle() const { return hwnd_; }
  const std::vector<WPARAM>& pings() const { return pings_; }
  // Runs inside the dispatch of each ping.
  void onPing(std::function<void()> action) { onPing_ = std::move(action); }

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  std::vector<WPARAM> pings_;
  std::function<void()> onPing_;
};

}  // namespace qltest
