#include <gtest/gtest.h>

#include "http/cookies.h"

using namespace ql;

TEST(Cookies, ResponseLinesBecomeTheReturnedCookies) {
  struct Case {
    const char* what;
    Text before;  // what the caller's text held before the response
    std::vector<Text> lines;
    Text expected;  // after the last line has been tidied
  } cases[] = {
      {"attributes dropped, no final separator", "", {"Set-Cookie: a=1; path=/", "Set-Cookie: b=2"}, "a=1; b=2"},
      {"lower-case name ignored", "", {"set-cookie: c=3"}, ""},
      {"no blank after the colon ignored", "", {"Set-Cookie:a=1"}, ""},
      {"other lines ignored", "", {"HTTP/1.1 200 OK", "Content-Type: text/html", "Set-Cookie: a=1", ""}, "a=1"},
      {"entry trimmed", "", {"Set-Cookie:   a=1  "}, "a=1"},
      {"entry before the first semicolon", "", {"Set-Cookie: sid=时间 ; HttpOnly; Secure"}, "sid=时间"},
      {"the marker removed anywhere without a semicolon", "", {"Set-Cookie: a=SET-COOKIE:1"}, "a=1"},
      {"deleted cookies are still collected", "", {"Set-Cookie: d=deleted; expires=Thu, 01 Jan 1970"}, "d=deleted"},
      {"earlier text continued as a separate entry", "x=1", {"Set-Cookie: a=1"}, "x=1; a=1"},
      {"earlier text ending with the separator", "x=1; ", {"Set-Cookie: a=1", "Set-Cookie: b=2"}, "x=1; a=1; b=2"},
      {"earlier text ending with a bare semicolon", "x=1;", {"Set-Cookie: a=1"}, "x=1; a=1"},
      {"earlier text without any response cookie", "x=1", {"Content-Length: 0"}, "x=1"},
  };
  for (const auto& c : cases) {
    Text returned = c.before;
    Text toSend;
    for (const Text& line : c.lines) collectSetCookie(line, returned);
    finishCookieTexts(toSend, returned, true);
    EXPECT_EQ(returned, c.expected) << c.what;
    EXPECT_EQ(toSend, "") << c.what;
  }
}

TEST(Cookies, EachCollectedEntryEndsWithTheSeparator) {
  Text returned;
  collectSetCookie("Set-Cookie: a=1; path=/", returned);
  EXPECT_EQ(returned, "a=1; ");
  collectSetCookie("Set-Cookie: b=2", returned);
  EXPECT_EQ(returned, "a=1; b=2; ");
}

TEST(Cookies, FinishingMergesIntoBothTexts) {
  struct Case {
    const char* what;
    Text toSend, returned;
    bool merge;
    Text expectedToSend, expectedReturned;
  } cases[] = {
      {"received replaces sent, deleted dropped", "a=1; c=3", "a=9; d=deleted; ", true, "a=9; c=3", "a=9; c=3"},
      {"a deleted cookie removes the sent one", "d=5", "d=deleted; ", true, "", ""},
      {"trailing semicolon without blank", "a=1;", "", true, "a=1", "a=1"},
      {"exact repeats removed", "y=2", "x=1; x=1; ", true, "x=1; y=2", "x=1; y=2"},
      {"nothing sent, nothing merged", "", "a=1; ", true, "", "a=1"},
      {"merging off", "a=1", "b=2; ", false, "a=1", "b=2"},
      {"first of several sent with one name survives", "a=1; a=2; b=3", "", true, "a=1; b=3", "a=1; b=3"},
  };
  for (const auto& c : cases) {
    Text toSend = c.toSend, returned = c.returned;
    finishCookieTexts(toSend, returned, c.merge);
    EXPECT_EQ(toSend, c.expectedToSend) << c.what;
    EXPECT_EQ(returned, c.expectedReturned) << c.what;
  }
}

TEST(Cookies, MergeReturnsAndStoresTheResult) {
  struct Case {
    Text sent, received, expected;
  } cases[] = {
      {"a=1", "b=2", "b=2; a=1"},
      {"  a=1; b=2  ", "", "a=1; b=2"},
      {"a =1", "a=2", "a=2"},  // names are trimmed
      {"b=3", "b", "b"},       // an entry without "=" is its own name
      {"A=1", "a=2", "a=2; A=1"},
      {"d=1", "d=Deleted; e=x=deleted", "d=Deleted"},  // "=deleted" exactly, at the end
      {"", "", ""},
      {"a=1; ; b=2", "", "a=1; ; b=2"},
      {"a=1; ", "b=2;", "b=2; a=1"},
  };
  for (const auto& c : cases) {
    Text sent = c.sent;
    EXPECT_EQ(mergeCookieText(sent, c.received), c.expected) << c.sent << " + " << c.received;
    EXPECT_EQ(sent, c.expected) << c.sent << " + " << c.received;
  }
}

TEST(Cookies, CookieNames) {
  struct Case {
    Text entry, name;
  } cases[] = {{"a=1", "a"},   {" a =1", "a"}, {"a", "a"},      {" b ", "b"}, {"=1", ""},
               {"a=b=c", "a"}, {"　a=1", "a"}, {"名=值", "名"}, {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(cookieName(c.entry), c.name) << c.entry;

  const std::vector<Text> entries = {"a=1", " b =2", "c"};
  struct Lookup {
    Text name;
    bool found;
  } lookups[] = {{"a", true}, {"b", true}, {"c", true}, {"B", false}, {"d", false}, {"a=1", false}};
  for (const auto& l : lookups) EXPECT_EQ(containsCookieNamed(entries, l.name), l.found) << l.name;
  EXPECT_FALSE(containsCookieNamed({}, "a"));
}

TEST(Cookies, RemoveDuplicateItems) {
  struct Case {
    Text text, expected;
  } cases[] = {
      {"a; b; a; c; b", "a; b; c"}, {"", ""},   {"a; ; ; b", "a; ; b"}, {"a; b; ", "a; b"},
      {"a=1; A=1", "a=1; A=1"},     {"x", "x"},
  };
  for (const auto& c : cases) EXPECT_EQ(removeDuplicateItems(c.text, "; "), c.expected) << c.text;
}

TEST(Cookies, TextBeforeFirstAndBetween) {
  struct Before {
    Text text, separator, expected;
  } befores[] = {{"Set-Cookie: a", ": ", "Set-Cookie"},
                 {"abc", ": ", ""},
                 {"a: b: c", ": ", "a"},
                 {": x", ": ", ""},
                 {"时: 1", ": ", "时"}};
  for (const auto& c : befores) EXPECT_EQ(textBeforeFirst(c.text, c.separator), c.expected) << c.text;

  struct Between {
    Text text, start, end, expected;
  } betweens[] = {
      {"Set-Cookie: a=1; path=/", "Set-Cookie:", ";", " a=1"},
      {"a=1; path=/", "Set-Cookie:", ";", ""},
      {"Set-Cookie: a=1", "Set-Cookie:", ";", ""},
      {"a;b;c", ";", ";", "b"},  // the end is searched after the start marker
      {"x;y", "x", ";", ""},
      {"[时间]", "[", "]", "时间"},
      {"a]b[c", "[", "]", ""},
  };
  for (const auto& c : betweens) EXPECT_EQ(textBetween(c.text, c.start, c.end), c.expected) << c.text;
}
