// Requests through the real WinHTTP against the loopback test server.
#include <gtest/gtest.h>

#include "common/system_api.h"
#include "http/http_request.h"
#include "message_window.h"
#include "test_server.h"
#include "winhttp_spy.h"

using namespace ql;
using qltest::Echo;
using qltest::Outputs;
using qltest::parseEcho;
using qltest::testServer;
using qltest::TestServer;

namespace {

const std::vector<std::string> kDefaultNames = {"User-Agent",      "Accept",       "Accept-Encoding",
                                                "Accept-Language", "Content-Type", "Cache-Control"};
const char kDefaultUserAgent[] = "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
const char kDefaultAccept[] = "Accept: text/html, application/xhtml+xml, */*";

Echo echoOf(const Text& url, HttpRequestOptions options, Outputs& out) {
  out.attachTo(options);
  Text body = httpRequest(url, options);
  Echo echo = parseEcho(body);
  EXPECT_TRUE(echo.valid) << "not an echo: " << body << " / " << out.statusText;
  return echo;
}

Echo echoOf(const Text& url, const HttpRequestOptions& options = HttpRequestOptions()) {
  Outputs out;
  return echoOf(url, options, out);
}

}  // namespace

TEST(HttpRequestWire, DefaultHeaderLinesGoOutInOrderForGetAndPost) {
  QL_REQUIRE_SERVER();
  const std::vector<std::string> get = {kDefaultUserAgent, kDefaultAccept, "Accept-Encoding: identity",
                                        "Accept-Language: zh-cn", "Cache-Control: no-cache"};
  std::vector<std::string> post = get;
  post.insert(post.begin() + 4, "Content-Type: application/x-www-form-urlencoded");

  struct Case {
    std::int32_t method;
    const char* verb;
    const std::vector<std::string>& lines;
  } cases[] = {{0, "GET", get}, {1, "POST", post}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verb);
    HttpRequestOptions options;
    options.method = c.method;
    options.submitText = "a=1&b=2";
    Outputs out;
    Echo echo = echoOf(testServer().httpUrl("/echo"), options, out);
    EXPECT_EQ(out.statusText, "200 OK");
    EXPECT_EQ(echo.method, c.verb);
    EXPECT_EQ(qltest::headersNamed(echo, kDefaultNames), c.lines);
    EXPECT_EQ(bytesToText(echo.body), "a=1&b=2");  // the body goes with GET too
  }
}

TEST(HttpRequestWire, MethodNumbersSelectTheVerbAndUnknownNumbersMeanGet) {
  QL_REQUIRE_SERVER();
  struct Case {
    std::int32_t method;
    const char* verb;
  } cases[] = {{0, "GET"},    {1, "POST"},  {3, "PUT"}, {4, "OPTIONS"},
               {5, "DELETE"}, {6, "TRACE"}, {8, "GET"}, {-1, "GET"}};
  for (const Case& c : cases) {
    HttpRequestOptions options;
    options.method = c.method;
    EXPECT_EQ(echoOf(testServer().httpUrl("/echo"), options).method, c.verb) << "method " << c.method;
  }

  // HEAD: an answer without a body.
  HttpRequestOptions head;
  head.method = 2;
  Outputs out;
  head.statusText = &out.statusText;
  head.headersReturned = &out.headersReturned;
  EXPECT_EQ(httpRequest(testServer().httpUrl("/echo"), head), "");
  EXPECT_EQ(out.statusText, "200 OK");
  EXPECT_NE(findText(out.headersReturned, "Content-Type: application/json"), -1);
}

TEST(HttpRequestWire, BytesWinOverTextAndAreSentExactly) {
  QL_REQUIRE_SERVER();
  HttpRequestOptions options;
  options.method = 1;
  options.submitText = "ignored";
  options.submitBytes = {0x01, 0x00, 0xFF, 'b'};
  Echo echo = echoOf(testServer().httpUrl("/echo"), options);
  EXPECT_EQ(echo.body, (Bytes{0x01, 0x00, 0xFF, 'b'}));
  EXPECT_EQ(qltest::headersNamed(echo, {"Content-Length"}), (std::vector<std::string>{"Content-Length: 4"}));
}

TEST(HttpRequestWire, OmittedFlagsActAsTrueAndAGivenFalseIsHonoured) {
  QL_REQUIRE_SERVER();
  struct Case {
    const char* name;
    bool setComplete, complete, setNormalize, normalize;
    std::vector<std::string> expected;  // caller line and default lines seen on the wire
  } cases[] = {
      {"both omitted",
       false,
       true,
       false,
       true,
       {"X-Caller-Line: 1", kDefaultUserAgent, kDefaultAccept, "Accept-Encoding: identity", "Accept-Language: zh-cn",
        "Cache-Control: no-cache"}},
      {"completion off", true, false, false, true, {"X-Caller-Line: 1"}},
      {"normalising off",
       false,
       true,
       true,
       false,
       {"x-caller-line: 1", kDefaultUserAgent, kDefaultAccept, "Accept-Encoding: identity", "Accept-Language: zh-cn",
        "Cache-Control: no-cache"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpRequestOptions options;
    options.extraHeaders = "x-caller-line: 1";
    if (c.setComplete) options.completeHeaders = c.complete;
    if (c.setNormalize) options.normalizeHeaderNames = c.normalize;
    std::vector<std::string> names = kDefaultNames;
    names.push_back("X-Caller-Line");
    EXPECT_EQ(qltest::headersNamed(echoOf(testServer().httpUrl("/echo"), options), names), c.expected);
  }
}

TEST(HttpRequestWire, AnEmptyHeaderBlockAddsNothingAndTheRequestGoesOn) {
  QL_REQUIRE_SERVER();
  qltest::WinHttpSpy spy;
  HttpRequestOptions options;
  options.completeHeaders = false;
  Outputs out;
  Echo echo = echoOf(testServer().httpUrl("/echo"), options, out);
  EXPECT_EQ(out.statusText, "200 OK");
  EXPECT_TRUE(qltest::headersNamed(echo, kDefaultNames).empty());
  EXPECT_EQ(spy.log().count("WinHttpAddRequestHeaders"), 0);
}

TEST(HttpRequestWire, ThePathAndQueryReachTheServerAndAHostOnlyUrlSendsSlash) {
  QL_REQUIRE_SERVER();
  const TestServer& server = testServer();
  struct Case {
    Text url;
    const char* target;
  } cases[] = {
      {server.httpUrl("/p?q=1"), "/p?q=1"},  {server.httpUrl(""), "/"},
      {server.httpUrl("?q=1"), "/"},  // no path: the query alone is not sent
      {server.httpsUrl("/p?q=1"), "/p?q=1"}, {server.httpsUrl(""), "/"},
  };
  for (const Case& c : cases) {
    Outputs out;
    EXPECT_EQ(echoOf(c.url, HttpRequestOptions(), out).target, c.target) << c.url;
    EXPECT_EQ(out.statusText, "200 OK") << c.url;
  }
}

// Ports the URL leaves to the scheme, and a port the URL names, on the real
// well-known ports (the fixture binds them as root).
TEST(HttpRequestWire, DefaultAndNamedPortsAreUsedForReal) {
  QL_REQUIRE_SERVER();
  const TestServer& server = testServer();
  ASSERT_TRUE(server.tls443) << "the test server could not listen on 127.0.0.1:443 (see its log)";
  ASSERT_TRUE(server.plain8080) << "the test server could not listen on 127.0.0.1:8080 (see its log)";
  struct Case {
    const char* url;
    const char* target;
  } cases[] = {
      {"https://127.0.0.1/p?q=1", "/p?q=1"},  // self-signed certificate on the default port
      {"https://127.0.0.1", "/"},
      {"http://127.0.0.1:8080/p?q=1", "/p?q=1"},
  };
  for (const Case& c : cases) {
    Outputs out;
    EXPECT_EQ(echoOf(c.url, HttpRequestOptions(), out).target, c.target) << c.url;
    EXPECT_EQ(out.statusText, "200 OK") << c.url;
  }
}

TEST(HttpRequestWire, AnyStatusWithABodyIsASuccessWithItsReasonPhrase) {
  QL_REQUIRE_SERVER();
  struct Case {
    const char* path;
    const char* status;
  } cases[] = {{"/status?code=404&reason=Not%20Found", "404 Not Found"},
               {"/status?code=500&reason=Internal%20Server%20Error", "500 Internal Server Error"},
               {"/status?code=299&reason=Odd%20But%20Fine", "299 Odd But Fine"}};
  for (const Case& c : cases) {
    for (bool secure : {false, true}) {
      Outputs out;
      HttpRequestOptions options;
      out.attachTo(options);
      Text url = secure ? testServer().httpsUrl(c.path) : testServer().httpUrl(c.path);
      EXPECT_EQ(httpRequest(url, options), "status body") << url;
      EXPECT_EQ(out.statusText, c.status) << url;
      EXPECT_EQ(leftText(out.headersReturned, 9 + static_cast<int>(strlen(c.status))), Text("HTTP/1.1 ") + c.status);
      EXPECT_EQ(out.bodyBytes, textToBytes("status body"));
      EXPECT_EQ(out.redirectLocation, "L0");  // no Location line: untouched
      EXPECT_EQ(out.cookiesReturned, "R0");
    }
  }
}

TEST(HttpRequestWire, TimeoutSecondsSetsAllFourTimeouts) {
  QL_REQUIRE_SERVER();
  struct Case {
    std::int32_t seconds;
    int ms;
  } cases[] = {{10, 10000}, {0, 30000}, {-5, 30000}, {1, 1000}};
  for (const Case& c : cases) {
    qltest::WinHttpSpy spy;
    HttpRequestOptions options;
    options.timeoutSeconds = c.seconds;
    Outputs out;
    // A server that takes a moment: well within every one of these time-outs.
    echoOf(testServer().httpUrl("/slow?delay=0.2"), options, out);
    EXPECT_EQ(out.statusText, "200 OK");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(spy.log().timeouts[i], c.ms) << c.seconds << " s, time-out " << i;
  }
}

TEST(HttpRequestWire, ABodyLaterThanTheTimeoutEndsTheReading) {
  QL_REQUIRE_SERVER();
  // The headers come at once, the body 3 s later: the 1 s receive time-out
  // ends the wait for data, which ends the body without a message.
  Outputs out;
  HttpRequestOptions options;
  options.timeoutSeconds = 1;
  out.attachTo(options);
  EXPECT_EQ(httpRequest(testServer().httpUrl("/slowbody?delay=3"), options), "");
  EXPECT_EQ(out.statusText, "200 OK");
  EXPECT_TRUE(out.bodyBytes.empty());
  EXPECT_NE(findText(out.headersReturned, "Content-Length: 9"), -1);
}

TEST(HttpRequestWire, RedirectsAreFollowedUnlessForbidden) {
  QL_REQUIRE_SERVER();
  for (bool secure : {false, true}) {
    SCOPED_TRACE(secure ? "https" : "http");
    auto url = [&](const Text& path) { return secure ? testServer().httpsUrl(path) : testServer().httpUrl(path); };
    for (const char* path : {"/redirect?n=1&to=/echo", "/redirect?n=3&to=/echo"}) {
      Outputs out;
      EXPECT_EQ(echoOf(url(path), HttpRequestOptions(), out).target, "/echo") << path;
      EXPECT_EQ(out.statusText, "200 OK");
      EXPECT_EQ(out.redirectLocation, "L0");  // the final answer has no Location line
    }

    Outputs out;
    HttpRequestOptions options;
    options.forbidRedirect = true;
    out.attachTo(options);
    EXPECT_EQ(httpRequest(url("/redirect?n=3&to=/echo"), options), "moved");
    EXPECT_EQ(out.statusText, "302 Found");
    EXPECT_EQ(out.redirectLocation, "/redirect?n=2&to=/echo");
  }
}

TEST(HttpRequestWire, LocationLinesAreReportedAndTheLastOneWins) {
  QL_REQUIRE_SERVER();
  Outputs out;
  HttpRequestOptions options;
  out.attachTo(options);
  EXPECT_EQ(httpRequest(testServer().httpUrl("/location"), options), "located");
  EXPECT_EQ(out.statusText, "200 OK");
  EXPECT_EQ(out.redirectLocation, "/second");  // "location: /second" comes after "Location: /first"
}

namespace {

// Wine 8's WinHTTP does not understand the per-scheme form "http=host:port"
// of a proxy name (the request then fails to resolve "http=host"). This
// pass-through hands it the plain "host:port", which means the same for an
// http URL; everything else is the real WinHTTP and the real proxy.
HINTERNET WINAPI openWithPlainProxyName(LPCWSTR agent, DWORD access, LPCWSTR proxy, LPCWSTR bypass, DWORD flags) {
  static auto realOpen = reinterpret_cast<decltype(&WinHttpOpen)>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("winhttp.dll"), "WinHttpOpen")));
  std::wstring name = proxy ? proxy : L"";
  if (name.compare(0, 5, L"http=") == 0) name.erase(0, 5);
  return realOpen(agent, access, proxy ? name.c_str() : nullptr, bypass, flags);
}

}  // namespace

TEST(HttpRequestWire, AProxyIsUsedAndAsksForCredentialsThatAreThenSent) {
  QL_REQUIRE_SERVER();
  ScopedSystemFunction<decltype(&WinHttpOpen)> open(systemApi().WinHttpOpen, openWithPlainProxyName);
  struct Case {
    const char* user;
    const char* password;
    const char* status;
    bool forwarded;
  } cases[] = {{"", "", "407 Proxy Authentication Required", false},
               {"proxyuser", "", "407 Proxy Authentication Required", false},  // half a pair is no credentials
               {"proxyuser", "proxypass", "200 OK", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.password);
    Outputs out;
    HttpRequestOptions options;
    options.proxyAddress = testServer().proxyAddress();
    options.proxyUser = c.user;
    options.proxyPassword = c.password;
    out.attachTo(options);
    Text body = httpRequest(testServer().httpUrl("/echo?via=proxy"), options);
    EXPECT_EQ(out.statusText, c.status);
    EXPECT_EQ(findText(out.headersReturned, "X-Forwarded-By: qlproxy") != -1, c.forwarded);
    if (c.forwarded) {
      Echo echo = parseEcho(body);
      EXPECT_EQ(echo.target, "/echo?via=proxy");
      EXPECT_EQ(qltest::headersNamed(echo, {"User-Agent"}), (std::vector<std::string>{kDefaultUserAgent}));
    }
  }
}

TEST(HttpRequestWire, CookiesAreCollectedMergedAndDeleted) {
  QL_REQUIRE_SERVER();
  struct Case {
    const char* name;
    const char* path;
    const char* toSend;
    const char* returnedBefore;
    bool setMerge, merge;
    const char* sentAfter;
    const char* returnedAfter;
  } cases[] = {
      {"collected, nothing sent", "/cookies?c=a=1&c=b=2", "", "", false, true, "", "a=1; b=2"},
      {"merged, one deleted", "/cookies?c=a=9&c=d=deleted", "a=1; c=3; d=5", "", false, true, "a=9; c=3", "a=9; c=3"},
      {"merge off", "/cookies?c=a=9&c=d=deleted", "a=1; c=3; d=5", "", true, false, "a=1; c=3; d=5", "a=9; d=deleted"},
      {"no cookies in the answer", "/echo", "", "", false, true, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outputs out;
    out.cookiesToSend = c.toSend;
    out.cookiesReturned = c.returnedBefore;
    HttpRequestOptions options;
    if (c.setMerge) options.mergeCookies = c.merge;
    out.attachTo(options);
    httpRequest(testServer().httpUrl(c.path), options);
    EXPECT_EQ(out.statusText, "200 OK");
    EXPECT_EQ(out.cookiesToSend, c.sentAfter);
    EXPECT_EQ(out.cookiesReturned, c.returnedAfter);
  }
}

TEST(HttpRequestWire, TheCallersCookieLineIsTheOnlyCookieSource) {
  QL_REQUIRE_SERVER();
  // The redirect sets r=1; WinHTTP must not carry it to the next hop, with or
  // without cookies from the caller.
  struct Case {
    const char* toSend;
    std::vector<std::string> cookieLines;
  } cases[] = {{"", {}}, {"a=1; b=2", {"Cookie: a=1; b=2"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.toSend);
    qltest::WinHttpSpy spy;
    Outputs out;
    out.cookiesToSend = c.toSend;
    HttpRequestOptions options;
    options.mergeCookies = false;
    Echo echo = echoOf(testServer().httpUrl("/redirect?n=1&to=/echo&cookie=r=1"), options, out);
    EXPECT_EQ(echo.target, "/echo");
    EXPECT_EQ(qltest::headersNamed(echo, {"Cookie"}), c.cookieLines);
    EXPECT_FALSE(spy.log().hasOption(WINHTTP_OPTION_ENABLE_FEATURE));
  }
}

TEST(HttpRequestWire, AZeroByteEndsTheTextButNotTheBytes) {
  QL_REQUIRE_SERVER();
  Outputs out;
  HttpRequestOptions options;
  out.attachTo(options);
  EXPECT_EQ(httpRequest(testServer().httpUrl("/zero"), options), "abcde");
  EXPECT_EQ(out.bodyBytes, (Bytes{'a', 'b', 'c', 'd', 'e', 0, 'f', 'g', 'h'}));
}

TEST(HttpRequestWire, ALargeChunkedBodyArrivesExactly) {
  QL_REQUIRE_SERVER();
  for (bool secure : {false, true}) {
    qltest::WinHttpSpy spy;
    Outputs out;
    HttpRequestOptions options;
    out.attachTo(options);
    const char* path = "/chunked?count=40&size=1500";
    httpRequest(secure ? testServer().httpsUrl(path) : testServer().httpUrl(path), options);
    EXPECT_EQ(out.statusText, "200 OK");
    EXPECT_EQ(out.bodyBytes, qltest::chunkPattern(60000)) << (secure ? "https" : "http");
    EXPECT_GT(spy.log().count("WinHttpReadData"), 2);  // really many pieces
  }
}

TEST(HttpRequestWire, AConnectionClosedInTheBodyKeepsWhatArrived) {
  QL_REQUIRE_SERVER();
  Outputs out;
  HttpRequestOptions options;
  out.attachTo(options);
  Text body = httpRequest(testServer().httpUrl("/truncated"), options);
  EXPECT_EQ(out.statusText, "200 OK");
  // The server announces 1000 bytes, sends 100 and closes: those 100 are kept.
  EXPECT_EQ(out.bodyBytes, Bytes(100, 't'));
  EXPECT_EQ(body, Text(100, 't'));
}

namespace {

// One dispatch of pending messages, seen from a ping handled there.
struct Dispatch {
  std::size_t winHttpCalls;  // WinHTTP calls made before it
  int comCalls;              // CoInitialize and CoUninitialize calls made before it
  Text statusText, cookiesReturned;
  Bytes bodyBytes;
};

// COM calls in order (true: CoInitialize), each followed by a ping for the
// next dispatch point to handle, and the dispatches those pings reveal.
struct DispatchRecord {
  std::vector<bool> comCalls;
  std::vector<std::size_t> comCallWinHttpCalls;
  HWND window = nullptr;
  const qltest::WinHttpLog* log = nullptr;
};
DispatchRecord g_dispatch;

void noteComCall(bool initialise) {
  g_dispatch.comCalls.push_back(initialise);
  g_dispatch.comCallWinHttpCalls.push_back(g_dispatch.log->calls.size());
  PostMessageA(g_dispatch.window, qltest::MessageWindow::kPing, g_dispatch.comCalls.size(), 0);
}

HRESULT WINAPI noteCoInitialize(LPVOID reserved) {
  noteComCall(true);
  return CoInitialize(reserved);
}

void WINAPI noteCoUninitialize() {
  noteComCall(false);
  CoUninitialize();
}

}  // namespace

// Pending messages get through after each header line of the answer, after
// the character-set step and once the answer is processed, before the handles
// are closed. A ping posted before the request shows the first; a ping posted
// by each COM call shows the dispatch point that follows that call.
TEST(HttpRequestWire, PendingWindowMessagesAreDispatchedDuringTheRequest) {
  QL_REQUIRE_SERVER();
  qltest::WinHttpSpy spy;
  qltest::MessageWindow window;
  ASSERT_TRUE(window.handle());
  g_dispatch = DispatchRecord();
  g_dispatch.window = window.handle();
  g_dispatch.log = &spy.log();
  Outputs out;
  std::vector<Dispatch> dispatches;
  window.onPing([&] {
    dispatches.push_back(Dispatch{spy.log().calls.size(), static_cast<int>(g_dispatch.comCalls.size()), out.statusText,
                                  out.cookiesReturned, out.bodyBytes});
  });
  PostMessageA(window.handle(), qltest::MessageWindow::kPing, 0, 0);
  {
    ScopedSystemFunction<decltype(&::CoInitialize)> init(systemApi().CoInitialize, noteCoInitialize);
    ScopedSystemFunction<decltype(&::CoUninitialize)> uninit(systemApi().CoUninitialize, noteCoUninitialize);
    HttpRequestOptions options;
    out.attachTo(options);
    httpRequest(testServer().httpUrl("/cookies?c=a=1&c=b=2"), options);
  }
  const auto& calls = spy.log().calls;
  ASSERT_EQ(out.cookiesReturned, "R0; a=1; b=2");
  ASSERT_FALSE(dispatches.empty());
  ASSERT_GT(dispatches[0].winHttpCalls, 0u);

  // The first point comes after the status line, before the cookie lines.
  EXPECT_EQ(calls[dispatches[0].winHttpCalls - 1].function, "WinHttpQueryHeaders");
  EXPECT_EQ(dispatches[0].statusText, "200 OK");
  EXPECT_EQ(dispatches[0].cookiesReturned, "R0");
  EXPECT_EQ(dispatches[0].bodyBytes, (Bytes{9, 9}));  // not yet given the body

  // The character-set step runs inside a COM initialisation of its own, the
  // first one after the header block was read: a point follows it before COM
  // is given back, and another before the handles are closed.
  std::size_t headersRead = 0;
  for (std::size_t i = 0; i < calls.size(); ++i)
    if (calls[i].function == "WinHttpQueryHeaders") headersRead = i + 1;
  int charsetInit = -1;
  for (std::size_t i = 0; i < g_dispatch.comCalls.size() && charsetInit < 0; ++i)
    if (g_dispatch.comCalls[i] && g_dispatch.comCallWinHttpCalls[i] >= headersRead) charsetInit = static_cast<int>(i);
  ASSERT_GE(charsetInit, 0);
  ASSERT_LT(static_cast<std::size_t>(charsetInit + 1), g_dispatch.comCalls.size());
  ASSERT_FALSE(g_dispatch.comCalls[charsetInit + 1]) << "the step's own CoUninitialize comes next";
  auto dispatchedAfterComCall = [&](int comCalls) {
    for (const Dispatch& d : dispatches)
      if (d.comCalls == comCalls) return &d;
    return static_cast<const Dispatch*>(nullptr);
  };
  const Dispatch* charsetStep = dispatchedAfterComCall(charsetInit + 1);
  ASSERT_NE(charsetStep, nullptr) << "no dispatch between the charset step and the end of its COM";
  EXPECT_EQ(charsetStep->cookiesReturned, "R0; a=1; b=2");
  EXPECT_EQ(charsetStep->bodyBytes, (Bytes{'c', 'o', 'o', 'k', 'i', 'e', 's'}));
  const Dispatch* processed = dispatchedAfterComCall(charsetInit + 2);
  ASSERT_NE(processed, nullptr) << "no dispatch after the answer was processed";
  ASSERT_LT(processed->winHttpCalls, calls.size());
  EXPECT_EQ(calls[processed->winHttpCalls - 1].function, "WinHttpQueryHeaders");
  EXPECT_EQ(calls[processed->winHttpCalls].function, "WinHttpCloseHandle");
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}
