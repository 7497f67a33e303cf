#include "text/text.h"

#include <algorithm>

namespace ql {
namespace {

unsigned char foldAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

bool matchesAt(const Text& hay, std::size_t at, const Text& needle, bool ignoreCase) {
  if (at + needle.size() > hay.size()) return false;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    auto a = static_cast<unsigned char>(hay[at + i]);
    auto b = static_cast<unsigned char>(needle[i]);
    if (ignoreCase ? foldAscii(a) != foldAscii(b) : a != b) return false;
  }
  return true;
}

std::size_t charLength(const Text& t, std::size_t i) { return static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1; }

std::size_t firstBoundaryAtOrAfter(const Text& t, std::size_t pos) {
  std::size_t i = 0;
  while (i < pos && i < t.size()) i += charLength(t, i);
  return i;
}

bool isFullWidthBlankAt(const Text& t, std::size_t i) {
  return i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 && static_cast<unsigned char>(t[i + 1]) == 0xA1;
}

}  // namespace

int findText(const Text& haystack, const Text& needle, int start, bool ignoreCase) {
  const auto size = haystack.size();
  if (start > 0 && static_cast<std::size_t>(start) > size) return -1;
  // Walk from the text's start so that a start inside a character moves on
  // to the next character instead of matching on its trail byte.
  std::size_t i = firstBoundaryAtOrAfter(haystack, start < 0 ? 0 : static_cast<std::size_t>(start));
  if (needle.empty()) return i <= size ? static_cast<int>(i) : -1;
  for (; i + needle.size() <= size; i += charLength(haystack, i))
    if (matchesAt(haystack, i, needle, ignoreCase)) return static_cast<int>(i);
  return -1;
}

bool containsText(const Text& haystack, const Text& needle, bool ignoreCase) {
  return !needle.empty() && findText(haystack, needle, 0, ignoreCase) >= 0;
}

bool startsWith(const Text& text, const Text& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

bool equalsIgnoreCase(const Text& a, const Text& b) { return a.size() == b.size() && matchesAt(a, 0, b, true); }

std::vector<Text> splitText(const Text& text, const Text& separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) return {text};
  int from = 0;
  for (;;) {
    int at = findText(text, separator, from);
    if (at < 0) break;
    pieces.push_back(text.substr(from, at - from));
    from = at + static_cast<int>(separator.size());
  }
  if (static_cast<std::size_t>(from) < text.size()) pieces.push_back(text.substr(from));
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
  for (;;) {
    if (e > b && text[e - 1] == ' ') --e;
    // A1 A1 may also be the trail byte of one character and the lead of the
    // next: only a pair starting on a character boundary is a blank.
    else if (e >= b + 2 && isFullWidthBlankAt(text, e - 2) && firstBoundaryAtOrAfter(text, e - 2) == e - 2)
      e -= 2;
    else
      break;
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
  int pos = 0;
  for (;;) {
    int at = findText(text, from, pos, ignoreCase);
    if (at < 0) break;
    out.append(text, pos, at - pos);
    out += to;
    pos = at + static_cast<int>(from.size());
  }
  out.append(text, pos, Text::npos);
  return out;
}

std::int32_t textToInt(const Text& text) {
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
  for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(folded[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
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
