#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

#include "text/text.h"

using namespace ql;

TEST(TextToInt, ReadsEveryNumberByOneRule) {
  struct Case {
    const char* text;
    std::int32_t expected;
    bool hasDigits;
  } cases[] = {
      {"", 0, false},
      {"abc", 0, false},
      {"123", 123, true},
      {"  \t\r\n42", 42, true},
      {"+17", 17, true},
      {"-250", -250, true},
      {"12ab34", 12, true},
      {"-", 0, false},
      {"+-3", 0, false},
      {"１２３", 123, true},  // full-width digits
      {"－５", -5, true},     // full-width sign and digit
      {"　　88", 88, true},   // ideographic spaces first
      {"　＋９x", 9, true},   // ideographic space, full-width sign and digit
      {"1０0", 100, true},    // mixed widths
      {"2147483647", 2147483647, true},
      {"2147483648", -2147483647 - 1, true},  // wraps modulo 2^32
      {"4294967295", -1, true},
      {"4294967296", 0, true},
      {"1677000000999", static_cast<std::int32_t>(1677000000999LL & 0xFFFFFFFF), true},
      {"-1677000000999", static_cast<std::int32_t>(static_cast<std::uint32_t>(-1677000000999LL)), true},
      {"时5", 0, false},  // a Chinese character before the digits
  };
  for (const auto& c : cases) {
    EXPECT_EQ(textToInt(c.text), c.expected) << "text: " << c.text;
    std::int32_t value = 12345;
    EXPECT_EQ(parseTextInt(c.text, &value), c.hasDigits) << "text: " << c.text;
    EXPECT_EQ(value, c.expected) << "text: " << c.text;
  }
}

TEST(Text, SearchNeverStartsInsideATwoByteCharacter) {
  // 丁 is B6 A1 in GBK: its trail byte equals the lead of 。 (A1 A3).
  const Text text = "\xB6\xA1\xA1\xA3x";  // 丁。x
  EXPECT_EQ(findText(text, "\xA1\xA1"), -1);
  EXPECT_EQ(findText(text, "\xA1\xA3"), 2);
  EXPECT_EQ(findText(text, "x"), 4);
  // 时间 = CA B1 BC E4; "\xB1\xBC" straddles the two characters.
  const Text shijian = "\xCA\xB1\xBC\xE4";
  EXPECT_EQ(findText(shijian, "\xB1\xBC"), -1);
  EXPECT_EQ(findText(shijian, "\xBC\xE4"), 2);
  // A start inside a character moves on to the next character.
  EXPECT_EQ(findText(shijian, "\xBC\xE4", 1), 2);
  EXPECT_EQ(findText("abcabc", "c", 3), 5);
  EXPECT_EQ(findText("abc", "", 3), 3);
  EXPECT_EQ(findText("abc", "", 4), -1);
}

namespace {

// The text rules read the plain way: characters taken one after another from
// the text's start, every candidate compared in full. Slow, and plainly right.
std::vector<std::size_t> boundariesOf(const Text& t) {
  std::vector<std::size_t> b;
  for (std::size_t i = 0; i < t.size(); i += static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1) b.push_back(i);
  return b;
}

bool sameAt(const Text& t, std::size_t at, const Text& needle, bool ignoreCase) {
  if (at + needle.size() > t.size()) return false;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    char a = t[at + i], b = needle[i];
    if (ignoreCase) {
      if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
      if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    }
    if (a != b) return false;
  }
  return true;
}

int plainFind(const Text& t, const Text& needle, std::size_t start, bool ignoreCase) {
  for (std::size_t b : boundariesOf(t))
    if (b >= start && sameAt(t, b, needle, ignoreCase)) return static_cast<int>(b);
  return -1;
}

std::vector<Text> plainSplit(const Text& t, const Text& sep) {
  std::vector<Text> pieces;
  std::size_t from = 0;
  for (int at = plainFind(t, sep, 0, false); at >= 0; at = plainFind(t, sep, from, false)) {
    pieces.push_back(t.substr(from, static_cast<std::size_t>(at) - from));
    from = static_cast<std::size_t>(at) + sep.size();
  }
  if (from < t.size()) pieces.push_back(t.substr(from));
  return pieces;
}

Text plainReplace(const Text& t, const Text& from, const Text& to, bool ignoreCase) {
  Text out;
  std::size_t pos = 0;
  for (int at = plainFind(t, from, 0, ignoreCase); at >= 0; at = plainFind(t, from, pos, ignoreCase)) {
    out += t.substr(pos, static_cast<std::size_t>(at) - pos) + to;
    pos = static_cast<std::size_t>(at) + from.size();
  }
  return out + t.substr(pos);
}

Text plainTrim(const Text& t) {
  std::vector<std::size_t> b = boundariesOf(t);
  std::size_t begin = 0, end = t.size();
  for (std::size_t i : b) {
    if (i != begin) continue;
    if (t[i] == ' ')
      begin = i + 1;
    else if (sameAt(t, i, "\xA1\xA1", false))
      begin = i + 2;
  }
  for (;;) {
    bool pairOnBoundary = false;
    for (std::size_t i : b) pairOnBoundary |= end >= begin + 2 && i == end - 2;
    if (end > begin && t[end - 1] == ' ')
      --end;
    else if (pairOnBoundary && sameAt(t, end - 2, "\xA1\xA1", false))
      end -= 2;
    else
      break;
  }
  return t.substr(begin, end - begin);
}

// Random texts over a few bytes that make trouble together: A1 is a lead byte
// and a trail byte, 0x41 and 0x61 are letters and trail bytes, 0x81 only leads.
Text troubleText(std::mt19937& random, std::size_t maxLength) {
  static const char bytes[] = {'a', 'A', ' ', '\xA1', '\xA1', '\x81', '\xB6'};
  Text t(random() % (maxLength + 1), ' ');
  for (char& c : t) c = bytes[random() % sizeof bytes];
  return t;
}

}  // namespace

TEST(Text, SearchesAgreeWithACharacterByCharacterReading) {
  std::mt19937 random(20200720);
  for (int round = 0; round < 20000; ++round) {
    const Text text = troubleText(random, 24);
    Text needle = troubleText(random, 4);
    if (needle.empty()) needle = "\xA1";
    const bool ignoreCase = round % 2 == 1;
    const std::size_t start = random() % (text.size() + 2);
    const int expected = start > text.size() ? -1 : plainFind(text, needle, start, ignoreCase);
    ASSERT_EQ(findText(text, needle, static_cast<int>(start), ignoreCase), expected)
        << "text " << ::testing::PrintToString(text) << " needle " << ::testing::PrintToString(needle) << " from "
        << start;
    ASSERT_EQ(splitText(text, needle), text.empty() ? std::vector<Text>{} : plainSplit(text, needle))
        << ::testing::PrintToString(text) << " at " << ::testing::PrintToString(needle);
    ASSERT_EQ(replaceAll(text, needle, "<>", ignoreCase), plainReplace(text, needle, "<>", ignoreCase))
        << ::testing::PrintToString(text) << " / " << ::testing::PrintToString(needle);
    ASSERT_EQ(trimText(text), plainTrim(text)) << ::testing::PrintToString(text);
    std::vector<int> all, plainAll;
    TextSearch search(text, needle, ignoreCase, static_cast<int>(start));
    for (int at = search.next(); at >= 0; at = search.next()) all.push_back(at);
    for (int at = start > text.size() ? -1 : plainFind(text, needle, start, ignoreCase); at >= 0;
         at = plainFind(text, needle, static_cast<std::size_t>(at) + needle.size(), ignoreCase))
      plainAll.push_back(at);
    ASSERT_EQ(all, plainAll) << ::testing::PrintToString(text) << " / " << ::testing::PrintToString(needle);
  }
}

TEST(Text, IgnoringCaseFoldsAsciiLettersOnly) {
  EXPECT_EQ(findText("Set-COOKIE: a", "cookie:", 0, true), 4);
  EXPECT_EQ(findText("Set-COOKIE: a", "cookie:", 0, false), -1);
  // Full-width Ａ (A3 C1) and ａ (A3 E1) are different characters, case or not.
  EXPECT_EQ(findText("\xA3\xC1", "\xA3\xE1", 0, true), -1);
  EXPECT_TRUE(equalsIgnoreCase("LOCATION: ", "Location: "));
  EXPECT_FALSE(equalsIgnoreCase("Location:", "Location: "));
}

TEST(Text, SplitKeepsInnerEmptyPiecesButNoFinalOne) {
  using V = std::vector<Text>;
  EXPECT_EQ(splitText("", "; "), V{});
  EXPECT_EQ(splitText("a", "; "), V{"a"});
  EXPECT_EQ(splitText("a; b", "; "), (V{"a", "b"}));
  EXPECT_EQ(splitText("a; ; b", "; "), (V{"a", "", "b"}));
  EXPECT_EQ(splitText("a; b; ", "; "), (V{"a", "b"}));
  EXPECT_EQ(splitText("; a", "; "), (V{"", "a"}));
  EXPECT_EQ(splitText("\r\n\r\n", "\r\n"), (V{"", ""}));
  // A separator made of a trail byte and a lead byte is not seen across characters.
  EXPECT_EQ(splitText("\xB6\xA1\xA1\xA3x", "\xA1\xA1"), V{"\xB6\xA1\xA1\xA3x"});
  EXPECT_EQ(splitText("\xB6\xA1\xA1\xA3x", "\xA1\xA3"), (V{"\xB6\xA1", "x"}));
  // Two-byte separator between two-byte characters.
  const Text sep = "[2020\xC4\xEA]";  // [2020年]
  EXPECT_EQ(splitText("\xCA\xB1" + sep + "\xBC\xE4", sep), (V{"\xCA\xB1", "\xBC\xE4"}));
  EXPECT_EQ(joinText({"a", "", "b"}, "; "), "a; ; b");
}

TEST(Text, TrimRemovesBlanksAndFullWidthBlanks) {
  EXPECT_EQ(trimText("  a b  "), "a b");
  EXPECT_EQ(trimText("\xA1\xA1 x \xA1\xA1\xA1\xA1"), "x");
  EXPECT_EQ(trimText("\t x"), "\t x");  // only blanks, not other white space
  EXPECT_EQ(trimText("   "), "");
  // B6 A1 (丁) followed by A1 at the end: the A1 A1 there is not a blank.
  EXPECT_EQ(trimText("\xB6\xA1\xA1"), "\xB6\xA1\xA1");
}

TEST(Text, LeftRightMidClampTheirCounts) {
  EXPECT_EQ(leftText("abc", 2), "ab");
  EXPECT_EQ(leftText("abc", 9), "abc");
  EXPECT_EQ(leftText("abc", 0), "");
  EXPECT_EQ(leftText("abc", -1), "");
  EXPECT_EQ(rightText("abc", 2), "bc");
  EXPECT_EQ(rightText("abc", 9), "abc");
  EXPECT_EQ(rightText("abc", -3), "");
  EXPECT_EQ(midText("abcdef", 2, 3), "cde");
  EXPECT_EQ(midText("abcdef", 4, 10), "ef");
  EXPECT_EQ(midText("abcdef", 6, 1), "");
  EXPECT_EQ(midText("abcdef", 1, 0), "");
}

TEST(Text, ReplaceAllAndBytes) {
  EXPECT_EQ(replaceAll("a\\b\\", "\\", "\\\\"), "a\\\\b\\\\");
  EXPECT_EQ(replaceAll("x#\xD2\xFD\xBA\xC5y", "#\xD2\xFD\xBA\xC5", "\""), "x\"y");  // #引号
  EXPECT_EQ(replaceAll("Set-Cookie: a SET-COOKIE:b", "set-cookie:", "", true), " a b");
  Bytes bytes = {'a', 'b', 0, 'c'};
  EXPECT_EQ(bytesToText(bytes), "ab");
  EXPECT_EQ(bytesToText(Bytes()), "");
  EXPECT_EQ(textToBytes("ab"), (Bytes{'a', 'b'}));
}

TEST(Text, NumbersFromScriptsTruncateAndWrapTo32Bits) {
  struct Case {
    double value;
    std::int32_t expected;
  } cases[] = {
      {0.0, 0},
      {2.9, 2},
      {-2.9, -2},
      {2147483647.0, 2147483647},
      {2147483648.0, -2147483647 - 1},  // wraps like the stored offset does
      {4294967295.0, -1},
      {-2146828279.0, -2146828279},
      {1e300, 0},
      {-1e300, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(truncateToInt32(c.value), c.expected) << c.value;
  EXPECT_EQ(truncateToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}
