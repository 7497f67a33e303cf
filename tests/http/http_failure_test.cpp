// Each step's failure, made to happen through the function table while the
// other WinHTTP calls go to the real WinHTTP and the loopback server.
#include <gtest/gtest.h>

#include "common/system_api.h"
#include "http/http_request.h"
#include "message_window.h"
#include "test_server.h"
#include "winhttp_spy.h"

using namespace ql;
using qltest::Outputs;
using qltest::testServer;
using qltest::WinHttpSpy;

namespace {

struct FailureCase {
  const char* function;
  int nth;
  DWORD option;
  const char* message;
  bool lets_messages_through;
  const char* setup;  // "server": server credentials, "proxy": proxy credentials, "forbid": no redirects
};

void applySetup(const char* setup, HttpRequestOptions& options) {
  std::string s = setup;
  if (s == "server") {
    options.serverUser = "user";
    options.serverPassword = "secret";
  } else if (s == "proxy") {
    options.proxyUser = "user";
    options.proxyPassword = "secret";
  } else if (s == "forbid") {
    options.forbidRedirect = true;
  }
}

}  // namespace

TEST(HttpRequestFailure, EachStepLeavesItsMessageAndNothingElse) {
  QL_REQUIRE_SERVER();
  const FailureCase cases[] = {
      {"WinHttpCheckPlatform", 1, 0, "700 当前系统不支持WinHttp服务!", false, ""},
      {"WinHttpCrackUrl", 1, 0, "701 解析URL地址失败!", true, ""},
      {"WinHttpOpen", 1, 0, "702 创建WinHttp会话失败!", true, ""},
      {"WinHttpSetTimeouts", 1, 0, "705 设置超时时间失败!", true, ""},
      {"WinHttpConnect", 1, 0, "703 创建WinHttp连接失败!", true, ""},
      {"WinHttpOpenRequest", 1, 0, "704 创建WinHttp请求失败!", true, ""},
      {"WinHttpSetCredentials", 1, 0, "707 设置代理凭证失败!", false, "server"},
      {"WinHttpSetCredentials", 1, 0, "707 设置代理凭证失败!", false, "proxy"},
      {"WinHttpSetOption", 1, WINHTTP_OPTION_SECURITY_FLAGS, "忽略错误/证书错误  失败！", false, ""},
      {"WinHttpSetOption", 1, WINHTTP_OPTION_DISABLE_FEATURE, "708 禁止自动设置Cookies失败!", false, ""},
      {"WinHttpSetOption", 2, WINHTTP_OPTION_DISABLE_FEATURE, "709 重定向设置失败!", false, "forbid"},
      {"WinHttpAddRequestHeaders", 1, 0, "710 设置协议头失败!", true, ""},
      {"WinHttpSendRequest", 1, 0, "711 发送请求失败!", true, ""},
      {"WinHttpReceiveResponse", 1, 0, "712 服务器未响应!", true, ""},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(std::string(c.function) + " " + c.setup);
    qltest::MessageWindow window;
    PostMessageA(window.handle(), qltest::MessageWindow::kPing, 1, 0);
    WinHttpSpy spy;
    spy.failAt(c.function, c.nth, c.option);
    Outputs out;
    out.cookiesToSend = "k=v";
    HttpRequestOptions options;
    applySetup(c.setup, options);
    out.attachTo(options);

    EXPECT_EQ(httpRequest(testServer().httpUrl("/cookies?c=a=1"), options), "");

    EXPECT_EQ(out.statusText, c.message);
    EXPECT_EQ(out.headersReturned, "H0");
    EXPECT_EQ(out.redirectLocation, "L0");
    EXPECT_EQ(out.cookiesToSend, "k=v");
    EXPECT_EQ(out.cookiesReturned, "R0");
    EXPECT_EQ(out.bodyBytes, (Bytes{9, 9}));
    const qltest::WinHttpLog& log = spy.log();
    EXPECT_EQ(log.closedCreated, log.created);  // every handle that was made is closed
    EXPECT_EQ(log.functions().back(), log.created ? "WinHttpCloseHandle" : c.function);
    EXPECT_EQ(window.pings().size(), c.lets_messages_through ? 1u : 0u);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

TEST(HttpRequestFailure, PlatformMissingMakesNoOtherCall) {
  WinHttpSpy spy;
  spy.failAt("WinHttpCheckPlatform");
  Text status;
  HttpRequestOptions options;
  options.statusText = &status;
  EXPECT_EQ(httpRequest("http://127.0.0.1:1/", options), "");
  EXPECT_EQ(status, "700 当前系统不支持WinHttp服务!");
  EXPECT_EQ(spy.log().functions(), (std::vector<std::string>{"WinHttpCheckPlatform"}));
}

TEST(HttpRequestFailure, RealFailuresOfTheUrlAndTheConnection) {
  QL_REQUIRE_SERVER();
  struct Case {
    Text url;
    const char* message;
  } cases[] = {
      {"", "701 解析URL地址失败!"},
      {"not a url", "701 解析URL地址失败!"},
      {"ftp://127.0.0.1/file", "701 解析URL地址失败!"},
      {"http://127.0.0.1:" + std::to_string(testServer().closedPort) + "/", "711 发送请求失败!"},
  };
  for (const auto& c : cases) {
    Outputs out;
    HttpRequestOptions options;
    out.attachTo(options);
    EXPECT_EQ(httpRequest(c.url, options), "") << c.url;
    EXPECT_EQ(out.statusText, c.message) << c.url;
    EXPECT_EQ(out.headersReturned, "H0") << c.url;
  }
}

TEST(HttpRequestFailure, AReadFailureOnTheThirdChunkKeepsTwoChunksAndEndsWithTheStatus) {
  QL_REQUIRE_SERVER();
  WinHttpSpy spy;
  spy.failAt("WinHttpReadData", 3);
  Outputs out;
  HttpRequestOptions options;
  out.attachTo(options);
  Text body = httpRequest(testServer().httpUrl("/chunked?count=40&size=1500"), options);

  const qltest::WinHttpLog& log = spy.log();
  ASSERT_EQ(log.reads.size(), 2u);
  std::size_t twoChunks = log.reads[0].size() + log.reads[1].size();
  ASSERT_GT(twoChunks, 0u);
  EXPECT_EQ(out.bodyBytes, qltest::chunkPattern(twoChunks));
  EXPECT_EQ(body, bytesToText(out.bodyBytes));
  EXPECT_EQ(out.statusText, "200 OK");  // message 713 was replaced by the status
  EXPECT_EQ(leftText(out.headersReturned, 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(log.count("WinHttpReadData"), 3);
  EXPECT_EQ(log.closedCreated, log.created);
}

TEST(HttpRequestFailure, AReadFailureIsLeftWhenTheHeadersCannotBeRead) {
  QL_REQUIRE_SERVER();
  WinHttpSpy spy;
  spy.failAt("WinHttpReadData", 1);
  spy.failAt("WinHttpQueryHeaders", 2);  // the call with the buffer
  Outputs out;
  HttpRequestOptions options;
  out.attachTo(options);
  EXPECT_EQ(httpRequest(testServer().httpUrl("/echo"), options), "");
  EXPECT_EQ(out.statusText, "713 读取数据失败!");
  EXPECT_EQ(out.headersReturned, "H0");
  EXPECT_EQ(out.bodyBytes, (Bytes{9, 9}));
}

TEST(HttpRequestFailure, UnreadableHeadersWriteNoOutputAtAll) {
  QL_REQUIRE_SERVER();
  WinHttpSpy spy;
  spy.failAt("WinHttpQueryHeaders", 2);
  Outputs out;
  HttpRequestOptions options;
  out.attachTo(options);
  EXPECT_EQ(httpRequest(testServer().httpUrl("/cookies?c=a=1"), options), "");
  EXPECT_EQ(out.statusText, "S0");
  EXPECT_EQ(out.headersReturned, "H0");
  EXPECT_EQ(out.cookiesReturned, "R0");
  EXPECT_EQ(out.bodyBytes, (Bytes{9, 9}));
}

TEST(HttpRequestFailure, AFailedAvailabilityQueryEndsTheBodyWithoutAMessage) {
  QL_REQUIRE_SERVER();
  WinHttpSpy spy;
  spy.failAt("WinHttpQueryDataAvailable", 2);
  Outputs out;
  HttpRequestOptions options;
  out.attachTo(options);
  httpRequest(testServer().httpUrl("/chunked?count=40&size=1500"), options);
  ASSERT_EQ(spy.log().reads.size(), 1u);
  EXPECT_EQ(out.bodyBytes, qltest::chunkPattern(spy.log().reads[0].size()));
  EXPECT_EQ(out.statusText, "200 OK");
}

TEST(HttpRequestSequence, ASuccessfulGetMakesTheseCallsInThisOrder) {
  QL_REQUIRE_SERVER();
  WinHttpSpy spy;
  Outputs out;
  HttpRequestOptions options;
  out.attachTo(options);
  httpRequest(testServer().httpUrl("/echo"), options);
  ASSERT_EQ(out.statusText, "200 OK");

  // Repeated reads folded into one entry.
  std::vector<std::string> folded;
  for (const std::string& f : spy.log().functions()) {
    if (folded.empty() || folded.back() != f || f == "WinHttpSetOption" || f == "WinHttpCloseHandle" ||
        f == "WinHttpQueryHeaders") {
      folded.push_back(f);
    }
  }
  const std::vector<std::string> expected = {"WinHttpCheckPlatform",
                                             "WinHttpCrackUrl",
                                             "WinHttpOpen",
                                             "WinHttpSetTimeouts",
                                             "WinHttpConnect",
                                             "WinHttpOpenRequest",
                                             "WinHttpSetOption",
                                             "WinHttpSetOption",
                                             "WinHttpAddRequestHeaders",
                                             "WinHttpSendRequest",
                                             "WinHttpReceiveResponse",
                                             "WinHttpQueryDataAvailable",
                                             "WinHttpReadData",
                                             "WinHttpQueryDataAvailable",
                                             "WinHttpQueryHeaders",
                                             "WinHttpQueryHeaders",
                                             "WinHttpCloseHandle",
                                             "WinHttpCloseHandle",
                                             "WinHttpCloseHandle"};
  EXPECT_EQ(folded, expected);

  const qltest::WinHttpLog& log = spy.log();
  const auto& calls = log.calls;
  auto handleOf = [&](const char* f) {
    for (const auto& call : calls) {
      if (call.function == f) return call.handle;
    }
    return HINTERNET();
  };
  // Closed in the order request, connection, session.
  std::size_t n = calls.size();
  EXPECT_EQ(calls[n - 3].handle, handleOf("WinHttpOpenRequest"));
  EXPECT_EQ(calls[n - 2].handle, handleOf("WinHttpConnect"));
  EXPECT_EQ(calls[n - 1].handle, handleOf("WinHttpOpen"));

  // Certificate errors ignored, WinHTTP's cookies off, redirects left on.
  std::vector<std::pair<DWORD, DWORD>> options_set;
  for (const auto& call : calls) {
    if (call.function == "WinHttpSetOption") options_set.emplace_back(call.option, call.value);
  }
  EXPECT_EQ(options_set, (std::vector<std::pair<DWORD, DWORD>>{{WINHTTP_OPTION_SECURITY_FLAGS, 0x3300},
                                                               {WINHTTP_OPTION_DISABLE_FEATURE, 1}}));
  EXPECT_TRUE(log.agentNull);
  EXPECT_EQ(log.accessType, static_cast<DWORD>(WINHTTP_ACCESS_TYPE_NO_PROXY));
  EXPECT_TRUE(log.proxyNameNull);
  EXPECT_EQ(log.headerLength, log.headerBlock.size());
  EXPECT_EQ(log.headerBlock.substr(0, 11), L"User-Agent:");
}

TEST(HttpRequestSequence, TheUrlDecidesHostPortObjectNameAndTheSecureFlag) {
  struct Case {
    const char* url;
    const wchar_t* host;
    INTERNET_PORT port;
    const wchar_t* objectName;
    DWORD flags;
  } cases[] = {
      {"http://127.0.0.1:8080/p?q=1", L"127.0.0.1", 8080, L"/p?q=1", 0},
      {"https://example.invalid/x", L"example.invalid", 443, L"/x", WINHTTP_FLAG_SECURE},
      {"http://example.invalid", L"example.invalid", 80, L"/", 0},
      {"http://example.invalid?q=1", L"example.invalid", 80, L"/", 0},
      {"https://user:pw@example.invalid:8443/a/b?c=d#frag", L"example.invalid", 8443, L"/a/b?c=d#frag",
       WINHTTP_FLAG_SECURE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    WinHttpSpy spy;
    spy.failAt("WinHttpOpenRequest");  // nothing goes on the wire
    Text status;
    HttpRequestOptions options;
    options.statusText = &status;
    httpRequest(c.url, options);
    EXPECT_EQ(status, "704 创建WinHttp请求失败!");
    // Wine's WinHttpCrackUrl leaves a query that follows the host directly
    // in the host name; the object name is "/" all the same.
    if (findText(c.url, "invalid?") == -1) {
      EXPECT_EQ(spy.log().host, c.host);
    }
    EXPECT_EQ(spy.log().port, c.port);
    EXPECT_EQ(spy.log().objectName, c.objectName);
    EXPECT_EQ(spy.log().openRequestFlags, c.flags);
  }
}

TEST(HttpRequestSequence, AProxyIsNamedPerSchemeAndCredentialsNeedBothHalves) {
  struct Case {
    const char* url;
    const char* proxy;
    DWORD access;
    const wchar_t* proxyName;  // nullptr: none given
  } cases[] = {
      {"http://example.invalid/", "", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr},
      {"http://example.invalid/", "127.0.0.1:3128", WINHTTP_ACCESS_TYPE_NAMED_PROXY, L"http=127.0.0.1:3128"},
      {"https://example.invalid/", "127.0.0.1:3128", WINHTTP_ACCESS_TYPE_NAMED_PROXY, L"127.0.0.1:3128"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.url) + " " + c.proxy);
    WinHttpSpy spy;
    spy.failAt("WinHttpSetOption", 1, WINHTTP_OPTION_SECURITY_FLAGS);  // stop before sending
    HttpRequestOptions options;
    options.proxyAddress = c.proxy;
    httpRequest(c.url, options);
    EXPECT_EQ(spy.log().accessType, c.access);
    EXPECT_EQ(spy.log().proxyNameNull, c.proxyName == nullptr);
    if (c.proxyName) {
      EXPECT_EQ(spy.log().proxyName, c.proxyName);
    }
  }

  struct Credentials {
    const char *serverUser, *serverPassword, *proxyUser, *proxyPassword;
    std::vector<DWORD> targets;
  } credentials[] = {
      {"u", "", "", "", {}},
      {"", "p", "u", "", {}},
      {"u", "p", "", "", {WINHTTP_AUTH_TARGET_SERVER}},
      {"", "", "u", "p", {WINHTTP_AUTH_TARGET_PROXY}},
      {"u", "p", "u", "p", {WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_TARGET_PROXY}},
  };
  for (const Credentials& c : credentials) {
    WinHttpSpy spy;
    spy.failAt("WinHttpSetOption", 1, WINHTTP_OPTION_SECURITY_FLAGS);
    HttpRequestOptions options;
    options.serverUser = c.serverUser;
    options.serverPassword = c.serverPassword;
    options.proxyUser = c.proxyUser;
    options.proxyPassword = c.proxyPassword;
    Text status;
    options.statusText = &status;
    httpRequest("http://example.invalid/", options);
    EXPECT_EQ(status, "忽略错误/证书错误  失败！");
    EXPECT_EQ(spy.log().credentialTargets, c.targets);
  }
}

TEST(HttpRequestSequence, ForbiddingRedirectsAddsTheSecondFeatureSwitch) {
  WinHttpSpy spy;
  spy.failAt("WinHttpAddRequestHeaders");  // stop before sending
  HttpRequestOptions options;
  options.forbidRedirect = true;
  httpRequest("http://example.invalid/", options);
  std::vector<DWORD> switched;
  for (const auto& call : spy.log().calls) {
    if (call.function == "WinHttpSetOption" && call.option == WINHTTP_OPTION_DISABLE_FEATURE) {
      switched.push_back(call.value);
    }
  }
  EXPECT_EQ(switched, (std::vector<DWORD>{WINHTTP_DISABLE_COOKIES, WINHTTP_DISABLE_REDIRECTS}));
}

namespace {

// COM initialisations of the thread as the program makes them, and where in
// the WinHTTP call sequence each uninitialisation happened.
struct ComRecord {
  bool failInitialise = false;
  int initialised = 0;  // successful CoInitialize calls
  std::vector<std::size_t> uninitialisedAt;
  const qltest::WinHttpLog* log = nullptr;
};
ComRecord g_com;

HRESULT WINAPI recordCoInitialize(LPVOID reserved) {
  if (g_com.failInitialise) return E_OUTOFMEMORY;
  HRESULT hr = CoInitialize(reserved);
  if (SUCCEEDED(hr)) ++g_com.initialised;
  return hr;
}

void WINAPI recordCoUninitialize() {
  g_com.uninitialisedAt.push_back(g_com.log->calls.size());
  CoUninitialize();
}

}  // namespace

TEST(HttpRequestSequence, ComIsBalancedAndGivenBackAfterTheHandlesAreClosed) {
  QL_REQUIRE_SERVER();
  for (bool failInitialise : {false, true}) {
    SCOPED_TRACE(failInitialise ? "CoInitialize fails" : "CoInitialize works");
    WinHttpSpy spy;
    g_com = ComRecord();
    g_com.failInitialise = failInitialise;
    g_com.log = &spy.log();
    ScopedSystemFunction<decltype(&::CoInitialize)> init(systemApi().CoInitialize, recordCoInitialize);
    ScopedSystemFunction<decltype(&::CoUninitialize)> uninit(systemApi().CoUninitialize, recordCoUninitialize);
    Outputs out;
    HttpRequestOptions options;
    out.attachTo(options);
    Text body = httpRequest(testServer().httpUrl("/page?cs=utf-8"), options);

    EXPECT_EQ(out.statusText, "200 OK");
    EXPECT_EQ(static_cast<int>(g_com.uninitialisedAt.size()), g_com.initialised);
    if (failInitialise) {
      // Without COM there is no regular expression: the page stays as received.
      EXPECT_EQ(body, bytesToText(out.bodyBytes));
    } else {
      EXPECT_GE(g_com.initialised, 2);  // the call's own, and the one around the charset step
      EXPECT_EQ(g_com.uninitialisedAt.back(), spy.log().calls.size());  // after the last closing
      EXPECT_NE(findText(body, "晴岚钟表"), -1);
    }
  }
}
