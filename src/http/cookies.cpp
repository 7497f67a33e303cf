#include "http/cookies.h"

#include <algorithm>

namespace ql {
namespace {

const Text kSeparator = "; ";

bool endsWith(const Text& text, const Text& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isDeletedCookie(const Text& entry) { return rightText(entry, 8) == "=deleted"; }

// Trimmed, and a final ";" completed to the separator so that splitting sees it.
Text tidyCookieList(const Text& cookies) {
  Text out = trimText(cookies);
  if (!out.empty() && out.back() == ';') out += ' ';
  return out;
}

}  // namespace

void collectSetCookie(const Text& line, Text& cookiesReturned) {
  if (textBeforeFirst(line, ": ") != "Set-Cookie") return;
  // Only name=value is kept; path, domain, expiry and the like are dropped.
  Text entry =
      containsText(line, ";") ? textBetween(line, "Set-Cookie:", ";") : replaceAll(line, "Set-Cookie:", "", true);
  // The caller's earlier cookies are continued: keep them a separate entry.
  if (!cookiesReturned.empty() && !endsWith(cookiesReturned, kSeparator))
    cookiesReturned += endsWith(cookiesReturned, ";") ? " " : kSeparator;
  cookiesReturned += trimText(entry) + kSeparator;
}

void finishCookieTexts(Text& cookiesToSend, Text& cookiesReturned, bool mergeCookies) {
  if (endsWith(cookiesReturned, kSeparator)) cookiesReturned.resize(cookiesReturned.size() - kSeparator.size());
  if (mergeCookies && !cookiesToSend.empty()) {
    Text merged = mergeCookieText(cookiesToSend, cookiesReturned);
    cookiesReturned = merged;
  }
}

Text mergeCookieText(Text& sent, const Text& received) {
  std::vector<Text> sentEntries = splitText(tidyCookieList(sent), kSeparator);
  // What the server sent wins over what we sent under the same name.
  std::vector<Text> merged = splitText(tidyCookieList(received), kSeparator);
  for (const Text& entry : sentEntries)
    if (!containsCookieNamed(merged, cookieName(entry))) merged.push_back(entry);

  Text result;
  for (const Text& entry : merged)
    if (!isDeletedCookie(entry)) result += entry + kSeparator;
  if (!result.empty()) result.resize(result.size() - kSeparator.size());
  result = removeDuplicateItems(result, kSeparator);
  sent = result;
  return result;
}

Text cookieName(const Text& entry) {
  int equals = findText(entry, "=");
  return trimText(equals < 0 ? entry : leftText(entry, equals));
}

bool containsCookieNamed(const std::vector<Text>& entries, const Text& name) {
  for (const Text& entry : entries)
    if (cookieName(entry) == name) return true;
  return false;
}

Text removeDuplicateItems(const Text& text, const Text& separator) {
  std::vector<Text> kept;
  for (const Text& piece : splitText(text, separator)) {
    if (std::find(kept.begin(), kept.end(), piece) == kept.end()) kept.push_back(piece);
  }
  return joinText(kept, separator);
}

Text textBeforeFirst(const Text& text, const Text& separator) {
  int at = findText(text, separator);
  return at < 0 ? Text() : leftText(text, at);
}

Text textBetween(const Text& text, const Text& startMarker, const Text& endMarker) {
  int start = findText(text, startMarker);
  if (start < 0) return Text();
  int from = start + static_cast<int>(startMarker.size());
  int end = findText(text, endMarker, from);
  return end < 0 ? Text() : text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(end - from));
}

}  // namespace ql
