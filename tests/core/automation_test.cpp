#include <gtest/gtest.h>

#include <string>

#include "common/automation.h"
#include "script/script_host.h"

using namespace ql;

namespace {

class Automation : public ::testing::Test {
 protected:
  ComInit com_;
};

}  // namespace

TEST_F(Automation, VariantsConvertByTheDefaultRules) {
  EXPECT_EQ(Variant().get()->vt, VT_I4);
  EXPECT_EQ(Variant().toText(), "0");
  EXPECT_EQ(Variant(true).toText(), "-1");
  EXPECT_EQ(Variant(false).toText(), "0");
  EXPECT_EQ(Variant(1677000000999.0).toText(), "1677000000999");
  EXPECT_EQ(Variant("晴岚钟表").toText(), "晴岚钟表");   // through the ANSI page (936 here)
  EXPECT_EQ(Variant(Text("ab\0cd", 5)).toText(), "ab");  // a text ends at its first zero
  EXPECT_DOUBLE_EQ(Variant("42.5").toNumber(), 42.5);
  EXPECT_DOUBLE_EQ(Variant("abc").toNumber(), 0.0);
  EXPECT_TRUE(Variant(7).toBool());
  Variant copy = Variant("x");
  Variant other = copy;
  copy.clear();
  EXPECT_EQ(other.toText(), "x");
  EXPECT_EQ(copy.get()->vt, VT_I4);
}

TEST_F(Automation, AMissingComponentOrMemberFailsSoftly) {
  AutomationObject none = AutomationObject::create("Qinglan.NoSuchComponent");
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(none.getText("Anything"), "");
  EXPECT_FALSE(none.put("Anything", Variant(1)));

  ScriptHost missing = ScriptHost::create("Qinglan.NoSuchComponent", "JScript");
  EXPECT_TRUE(missing.empty());
  EXPECT_FALSE(missing.addCode("var a = 1"));
  EXPECT_EQ(missing.evalText("1"), "");
  EXPECT_EQ(missing.lastError().number, 0);

  AutomationObject engine = AutomationObject::create("MSScriptControl.ScriptControl");
  ASSERT_FALSE(engine.empty());
  Variant result(5);
  EXPECT_FALSE(engine.call("NoSuchMember", {}, &result));
  EXPECT_EQ(result.toText(), "5");  // a failed call leaves the caller's variable alone
}

namespace {

// ProgIDs of this test's own, registered under the classes key of this
// process's registry and removed again whatever the test did.
class ProgIdRegistry : public Automation {
 protected:
  static constexpr const char* kCached = "Qinglan.Test.CachedEngine";
  static constexpr const char* kLate = "Qinglan.Test.LateEngine";
  static constexpr const char* kBroken = "Qinglan.Test.BrokenEngine";

  void SetUp() override { removeAll(); }
  void TearDown() override { removeAll(); }

  static void removeAll() {
    for (const char* id : {kCached, kLate, kBroken}) RegDeleteTreeA(HKEY_CLASSES_ROOT, id);
  }

  // Registers `progId` for the class with the text form `clsid`.
  static bool registerProgId(const char* progId, const std::string& clsid) {
    HKEY key = nullptr;
    std::string path = std::string(progId) + "\\CLSID";
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return false;
    bool written = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid.c_str()),
                                  static_cast<DWORD>(clsid.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
  }

  static std::string classText(const CLSID& clsid) {
    wchar_t wide[64] = {};
    StringFromGUID2(clsid, wide, 64);
    return std::string(wide, wide + lstrlenW(wide));
  }

  static constexpr const char* kNoClass = "{00000000-7A1B-4C2D-8E3F-000000000001}";
};

}  // namespace

// The class id of a ProgID is read from the registry once per process, so
// the clock's engine of every tick skips that lookup; a ProgID that was not
// found is looked up again.
TEST_F(ProgIdRegistry, AClassIdIsLookedUpOncePerProcess) {
  CLSID script;
  ASSERT_TRUE(classIdOf("ScriptControl", &script));
  const std::string scriptClass = classText(script);

  ASSERT_TRUE(registerProgId(kCached, scriptClass));
  EXPECT_FALSE(AutomationObject::create(kCached).empty());
  // The registration now names no class; a ProgID that did so from the start
  // cannot create anything, but the one already looked up still can.
  ASSERT_TRUE(registerProgId(kCached, kNoClass));
  ASSERT_TRUE(registerProgId(kBroken, kNoClass));
  EXPECT_TRUE(AutomationObject::create(kBroken).empty());
  EXPECT_FALSE(AutomationObject::create(kCached).empty());
  CLSID again;
  ASSERT_TRUE(classIdOf(kCached, &again));
  EXPECT_EQ(classText(again), scriptClass);

  EXPECT_TRUE(AutomationObject::create(kLate).empty());
  ASSERT_TRUE(registerProgId(kLate, scriptClass));
  EXPECT_FALSE(AutomationObject::create(kLate).empty());
}

TEST_F(Automation, CopiesShareOneEngine) {
  ScriptHost a = ScriptHost::create("MSScriptControl.ScriptControl", "JavaScript");
  ASSERT_FALSE(a.empty());
  ScriptHost b = a;
  EXPECT_TRUE(a.addCode("var shared = 41;"));
  EXPECT_DOUBLE_EQ(b.evalNumber("shared + 1"), 42.0);
  a.release();
  EXPECT_TRUE(a.empty());
  EXPECT_DOUBLE_EQ(b.evalNumber("shared"), 41.0);
}

TEST_F(Automation, ScriptResultsArriveAsTheKindAskedFor) {
  ScriptHost engine = ScriptHost::create("ScriptControl", "JScript");
  ASSERT_FALSE(engine.empty());
  EXPECT_TRUE(engine.addCode("function twice(x) { return x * 2; } var word = '时间';"));
  EXPECT_DOUBLE_EQ(engine.evalNumber("twice(21)"), 42.0);
  EXPECT_EQ(engine.evalText("word + twice(2)"), "时间4");
  EXPECT_TRUE(engine.evalBool("twice(1) == 2"));
  EXPECT_FALSE(engine.evalBool("twice(1) == 3"));
  // Characters GBK lacks come back as the code page's default character.
  EXPECT_EQ(engine.evalText("String.fromCharCode(0x263A)"), "?");
}

TEST_F(Automation, AFailedEvaluationGivesZeroValuesAndKeepsTheError) {
  ScriptHost engine = ScriptHost::create("MSScriptControl.ScriptControl", "JavaScript");
  ASSERT_FALSE(engine.empty());
  EXPECT_EQ(engine.evalText("undefinedName.member"), "");
  EXPECT_DOUBLE_EQ(engine.evalNumber("undefinedName + 1"), 0.0);
  EXPECT_FALSE(engine.evalBool("(("));
  ScriptError error = engine.lastError();
  EXPECT_NE(error.number, 0);
  EXPECT_FALSE(error.description.empty());
  EXPECT_FALSE(engine.addCode("var = ;"));
  EXPECT_NE(engine.lastError().number, 0);
}
