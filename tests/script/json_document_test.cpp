#include "script/json_document.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "common/automation.h"
#include "common/system_api.h"

namespace ql {
namespace {

class JsonDocumentTest : public ::testing::Test {
 protected:
  // Evaluates script in the document's engine, for looking at what the
  // document's operations left there.
  static bool engineBool(const JsonDocument& d, const Text& expression) {
    return d.engineObject().getBool("Eval", {Variant(expression)});
  }
  static Text engineText(const JsonDocument& d, const Text& expression) {
    return d.engineObject().getText("Eval", {Variant(expression)});
  }

  ComInit com_;
};

TEST_F(JsonDocumentTest, ParseResultFollowsTheRoot) {
  struct Case {
    Text text;
    bool loaded;
    Text json;
  };
  const Case cases[] = {
      {"", false, "null"},
      {"null", false, "null"},
      {"0", true, "0"},
      {"[]", true, "[]"},
      {"{}", true, "{}"},
      {"false", true, "false"},
      {" [1, {\"a\" : \"b\"}] ", true, "[1,{\"a\":\"b\"}]"},
      // A string literal is evaluated once: it stays a string, even when it
      // names a function of the library.
      {"\"get__count\"", true, "\"get__count\""},
  };
  for (bool direct : {false, true}) {
    for (const Case& c : cases) {
      JsonDocument d;
      ScriptError error;
      EXPECT_EQ(d.parse(c.text, direct, &error, true), c.loaded) << c.text << " direct " << direct;
      EXPECT_EQ(d.toJson(), c.json) << c.text << " direct " << direct;
      EXPECT_EQ(error.number != 0, c.text.empty()) << c.text;  // only the empty text is refused
    }
  }
}

TEST_F(JsonDocumentTest, ToJsonAfterConstructionClearAndFailedParse) {
  JsonDocument d;
  EXPECT_EQ(d.toJson(), "{}");
  ASSERT_TRUE(d.parse("{\"a\":[1,2]}"));
  EXPECT_EQ(d.toJson(), "{\"a\":[1,2]}");
  EXPECT_TRUE(d.clear());
  EXPECT_EQ(d.toJson(), "{}");
  ASSERT_TRUE(d.parse("{\"a\":1}"));
  EXPECT_FALSE(d.parse("{\"a\":"));
  EXPECT_EQ(d.toJson(), "null");
  EXPECT_EQ(d.getText("a", false), "");
}

TEST_F(JsonDocumentTest, ParseReportsTheEngineErrorWhenAsked) {
  JsonDocument d;
  ScriptError error;
  error.description = "stale";
  EXPECT_FALSE(d.parse("{\"a\":1} x", false, &error, true));
  EXPECT_NE(error.number, 0);
  EXPECT_EQ(error.description, "JSON.parse");
  ScriptError untouched;
  untouched.description = "kept";
  EXPECT_FALSE(d.parse("{\"a\":1} x", false, &untouched, false));
  EXPECT_EQ(untouched.description, "kept");
  EXPECT_FALSE(d.parse("{\"a\":1} x"));  // no record at all
}

TEST_F(JsonDocumentTest, ChineseTextRoundTrips) {
  JsonDocument d;
  Text json = "{\"\xC3\xFB\xB3\xC6\":\"\xC7\xE7\xE1\xB0\xD6\xD3\xB1\xED\"}";  // {"名称":"晴岚钟表"}
  ASSERT_TRUE(d.parse(json));
  EXPECT_EQ(d.toJson(), json);
  EXPECT_EQ(d.getText("\xC3\xFB\xB3\xC6", false), "\xC7\xE7\xE1\xB0\xD6\xD3\xB1\xED");
  ASSERT_TRUE(d.parse("\"\\u6674\\u5c9a\""));
  EXPECT_EQ(d.getText("", false), "\xC7\xE7\xE1\xB0");
}

// Which characters JSON.stringify escapes, and how, over the whole basic plane.
TEST_F(JsonDocumentTest, StringifyEscapesExactlyTheListedCharacters) {
  struct Range {
    unsigned first, last;
  };
  const Range escaped[] = {{0x00, 0x1F},     {0x22, 0x22},     {0x5C, 0x5C},     {0x7F, 0x9F},     {0xAD, 0xAD},
                           {0x600, 0x604},   {0x70F, 0x70F},   {0x17B4, 0x17B5}, {0x200C, 0x200F}, {0x2028, 0x202F},
                           {0x2060, 0x206F}, {0xFEFF, 0xFEFF}, {0xFFF0, 0xFFFF}};
  Text expected;
  for (const Range& r : escaped)
    for (unsigned c = r.first; c <= r.last; ++c) {
      char form[16];
      switch (c) {
        case '\b':
          std::snprintf(form, sizeof form, "\\b");
          break;
        case '\t':
          std::snprintf(form, sizeof form, "\\t");
          break;
        case '\n':
          std::snprintf(form, sizeof form, "\\n");
          break;
        case '\f':
          std::snprintf(form, sizeof form, "\\f");
          break;
        case '\r':
          std::snprintf(form, sizeof form, "\\r");
          break;
        case '"':
          std::snprintf(form, sizeof form, "\\\"");
          break;
        case '\\':
          std::snprintf(form, sizeof form, "\\\\");
          break;
        default:
          std::snprintf(form, sizeof form, "\\u%04x", c);
      }
      char line[32];
      std::snprintf(line, sizeof line, "%x=\"%s\";", c, form);
      expected += line;
    }
  JsonDocument d;
  // Every character whose JSON form is not itself between quotation marks.
  Text actual = engineText(d,
                           "(function () { var out = '', c, s; for (c = 0; c < 65536; c++) {"
                           " s = JSON.stringify(String.fromCharCode(c));"
                           " if (s != '\"' + String.fromCharCode(c) + '\"') out += c.toString(16) + '=' + s + ';' }"
                           " return out })()");
  EXPECT_EQ(actual, expected);
  // Chinese passes unescaped all the way out.
  ASSERT_TRUE(d.setValue("t", "\xC7\xE7\xE1\xB0\xD6\xD3\xB1\xED", false));
  EXPECT_EQ(d.getJson("t"), "\"\xC7\xE7\xE1\xB0\xD6\xD3\xB1\xED\"");
}

TEST_F(JsonDocumentTest, StringifyFollowsTheUsualRules) {
  struct Case {
    Text expression, json;
  };
  const Case cases[] = {
      {"JSON.stringify({b: 1, a: [1, 'x', null, true], c: {}})", "{\"b\":1,\"a\":[1,\"x\",null,true],\"c\":{}}"},
      {"JSON.stringify([1 / 0, -1 / 0, 0 / 0])", "[null,null,null]"},
      {"JSON.stringify({f: function () {}, u: undefined, n: null})", "{\"n\":null}"},
      {"JSON.stringify([function () {}, undefined])", "[null,null]"},
      {"JSON.stringify(new Date(Date.UTC(2023, 1, 21, 17, 20, 0, 999)))", "\"2023-02-21T17:20:00Z\""},
      {"JSON.stringify(new Date(NaN))", "null"},
      {"JSON.stringify([new String('s'), new Number(2), new Boolean(false)])", "[\"s\",2,false]"},
      {"JSON.stringify({a: [1], b: 2}, null, 2)", "{\n  \"a\": [\n    1\n  ],\n  \"b\": 2\n}"},
      {"JSON.stringify({a: 1, b: 2, c: 3}, ['c', 'a'])", "{\"c\":3,\"a\":1}"},
      {"JSON.stringify({a: 1, b: 2}, ['a', 'a', new String('b')])", "{\"a\":1,\"b\":2}"},
      {"JSON.stringify({1: 1, a: 2}, [1, true])", "{\"1\":1}"},
      {"JSON.stringify({a: 1}, {})", "{\"a\":1}"},  // neither a function nor an array: no replacer
      {"JSON.stringify([1], null, 1.5)", "[\n 1\n]"},
      {"JSON.stringify([1], null, new Number(1))", "[\n 1\n]"},
      {"JSON.stringify([1], null, new String('--'))", "[\n--1\n]"},
      {"JSON.stringify([1], null, 'abcdefghijkl')", "[\nabcdefghij1\n]"},
      {"JSON.stringify([1], null, -3)", "[1]"},
      {"JSON.stringify({a: 1, b: 2}, function (k, v) { return k == 'a' ? undefined : v })", "{\"b\":2}"},
      {"JSON.stringify(JSON.parse('{\"a\":[1,{\"b\":2}]}', function (k, v) { return k == 'b' ? v * 10 : v }))",
       "{\"a\":[1,{\"b\":20}]}"},
      {"({x: 1}).toJSONString()", "{\"x\":1}"},
      {"JSON.stringify('[2]'.parseJSON())", "[2]"},
  };
  JsonDocument d;
  for (const Case& c : cases) EXPECT_EQ(engineText(d, c.expression), c.json) << c.expression;
}

TEST_F(JsonDocumentTest, TheEngineNeverAsksTheUserAnything) {
  // The control's own default is to ask when a script runs long.
  EXPECT_TRUE(AutomationObject::create("MSScriptControl.ScriptControl").getBool("AllowUI"));
  JsonDocument d;
  ASSERT_TRUE(d.hasEngine());
  EXPECT_FALSE(d.engineObject().getBool("AllowUI"));
  ASSERT_TRUE(d.parse("{}"));  // also after the engine is made anew
  EXPECT_FALSE(d.engineObject().getBool("AllowUI"));
}

TEST_F(JsonDocumentTest, InheritedLibraryMethodsNeverShow) {
  JsonDocument d;
  ASSERT_TRUE(d.parse("{\"a\":1,\"o\":{\"b\":\"x\"},\"l\":[1,2]}"));
  ASSERT_TRUE(engineBool(d, "typeof da.o.toJSONString == 'function' && typeof da.l.parseJSON == 'function'"));
  EXPECT_EQ(d.toJson(), "{\"a\":1,\"o\":{\"b\":\"x\"},\"l\":[1,2]}");
  std::vector<Text> names;
  EXPECT_EQ(d.memberNames(names, ""), 3);
  EXPECT_EQ(names, (std::vector<Text>{"a", "o", "l"}));
  std::vector<Text> values;
  EXPECT_EQ(d.nodeValues(values, "", true), 4);
  EXPECT_EQ(values, (std::vector<Text>{"1", "x", "1", "2"}));
}

TEST_F(JsonDocumentTest, ClonesShareEditsAndCopiesDoNot) {
  auto original = std::make_unique<JsonDocument>();
  ASSERT_TRUE(original->parse("{\"o\":{\"k\":\"v\"},\"l\":[{\"e\":1},{\"e\":2}]}"));
  std::unique_ptr<JsonDocument> clone = original->clone();
  EXPECT_TRUE(clone->setValue("fromClone", "1", false));
  EXPECT_EQ(original->getText("fromClone", false), "1");
  EXPECT_TRUE(original->setNumber("fromOriginal", 2));
  EXPECT_EQ(clone->getText("fromOriginal", false), "2");

  std::unique_ptr<JsonDocument> copy = original->getDocument("o");
  std::unique_ptr<JsonDocument> element = original->getArrayDocument(1, "l");
  EXPECT_EQ(copy->toJson(), "{\"k\":\"v\"}");
  EXPECT_EQ(element->toJson(), "{\"e\":2}");
  EXPECT_TRUE(copy->setValue("k", "changed", false));
  EXPECT_TRUE(element->setNumber("e", 5));
  EXPECT_EQ(original->getText("o.k", false), "v");
  EXPECT_EQ(original->getText("l[1].e", false), "2");

  // The clone keeps the shared engine alive on its own.
  original.reset();
  EXPECT_EQ(clone->getText("o.k", false), "v");
  EXPECT_EQ(copy->getText("k", false), "changed");
}

TEST_F(JsonDocumentTest, CopiesKeepBackslashesAndMissingValuesGiveANullRoot) {
  JsonDocument d;
  ASSERT_TRUE(d.setValue("o", "{}", true));
  ASSERT_TRUE(d.setValue("o.p", "C:\\new\\q", false));
  std::unique_ptr<JsonDocument> copy = d.getDocument("o");
  EXPECT_EQ(copy->getText("p", false), "C:\\new\\q");
  EXPECT_EQ(copy->getJson("p"), "\"C:\\new\\q\"");
  std::unique_ptr<JsonDocument> missing = d.getDocument("nothing.here");
  EXPECT_EQ(missing->toJson(), "null");
  EXPECT_EQ(d.getArrayDocument(3, "o")->toJson(), "null");
}

TEST_F(JsonDocumentTest, PathsRelativeAbsoluteBracketAndEmpty) {
  JsonDocument d;
  ASSERT_TRUE(d.parse("{\"data\":{\"t\":\"1677000000999\"},\"da\":\"own member\",\"x\":[\"a\",\"b\"]}"));
  struct Case {
    Text path, text;
  };
  const Case cases[] = {
      {"data.t", "1677000000999"},
      {"da.data.t", "1677000000999"},
      {"da.da", "own member"},
      {"x[1]", "b"},
      {"da.x[0]", "a"},
      {"da[\"data\"].t", "1677000000999"},
      {"data[\"t\"]", "1677000000999"},
      {"data.missing", ""},
      {"missing.parent", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(d.getText(c.path, false), c.text) << c.path;
  EXPECT_EQ(d.getText("", true), d.toJson());
  EXPECT_EQ(d.getText("da", true), d.toJson());
  EXPECT_EQ(d.getText("data", true), "{\"t\":\"1677000000999\"}");

  Text path = "data.t";
  EXPECT_TRUE(d.resolvePath(path));
  EXPECT_EQ(path, "da.data.t");
  path = "da.data";
  EXPECT_TRUE(d.resolvePath(path));
  EXPECT_EQ(path, "da.data");
  path = "";
  EXPECT_TRUE(d.resolvePath(path));
  EXPECT_EQ(path, "da");
  path = "[0]";
  EXPECT_FALSE(d.resolvePath(path));
  EXPECT_EQ(path, "da[0]");
  EXPECT_FALSE(d.exists("data.missing"));
  EXPECT_FALSE(d.exists("missing.parent"));

  JsonDocument list;
  ASSERT_TRUE(list.parse("[{\"v\":7},{\"v\":8}]"));
  EXPECT_EQ(list.getText("[1].v", false), "8");
  EXPECT_EQ(list.arrayCount(""), 2);
}

TEST_F(JsonDocumentTest, ThirteenDigitNumbersReadBackExactly) {
  JsonDocument d;
  ASSERT_TRUE(d.parse("{\"t\":1677000000999,\"s\":\"1677000000999\"}"));
  EXPECT_EQ(d.getText("t", false), "1677000000999");
  EXPECT_EQ(d.getText("s", false), "1677000000999");
  EXPECT_EQ(d.getNumber("t"), 1677000000999.0);
  EXPECT_EQ(d.getJson("t"), "1677000000999");
  for (double value : {0.1, -2.5, 1e300, -1.7976931348623157e308, 1677000000999.0, 1677000000999.5, 1e21,
                       2.2250738585072014e-308, 5e-324, 123456789.123456789, 9007199254740993.0 * 4}) {
    ASSERT_TRUE(d.setNumber("n", value)) << value;
    EXPECT_EQ(d.getNumber("n"), value);
  }
}

TEST_F(JsonDocumentTest, TypeCodes) {
  JsonDocument d;
  ASSERT_TRUE(d.parse("{\"s\":\"x\",\"e\":\"\",\"n\":0,\"b\":false,\"o\":{},\"a\":[],\"z\":null}"));
  ASSERT_TRUE(d.setExpression("f", "function () {}"));
  ASSERT_TRUE(d.setExpression("d", "new Date()"));
  ASSERT_TRUE(d.setExpression("r", "/x/"));
  struct Case {
    Text path;
    std::int32_t code;
  };
  const Case cases[] = {{"missing", 0},
                        {"z", 0},
                        {"s", 6},
                        {"e", 6},
                        {"n", 2},
                        {"b", 1},
                        {"o", 4},
                        {"a", 5},
                        {"", 4},
                        {"f", -1},
                        {"d", -1},
                        {"r", -1},
                        {"missing.child", -1},
                        {"z.child", -1},
                        {"a[0]", 0}};
  for (const Case& c : cases) EXPECT_EQ(d.typeOf(c.path), c.code) << c.path;
}

TEST_F(JsonDocumentTest, BackslashesTravelAsU2400) {
  JsonDocument d;
  const Text value = "C:\\dir\\a'b\"c\r\nd\\";
  ASSERT_TRUE(d.setValue("p", value, false));
  EXPECT_TRUE(engineBool(d, "da.p.indexOf(String.fromCharCode(92)) < 0"));
  EXPECT_EQ(engineText(d, "da.p.split(String.fromCharCode(9216)).length"), "4");
  EXPECT_EQ(d.getText("p", false), value);
  EXPECT_EQ(d.getJson("p"), "\"C:\\dir\\a'b\\\"c\\r\\nd\\\"");
  EXPECT_EQ(d.toJson(), "{\"p\":" + d.getJson("p") + "}");
  ASSERT_TRUE(d.setValue("q", "x'+(pwned=1)+'", false));
  EXPECT_EQ(d.getText("q", false), "x'+(pwned=1)+'");
  EXPECT_TRUE(engineBool(d, "typeof pwned == 'undefined'"));
  // Bytes the code page reads as single characters (0x80 is the euro sign) or
  // as unpaired lead bytes never let a following apostrophe end the value.
  const Text stray[] = {"\x80';pwned=1;//", "\x80\\';pwned=1;//", "\xFF';pwned=1;//", "\x81';pwned=1;//",
                        "\xFE\\';pwned=1;//"};
  for (const Text& text : stray) {
    d.setValue("r", text, false);
    EXPECT_EQ(d.typeOf("r"), 6) << text;
    EXPECT_TRUE(engineBool(d, "typeof pwned == 'undefined'")) << text;
  }
  ASSERT_TRUE(d.setValue("r", "\x80';x", false));
  EXPECT_EQ(d.getText("r", false), "\x80';x");
}

TEST_F(JsonDocumentTest, SetValueMergesIntoObjectsAndReplacesTheRest) {
  struct Case {
    Text before, path, value, after;
  };
  const Case cases[] = {
      {"{\"o\":{\"a\":1,\"b\":{\"c\":1},\"s\":\"x\"}}", "o", "{\"b\":{\"d\":2},\"s\":\"y\",\"e\":3}",
       "{\"o\":{\"a\":1,\"b\":{\"c\":1,\"d\":2},\"s\":\"y\",\"e\":3}}"},
      {"{\"o\":{\"a\":1}}", "o", "", "{\"o\":{\"a\":1}}"},
      {"{}", "n", "{\"z\":1}", "{\"n\":{\"z\":1}}"},
      {"{}", "n", "", "{}"},
      {"{\"s\":\"text\"}", "s", "{\"z\":1}", "{\"s\":{\"z\":1}}"},
      {"{\"l\":[1]}", "l", "[2,3]", "{\"l\":[2,3]}"},
      {"{\"o\":{\"a\":1}}", "o", "[5]", "{\"o\":{\"a\":1,\"0\":5}}"},
  };
  for (const Case& c : cases) {
    JsonDocument d;
    ASSERT_TRUE(d.parse(c.before));
    d.setValue(c.path, c.value, true);
    EXPECT_EQ(d.toJson(), c.after) << c.before << " <- " << c.value;
  }
}

TEST_F(JsonDocumentTest, ArrayOperations) {
  JsonDocument d;
  ASSERT_TRUE(d.parse("{\"s\":\"x\",\"o\":{\"k\":1},\"l\":[\"a\",2,true]}"));
  EXPECT_TRUE(d.addToArray("first", "s", false, false));
  // The engine's unshift gives no value, so adding at the front reports false.
  d.addToArray("{\"n\":1}", "s", true, true);
  EXPECT_EQ(d.getJson("s"), "[{\"n\":1},\"first\"]");
  EXPECT_TRUE(d.addToArray("7", "missing", true, false));
  EXPECT_EQ(d.getJson("missing"), "[7]");

  EXPECT_EQ(d.arrayCount("l"), 3);
  EXPECT_EQ(d.arrayCount("o"), 0);
  EXPECT_EQ(d.arrayCount("s"), 2);
  EXPECT_EQ(d.getArrayText(0, "l", false), "a");
  EXPECT_EQ(d.getArrayText(1, "l", false), "");
  EXPECT_EQ(d.getArrayText(1, "l", true), "2");
  EXPECT_EQ(d.getArrayText(9, "l", false), "");
  EXPECT_TRUE(d.setArrayItem(1, "l", "b", false));
  EXPECT_TRUE(d.setArrayItem(2, "l", "[3]", true));
  EXPECT_EQ(d.getJson("l"), "[\"a\",\"b\",[3]]");
  EXPECT_TRUE(d.removeArrayItem(0, "l"));
  EXPECT_EQ(d.getJson("l"), "[\"b\",[3]]");
  EXPECT_TRUE(d.remove("o.k"));
  EXPECT_EQ(d.getJson("o"), "{}");

  std::vector<Text> names = {"stale"};
  EXPECT_EQ(d.memberNames(names, "l"), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(d.memberNames(names, "l[0]"), 0);
  EXPECT_EQ(d.memberNames(names, ""), 4);
  EXPECT_EQ(names, (std::vector<Text>{"s", "o", "l", "missing"}));
}

// Texts added to arrays are data, whatever they hold: they come back exactly
// as given, read plain or as JSON, and as a text stored with setValue does.
TEST_F(JsonDocumentTest, ArrayTextsAreStoredExactlyAsGiven) {
  struct Case {
    Text value, json;
  };
  const Case cases[] = {
      {"it's", "\"it's\""},
      {"C:\\new\\t", "\"C:\\new\\t\""},  // backslashes come back single, as from setValue
      {"a\r\nb", "\"a\\r\\nb\""},
      {"x'+(pwned=1)+'", "\"x'+(pwned=1)+'\""},
      {"');pwned=1;('", "\"');pwned=1;('\""},
      {"\\'+(pwned=1)+'", "\"\\'+(pwned=1)+'\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"\xC7\xE7\xE1\xB0\\", "\"\xC7\xE7\xE1\xB0\\\""},  // 晴岚 and a backslash
      {"", "\"\""},
  };
  enum Op { push, unshift, setItem };
  for (Op op : {push, unshift, setItem}) {
    for (const Case& c : cases) {
      JsonDocument d;
      ASSERT_TRUE(d.parse("{\"l\":[\"first\",\"last\"]}"));
      // An assignment's value is the text itself: an empty one tests false.
      EXPECT_EQ(d.setValue("same", c.value, false), !c.value.empty());
      int index = 0;
      switch (op) {
        case push:
          EXPECT_TRUE(d.addToArray(c.value, "l", false, false)) << c.value;
          index = 2;
          break;
        case unshift:
          d.addToArray(c.value, "l", false, true);  // the engine's unshift gives no value to report
          index = 0;
          break;
        case setItem:
          EXPECT_EQ(d.setArrayItem(1, "l", c.value, false), !c.value.empty()) << c.value;
          index = 1;
          break;
      }
      const char* label = op == push ? "push" : op == unshift ? "unshift" : "set";
      EXPECT_EQ(d.arrayCount("l"), op == setItem ? 2 : 3) << label << " " << c.value;
      EXPECT_EQ(d.getArrayText(index, "l", false), c.value) << label;
      EXPECT_EQ(d.getArrayText(index, "l", true), c.json) << label << " " << c.value;
      EXPECT_EQ(d.getArrayText(index, "l", true), d.getJson("same")) << label << " " << c.value;
      EXPECT_EQ(d.getArrayDocument(index, "l")->getText("", false), c.value) << label;
      EXPECT_TRUE(engineBool(d, "typeof pwned == 'undefined'")) << label << " " << c.value;
      EXPECT_TRUE(engineBool(d, "str_text === null")) << label;  // the value is not left behind
    }
  }
  // Raw values are still script: numbers, literals and objects.
  JsonDocument d;
  ASSERT_TRUE(d.addToArray("{\"n\":1}", "l", true, false));
  ASSERT_TRUE(d.addToArray("2.5", "l", true, false));
  ASSERT_TRUE(d.setArrayItem(2, "l", "true", true));
  EXPECT_EQ(d.getJson("l"), "[{\"n\":1},2.5,true]");
}

TEST_F(JsonDocumentTest, NodeValuesDirectAndRecursive) {
  JsonDocument d;
  ASSERT_TRUE(
      d.parse("{\"a\":\"1\",\"b\":2.5,\"c\":true,\"d\":{\"e\":\"x\",\"f\":[3,\"\",\"y\"]},\"n\":null,"
              "\"h\":\"\",\"g\":\"\"}"));
  std::vector<Text> values = {"stale"};
  // The empty strings under h and g: the one between them survives, the last goes.
  EXPECT_EQ(d.nodeValues(values, "", false), 4);
  EXPECT_EQ(values, (std::vector<Text>{"1", "2.5", "true", ""}));
  EXPECT_EQ(d.nodeValues(values, "", true), 8);
  EXPECT_EQ(values, (std::vector<Text>{"1", "2.5", "true", "x", "3", "", "y", ""}));
  EXPECT_EQ(d.nodeValues(values, "d.f", false), 3);
  EXPECT_EQ(values, (std::vector<Text>{"3", "", "y"}));
  EXPECT_EQ(d.nodeValues(values, "missing", true), 0);
  EXPECT_TRUE(values.empty());
}

// Answers as the time channels and the update manifest send them, read at the
// paths the program reads them from.
TEST_F(JsonDocumentTest, ReadsTimestampsFromChannelAnswers) {
  struct Case {
    const char* channel;
    Text body, path, value;
  };
  const Case cases[] = {
      {"Taobao",
       "{\"api\":\"mtop.common.getTimestamp\",\"v\":\"*\",\"ret\":[\"SUCCESS::\xBD\xD3\xBF\xDA\xB5\xF7\xD3\xC3"
       "\xB3\xC9\xB9\xA6\"],\"data\":{\"t\":\"1677000000999\"}}",
       "data.t", "1677000000999"},
      {"JD",
       "{\"code\":\"0\",\"currentTime\":\"2023-02-22 01:20:00.999\",\"currentTime2\":1677000000999,"
       "\"returnMsg\":\"success\",\"subCode\":\"0\"}",
       "currentTime2", "1677000000999"},
      {"Beijing", "{\"errno\":0,\"timestamp\":1677000000999,\"datetime\":\"2023-02-22 01:20:00\"}\r\n", "timestamp",
       "1677000000999"},
      {"Pinduoduo", "{\"server_time\":1677000000999}", "server_time", "1677000000999"},
      {"Suning", "{\"api\":\"time\",\"code\":\"1\",\"currentTime\":1677000000999,\"msg\":\"\"}", "currentTime",
       "1677000000999"},
      {"manifest",
       "{\n  \"currentVersion\": \"2.3\",\n  \"downloadUrl\": \"https:\\/\\/example.invalid\\/qinglan.zip\",\n"
       "  \"notice\": \"\xD0\xDE\xB8\xB4\xC1\xCB\xD2\xD1\xD6\xAA\xCE\xCA\xCC\xE2\"\n}\n",
       "currentVersion", "2.3"},
  };
  createJsonScratch();
  JsonDocument* scratch = jsonScratch();
  ASSERT_NE(scratch, nullptr);
  for (const Case& c : cases) {
    EXPECT_TRUE(scratch->parse(c.body)) << c.channel;
    EXPECT_EQ(scratch->getText(c.path, false), c.value) << c.channel;
    scratch->clear();
    EXPECT_EQ(scratch->getText(c.path, false), "") << c.channel;
  }
  releaseJsonScratch();
}

TEST_F(JsonDocumentTest, ScratchIsCreatedOnceAndReleasedOnce) {
  releaseJsonScratch();
  EXPECT_EQ(jsonScratch(), nullptr);
  createJsonScratch();
  JsonDocument* first = jsonScratch();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->hasEngine());
  EXPECT_EQ(first->varName(), "da");
  createJsonScratch();
  EXPECT_EQ(jsonScratch(), first);
  releaseJsonScratch();
  EXPECT_EQ(jsonScratch(), nullptr);
  releaseJsonScratch();
  EXPECT_EQ(jsonScratch(), nullptr);
}

// COM on a thread of its own, so that the test sees the thread's real
// initialisation count: CoInitialize answers S_OK only when nothing is left.
TEST(JsonDocumentCom, InitialisationIsBalanced) {
  HRESULT after = E_FAIL;
  std::thread worker([&after] {
    {
      JsonDocument d;
      for (int i = 0; i < 3; ++i) d.parse("{\"l\":[{\"a\":1}]}");
      std::unique_ptr<JsonDocument> clone = d.clone();
      std::unique_ptr<JsonDocument> copy = d.getDocument("l");
      std::unique_ptr<JsonDocument> element = d.getArrayDocument(0, "l");
      EXPECT_EQ(element->getText("a", false), "1");
      EXPECT_EQ(copy->arrayCount(""), 1);
      EXPECT_EQ(clone->arrayCount("l"), 1);
      d.parse("not json");
    }
    after = CoInitialize(nullptr);
    if (SUCCEEDED(after)) CoUninitialize();
  });
  worker.join();
  EXPECT_EQ(after, S_OK);
}

HRESULT WINAPI refuseCoInitialize(LPVOID) { return E_FAIL; }

// Without COM on the thread the Script Control cannot be created; the
// document then answers every operation with its empty result.
TEST(JsonDocumentCom, WithoutAnEngineEverythingFailsSoftly) {
  std::thread worker([] {
    ScopedSystemFunction<decltype(&::CoInitialize)> refuse(systemApi().CoInitialize, refuseCoInitialize);
    JsonDocument d;
    EXPECT_FALSE(d.hasEngine());
    ScriptError error;
    EXPECT_FALSE(d.parse("{\"a\":1}", false, &error, true));
    EXPECT_EQ(error.number, 0);
    EXPECT_FALSE(d.parse("{\"a\":1}", true));
    EXPECT_FALSE(d.clear());
    EXPECT_EQ(d.toJson(), "");
    EXPECT_FALSE(d.setValue("a", "1", false));
    EXPECT_FALSE(d.setValue("a", "{}", true));
    EXPECT_FALSE(d.setExpression("a", "1"));
    Text path = "a";
    EXPECT_FALSE(d.resolvePath(path));
    EXPECT_FALSE(d.exists("a"));
    EXPECT_EQ(d.typeOf("a"), -1);
    EXPECT_EQ(d.getText("a", false), "");
    EXPECT_EQ(d.getText("a", true), "");
    std::vector<Text> list = {"stale"};
    EXPECT_EQ(d.memberNames(list, ""), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(d.arrayCount("a"), 0);
    EXPECT_EQ(d.getDocument("a")->toJson(), "");
    EXPECT_FALSE(d.addToArray("1", "a", true, false));
    EXPECT_EQ(d.getArrayDocument(0, "a")->toJson(), "");
    EXPECT_EQ(d.getArrayText(0, "a", true), "");
    EXPECT_FALSE(d.setArrayItem(0, "a", "1", true));
    EXPECT_FALSE(d.removeArrayItem(0, "a"));
    EXPECT_FALSE(d.remove("a"));
    EXPECT_FALSE(d.setNumber("a", 1));
    EXPECT_EQ(d.getNumber("a"), 0);
    EXPECT_EQ(d.getJson("a"), "");
    EXPECT_TRUE(d.engineObject().empty());
    list = {"stale"};
    EXPECT_EQ(d.nodeValues(list, "", true), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(d.clone()->engineObject().empty());
  });
  worker.join();
}

}  // namespace
}  // namespace ql
