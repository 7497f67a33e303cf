// The response's header block and body turned into the outputs: directly,
// and for pages in several character sets fetched from the loopback server.
#include <gtest/gtest.h>

#include "common/automation.h"
#include "http/charset_stream.h"
#include "http/http_request.h"
#include "http/response.h"
#include "test_server.h"
#include "text/encoding.h"

using namespace ql;
using qltest::Outputs;
using qltest::testServer;

namespace {

struct Processed {
  Text result;
  Outputs out;
};

Processed process(const Text& headers, const Bytes& body, bool merge = true, const Text& toSend = "") {
  Processed p;
  p.out.cookiesToSend = toSend;
  p.out.cookiesReturned = "";
  RegexObject regex;
  ResponseTargets targets{p.out.headersReturned,
                          p.out.statusText,
                          p.out.redirectLocation,
                          p.out.cookiesToSend,
                          p.out.cookiesReturned,
                          p.out.bodyBytes,
                          merge};
  p.result = processResponse(textToUtf16(headers), body, regex, targets);
  return p;
}

}  // namespace

TEST(ProcessResponse, StatusLocationAndCookiesComeFromTheHeaderLines) {
  struct Case {
    const char* headers;
    const char* status;
    const char* location;
    const char* cookies;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n", "200 OK", "L0", ""},
      {"HTTP/1.1 404 Not Found\r\n\r\n", "404 Not Found", "L0", ""},
      {"HTTP/1.1 200 OK", "", "L0", ""},  // no line break after the status line
      {"HTTP/1.1 302 Found\r\nlocation: /next\r\n\r\n", "302 Found", "/next", ""},
      {"HTTP/1.1 200 OK\r\nLocation: /a\r\nLOCATION: /b\r\n\r\n", "200 OK", "/b", ""},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nset-cookie: c=3\r\nSet-Cookie: b=2\r\n\r\n", "200 OK", "L0",
       "a=1; b=2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.headers);
    Processed p = process(c.headers, textToBytes("ok"));
    EXPECT_EQ(p.out.headersReturned, c.headers);
    EXPECT_EQ(p.out.statusText, c.status);
    EXPECT_EQ(p.out.redirectLocation, c.location);
    EXPECT_EQ(p.out.cookiesReturned, c.cookies);
    EXPECT_EQ(p.result, "ok");
  }
}

TEST(ProcessResponse, ReceivedCookiesAreMergedIntoTheSentOnes) {
  Processed p =
      process("HTTP/1.1 200 OK\r\nSet-Cookie: a=9\r\nSet-Cookie: d=deleted\r\n\r\n", {}, true, "a=1; c=3; d=5");
  EXPECT_EQ(p.out.cookiesToSend, "a=9; c=3");
  EXPECT_EQ(p.out.cookiesReturned, "a=9; c=3");
}

TEST(ProcessResponse, ABodyWithoutDeclarationIsTakenAsItsBytesUpToAZero) {
  const Text headers = "HTTP/1.1 200 OK\r\n\r\n";
  struct Case {
    Bytes body;
    const char* text;
  } cases[] = {
      {textToBytes("{\"t\":1700000000000}"), "{\"t\":1700000000000}"},
      {Bytes{'a', 'b', 'c', 'd', 'e', 0, 'f'}, "abcde"},
      {Bytes{0xCA, 0xB1, 0xBC, 0xE4}, "时间"},  // GBK stays GBK
      {Bytes{}, ""},
  };
  for (const auto& c : cases) {
    Processed p = process(headers, c.body);
    EXPECT_EQ(p.result, c.text);
    EXPECT_EQ(p.out.bodyBytes, c.body);
  }
}

TEST(ProcessResponse, ADeclaredCharsetReDecodesTheWholeBody) {
  const Text headers = "HTTP/1.1 200 OK\r\n\r\n";
  auto page = [](const char* meta, const Bytes& text) {
    Bytes body = textToBytes(std::string("<html><head>") + meta + "</head><body>");
    body.insert(body.end(), text.begin(), text.end());
    return body;
  };
  const Bytes utf8 = {0xE6, 0x99, 0xB4, 0xE5, 0xB2, 0x9A};  // 晴岚
  struct Case {
    const char* name;
    Bytes body;
    Text expected;
  } cases[] = {
      {"utf-8", page("<meta charset=utf-8>", utf8), "<html><head><meta charset=utf-8></head><body>晴岚"},
      {"quoted capitals", page("<META http-equiv=x content=\"text/html; charset=\"UTF-8\"\">", utf8),
       "<html><head><META http-equiv=x content=\"text/html; charset=\"UTF-8\"\"></head><body>晴岚"},
      // The whole body is converted, but the text ends at its first zero, as every text does.
      {"zero byte", page("<meta charset=utf-8>", Bytes{'a', 0, 0xE6, 0x99, 0xB4}),
       "<html><head><meta charset=utf-8></head><body>a"},
      {"unknown charset", page("<meta charset=x-no-such-set>", utf8),
       bytesToText(page("<meta charset=x-no-such-set>", utf8))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Processed p = process(headers, c.body);
    EXPECT_EQ(p.result, c.expected);
    EXPECT_EQ(p.out.bodyBytes, c.body);
  }
}

TEST(CharsetStream, KnowsTheCommonNamesAndRejectsUnknownOnes) {
  ComInit com;
  CharsetStream stream;
  ASSERT_TRUE(stream.created());
  struct Case {
    const char* name;
    UINT codePage;
  } cases[] = {{"utf-8", 65001},      {"UTF-8", 65001},       {"gb2312", 936},    {"gbk", 936},       {"big5", 950},
               {"iso-8859-1", 28591}, {"windows-1252", 1252}, {"shift_jis", 932}, {"no-such-set", 0}, {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(stream.codePageOf(c.name), c.codePage) << c.name;

  Text text = "unchanged";
  EXPECT_FALSE(stream.readText(Bytes{'a'}, "no-such-set", text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_TRUE(stream.readText(Bytes{0xEF, 0xBB, 0xBF, 'o', 'k'}, "utf-8", text));  // the mark is not text
  EXPECT_EQ(text, "ok");

  // Encodings the code-page functions cannot convert here go through MLang: 日本 in each.
  struct Japanese {
    const char* name;
    Bytes bytes;
  } japanese[] = {
      {"euc-jp", {0xC6, 0xFC, 0xCB, 0xDC}},
      {"iso-2022-jp", {0x1B, '$', 'B', 'F', '|', 'K', '\\', 0x1B, '(', 'B'}},
  };
  for (const auto& j : japanese) {
    Text decoded = "unchanged";
    EXPECT_TRUE(stream.readText(j.bytes, j.name, decoded)) << j.name;
    EXPECT_EQ(decoded, "日本") << j.name;
  }
}

TEST(HttpRequestCharset, PagesAreReDecodedWhenTheTopOfThePageDeclaresACharset) {
  QL_REQUIRE_SERVER();
  const Text simplified = "晴岚钟表 时间同步";
  const Text traditional = "時間同步 鐘錶";
  struct Case {
    const char* path;
    bool decoded;
    Text visible;
  } cases[] = {
      {"/page?cs=utf-8", true, simplified},
      {"/page?cs=utf-8&quoted=1", true, simplified},
      {"/page?cs=gb2312", true, simplified},
      {"/page?cs=big5&quoted=1", true, traditional},
      {"/page?cs=utf-8&where=beyond", false, simplified},
      {"/page?cs=big5&where=beyond", false, traditional},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    for (bool secure : {false, true}) {
      Outputs out;
      HttpRequestOptions options;
      out.attachTo(options);
      Text body = httpRequest(secure ? testServer().httpsUrl(c.path) : testServer().httpUrl(c.path), options);
      ASSERT_EQ(out.statusText, "200 OK");
      EXPECT_EQ(leftText(body, 12), "<html><head>");
      if (c.decoded) {
        EXPECT_NE(findText(body, "<p>" + c.visible + "</p>"), -1) << body;
      } else {
        EXPECT_EQ(body, bytesToText(out.bodyBytes));  // as received
      }
    }
  }
}
