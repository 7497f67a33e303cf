#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "channels/channel_sync.h"
#include "channels/config.h"
#include "channels/deployment.h"
#include "clock/clock_core.h"
#include "common/automation.h"
#include "emulator_client.h"
#include "script/json_document.h"
#include "script/script_host.h"

using namespace ql;
using qltest::Emulator;
using qltest::jsonString;
using qltest::LoggedRequest;

namespace {

const char* const kJdUserAgent =
    "Mozilla/5.0 (Linux; Android 6.0; Nexus 5 Build/MRA58N) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/95.0.4638.69 Mobile Safari/537.36";

struct ChannelCase {
  ChannelId id;
  const char* label;
  const char* path;  // what the platform's endpoint is asked for
};
const ChannelCase kChannels[] = {
    {1, "淘宝", "/rest/api3.do?api=mtop.common.getTimestamp"},
    {2, "京东", "/client.action?functionId=queryMaterialProducts&client=wh5"},
    {3, "北京", "/v1/toolkit/time"},
    {4, "拼多多", "/api/server/_stm"},
    {5, "苏宁", "/api/ct.do"},
};

std::vector<std::pair<ClockLabel, Text>> g_labels;
void captureLabel(ClockLabel label, const Text& text) { g_labels.emplace_back(label, text); }

std::vector<Text> labelsWritten(ClockLabel which) {
  std::vector<Text> texts;
  for (const auto& [label, text] : g_labels) {
    if (label == which) texts.push_back(text);
  }
  return texts;
}

// The largest step of the local clock as the program reads it: the clock may
// advance in steps of a few milliseconds, so a reading can lag the true time
// (which the emulator stamps) by up to one step.
std::int64_t clockStep() {
  static const std::int64_t step = [] {
    std::int64_t largest = 1, last = readUnixClock(true);
    for (int changes = 0; changes < 8;) {
      std::int64_t now = readUnixClock(true);
      if (now != last) {
        largest = std::max(largest, now - last);
        last = now;
        ++changes;
      }
    }
    return largest;
  }();
  return step;
}

// The local clock read just before and just after one synchronisation.
struct Window {
  std::int64_t before;
  std::int64_t after;
};

Window timedSync() {
  Window window;
  window.before = readUnixClock(true);
  syncChannel();
  window.after = readUnixClock(true);
  return window;
}

// The emulator stamped its answer at some instant a inside the window as
// a + skew; the program read its clock at l, after the answer, so the offset
// l - (a + skew) lies between -skew (less one clock step) and the window's
// length - skew.
testing::AssertionResult offsetFitsSkew(std::int32_t offset, std::int64_t skewMs, const Window& window) {
  std::int64_t low = -skewMs - clockStep() - 1, high = window.after - window.before - skewMs + 1;
  if (offset >= low && offset <= high) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "offset " << offset << " outside [" << low << ", " << high << "]";
}

// A fixed stamp S: the offset is the low 32 bits of l - S for the program's
// reading l inside the window.
testing::AssertionResult offsetFitsStamp(std::int32_t offset, std::int64_t stamp, const Window& window) {
  auto sinceBefore =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(offset) - static_cast<std::uint32_t>(window.before - stamp));
  if (sinceBefore >= 0 && sinceBefore <= window.after - window.before) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "offset " << offset << " is " << sinceBefore
                                     << " ms from the low 32 bits of (before - stamp); window "
                                     << window.after - window.before << " ms";
}

std::string bodies(ChannelId id, const Text& body) {
  return "{\"bodies\":{\"" + std::to_string(id) + "\":" + jsonString(body) + "}}";
}

// An answer carrying a timestamp at every channel's key, the real one ("{ms}")
// only at `own`'s: read at any other key it would be 1000 ms after 1970.
Text decoyBody(ChannelId own) {
  auto value = [own](ChannelId id, bool quoted) {
    Text v = id == own ? "{ms}" : "1000";
    return quoted ? "\"" + v + "\"" : v;
  };
  return "{\"data\":{\"t\":" + value(1, true) + "},\"currentTime2\":" + value(2, true) +
         ",\"timestamp\":" + value(3, false) + ",\"server_time\":" + value(4, false) +
         ",\"currentTime\":" + value(5, false) + "}";
}

class SyncTest : public testing::Test {
 protected:
  void SetUp() override {
    QL_REQUIRE_EMULATOR();
    ASSERT_TRUE(emulator().reset());
    DeleteFileA(configPath().c_str());
    Deployment& d = deployment();
    d.channelHosts[0] = d.channelHosts[3] = emulator().httpHost().c_str();
    d.channelHosts[1] = d.channelHosts[2] = d.channelHosts[4] = emulator().httpsHost().c_str();
    createJsonScratch();
    measuredOffsetMs = 0;
    serverOffsetMs = 0;
    g_labels.clear();
    setClockLabelWriter(captureLabel);
  }

  void TearDown() override {
    setClockLabelWriter(nullptr);
    DeleteFileA(configPath().c_str());
    for (const char*& host : deployment().channelHosts) host = "";
  }

  static Emulator& emulator() { return Emulator::instance(); }

  static void expectScratchEmpty() {
    ASSERT_NE(jsonScratch(), nullptr);
    EXPECT_EQ(jsonScratch()->toJson(), "{}");
  }
};

}  // namespace

TEST_F(SyncTest, WithoutSettingsChannelOneIsAskedAndNoDelayIsFolded) {
  Window window = timedSync();
  std::vector<LoggedRequest> requests = emulator().requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].channel, "1");
  // A server clock equal to the local one: an offset of 0, within the window.
  EXPECT_TRUE(offsetFitsSkew(measuredOffsetMs, 0, window));
  EXPECT_EQ(serverOffsetMs, measuredOffsetMs);
  EXPECT_EQ(labelsWritten(ClockLabel::Channel), std::vector<Text>{"淘宝"});
  EXPECT_EQ(labelsWritten(ClockLabel::Delay), std::vector<Text>{""});
  expectScratchEmpty();
}

TEST_F(SyncTest, EachChannelIsAskedAtItsAddressAndReadAtItsKey) {
  for (const ChannelCase& c : kChannels) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(emulator().reset());
    ASSERT_TRUE(emulator().configure("{\"skew_ms\":1500}"));
    writeSetting("channel", "channel", std::to_string(c.id));

    // The platform's own answer shape (a string or a number at the key), then
    // an answer with decoy stamps at the other channels' keys.
    for (bool decoys : {false, true}) {
      if (decoys) {
        ASSERT_TRUE(emulator().configure(bodies(c.id, decoyBody(c.id))));
      }
      g_labels.clear();
      measuredOffsetMs = 777777;
      Window window = timedSync();
      EXPECT_TRUE(offsetFitsSkew(measuredOffsetMs, 1500, window)) << "decoys " << decoys;
      EXPECT_EQ(serverOffsetMs, measuredOffsetMs);
      EXPECT_EQ(labelsWritten(ClockLabel::Channel), std::vector<Text>{c.label});
      EXPECT_EQ(labelsWritten(ClockLabel::Delay), std::vector<Text>{""});
      expectScratchEmpty();
    }

    // The emulator routes channels 1 and 4 on its http port only and the
    // others on its https port only: the channel it logged proves the scheme.
    std::vector<LoggedRequest> requests = emulator().requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const LoggedRequest& request : requests) {
      EXPECT_EQ(request.channel, std::to_string(c.id));
      EXPECT_EQ(request.path, c.path);
      // Only JD is asked as its mobile page would be; the others get the
      // client's default line.
      if (c.id == 2)
        EXPECT_EQ(request.userAgent, kJdUserAgent);
      else
        EXPECT_EQ(request.userAgent.find("Nexus 5"), std::string::npos) << request.userAgent;
    }
  }
}

TEST_F(SyncTest, AServerClockHoursBehindGivesALargePositiveOffset) {
  const std::int64_t skew = -(5LL * 3600 * 1000 + 4321);
  ASSERT_TRUE(emulator().configure("{\"skew_ms\":" + std::to_string(skew) + "}"));
  for (ChannelId id : {1, 3}) {  // over http and over https
    writeSetting("channel", "channel", std::to_string(id));
    Window window = timedSync();
    EXPECT_TRUE(offsetFitsSkew(measuredOffsetMs, skew, window)) << "channel " << id;
    EXPECT_EQ(serverOffsetMs, measuredOffsetMs);
  }
}

TEST_F(SyncTest, StampsAreReadByTheTextToIntegerRuleModulo32Bits) {
  const struct {
    ChannelId id;
    const char* body;
    std::int64_t stamp;  // the server time the rule reads
  } cases[] = {
      {1, R"({"data":{"t":"1598419791480"}})", 1598419791480},  // 13 digits, beyond 32 bits, a string
      {4, R"({"server_time":1644332582990})", 1644332582990},   // a number
      {5, R"({"api":"time","code":"1","currentTime": 9999999999999,"msg":""})", 9999999999999},
      {3, R"({"code":0,"timestamp":4294967296123})", 4294967296123},  // 2^32 + 123
      {1, R"({"data":{"t":"0"}})", 0},
      {1, R"({"data":{"t":"123.9"}})", 123},  // cut at the decimal point
      {4, R"({"server_time":123.9})", 123},
      {1, R"({"data":{"t":"  -5"}})", -5},
      {1, R"({"data":{"t":"1644332582990ms"}})", 1644332582990},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    ASSERT_TRUE(emulator().configure(bodies(c.id, c.body)));
    std::int64_t before = readUnixClock(true);
    EXPECT_TRUE(fetchServerTime(*channelSpec(c.id)));
    Window window{before, readUnixClock(true)};
    EXPECT_TRUE(offsetFitsStamp(measuredOffsetMs, c.stamp, window));
    expectScratchEmpty();
  }
}

TEST_F(SyncTest, AnAnswerWithoutATimestampKeepsTheMeasuredOffset) {
  writeSetting("channel", "channel", "2");
  writeSetting("delay", "value", "30");
  writeSetting("delay", "type", "1");
  ASSERT_TRUE(emulator().configure("{\"skew_ms\":1500}"));
  Window window = timedSync();
  const std::int32_t measured = measuredOffsetMs;
  ASSERT_TRUE(offsetFitsSkew(measured, 1500, window));
  ASSERT_EQ(serverOffsetMs, measured + 30);

  const char* const answers[] = {
      R"({"returnMsg":"system already offline","code":"-2"})",  // the key is missing
      R"({"currentTime2":null})",
      R"({"currentTime2":""})",
      R"({"currentTime2":"abc1644332582990"})",
      R"({"currentTime2":"-"})",
      R"({"currentTime2":true})",
      R"({"currentTime2":{"t":"1644332582990"}})",
      R"({"currentTime2":"１６４４３３２５８２９９０"})",  // full-width digits arrive as UTF-8, not GBK
  };
  std::size_t asked = emulator().requests().size();
  for (const char* answer : answers) {
    SCOPED_TRACE(answer);
    ASSERT_TRUE(emulator().configure(bodies(2, answer)));
    g_labels.clear();
    syncChannel();
    EXPECT_EQ(emulator().requests().size(), ++asked);
    EXPECT_EQ(measuredOffsetMs, measured);
    EXPECT_EQ(serverOffsetMs, measured + 30);
    EXPECT_EQ(labelsWritten(ClockLabel::Channel), std::vector<Text>{"京东"});
    EXPECT_EQ(labelsWritten(ClockLabel::Delay), std::vector<Text>{"提前:30ms"});
    EXPECT_FALSE(fetchServerTime(*channelSpec(2)));
    EXPECT_EQ(emulator().requests().size(), ++asked);
    expectScratchEmpty();
  }
}

TEST_F(SyncTest, SynchronisationsThatMeasureNothingDoNotAddTheDelayAgain) {
  writeSetting("channel", "channel", "1");
  writeSetting("delay", "value", "30");
  writeSetting("delay", "type", "1");
  ASSERT_TRUE(emulator().configure("{\"skew_ms\":1500}"));
  timedSync();
  const std::int32_t measured = measuredOffsetMs;
  ASSERT_EQ(serverOffsetMs, measured + 30);
  ASSERT_EQ(emulator().requests().size(), 1u);

  // The endpoint hangs up twice, then no channel is chosen twice.
  ASSERT_TRUE(emulator().configure(R"({"channel_down":["1"]})"));
  for (const char* channel : {"1", "1", "0", "0"}) {
    SCOPED_TRACE(channel);
    writeSetting("channel", "channel", channel);
    g_labels.clear();
    syncChannel();
    EXPECT_EQ(measuredOffsetMs, measured);
    EXPECT_EQ(serverOffsetMs, measured + 30);
    EXPECT_EQ(labelsWritten(ClockLabel::Delay), std::vector<Text>{"提前:30ms"});
    EXPECT_EQ(labelsWritten(ClockLabel::Channel).size(), channel[0] == '1' ? 1u : 0u);
  }
  EXPECT_EQ(emulator().requests().size(), 3u);  // the two hung-up requests were made

  // A different delay replaces the old one; no delay shows the measured time again.
  writeSetting("delay", "type", "2");
  syncChannel();
  EXPECT_EQ(serverOffsetMs, measured - 30);
  writeSetting("delay", "value", "0");
  syncChannel();
  EXPECT_EQ(serverOffsetMs, measured);
}

TEST_F(SyncTest, TheDelayIsFoldedOnceIntoTheMeasuredOffset) {
  const struct {
    const char* value;
    const char* type;  // nullptr: no type in the file
    std::int32_t measured;
    const char* label;
    std::int32_t offset;
  } cases[] = {
      {"30", "1", 0, "提前:30ms", 30},
      {"30", "2", 0, "延后:30ms", -30},
      {"30", "0", 1000, "延后:30ms", 970},  // any type but 1 postpones
      {"30", "abc", 1000, "延后:30ms", 970},
      {"30", nullptr, 1000, "提前:30ms", 1030},
      {"３０", "１", -1500, "提前:30ms", -1470},
      {"30ms", "1", -1500, "提前:30ms", -1470},
      {"-30", "1", 1000, "", 1000},  // a negative delay changes nothing
      {"0", "2", 1000, "", 1000},
      {"abc", "1", 1000, "", 1000},
      {"2147483647", "1", 10, "提前:2147483647ms", INT_MIN + 9},  // computed wide, stored as its low 32 bits
      {"30", "1", INT_MAX - 10, "提前:30ms", INT_MIN + 19},
      {"30", "2", INT_MIN + 10, "延后:30ms", INT_MAX - 19},
  };
  writeSetting("channel", "channel", "0");  // nothing is measured: the fold alone
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.value) + " type " + (c.type ? c.type : "absent"));
    writeSetting("delay", "value", c.value);
    if (c.type)
      writeSetting("delay", "type", c.type);
    else
      WritePrivateProfileStringA("delay", "type", nullptr, configPath().c_str());  // removes the key
    measuredOffsetMs = c.measured;
    g_labels.clear();
    syncChannel();
    EXPECT_EQ(serverOffsetMs, c.offset);
    EXPECT_EQ(measuredOffsetMs, c.measured);
    EXPECT_EQ(labelsWritten(ClockLabel::Delay), std::vector<Text>{c.label});
  }
  EXPECT_TRUE(emulator().requests().empty());

  // With a real measurement: delay 30 type 1 on a server in step with the clock.
  writeSetting("channel", "channel", "1");
  writeSetting("delay", "value", "30");
  writeSetting("delay", "type", "1");
  Window window = timedSync();
  EXPECT_TRUE(offsetFitsSkew(measuredOffsetMs, 0, window));
  EXPECT_EQ(serverOffsetMs, measuredOffsetMs + 30);
}

TEST_F(SyncTest, AChannelNumberOutsideTheTableAsksNothing) {
  writeSetting("delay", "value", "30");
  for (const char* channel : {"0", "6", "-1", "abc", "", "１０"}) {
    SCOPED_TRACE(channel);
    writeSetting("channel", "channel", channel);
    measuredOffsetMs = 1234;
    g_labels.clear();
    syncChannel();
    EXPECT_TRUE(labelsWritten(ClockLabel::Channel).empty());  // the label keeps its text
    EXPECT_EQ(labelsWritten(ClockLabel::Delay), std::vector<Text>{"提前:30ms"});
    EXPECT_EQ(serverOffsetMs, 1264);
  }
  EXPECT_TRUE(emulator().requests().empty());
}

TEST_F(SyncTest, AChannelWithoutAHostFailsSoftly) {
  writeSetting("delay", "value", "30");
  for (const ChannelCase& c : kChannels) {
    SCOPED_TRACE(c.label);
    const char* host = deployment().channelHosts[c.id - 1];
    deployment().channelHosts[c.id - 1] = "";
    writeSetting("channel", "channel", std::to_string(c.id));
    measuredOffsetMs = 4321;
    g_labels.clear();
    syncChannel();
    EXPECT_EQ(measuredOffsetMs, 4321);
    EXPECT_EQ(serverOffsetMs, 4351);
    EXPECT_EQ(labelsWritten(ClockLabel::Channel), std::vector<Text>{c.label});
    deployment().channelHosts[c.id - 1] = host;
  }
  EXPECT_TRUE(emulator().requests().empty());
}

TEST_F(SyncTest, WithoutTheScratchDocumentNothingIsAsked) {
  releaseJsonScratch();
  measuredOffsetMs = 4321;
  EXPECT_FALSE(fetchServerTime(*channelSpec(1)));
  syncChannel();
  EXPECT_EQ(measuredOffsetMs, 4321);
  EXPECT_EQ(serverOffsetMs, 4321);
  EXPECT_EQ(labelsWritten(ClockLabel::Channel), (std::vector<Text>{"淘宝", "淘宝"}));
  EXPECT_TRUE(emulator().requests().empty());
  createJsonScratch();
}

TEST_F(SyncTest, AnAnswerThatIsScriptRunsNothing) {
  const Text marker = emulator().windowsDir() + "\\script-ran.txt";
  Text quotedMarker = replaceAll(marker, "\\", "\\\\");
  const Text action = "new ActiveXObject('Scripting.FileSystemObject').CreateTextFile('" + quotedMarker + "').Close()";
  const Text answers[] = {
      "(function(){" + action + "; return {data:{t:'1598419791480'}}})()",
      "{\"data\":{\"t\":(function(){" + action + "; return '1598419791480'})()}}",
  };
  ComInit com;
  for (const Text& answer : answers) {
    SCOPED_TRACE(answer);
    // The answer does its harm when a script engine evaluates it.
    DeleteFileA(marker.c_str());
    ScriptHost engine = ScriptHost::create("MSScriptControl.ScriptControl", "JScript");
    ASSERT_FALSE(engine.empty());
    engine.eval(answer);
    EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the probe itself does not work";
    DeleteFileA(marker.c_str());

    ASSERT_TRUE(emulator().configure(bodies(1, answer)));
    measuredOffsetMs = 4321;
    g_labels.clear();
    syncChannel();
    EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(measuredOffsetMs, 4321);
    EXPECT_EQ(serverOffsetMs, 4321);
    EXPECT_EQ(labelsWritten(ClockLabel::Channel), std::vector<Text>{"淘宝"});
    expectScratchEmpty();
  }
  EXPECT_EQ(emulator().requests().size(), 2u);
}

namespace {

// A click on another channel, handled while a synchronisation waits for its
// answer: the handler stores the channel and synchronises, as the settings
// window does.
constexpr UINT kChooseChannelFour = WM_APP + 4;
LRESULT CALLBACK settingsStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kChooseChannelFour) {
    writeSetting("channel", "channel", "4");
    syncChannel();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST_F(SyncTest, ASynchronisationNestedInsideAnotherLeavesTheNewerResult) {
  // Channel 1 answers 1000 ms after 1970: taken, its offset would be decades.
  ASSERT_TRUE(emulator().configure(bodies(1, R"({"data":{"t":"1000"}})")));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = settingsStandIn;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QinglanNestedSyncTest";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  writeSetting("channel", "channel", "1");
  PostMessageA(window, kChooseChannelFour, 0, 0);

  Window span = timedSync();
  DestroyWindow(window);

  std::vector<LoggedRequest> requests = emulator().requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].channel, "1");
  EXPECT_EQ(requests[1].channel, "4");
  // What the clock ends with agrees with the file: channel 4's measurement and name.
  EXPECT_EQ(readSetting("channel", "channel", "1"), 4);
  EXPECT_TRUE(offsetFitsSkew(measuredOffsetMs, 0, span));
  EXPECT_EQ(serverOffsetMs, measuredOffsetMs);
  EXPECT_EQ(labelsWritten(ClockLabel::Channel), std::vector<Text>{"拼多多"});
  expectScratchEmpty();
}
