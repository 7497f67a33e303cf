#include "http/charset_stream.h"

#include <mlang.h>

#include <vector>

#include "common/automation.h"
#include "common/system_api.h"

namespace ql {
namespace {

// Declared by mlang.h, but no MinGW library defines it.
constexpr GUID kIidMultiLanguage2 = {0xDCCFC164, 0x2B38, 0x11D2, {0xB7, 0xEC, 0x00, 0xC0, 0x4F, 0x8F, 0x5D, 0x9A}};

constexpr UINT kUtf16LittleEndian = 1200;
constexpr UINT kUtf16BigEndian = 1201;
constexpr UINT kUtf8 = 65001;

bool startsWithBytes(const Bytes& bytes, std::initializer_list<unsigned char> prefix) {
  if (bytes.size() < prefix.size()) return false;
  std::size_t i = 0;
  for (unsigned char b : prefix) {
    if (bytes[i++] != b) return false;
  }
  return true;
}

// MLang's own converters know the stateful and extended encodings that the
// code-page functions lack (euc-jp, iso-2022-jp, and more on Windows).
bool mlangToUtf16(IMultiLanguage2* languages, const unsigned char* data, std::size_t size, UINT codePage,
                  std::vector<wchar_t>& units) {
  if (!languages || size > 0x7FFFFFFF) return false;
  // No encoding gives more UTF-16 units than it has bytes.
  units.assign(size, L'\0');
  DWORD mode = 0;
  UINT sourceSize = static_cast<UINT>(size);
  UINT unitCount = static_cast<UINT>(units.size());
  auto source = reinterpret_cast<CHAR*>(const_cast<unsigned char*>(data));
  if (languages->ConvertStringToUnicode(&mode, codePage, source, &sourceSize, units.data(), &unitCount) != S_OK)
    return false;
  units.resize(unitCount);
  return true;
}

// UTF-16 code units of `bytes` in `codePage`; false when the conversion fails.
bool toUtf16(IMultiLanguage2* languages, const Bytes& bytes, UINT codePage, std::vector<wchar_t>& units) {
  units.clear();
  std::size_t skip = 0;
  if (codePage == kUtf8 && startsWithBytes(bytes, {0xEF, 0xBB, 0xBF})) skip = 3;
  if (codePage == kUtf16LittleEndian && startsWithBytes(bytes, {0xFF, 0xFE})) skip = 2;
  if (codePage == kUtf16BigEndian && startsWithBytes(bytes, {0xFE, 0xFF})) skip = 2;
  const unsigned char* data = bytes.data() + skip;
  std::size_t size = bytes.size() - skip;
  if (size == 0) return true;

  // MultiByteToWideChar knows neither form of UTF-16: those are read directly.
  if (codePage == kUtf16LittleEndian || codePage == kUtf16BigEndian) {
    units.resize(size / 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
      unsigned char first = data[2 * i], second = data[2 * i + 1];
      units[i] = static_cast<wchar_t>(codePage == kUtf16LittleEndian ? first | (second << 8) : (first << 8) | second);
    }
    return true;
  }

  if (size > 0x7FFFFFFF) return false;
  auto& api = systemApi();
  const char* source = reinterpret_cast<const char*>(data);
  int length = static_cast<int>(size);
  int n = api.MultiByteToWideChar(codePage, 0, source, length, nullptr, 0);
  if (n <= 0) return mlangToUtf16(languages, data, size, codePage, units);
  units.resize(static_cast<std::size_t>(n));
  return api.MultiByteToWideChar(codePage, 0, source, length, units.data(), n) == n;
}

}  // namespace

CharsetStream::CharsetStream() {
  void* object = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_CMultiLanguage, nullptr, CLSCTX_INPROC_SERVER, kIidMultiLanguage2, &object))) {
    languages_ = static_cast<IMultiLanguage2*>(object);
  }
}

CharsetStream::~CharsetStream() {
  if (languages_) languages_->Release();
}

UINT CharsetStream::codePageOf(const Text& charset) const {
  if (!languages_ || charset.empty()) return 0;
  Bstr name(charset);
  MIMECSETINFO info = {};
  if (FAILED(languages_->GetCharsetInfo(name.get(), &info))) return 0;
  return info.uiInternetEncoding;
}

bool CharsetStream::readText(const Bytes& bytes, const Text& charset, Text& text) const {
  UINT codePage = codePageOf(charset);
  if (codePage == 0) return false;
  std::vector<wchar_t> units;
  if (!toUtf16(languages_, bytes, codePage, units)) return false;
  if (units.empty()) {
    text.clear();
    return true;
  }
  // Through a BSTR, exactly as a string result of an Automation call arrives.
  BSTR string = SysAllocStringLen(units.data(), static_cast<UINT>(units.size()));
  if (!string) return false;
  text = bstrToText(string);
  SysFreeString(string);
  return true;
}

}  // namespace ql
