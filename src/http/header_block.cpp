#include "http/header_block.h"

namespace ql {
namespace {

const Text kCrLf = "\r\n";

struct DefaultHeader {
  const char* key;  // looked up anywhere in the block, ASCII case ignored
  const char* line;
  bool postOnly;
};

// Tried in this order. Keys end with a blank, so a caller's "User-Agent:x"
// does not count; the Content-Type key has none, so "Content-Type:x" does.
const DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ", "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n", false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*\r\n", false},
    // The client never decompresses, so it asks for the body as it is.
    {"Accept-Encoding: ", "Accept-Encoding: identity\r\n", false},
    {"Accept-Language: ", "Accept-Language: zh-cn\r\n", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded\r\n", true},
    {"Cache-Control: ", "Cache-Control: no-cache\r\n", false},
};

constexpr std::int32_t kMethodPost = 1;

}  // namespace

Text buildHeaderBlock(const Text& extraHeaders, std::int32_t method, const Text& cookiesToSend, bool completeHeaders,
                      bool normalizeHeaderNames) {
  Text block = extraHeaders.empty() ? Text() : extraHeaders + kCrLf;

  if (completeHeaders) {
    for (const auto& header : kDefaultHeaders) {
      if (header.postOnly && method != kMethodPost) continue;
      if (!containsText(block, header.key, true)) block += header.line;
    }
  }

  if (normalizeHeaderNames) block = capitalizeHeaderNames(block);

  // WinHTTP keeps connections alive anyway; the line would only repeat that.
  if (containsText(block, "Connection") && headerValue(block, "Connection") == "keep-alive")
    block = replaceAll(block, "Connection: keep-alive\r\n", "");

  if (!cookiesToSend.empty() && !containsText(block, "Cookie:", true)) {
    // The caller may hand over bare cookies or a whole Cookie line.
    if (containsText(cookiesToSend, "Cookie:", true))
      block += kCrLf + cookiesToSend + kCrLf;
    else
      block += "\r\nCookie: " + cookiesToSend + kCrLf;
  }
  return block;
}

Text capitalizeHeaderNames(const Text& block) {
  Text out;
  for (const Text& line : splitText(block, kCrLf)) {
    int colon = findText(line, ":");
    if (colon < 0) continue;
    Text name = leftText(line, colon);
    if (containsText(name, "-")) {
      std::vector<Text> words = splitText(name, "-");
      for (Text& word : words) word = capitalizeFirst(word);
      name = joinText(words, "-");
    } else {
      name = capitalizeFirst(name);
    }
    out += name + line.substr(static_cast<std::size_t>(colon)) + kCrLf;
  }
  if (!out.empty()) out.resize(out.size() - kCrLf.size());
  return out;
}

Text capitalizeFirst(const Text& text) {
  Text out = text;
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

Text headerValue(const Text& block, const Text& name) {
  for (const Text& line : splitText(block, kCrLf))
    if (startsWith(line, name)) return textAfterLast(line, name + ": ");
  return Text();
}

Text textAfterLast(const Text& text, const Text& separator) {
  if (separator.empty()) return Text();
  int last = -1;
  for (int at = findText(text, separator); at >= 0; at = findText(text, separator, at + 1)) last = at;
  if (last < 0) return Text();
  return text.substr(static_cast<std::size_t>(last) + separator.size());
}

}  // namespace ql
