#include "text/encoding.h"

#include "common/system_api.h"

namespace ql {
namespace {

// GBK, named explicitly: the system's ANSI code page may be anything.
constexpr UINT kGbkCodePage = 936;

}  // namespace

Bytes textToUtf16(const Text& text) {
  auto& api = systemApi();
  // A NUL-terminated copy: the conversion is asked to find the end itself, so
  // a text with an embedded zero byte converts only up to it, like a C string.
  std::vector<char> work(text.begin(), text.end());
  work.push_back('\0');
  if (api.strlen(work.data()) == 0) return Bytes();

  int units = api.MultiByteToWideChar(kGbkCodePage, 0, work.data(), -1, nullptr, 0);
  if (units <= 0) return Bytes();
  Bytes out(static_cast<std::size_t>(units) * 2, 0);
  api.MultiByteToWideChar(kGbkCodePage, 0, work.data(), -1, reinterpret_cast<LPWSTR>(out.data()), units);
  return out;
}

Text utf16ToText(const Bytes& utf16) {
  if (utf16.empty()) return Text();
  auto& api = systemApi();
  // Terminate the units whether or not the caller did. An odd length gets one
  // more zero byte so that the terminator is a whole unit.
  Bytes work(utf16);
  work.insert(work.end(), work.size() % 2 ? 3 : 2, 0);
  auto wide = reinterpret_cast<LPCWSTR>(work.data());
  if (api.lstrlenW(wide) == 0) return Text();

  int n = api.WideCharToMultiByte(kGbkCodePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return Text();
  std::vector<char> out(static_cast<std::size_t>(n) + 1, '\0');
  api.WideCharToMultiByte(kGbkCodePage, 0, wide, -1, out.data(), n, nullptr, nullptr);
  return Text(out.data(), api.strlen(out.data()));
}

}  // namespace ql
