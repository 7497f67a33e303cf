#include "script/json_shape.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/automation.h"
#include "script/json_document.h"
#include "script/json_shape_cases.h"

namespace ql {
namespace {

// The check reads what the engine will receive: the text after the Automation
// layer's conversion to UTF-16.
bool isJson(const Text& text, int maxDepth = kMaxJsonDepth) {
  return isJsonText(textToAutomationUnits(text), maxDepth);
}

TEST(JsonShape, AcceptsJsonAndRefusesEverythingElse) {
  for (const ShapeCase& c : shapeCases()) {
    if (c.fixed) {
      EXPECT_EQ(isJson(c.text), c.json) << c.label << ": " << c.text;
    }
  }
}

// The engine's own check must agree with the one made before the engine is
// reached, so that JSON.parse refuses the same texts.
TEST(JsonShape, EngineCheckAgrees) {
  ComInit com;
  JsonDocument document;
  ASSERT_TRUE(document.hasEngine());
  AutomationObject engine = document.engineObject();
  for (const ShapeCase& c : shapeCases()) {
    Variant result;
    ASSERT_TRUE(engine.call("Run", {Variant("get__isJsonText"), Variant(c.text)}, &result)) << c.label;
    EXPECT_EQ(result.toBool(), isJson(c.text)) << c.label << ": " << c.text;
    if (c.fixed) {
      EXPECT_EQ(result.toBool(), c.json) << c.label << ": " << c.text;
    }
  }
}

TEST(JsonShape, NestingDepthIsLimited) {
  auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_TRUE(isJson(nested(kMaxJsonDepth)));
  EXPECT_FALSE(isJson(nested(kMaxJsonDepth + 1)));
  EXPECT_TRUE(isJson("[[{\"a\":[1]}]]", 4));
  EXPECT_FALSE(isJson("[[{\"a\":[1]}]]", 3));
}

// A separator that ends a script string literal must never pass as string
// content, however it arrived.
TEST(JsonShape, ScriptLineTerminatorsInsideStringsAreRefused) {
  EXPECT_FALSE(isJsonText(u"\"a\u2028b\""));
  EXPECT_FALSE(isJsonText(u"\"a\u2029b\""));
  EXPECT_TRUE(isJsonText(u"\"a\\u2028b\""));  // escaped, it is ordinary text
}

}  // namespace
}  // namespace ql
