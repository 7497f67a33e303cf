// The program's one network procedure: a blocking HTTP or HTTPS request over
// WinHTTP that returns the response body as text.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace ql {

// Request verbs by number; any other number means GET.
enum class HttpMethod : std::int32_t { Get = 0, Post, Head, Put, Options, Delete, Trace, Connect };

// The verb that `method` selects (GET outside 0..7).
const wchar_t* httpVerb(std::int32_t method);

// Everything after the URL, in its traditional positional order. A member left
// alone means "omitted": empty text, 0 or false, except the three flags that
// default to true. Output and in/out members are pointers to the caller's
// variables; a null pointer is an output the caller does not want. The request
// writes a variable only when it reaches the step that produces it, so a
// failure leaves the other outputs as the caller had them.
struct HttpRequestOptions {
  std::int32_t method = 0;          // HttpMethod number
  Text submitText;                  // body as text, used when submitBytes is empty
  Text* cookiesToSend = nullptr;    // in/out: the Cookie line; replaced by the merge
  Text* cookiesReturned = nullptr;  // in/out: the response's cookies are appended
  Text extraHeaders;                // the caller's header lines, CR LF between them
  Text* headersReturned = nullptr;  // out: the raw response header block
  bool forbidRedirect = false;
  Text serverUser;  // Basic authentication at the server: both or neither
  Text serverPassword;
  Text proxyAddress;  // host:port; empty means a direct connection
  Text proxyUser;     // Basic authentication at the proxy: both or neither
  Text proxyPassword;
  std::int32_t timeoutSeconds = 0;   // above 0: each time-out in seconds; else 30 s
  Text* redirectLocation = nullptr;  // out: the value of the response's Location line
  Text* statusText = nullptr;        // out: "200 OK", or a numbered failure message
  Bytes* bodyBytes = nullptr;        // out: the body exactly as received
  bool mergeCookies = true;
  bool completeHeaders = true;
  Bytes submitBytes;  // body as bytes; wins over submitText
  bool normalizeHeaderNames = true;
};

// Failure messages left in statusText, one per step that can fail.
extern const char* const kHttpNoWinHttp;           // 700
extern const char* const kHttpBadUrl;              // 701
extern const char* const kHttpSessionFailed;       // 702
extern const char* const kHttpConnectionFailed;    // 703
extern const char* const kHttpRequestFailed;       // 704
extern const char* const kHttpTimeoutsFailed;      // 705
extern const char* const kHttpCredentialsFailed;   // 707
extern const char* const kHttpCookieOptionFailed;  // 708
extern const char* const kHttpRedirectFailed;      // 709
extern const char* const kHttpHeadersFailed;       // 710
extern const char* const kHttpSendFailed;          // 711
extern const char* const kHttpNoResponse;          // 712
extern const char* const kHttpReadFailed;          // 713
extern const char* const kHttpCertificateOptionFailed;

// Runs the request on the calling thread. Returns the body as text (for any
// HTTP status, 404 and 500 included); empty text when no response arrived.
// Pending window messages of the thread are let through between the stages.
Text httpRequest(const Text& url, const HttpRequestOptions& options = HttpRequestOptions());

}  // namespace ql
