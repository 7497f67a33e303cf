// Turns a response that WinHTTP delivered into the outputs of httpRequest.
#pragma once

#include "text/regex_object.h"
#include "text/text.h"

namespace ql {

// The caller's variables that processResponse writes (a caller that did not
// ask for one passes a scratch variable).
struct ResponseTargets {
  Text& headersReturned;
  Text& statusText;
  Text& redirectLocation;
  Text& cookiesToSend;
  Text& cookiesReturned;
  Bytes& bodyBytes;
  bool mergeCookies;
};

// The pattern that finds the character set a page declares in a meta element:
// an optional quote after "charset=" is skipped, the name is the first group.
extern const char* const kCharsetPattern;

// `headerBlock` is the raw response header block in UTF-16 (status line
// first, CR LF between lines), `body` the body bytes as read. Writes the
// header text, the status text ("200 OK"), the last Location value, the
// cookie texts and a copy of the body; returns the body as text, re-decoded
// when its first 1024 bytes declare a character set. Lets pending window
// messages through after every header line and after the character-set step.
Text processResponse(const Bytes& headerBlock, const Bytes& body, RegexObject& charsetRegex,
                     const ResponseTargets& targets);

}  // namespace ql
