// Server answers are untrusted. Whatever a body holds, loading it must not run
// script: no global may change and no file may appear.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/automation.h"
#include "script/json_document.h"
#include "script/json_shape.h"

namespace ql {
namespace {

class HostileAnswerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[MAX_PATH] = {};
    GetTempPathA(sizeof dir, dir);
    probeFile_ = std::string(dir) + "ql_json_probe.txt";
    DeleteFileA(probeFile_.c_str());
  }
  void TearDown() override { DeleteFileA(probeFile_.c_str()); }

  bool probeFileExists() const { return GetFileAttributesA(probeFile_.c_str()) != INVALID_FILE_ATTRIBUTES; }

  // Script that writes the probe file when it runs.
  Text fileWriter() const {
    Text path;
    for (char c : probeFile_) path += c == '\\' ? Text("\\\\") : Text(1, c);
    return "new ActiveXObject('Scripting.FileSystemObject').CreateTextFile('" + path + "').Close()";
  }

  static bool engineBool(const JsonDocument& d, const Text& expression) {
    return d.engineObject().getBool("Eval", {Variant(expression)});
  }

  ComInit com_;
  std::string probeFile_;
};

// The attack is real: the same script run as code does write the file.
TEST_F(HostileAnswerTest, ProbeScriptWritesTheFileWhenRunAsCode) {
  JsonDocument d;
  ASSERT_TRUE(d.engineObject().call("AddCode", {Variant(fileWriter())}));
  EXPECT_TRUE(probeFileExists());
}

TEST_F(HostileAnswerTest, HostileBodiesChangeNothingOutsideTheRoot) {
  const Text bodies[] = {
      "{\"a\":1}; pwned = 1",
      "{\"a\":1}\r\npwned = 1",
      "{\"a\":1}," + fileWriter(),
      "pwned = 1",
      "(function () { pwned = 1 })()",
      "[" + fileWriter() + "]",
      "{\"a\":(pwned = 1)}",
      "{\"a\":\"x\" + (pwned = 1)}",
      "\"x\") + (pwned = 1) + (\"",
      "1); pwned = (1",
      "{\"a\":1}) ; pwned = 1 ; (1",
      "{\"a\":\"unterminated",
      "[1, 2, {\"a\":",
      "/* */ pwned = 1",
      "{\"a\":1} // pwned = 1",
      "{a: pwned = 1}",
      "'a'; pwned = 1",
  };
  for (bool direct : {false, true}) {
    for (const Text& body : bodies) {
      JsonDocument d;
      ASSERT_TRUE(d.parse("{\"previous\":1}"));
      ScriptError error;
      EXPECT_FALSE(d.parse(body, direct, &error, true)) << body;
      EXPECT_NE(error.number, 0) << body;
      EXPECT_EQ(d.toJson(), "null") << body;
      EXPECT_TRUE(engineBool(d, "typeof pwned == 'undefined'")) << body;
      EXPECT_FALSE(probeFileExists()) << body;
    }
  }
}

// An unpaired GBK lead byte may take the next byte with it on the way into
// the engine, which moves where a string ends. Whether such a body is refused
// or loaded, it is judged on what the engine receives and never runs.
TEST_F(HostileAnswerTest, StrayLeadBytesNeverRunScript) {
  const Text bodies[] = {
      "\"\x81\"; pwned = 1; \"",
      "{\"a\":\"\x81\"};pwned=1//\"}",
      "[\"\x90\"," + fileWriter() + ",\"\"]",
      "\"\xFE\"+(pwned=1)+\"\"",
  };
  for (bool direct : {false, true}) {
    for (const Text& body : bodies) {
      JsonDocument d;
      bool loaded = d.parse(body, direct);
      if (loaded) {
        EXPECT_TRUE(d.typeOf("") == 4 || d.typeOf("") == 5 || d.typeOf("") == 6) << body;
      }
      EXPECT_TRUE(engineBool(d, "typeof pwned == 'undefined'")) << body;
      EXPECT_FALSE(probeFileExists()) << body;
    }
  }
}

// A JSON string whose content is script stays a string.
TEST_F(HostileAnswerTest, ScriptInsideAStringStaysText) {
  const Text bodies[] = {"\"pwned = 1\"", "\"x\\\"); pwned = 1; (\"",
                         "\"" + replaceAll(fileWriter(), "\\\\", "\\\\\\\\") + "\""};
  for (bool direct : {false, true}) {
    for (const Text& body : bodies) {
      JsonDocument d;
      EXPECT_TRUE(d.parse(body, direct)) << body;
      EXPECT_EQ(d.typeOf(""), 6) << body;
      EXPECT_EQ(d.toJson(), body) << body;
      EXPECT_TRUE(engineBool(d, "typeof pwned == 'undefined'")) << body;
      EXPECT_FALSE(probeFileExists()) << body;
    }
  }
}

// The library's JSON.parse refuses the same bodies inside the engine.
TEST_F(HostileAnswerTest, LibraryParseRefusesScript) {
  JsonDocument d;
  AutomationObject engine = d.engineObject();
  ASSERT_TRUE(engine.call("AddCode", {Variant("var text1 = '{\"a\":1}; pwned = 1', text2 = '" +
                                              replaceAll(fileWriter(), "'", "\\'") + "'")}));
  EXPECT_FALSE(engine.call("Eval", {Variant("JSON.parse(text1)")}));
  EXPECT_FALSE(engine.call("Eval", {Variant("JSON.parse(text2)")}));
  EXPECT_FALSE(engine.call("Eval", {Variant("'pwned = 1'.parseJSON()")}));
  // Long texts that almost match must be refused in one pass, not by trying
  // ever more ways to split them (a nested repetition would never finish).
  EXPECT_FALSE(engine.call("Eval", {Variant("JSON.parse('\"' + new Array(1 << 18).join('x'))")}));
  EXPECT_FALSE(engine.call("Eval", {Variant("JSON.parse('[\"' + new Array(1 << 18).join('x') + '\\\\q\"]')")}));
  EXPECT_TRUE(engineBool(d, "typeof pwned == 'undefined'"));
  EXPECT_FALSE(probeFileExists());
  EXPECT_TRUE(engineBool(d, "JSON.parse('\"pwned = 1\"') == 'pwned = 1'"));
  EXPECT_TRUE(engineBool(d, "JSON.parse(' [1, {\"a\": \"\\\\u4e2d\"}] ')[1].a == '\\u4e2d'"));
}

// The engine's number reader spins forever on some exponents of ten digits or
// more: such an answer would freeze the clock, so it never reaches the engine.
// Every other long number loads.
TEST_F(HostileAnswerTest, NumbersTheEngineCannotReadAreRefusedBeforeIt) {
  const std::size_t megabyte = 1 << 20;
  const Text refused[] = {"1e9999999999", "{\"t\":1677000000999,\"n\":-1E+21474836470}", "[0.1e-2147483647]",
                          "[1e0" + Text(megabyte, '0') + "12345678901]"};
  for (bool direct : {false, true}) {
    for (const Text& body : refused) {
      JsonDocument d;
      ScriptError error;
      EXPECT_FALSE(d.parse(body, direct, &error, true)) << body.substr(0, 60);
      EXPECT_EQ(error.description, "JSON.parse") << body.substr(0, 60);  // the refusal, not an engine error
      EXPECT_EQ(d.toJson(), "null");
    }
  }
  // The engine's own JSON.parse refuses them too.
  JsonDocument d;
  EXPECT_FALSE(d.engineObject().call("Eval", {Variant("JSON.parse('[1e9999999999]')")}));
  EXPECT_FALSE(d.engineObject().call("Eval", {Variant("'1e-99999999999'.parseJSON()")}));

  struct Case {
    const char* label;
    Text body, json;
  };
  const Case loaded[] = {
      {"nine exponent digits", "[1e999999999,-1e999999999,1e-999999999]", "[null,null,0]"},
      {"1 MB of leading zeros in the exponent", "[1e+" + Text(megabyte, '0') + "5]", "[100000]"},
      {"1 MB mantissa", "[" + Text(megabyte, '9') + "]", "[null]"},  // beyond a double: Infinity
      {"1 MB fraction", "[0.25" + Text(megabyte, '0') + "]", "[0.25]"},
      {"1 MB of fraction zeros", "[0." + Text(megabyte, '0') + "1e999999]", "[0]"},
  };
  for (bool direct : {false, true}) {
    for (const Case& c : loaded) {
      JsonDocument doc;
      EXPECT_TRUE(doc.parse(c.body, direct)) << c.label;
      EXPECT_EQ(doc.toJson(), c.json) << c.label;
    }
  }
}

TEST_F(HostileAnswerTest, LongAndDeepBodies) {
  const std::size_t megabyte = 1 << 20;
  Text longArray = "[";
  while (longArray.size() < megabyte) longArray += "1677000000999,";
  longArray += "0]";
  Text longString = "\"" + Text(megabyte, 'x') + "\"";
  struct Case {
    const char* label;
    Text body;
    bool loaded;
  };
  const Case cases[] = {
      {"1 MB array", longArray, true},
      {"1 MB array and a statement", longArray + ";pwned=1", false},
      {"1 MB string", longString, true},
      {"1 MB string without its end", longString.substr(0, megabyte), false},
      {"1 MB of script", Text(megabyte / 8, ' ') + "pwned=1;" + Text(megabyte - megabyte / 8, ' '), false},
      {"100000 [", Text(100000, '['), false},
      {"100000 nested arrays", Text(100000, '[') + Text(100000, ']'), false},
      {"deepest nesting allowed", Text(kMaxJsonDepth, '[') + Text(kMaxJsonDepth, ']'), true},
      {"100000 nested objects", replaceAll(Text(100000, '{'), "{", "{\"a\":") + "1" + Text(100000, '}'), false},
  };
  for (bool direct : {false, true}) {
    for (const Case& c : cases) {
      JsonDocument d;
      EXPECT_EQ(d.parse(c.body, direct), c.loaded) << c.label;
      EXPECT_TRUE(engineBool(d, "typeof pwned == 'undefined'")) << c.label;
      if (c.loaded) {
        EXPECT_EQ(d.toJson().size(), c.body.size()) << c.label;
      }
    }
  }
  JsonDocument d;
  ASSERT_TRUE(d.parse(longString));
  EXPECT_EQ(d.getText("", false), Text(megabyte, 'x'));
  ASSERT_TRUE(d.parse(Text(kMaxJsonDepth, '[') + Text(kMaxJsonDepth, ']')));
  std::vector<Text> values;
  EXPECT_EQ(d.nodeValues(values, "", true), 0);
}

}  // namespace
}  // namespace ql
