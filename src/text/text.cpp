#include "text/text.h"

#include <algorithm>
#include <utility>

namespace ql {
namespace {

unsigned char foldAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

bool isLeadByte(unsigned char c) { return c >= 0x80; }

std::size_t charLength(const Text& t, std::size_t i) { return isLeadByte(static_cast<unsigned char>(t[i])) ? 2 : 1; }

// The first character boundary at or after `pos` (possibly one past the end
// when the text ends in an unpaired lead byte). A byte below 0x80 always ends
// a character, so only the run of bytes of 0x80 or above just before `pos`
// needs reading: its bytes pair up from its start. The cost is that run, not
// the distance from the text's start.
std::size_t boundaryAtOrAfter(const Text& t, std::size_t pos) {
  if (pos >= t.size()) pos = t.size();
  std::size_t runStart = pos;
  while (runStart > 0 && isLeadByte(static_cast<unsigned char>(t[runStart - 1]))) --runStart;
  return (pos - runStart) % 2 == 0 ? pos : pos + 1;
}

bool isFullWidthBlankAt(const Text& t, std::size_t i) {
  return i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 && static_cast<unsigned char>(t[i + 1]) == 0xA1;
}

}  // namespace

TextSearch::TextSearch(const Text& text, Text needle, bool ignoreCase, int start)
    : text_(text), needle_(std::move(needle)), ignoreCase_(ignoreCase), fallback_(needle_.size(), 0) {
  // A start inside a character moves on to the next character instead of
  // matching on its trail byte.
  boundary_ = boundaryAtOrAfter(text_, start < 0 ? 0 : static_cast<std::size_t>(start));
  for (std::size_t i = 1, k = 0; i < needle_.size(); ++i) {
    while (k > 0 && byte(needle_, i) != byte(needle_, k)) k = fallback_[k - 1];
    if (byte(needle_, i) == byte(needle_, k)) ++k;
    fallback_[i] = k;
  }
}

unsigned char TextSearch::byte(const Text& t, std::size_t i) const {
  auto c = static_cast<unsigned char>(t[i]);
  return ignoreCase_ ? foldAscii(c) : c;
}

// Knuth-Morris-Pratt over the bytes, so that a long needle that almost matches
// everywhere costs no more than a short one, and a boundary cursor that only
// moves forward, so that telling whether an occurrence starts on a character
// boundary costs nothing extra either.
int TextSearch::next() {
  const std::size_t m = needle_.size();
  if (m == 0) return -1;
  std::size_t k = 0;
  for (std::size_t i = boundary_; i < text_.size(); ++i) {
    unsigned char c = byte(text_, i);
    while (k > 0 && c != byte(needle_, k)) k = fallback_[k - 1];
    if (c != byte(needle_, k)) continue;
    if (++k < m) continue;
    std::size_t at = i + 1 - m;
    while (boundary_ < at) boundary_ += charLength(text_, boundary_);
    if (boundary_ == at) {
      while (boundary_ < at + m) boundary_ += charLength(text_, boundary_);
      return static_cast<int>(at);
    }
    k = fallback_[k - 1];
  }
  boundary_ = text_.size();
  return -1;
}

int findText(const Text& haystack, const Text& needle, int start, bool ignoreCase) {
  const auto size = haystack.size();
  if (start > 0 && static_cast<std::size_t>(start) > size) return -1;
  if (needle.empty()) {
    std::size_t at = boundaryAtOrAfter(haystack, start < 0 ? 0 : static_cast<std::size_t>(start));
    return at <= size ? static_cast<int>(at) : -1;
  }
  return TextSearch(haystack, needle, ignoreCase, start).next();
}

bool containsText(const Text& haystack, const Text& needle, bool ignoreCase) {
  return !needle.empty() && findText(haystack, needle, 0, ignoreCase) >= 0;
}

bool startsWith(const Text& text, const Text& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

bool equalsIgnoreCase(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (foldAscii(static_cast<unsigned char>(a[i])) != foldAscii(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::vector<Text> splitText(const Text& text, const Text& separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) return {text};
  TextSearch search(text, separator);
  std::size_t from = 0;
  for (int at = search.next(); at >= 0; at = search.next()) {
    pieces.push_back(text.substr(from, static_cast<std::size_t>(at) - from));
    from = static_cast<std::size_t>(at) + separator.size();
  }
  if (from < text.size()) pieces.push_back(text.substr(from));
  return pieces;
}

Text joinText(const std::vector<Text>& pieces, const Text& separator) {
  Text out;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i) out += separator;
    out += pieces[i];
  }
  return out;
}

Text trimText(const Text& text) {
  std::size_t b = 0, e = text.size();
  for (;;) {
    if (b < e && text[b] == ' ')
      ++b;
    else if (b + 1 < e && isFullWidthBlankAt(text, b))
      b += 2;
    else
      break;
  }
  // A1 A1 may also be the trail byte of one character and the lead of the
  // next: only a pair starting on a character boundary is a blank. Bytes of
  // 0x80 or above pair up from the start of their run (b is a boundary), so
  // the run is found once for all the pairs removed from it.
  std::size_t runStart = e;
  for (;;) {
    if (e > b && text[e - 1] == ' ') {
      --e;
      runStart = e;
    } else if (e >= b + 2 && isFullWidthBlankAt(text, e - 2)) {
      if (runStart >= e) {
        runStart = e;
        while (runStart > b && isLeadByte(static_cast<unsigned char>(text[runStart - 1]))) --runStart;
      }
      if ((e - 2 - runStart) % 2 != 0) break;
      e -= 2;
    } else {
      break;
    }
  }
  return text.substr(b, e - b);
}

Text leftText(const Text& text, int count) {
  if (count <= 0) return Text();
  return text.substr(0, static_cast<std::size_t>(count));
}

Text rightText(const Text& text, int count) {
  if (count <= 0) return Text();
  auto n = std::min<std::size_t>(static_cast<std::size_t>(count), text.size());
  return text.substr(text.size() - n);
}

Text midText(const Text& text, int start, int count) {
  if (count <= 0 || start < 0 || static_cast<std::size_t>(start) >= text.size()) return Text();
  return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
}

Text replaceAll(const Text& text, const Text& from, const Text& to, bool ignoreCase) {
  if (from.empty()) return text;
  Text out;
  TextSearch search(text, from, ignoreCase);
  std::size_t pos = 0;
  for (int at = search.next(); at >= 0; at = search.next()) {
    out.append(text, pos, static_cast<std::size_t>(at) - pos);
    out += to;
    pos = static_cast<std::size_t>(at) + from.size();
  }
  out.append(text, pos, Text::npos);
  return out;
}

bool parseTextInt(const Text& text, std::int32_t* result) {
  Text folded;
  folded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80 && i + 1 < text.size()) {
      auto d = static_cast<unsigned char>(text[i + 1]);
      if (c == 0xA3 && d >= 0xA1 && d <= 0xFE)
        folded += static_cast<char>(d & 0x7F);
      else if (c == 0xA1 && d == 0xA1)
        folded += ' ';
      else {
        folded += static_cast<char>(c);
        folded += static_cast<char>(d);
      }
      ++i;
    } else {
      folded += static_cast<char>(c);
    }
  }
  std::size_t i = 0;
  while (i < folded.size() && (folded[i] == ' ' || (folded[i] >= '\t' && folded[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < folded.size() && (folded[i] == '+' || folded[i] == '-')) negative = folded[i++] == '-';
  std::uint32_t value = 0;
  const std::size_t firstDigit = i;
  for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(folded[i] - '0');
  if (negative) value = 0u - value;
  if (result) *result = static_cast<std::int32_t>(value);
  return i > firstDigit;
}

std::int32_t textToInt(const Text& text) {
  std::int32_t value = 0;
  parseTextInt(text, &value);
  return value;
}

std::int32_t truncateToInt32(double value) {
  if (!(value > -9.2e18 && value < 9.2e18)) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(value)));
}

Text bytesToText(const Bytes& bytes) {
  std::size_t n = 0;
  while (n < bytes.size() && bytes[n] != 0) ++n;
  return Text(reinterpret_cast<const char*>(bytes.data()), n);
}

Bytes textToBytes(const Text& text) { return Bytes(text.begin(), text.end()); }

}  // namespace ql
