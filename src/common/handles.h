// One small owner per kind of system handle.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <utility>

#include "common/system_api.h"

namespace ql {

template <typename H, typename Close>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  H get() const { return h_; }
  explicit operator bool() const { return h_ != H(); }
  H release() { return std::exchange(h_, H()); }
  void reset(H h = H()) {
    if (h_ != H()) Close()(h_);
    h_ = h;
  }

 private:
  H h_ = H();
};

struct CloseWindowHandle {
  void operator()(HWND h) const { DestroyWindow(h); }
};
struct CloseGdiObject {
  void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct CloseIconHandle {
  void operator()(HICON h) const { DestroyIcon(h); }
};
// WinHTTP handles close through the program's function table, so that a test
// can watch or replace every WinHTTP call.
struct CloseInternetHandle {
  void operator()(HINTERNET h) const { systemApi().WinHttpCloseHandle(h); }
};

using WindowHandle = UniqueHandle<HWND, CloseWindowHandle>;
using FontHandle = UniqueHandle<HFONT, CloseGdiObject>;
using BitmapHandle = UniqueHandle<HBITMAP, CloseGdiObject>;
using IconHandle = UniqueHandle<HICON, CloseIconHandle>;
using InternetHandle = UniqueHandle<HINTERNET, CloseInternetHandle>;

}  // namespace ql
