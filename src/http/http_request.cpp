#include "http/http_request.h"

#include <windows.h>
#include <winhttp.h>

#include <climits>
#include <string>

#include "common/handles.h"
#include "common/message_pump.h"
#include "common/system_api.h"
#include "http/header_block.h"
#include "http/response.h"
#include "text/encoding.h"
#include "text/regex_object.h"

namespace ql {

const char* const kHttpNoWinHttp = "700 当前系统不支持WinHttp服务!";
const char* const kHttpBadUrl = "701 解析URL地址失败!";
const char* const kHttpSessionFailed = "702 创建WinHttp会话失败!";
const char* const kHttpConnectionFailed = "703 创建WinHttp连接失败!";
const char* const kHttpRequestFailed = "704 创建WinHttp请求失败!";
const char* const kHttpTimeoutsFailed = "705 设置超时时间失败!";
const char* const kHttpCredentialsFailed = "707 设置代理凭证失败!";
const char* const kHttpCookieOptionFailed = "708 禁止自动设置Cookies失败!";
const char* const kHttpRedirectFailed = "709 重定向设置失败!";
const char* const kHttpHeadersFailed = "710 设置协议头失败!";
const char* const kHttpSendFailed = "711 发送请求失败!";
const char* const kHttpNoResponse = "712 服务器未响应!";
const char* const kHttpReadFailed = "713 读取数据失败!";
const char* const kHttpCertificateOptionFailed = "忽略错误/证书错误  失败！";

namespace {

constexpr int kDefaultTimeoutMs = 30000;
// Unknown CA, wrong usage, name mismatch and expired certificates: a time
// endpoint behind a broken certificate still gives the time.
constexpr DWORD kIgnoreCertificateErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                           SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

// Typed null arguments: WinHTTP's NULL macros do not pass through the
// function table's forwarding call.
constexpr LPCWSTR kNoText = nullptr;
constexpr LPCWSTR kNoHeaderName = nullptr;
constexpr LPCWSTR* kNoAcceptTypes = nullptr;

LPCWSTR wide(const Bytes& utf16) { return reinterpret_cast<LPCWSTR>(utf16.data()); }

int timeoutMsFor(std::int32_t seconds) {
  if (seconds <= 0) return kDefaultTimeoutMs;
  long long ms = static_cast<long long>(seconds) * 1000;
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

bool setDwordOption(HINTERNET handle, DWORD option, DWORD value) {
  return systemApi().WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

// The caller's variable, or a scratch one when the caller did not ask.
template <typename T>
T& target(T* callers, T& scratch) {
  return callers ? *callers : scratch;
}

class RequestRun {
 public:
  RequestRun(const Text& url, const HttpRequestOptions& options)
      : url_(url),
        o_(options),
        statusText_(target(options.statusText, scratchStatus_)),
        headersReturned_(target(options.headersReturned, scratchHeaders_)),
        redirectLocation_(target(options.redirectLocation, scratchLocation_)),
        cookiesToSend_(target(options.cookiesToSend, scratchCookiesToSend_)),
        cookiesReturned_(target(options.cookiesReturned, scratchCookiesReturned_)),
        bodyBytes_(target(options.bodyBytes, scratchBody_)) {}

  // Walks the steps once. Members are destroyed in reverse order: the
  // request, connection and session handles close first, then the regular
  // expression object gives back its COM initialisation.
  Text run();

 private:
  // A failed step: its message, and for the stages that may have taken a
  // while, a chance for the thread's pending messages.
  void fail(const char* message, bool letMessagesThrough) {
    statusText_ = message;
    if (letMessagesThrough) processPendingMessages();
  }
  bool setCredentials(DWORD target, const Text& user, const Text& password);
  Bytes readBody();
  bool readHeaderBlock(Bytes& block);

  const Text& url_;
  const HttpRequestOptions& o_;
  Text scratchStatus_, scratchHeaders_, scratchLocation_, scratchCookiesToSend_, scratchCookiesReturned_;
  Bytes scratchBody_;
  Text& statusText_;
  Text& headersReturned_;
  Text& redirectLocation_;
  Text& cookiesToSend_;
  Text& cookiesReturned_;
  Bytes& bodyBytes_;

  RegexObject charsetRegex_;  // one per call; its COM initialisation spans the call
  InternetHandle session_;
  InternetHandle connection_;
  InternetHandle request_;
};

bool RequestRun::setCredentials(DWORD authTarget, const Text& user, const Text& password) {
  if (user.empty() || password.empty()) return true;
  Bytes wideUser = textToUtf16(user);
  Bytes widePassword = textToUtf16(password);
  return systemApi().WinHttpSetCredentials(request_.get(), authTarget, WINHTTP_AUTH_SCHEME_BASIC, wide(wideUser),
                                           wide(widePassword), static_cast<LPVOID>(nullptr)) != FALSE;
}

Bytes RequestRun::readBody() {
  auto& api = systemApi();
  Bytes body;
  for (;;) {
    DWORD available = 0;
    // A failed query ends the body like its end does: what came is kept.
    if (!api.WinHttpQueryDataAvailable(request_.get(), &available) || available < 1) break;
    Bytes chunk(available);
    DWORD read = 0;
    if (!api.WinHttpReadData(request_.get(), chunk.data(), available, &read)) {
      fail(kHttpReadFailed, true);
      break;
    }
    if (read > available) read = available;
    body.insert(body.end(), chunk.begin(), chunk.begin() + read);
  }
  return body;
}

bool RequestRun::readHeaderBlock(Bytes& block) {
  auto& api = systemApi();
  DWORD size = 0;
  DWORD index = 0;
  // Asks for the size only; this call fails by design (insufficient buffer).
  api.WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, kNoHeaderName, nullptr, &size, &index);
  block.assign(size, 0);
  return api.WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, kNoHeaderName,
                                 block.empty() ? nullptr : block.data(), &size, &index) != FALSE;
}

Text RequestRun::run() {
  auto& api = systemApi();

  if (!api.WinHttpCheckPlatform()) {
    fail(kHttpNoWinHttp, false);
    return Text();
  }

  // Host, port, path and query from the URL; user and password in it are ignored.
  Bytes wideUrl = textToUtf16(url_);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!api.WinHttpCrackUrl(wide(wideUrl), 0, 0, &parts)) {
    fail(kHttpBadUrl, true);
    return Text();
  }
  std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  // An empty path is "/": the query alone is not a valid object name.
  std::wstring objectName = L"/";
  if (parts.dwUrlPathLength > 0) {
    objectName.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) objectName.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  // A named proxy for this request only, never the system's proxy settings.
  // For plain http the proxy is named for that scheme; https goes through
  // it as a tunnel.
  DWORD accessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
  Bytes proxyName;
  if (!o_.proxyAddress.empty()) {
    accessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    proxyName = textToUtf16(secure ? o_.proxyAddress : "http=" + o_.proxyAddress);
  }
  // No agent name: the User-Agent line travels in the header block.
  session_.reset(api.WinHttpOpen(kNoText, accessType, wide(proxyName), kNoText, 0));
  if (!session_) {
    fail(kHttpSessionFailed, true);
    return Text();
  }

  const int timeoutMs = timeoutMsFor(o_.timeoutSeconds);
  if (!api.WinHttpSetTimeouts(session_.get(), timeoutMs, timeoutMs, timeoutMs, timeoutMs)) {
    fail(kHttpTimeoutsFailed, true);
    return Text();
  }

  connection_.reset(api.WinHttpConnect(session_.get(), host.c_str(), parts.nPort, 0));
  if (!connection_) {
    fail(kHttpConnectionFailed, true);
    return Text();
  }

  request_.reset(api.WinHttpOpenRequest(connection_.get(), httpVerb(o_.method), objectName.c_str(), kNoText, kNoText,
                                        kNoAcceptTypes, secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request_) {
    fail(kHttpRequestFailed, true);
    return Text();
  }

  if (!setCredentials(WINHTTP_AUTH_TARGET_SERVER, o_.serverUser, o_.serverPassword) ||
      !setCredentials(WINHTTP_AUTH_TARGET_PROXY, o_.proxyUser, o_.proxyPassword)) {
    fail(kHttpCredentialsFailed, false);
    return Text();
  }

  // Set for http too: the same request may be redirected to https.
  if (!setDwordOption(request_.get(), WINHTTP_OPTION_SECURITY_FLAGS, kIgnoreCertificateErrors)) {
    fail(kHttpCertificateOptionFailed, false);
    return Text();
  }

  // The caller's cookie text is the only cookie source: WinHTTP neither adds
  // cookies of its own nor keeps those that a followed redirect sets.
  if (!setDwordOption(request_.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES)) {
    fail(kHttpCookieOptionFailed, false);
    return Text();
  }

  if (o_.forbidRedirect && !setDwordOption(request_.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS)) {
    fail(kHttpRedirectFailed, false);
    return Text();
  }

  // An empty block (no defaults, no caller lines, no cookies) adds nothing.
  Text headerBlock =
      buildHeaderBlock(o_.extraHeaders, o_.method, cookiesToSend_, o_.completeHeaders, o_.normalizeHeaderNames);
  // (A block that starts with a zero byte converts to nothing and counts as empty.)
  Bytes wideBlock = textToUtf16(headerBlock);
  if (!wideBlock.empty()) {
    DWORD units = static_cast<DWORD>(wideBlock.size() / sizeof(WCHAR) - 1);
    if (!api.WinHttpAddRequestHeaders(request_.get(), wide(wideBlock), units, WINHTTP_ADDREQ_FLAG_ADD)) {
      fail(kHttpHeadersFailed, true);
      return Text();
    }
  }

  Bytes submit = !o_.submitBytes.empty() ? o_.submitBytes : textToBytes(o_.submitText);
  DWORD submitLength = static_cast<DWORD>(submit.size());
  LPVOID submitData = submit.empty() ? nullptr : submit.data();
  if (!api.WinHttpSendRequest(request_.get(), kNoText, 0, submitData, submitLength, submitLength, 0)) {
    fail(kHttpSendFailed, true);
    return Text();
  }

  if (!api.WinHttpReceiveResponse(request_.get(), static_cast<LPVOID>(nullptr))) {
    fail(kHttpNoResponse, true);
    return Text();
  }

  Bytes body = readBody();

  Bytes rawHeaders;
  if (!readHeaderBlock(rawHeaders)) {
    processPendingMessages();
    return Text();
  }
  ResponseTargets targets{headersReturned_, statusText_, redirectLocation_, cookiesToSend_,
                          cookiesReturned_, bodyBytes_,  o_.mergeCookies};
  Text bodyText = processResponse(rawHeaders, body, charsetRegex_, targets);
  processPendingMessages();
  return bodyText;
}

}  // namespace

const wchar_t* httpVerb(std::int32_t method) {
  static const wchar_t* const verbs[] = {L"GET", L"POST", L"HEAD", L"PUT", L"OPTIONS", L"DELETE", L"TRACE", L"CONNECT"};
  if (method < 0 || method >= static_cast<std::int32_t>(sizeof verbs / sizeof verbs[0])) return verbs[0];
  return verbs[method];
}

Text httpRequest(const Text& url, const HttpRequestOptions& options) {
  RequestRun run(url, options);
  return run.run();
}

}  // namespace ql
