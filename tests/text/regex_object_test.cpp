#include <gtest/gtest.h>

#include <thread>

#include "common/system_api.h"
#include "text/regex_object.h"

using namespace ql;

namespace {

// The pattern the HTTP client uses to find a page's declared character set.
const Text kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";

// Executes with the defaults, or with the options a case names.
struct Options {
  bool caseSensitive = false;
  bool multiline = true;
  bool global = true;
};

bool run(RegexObject& regex, const Text& pattern, const Text& subject, const Options& o = Options()) {
  return regex.execute(pattern, subject, o.caseSensitive, o.multiline, o.global);
}

}  // namespace

TEST(RegexObject, BeforeAnyExecuteEverythingIsEmpty) {
  RegexObject regex;
  std::int32_t position = 7;
  EXPECT_EQ(regex.matchCount(), 0);
  EXPECT_EQ(regex.subMatchCount(), 0);
  EXPECT_EQ(regex.getPattern(), "");
  EXPECT_EQ(regex.replace("x"), "");
  EXPECT_EQ(regex.matchText(1, &position), "");
  EXPECT_EQ(position, -2);
  EXPECT_EQ(regex.subMatchText(1, 1), "");
}

TEST(RegexObject, OptionsDefaultToIgnoreCaseMultilineGlobal) {
  struct Case {
    const char* what;
    Text pattern, subject;
    Options options;
    bool defaultsGiven;  // true: call with every option left out
    std::int32_t count;
  } cases[] = {
      {"case ignored by default", "ABC", "xabcx", {}, true, 1},
      {"^ matches after a line break by default", "^b", "a\nb", {}, true, 1},
      {"every match by default", "a", "aaa", {}, true, 3},
      {"caseSensitive", "ABC", "xabcx", {true, true, true}, false, 0},
      {"caseSensitive, same case", "abc", "xabcx", {true, true, true}, false, 1},
      {"multiline off", "^b", "a\nb", {false, false, true}, false, 0},
      {"global off", "a", "aaa", {false, true, false}, false, 1},
  };
  for (const auto& c : cases) {
    RegexObject regex;
    bool ok = c.defaultsGiven ? regex.execute(c.pattern, c.subject) : run(regex, c.pattern, c.subject, c.options);
    EXPECT_TRUE(ok) << c.what;
    EXPECT_EQ(regex.matchCount(), c.count) << c.what;
    EXPECT_EQ(regex.getPattern(), c.pattern) << c.what;
  }
}

TEST(RegexObject, QuoteMarkerBecomesADoubleQuoteOnlyWhenAsked) {
  const Text pattern = "name=#引号(\\w+)#引号 时#引号";
  const Text subject = "<a name=\"top\" 时\">";

  RegexObject regex;
  ASSERT_TRUE(regex.execute(pattern, subject, false, true, true, true));
  EXPECT_EQ(regex.getPattern(), "name=\"(\\w+)\" 时\"");
  EXPECT_EQ(regex.matchCount(), 1);
  EXPECT_EQ(regex.subMatchText(1, 1), "top");

  ASSERT_TRUE(regex.execute(pattern, subject, false, true, true, false));
  EXPECT_EQ(regex.getPattern(), pattern);
  EXPECT_EQ(regex.matchCount(), 0);
}

TEST(RegexObject, FindsTheCharsetAPageDeclares) {
  struct Case {
    Text head;
    Text charset;  // empty: no match
  } cases[] = {
      {"<html><head><meta charset=utf-8><title>x</title>", "utf-8"},
      {"<html><head><meta charset=\"UTF-8\">", "UTF-8"},  // quote skipped, capitals kept
      {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=GBK\">", "GBK"},
      {"<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>", "gb2312"},
      {"<title>晴岚钟表</title>\n<meta name=\"x\">\n<meta charset='big5'>", "big5"},
      {"<meta charset=Shift_JIS>", "Shift_JIS"},
      {"{\"data\":{\"t\":\"1677000000999\"}}", ""},  // a channel's JSON answer
      {"<meta name=\"viewport\" content=\"width=device-width\">", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    RegexObject regex;
    EXPECT_TRUE(regex.execute(kCharsetPattern, c.head)) << c.head;
    EXPECT_EQ(regex.matchCount(), c.charset.empty() ? 0 : 1) << c.head;
    EXPECT_EQ(regex.subMatchText(1, 1), c.charset) << c.head;
    EXPECT_EQ(regex.subMatchCount(), c.charset.empty() ? 0 : 1) << c.head;
  }
}

TEST(RegexObject, InvalidPatternFailsAndLeavesTheObjectUsable) {
  RegexObject regex;
  ASSERT_TRUE(regex.execute("(a)(b)", "ab"));
  EXPECT_EQ(regex.matchCount(), 1);

  for (const Text& pattern : {Text("("), Text("a[b"), Text("*a")}) {
    EXPECT_FALSE(regex.execute(pattern, "ab")) << pattern;
    EXPECT_EQ(regex.matchCount(), 0) << pattern;  // the earlier collection is gone
    EXPECT_EQ(regex.subMatchCount(), 0) << pattern;
    EXPECT_EQ(regex.matchText(1), "") << pattern;
    EXPECT_EQ(regex.subMatchText(1, 1), "") << pattern;
  }

  EXPECT_TRUE(regex.execute("b", "abc"));
  EXPECT_EQ(regex.matchText(1), "b");
}

TEST(RegexObject, IndicesOutsideTheMatchesGiveEmptyText) {
  RegexObject regex;
  ASSERT_TRUE(regex.execute("(\\w)=(\\d+)", "a=1, b=22"));
  ASSERT_EQ(regex.matchCount(), 2);
  EXPECT_EQ(regex.subMatchCount(), 2);
  EXPECT_EQ(regex.matchText(2), "b=22");
  EXPECT_EQ(regex.subMatchText(2, 2), "22");

  struct Case {
    std::int32_t match, subMatch;  // subMatch 0: ask for the match itself
  } cases[] = {{3, 0}, {0, 0}, {-1, 0}, {1, 3}, {2, -1}, {3, 1}, {0, 1}};
  for (const auto& c : cases) {
    std::int32_t position = 7;
    Text text =
        c.subMatch == 0 ? regex.matchText(c.match, &position) : regex.subMatchText(c.match, c.subMatch, &position);
    EXPECT_EQ(text, "") << c.match << "/" << c.subMatch;
    EXPECT_EQ(position, -2) << c.match << "/" << c.subMatch;
  }
}

TEST(RegexObject, PositionsCountGbkBytes) {
  struct Case {
    const char* what;
    Text pattern, subject;
    Options options;
    std::int32_t match, subMatch;  // subMatch 0: the match itself
    Text text;
    std::int32_t position;
  } cases[] = {
      {"one-byte characters", "b", "abc", {}, 1, 0, "b", 1},
      {"after one two-byte character", "b", "时b", {}, 1, 0, "b", 2},
      {"after two two-byte characters", "b", "时间b", {}, 1, 0, "b", 4},
      {"after mixed characters", "b", "a时间xb", {}, 1, 0, "b", 6},
      {"a two-byte match", "间", "a时间", {}, 1, 0, "间", 3},
      {"second match", "\\d+", "时1间22", {}, 2, 0, "22", 5},
      {"sub-match searched from its match", "y=(\\d+)", "x=12;时y=34", {}, 1, 1, "34", 9},
      {"sub-match equal to text before it", "a(a)", "时aa", {}, 1, 1, "a", 2},
      // The search starts one unit before the component's index, so an equal
      // text just before the match is reported instead.
      {"equal text just before", "b", "bb", {}, 2, 0, "b", 0},
      // With case ignored the search ignores it too and can stop early.
      {"case folded search", "ab", "时间时间Ab ab", {}, 2, 0, "ab", 8},
      {"case kept search", "ab", "时间时间Ab ab", {true, true, true}, 1, 0, "ab", 11},
      {"empty sub-match", "(x?)b", "时b", {}, 1, 1, "", 0},
      {"empty match in an empty subject", "x*", "", {false, true, false}, 1, 0, "", -2},
      {"empty sub-match in an empty subject", "(x?)", "", {false, true, false}, 1, 1, "", -2},
  };
  for (const auto& c : cases) {
    RegexObject regex;
    ASSERT_TRUE(run(regex, c.pattern, c.subject, c.options)) << c.what;
    std::int32_t position = 7;
    Text text =
        c.subMatch == 0 ? regex.matchText(c.match, &position) : regex.subMatchText(c.match, c.subMatch, &position);
    EXPECT_EQ(text, c.text) << c.what;
    EXPECT_EQ(position, c.position) << c.what;
    // Leaving the position out gives the same text.
    EXPECT_EQ(c.subMatch == 0 ? regex.matchText(c.match) : regex.subMatchText(c.match, c.subMatch), c.text) << c.what;
  }
}

TEST(RegexObject, ReplaceUsesTheLastPatternAndOptions) {
  struct Case {
    Text pattern, subject;
    Options options;
    Text replacement, expected;
  } cases[] = {
      {"\\d+", "a1b22", {}, "#", "a#b#"},
      {"\\d+", "a1b22", {false, true, false}, "#", "a#b22"},
      {"\\d", "时间12", {}, "秒", "时间秒秒"},
      {"(\\w+)@(\\w+)", "me@host", {}, "$2 at $1", "host at me"},
      {"B", "abcb", {}, "x", "axcx"},
      {"B", "abcb", {true, true, true}, "x", "abcb"},
      {"z", "abc", {}, "x", "abc"},
  };
  for (const auto& c : cases) {
    RegexObject regex;
    ASSERT_TRUE(run(regex, c.pattern, c.subject, c.options)) << c.pattern;
    EXPECT_EQ(regex.replace(c.replacement), c.expected) << c.pattern << " in " << c.subject;
  }
}

TEST(RegexObject, EachExecuteReplacesTheLastOne) {
  RegexObject regex;
  ASSERT_TRUE(regex.execute("a", "aaa"));
  EXPECT_EQ(regex.matchCount(), 3);
  ASSERT_TRUE(regex.execute("(x)(y)(z)", "时xyz"));
  EXPECT_EQ(regex.getPattern(), "(x)(y)(z)");
  EXPECT_EQ(regex.matchCount(), 1);
  EXPECT_EQ(regex.subMatchCount(), 3);
  std::int32_t position = 0;
  EXPECT_EQ(regex.subMatchText(1, 3, &position), "z");
  EXPECT_EQ(position, 4);
  EXPECT_EQ(regex.replace("-"), "时-");
}

namespace {

decltype(&::CoInitialize) g_realInit;
decltype(&::CoUninitialize) g_realUninit;
int g_inits, g_uninits;

HRESULT WINAPI countInit(LPVOID reserved) {
  ++g_inits;
  return g_realInit(reserved);
}

void WINAPI countUninit() {
  ++g_uninits;
  g_realUninit();
}

// Counts the object's calls into COM initialisation; the real functions run.
class ComCallCounter {
 public:
  ComCallCounter() : init_(installInit(), countInit), uninit_(installUninit(), countUninit) { g_inits = g_uninits = 0; }

 private:
  static SystemFunction<decltype(&::CoInitialize)>& installInit() {
    g_realInit = systemApi().CoInitialize.get();
    return systemApi().CoInitialize;
  }
  static SystemFunction<decltype(&::CoUninitialize)>& installUninit() {
    g_realUninit = systemApi().CoUninitialize.get();
    return systemApi().CoUninitialize;
  }
  ScopedSystemFunction<decltype(&::CoInitialize)> init_;
  ScopedSystemFunction<decltype(&::CoUninitialize)> uninit_;
};

}  // namespace

TEST(RegexObject, ComInitialisationIsBalanced) {
  ComCallCounter counter;
  {
    RegexObject regex;
    EXPECT_EQ(g_inits, 1);
    EXPECT_TRUE(regex.execute("a", "a"));
    EXPECT_EQ(g_uninits, 0);
  }
  EXPECT_EQ(g_uninits, 1);

  // On a thread that already entered the multithreaded apartment CoInitialize
  // fails; uninitialising then would undo the thread owner's initialisation.
  std::thread([] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    { RegexObject regex; }
    CoUninitialize();
  }).join();
  EXPECT_EQ(g_inits, 2);
  EXPECT_EQ(g_uninits, 1);
}
