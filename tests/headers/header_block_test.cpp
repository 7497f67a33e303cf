#include <gtest/gtest.h>

#include "http/header_block.h"

using namespace ql;

namespace {

const Text kUserAgent = "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
const Text kAccept = "Accept: text/html, application/xhtml+xml, */*";
const Text kEncoding = "Accept-Encoding: identity";
const Text kLanguage = "Accept-Language: zh-cn";
const Text kContentType = "Content-Type: application/x-www-form-urlencoded";
const Text kCache = "Cache-Control: no-cache";
const Text kJdAgent =
    "Mozilla/5.0 (Linux; Android 6.0; Nexus 5 Build/MRA58N) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/95.0.4638.69 Mobile Safari/537.36";

Text lines(std::initializer_list<Text> pieces) {
  Text out;
  for (const Text& p : pieces) out += (out.empty() ? "" : "\r\n") + p;
  return out;
}

constexpr std::int32_t kGet = 0;
constexpr std::int32_t kPost = 1;

}  // namespace

TEST(HeaderBlock, BuildsTheBlockWinHttpReceives) {
  const Text defaults = lines({kUserAgent, kAccept, kEncoding, kLanguage, kCache});
  struct Case {
    const char* what;
    Text extra;
    std::int32_t method;
    Text cookies;
    bool complete, normalize;
    Text expected;
  } cases[] = {
      {"GET with nothing from the caller", "", kGet, "", true, true, defaults},
      {"POST adds the form content type", "", kPost, "", true, true,
       lines({kUserAgent, kAccept, kEncoding, kLanguage, kContentType, kCache})},
      {"POST with the caller's content type, any case, no blank", "content-type:application/json", kPost, "", true,
       true, lines({"Content-Type:application/json", kUserAgent, kAccept, kEncoding, kLanguage, kCache})},
      {"GET never adds a content type", "Content-Type: text/plain", kGet, "", true, true,
       lines({"Content-Type: text/plain", kUserAgent, kAccept, kEncoding, kLanguage, kCache})},
      {"the caller's user agent, name capitalised", "user-agent: " + kJdAgent, kGet, "", true, true,
       lines({"User-Agent: " + kJdAgent, kAccept, kEncoding, kLanguage, kCache})},
      {"a key found inside another line", "X-Accept: 1", kGet, "", true, true,
       lines({"X-Accept: 1", kUserAgent, kEncoding, kLanguage, kCache})},
      {"a key found inside a value", "X-Note: Cache-Control: private", kGet, "", true, true,
       lines({"X-Note: Cache-Control: private", kUserAgent, kAccept, kEncoding, kLanguage})},
      {"a name without the blank does not count", "User-Agent:x", kGet, "", true, true,
       lines({"User-Agent:x", kUserAgent, kAccept, kEncoding, kLanguage, kCache})},
      {"several caller lines keep their order", "accept: */*\r\nx-requested-with: XMLHttpRequest", kGet, "", true, true,
       lines({"Accept: */*", "X-Requested-With: XMLHttpRequest", kUserAgent, kEncoding, kLanguage, kCache})},
      {"keep-alive line removed", "connection: keep-alive", kGet, "", true, true, defaults},
      {"other letter case kept", "Connection: Keep-Alive", kGet, "", true, true,
       lines({"Connection: Keep-Alive", defaults})},
      {"other value kept", "Connection: close", kGet, "", true, true, lines({"Connection: close", defaults})},
      {"keep-alive as the last line, without CR LF, kept", "connection: keep-alive", kGet, "", false, true,
       "Connection: keep-alive"},
      {"keep-alive removed from the middle", "Accept: a\r\nConnection: keep-alive\r\nX: 1", kGet, "", false, false,
       "Accept: a\r\nX: 1\r\n"},
      {"value read from the first line starting with Connection", "Connection-Id: 5\r\nConnection: keep-alive", kGet,
       "", false, false, "Connection-Id: 5\r\nConnection: keep-alive\r\n"},
      {"cookies become a Cookie line", "", kGet, "a=1; b=2", true, true, defaults + "\r\nCookie: a=1; b=2\r\n"},
      {"a whole Cookie line from the caller", "", kGet, "Cookie: a=1", true, true, defaults + "\r\nCookie: a=1\r\n"},
      {"a whole cookie line in lower case", "", kGet, "cookie: a=1", true, true, defaults + "\r\ncookie: a=1\r\n"},
      {"the caller's own Cookie header wins", "cookie: z=9", kGet, "a=1", true, true, lines({"Cookie: z=9", defaults})},
      {"without normalising an empty line precedes the cookies", "", kGet, "a=1", true, false,
       defaults + "\r\n\r\nCookie: a=1\r\n"},
      {"cookies alone", "", kGet, "a=1", false, false, "\r\nCookie: a=1\r\n"},
      {"a line without a colon dropped when normalising", "garbage\r\nx-foo: 1", kGet, "", false, true, "X-Foo: 1"},
      {"a line without a colon kept otherwise", "garbage\r\nx-foo: 1", kGet, "", false, false,
       "garbage\r\nx-foo: 1\r\n"},
      {"nothing at all", "", kGet, "", false, false, ""},
      {"nothing, normalised", "", kPost, "", false, true, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(buildHeaderBlock(c.extra, c.method, c.cookies, c.complete, c.normalize), c.expected) << c.what;
}

TEST(HeaderBlock, CapitalizeHeaderNamesTouchesFirstLettersOnly) {
  struct Case {
    Text block, expected;
  } cases[] = {
      {"user-agent: a", "User-Agent: a"},
      {"content-TYPE: x", "Content-TYPE: x"},
      {"x-foo-bar: 1", "X-Foo-Bar: 1"},
      {"a--b: 1", "A--B: 1"},
      {"-x: 1", "-X: 1"},
      {"host:  a:b ", "Host:  a:b "},  // the rest of the line stays as it is
      {"a: 1\r\n\r\nb: 2\r\n", "A: 1\r\nB: 2"},
      {"no colon\r\nalso none", ""},
      {"", ""},
      {":x", ":x"},
      {"时间: 1\r\n1x: 2", "时间: 1\r\n1x: 2"},
  };
  for (const auto& c : cases) EXPECT_EQ(capitalizeHeaderNames(c.block), c.expected) << c.block;
}

TEST(HeaderBlock, CapitalizeFirst) {
  struct Case {
    Text text, expected;
  } cases[] = {{"", ""}, {"abc", "Abc"}, {"Abc", "Abc"}, {"z", "Z"}, {"1a", "1a"}, {"时a", "时a"}, {"{a", "{a"}};
  for (const auto& c : cases) EXPECT_EQ(capitalizeFirst(c.text), c.expected) << c.text;
}

TEST(HeaderBlock, HeaderValueReadsTheFirstLineStartingWithTheName) {
  struct Case {
    Text block, name, expected;
  } cases[] = {
      {"A: 1\r\nB: 2", "B", "2"},
      {"A: 1\r\nB: 2\r\nB: 3", "B", "2"},
      {"Bx: 1\r\nB: 2", "B", ""},  // Bx starts with B, and has no "B: "
      {"b: 2", "B", ""},
      {"A: 1", "C", ""},
      {"B: x: B: y", "B", "y"},
      {"", "A", ""},
      {"X: 1\r\nConnection: keep-alive\r\n", "Connection", "keep-alive"},
      {"B", "B", ""},
      {"Name: 时间", "Name", "时间"},
  };
  for (const auto& c : cases) EXPECT_EQ(headerValue(c.block, c.name), c.expected) << c.block << " / " << c.name;
}

TEST(HeaderBlock, TextAfterLast) {
  struct Case {
    Text text, separator, expected;
  } cases[] = {
      {"a/b/c", "/", "c"},
      {"abc", "/", ""},
      {"a/", "/", ""},
      {"时/间", "/", "间"},
      {"k: v: w", ": ", "w"},
      {"\xCA\xB1\xBC\xE4x", "\xB1\xBC", ""},  // only across two characters
      {"\xCA\xB1\xBC\xE4x", "\xBC\xE4", "x"},
      {"", "/", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(textAfterLast(c.text, c.separator), c.expected) << c.text;
}
