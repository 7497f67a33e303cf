#include <gtest/gtest.h>

#include "common/system_api.h"
#include "text/encoding.h"

using namespace ql;

namespace {

Bytes bytesOf(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<unsigned char>(v));
  return out;
}

}  // namespace

TEST(Encoding, TextToUtf16GivesTerminatedLittleEndianUnits) {
  struct Case {
    Text text;
    Bytes expected;
  } cases[] = {
      {"abc", bytesOf({0x61, 0x00, 0x62, 0x00, 0x63, 0x00, 0x00, 0x00})},
      {"时间", bytesOf({0xF6, 0x65, 0xF4, 0x95, 0x00, 0x00})},
      {"a时", bytesOf({0x61, 0x00, 0xF6, 0x65, 0x00, 0x00})},
      {"\xA1\xA1", bytesOf({0x00, 0x30, 0x00, 0x00})},       // full-width blank U+3000
      {Text("a\0b", 3), bytesOf({0x61, 0x00, 0x00, 0x00})},  // a C string: ends at the zero byte
  };
  for (const auto& c : cases) EXPECT_EQ(textToUtf16(c.text), c.expected) << "text: " << c.text;
}

TEST(Encoding, EmptyTextGivesBytesWithoutData) {
  // Callers pass data() straight to wide-string parameters: it must be null.
  for (const Text& text : {Text(), Text("\0x", 2)}) {
    Bytes utf16 = textToUtf16(text);
    EXPECT_TRUE(utf16.empty());
    EXPECT_EQ(utf16.data(), nullptr);
  }
}

TEST(Encoding, Utf16ToTextStopsAtTheFirstNulUnit) {
  struct Case {
    Bytes utf16;
    Text expected;
  } cases[] = {
      {bytesOf({0x61, 0x00, 0x00, 0x00, 0x62, 0x00}), "a"},
      {bytesOf({0x61, 0x00, 0x62, 0x00}), "ab"},  // no terminator
      {Bytes(), ""},
      {bytesOf({0x00, 0x00, 0x61, 0x00}), ""},
      {bytesOf({0xF6, 0x65, 0xF4, 0x95, 0x00, 0x00}), "时间"},
      {bytesOf({0x61, 0x00, 0x62}), "ab"},        // a trailing half unit reads as its low byte
      {bytesOf({0x00, 0xAC, 0x61, 0x00}), "?a"},  // U+AC00 is not in GBK: the default character
  };
  for (const auto& c : cases) EXPECT_EQ(utf16ToText(c.utf16), c.expected) << "expected: " << c.expected;
}

TEST(Encoding, RoundTripKeepsGbkText) {
  for (const Text& text : {Text("晴岚钟表 09:58:58:999"), Text("淘宝　京东"), Text("x")})
    EXPECT_EQ(utf16ToText(textToUtf16(text)), text);
}

namespace {

decltype(&::MultiByteToWideChar) g_realToWide;
decltype(&::WideCharToMultiByte) g_realToNarrow;
std::vector<UINT> g_codePages;

int WINAPI recordToWide(UINT cp, DWORD flags, LPCCH in, int inLen, LPWSTR out, int outLen) {
  g_codePages.push_back(cp);
  return g_realToWide(cp, flags, in, inLen, out, outLen);
}

int WINAPI recordToNarrow(UINT cp, DWORD flags, LPCWCH in, int inLen, LPSTR out, int outLen, LPCCH def, LPBOOL used) {
  g_codePages.push_back(cp);
  return g_realToNarrow(cp, flags, in, inLen, out, outLen, def, used);
}

}  // namespace

// The test machine's ANSI code page is 936 as well, so only the argument
// itself shows that the conversions do not depend on the system's setting.
TEST(Encoding, ConversionsNameCodePage936) {
  auto& api = systemApi();
  g_realToWide = api.MultiByteToWideChar.get();
  g_realToNarrow = api.WideCharToMultiByte.get();
  g_codePages.clear();
  {
    ScopedSystemFunction<decltype(&::MultiByteToWideChar)> toWide(api.MultiByteToWideChar, recordToWide);
    ScopedSystemFunction<decltype(&::WideCharToMultiByte)> toNarrow(api.WideCharToMultiByte, recordToNarrow);
    EXPECT_EQ(utf16ToText(textToUtf16("时间")), "时间");
  }
  EXPECT_EQ(g_codePages, (std::vector<UINT>{936, 936, 936, 936}));
}
