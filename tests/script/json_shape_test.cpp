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

TEST(JsonShape, AcceptsJsonAndRefusesEverythingElse) {
  for (const ShapeCase& c : shapeCases()) EXPECT_EQ(isJsonText(c.text), c.json) << c.label << ": " << c.text;
}

// The engine's own check must agree with the one made before the engine is
// reached, so that JSON.parse refuses the same texts.
TEST(JsonShape, EngineCheckAgrees) {
  ComInit com;
  JsonDocument document;
  ASSERT_TRUE(document.hasEngine());
  AutomationObject engine = document.engineObject();
  for (const ShapeCase& c : shapeCases()) {
    if (!c.sameInEngine) continue;
    Variant result;
    ASSERT_TRUE(engine.call("Run", {Variant("get__isJsonText"), Variant(c.text)}, &result)) << c.label;
    EXPECT_EQ(result.toBool(), c.json) << c.label << ": " << c.text;
  }
}

TEST(JsonShape, NestingDepthIsLimited) {
  auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_TRUE(isJsonText(nested(kMaxJsonDepth)));
  EXPECT_FALSE(isJsonText(nested(kMaxJsonDepth + 1)));
  EXPECT_TRUE(isJsonText("[[{\"a\":[1]}]]", 4));
  EXPECT_FALSE(isJsonText("[[{\"a\":[1]}]]", 3));
}

// The check reads a byte from 0x81 to 0xFE inside a string as a lead byte
// that takes the next byte with it. That is only sound if the code page the
// engine's text goes through agrees: every pair the check accepts must become
// exactly one UTF-16 unit, and never a quotation mark, a backslash or a
// control character.
TEST(JsonShape, AcceptedGbkPairsBecomeOneHarmlessCharacter) {
  ASSERT_EQ(GetACP(), 936u);
  std::string pairs;
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      ASSERT_TRUE(isJsonText("\"" + pair + "\"")) << lead << " " << trail;
      pairs += pair;
    }
  int units = MultiByteToWideChar(CP_ACP, 0, pairs.data(), static_cast<int>(pairs.size()), nullptr, 0);
  ASSERT_EQ(static_cast<std::size_t>(units), pairs.size() / 2);
  std::vector<wchar_t> wide(units);
  MultiByteToWideChar(CP_ACP, 0, pairs.data(), static_cast<int>(pairs.size()), wide.data(), units);
  for (int i = 0; i < units; ++i) {
    wchar_t w = wide[i];
    EXPECT_TRUE(w != L'"' && w != L'\\' && w >= 0x20 && w != 0x2028 && w != 0x2029)
        << "pair " << i << " gives " << static_cast<int>(w);
  }
}

}  // namespace
}  // namespace ql
