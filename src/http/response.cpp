#include "http/response.h"

#include "common/automation.h"
#include "common/message_pump.h"
#include "http/charset_stream.h"
#include "http/cookies.h"
#include "text/encoding.h"

namespace ql {

const char* const kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";

namespace {

// Only the top of a page is searched for its declaration, as browsers do.
constexpr int kCharsetSearchBytes = 1024;
// "HTTP/1.1 " is 9 bytes: the status code starts at the 10th.
constexpr int kStatusStart = 9;

const Text kLineBreak = "\r\n";
const Text kLocationPrefix = "Location: ";

Text statusOf(const Text& headers) {
  int end = findText(headers, kLineBreak, kStatusStart);
  if (end < 0) return Text();
  return midText(headers, kStatusStart, end - kStatusStart);
}

}  // namespace

Text processResponse(const Bytes& headerBlock, const Bytes& body, RegexObject& charsetRegex,
                     const ResponseTargets& targets) {
  targets.headersReturned = utf16ToText(headerBlock);
  targets.statusText = statusOf(targets.headersReturned);

  for (const Text& line : splitText(targets.headersReturned, kLineBreak)) {
    collectSetCookie(line, targets.cookiesReturned);
    const int prefixLength = static_cast<int>(kLocationPrefix.size());
    if (equalsIgnoreCase(leftText(line, prefixLength), kLocationPrefix)) {
      targets.redirectLocation = midText(line, prefixLength, static_cast<int>(line.size()) - prefixLength);
    }
    processPendingMessages();
  }
  finishCookieTexts(targets.cookiesToSend, targets.cookiesReturned, targets.mergeCookies);

  targets.bodyBytes = body;
  Text bodyText = bytesToText(body);

  {
    ComInit com;  // balanced: uninitialised only when this initialisation succeeded
    bool executed = charsetRegex.execute(kCharsetPattern, leftText(bodyText, kCharsetSearchBytes));
    if (executed) {
      Text charset = charsetRegex.subMatchText(1, 1);
      if (!charset.empty()) {
        CharsetStream stream;
        // An unknown name or a missing converter leaves the body as received.
        if (stream.created()) stream.readText(body, charset, bodyText);
      }
      processPendingMessages();
    }
  }
  return bodyText;
}

}  // namespace ql
