// The settings window end to end: opened from the tray menu of the running
// clock, every click and keystroke reaching config.ini, the emulator and the
// clock at once; the update check on demand.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "clock_harness.h"

using namespace qle2e;
using namespace qlprobe;

namespace {

constexpr char kWebsite[] = "http://qinglan.example/download";
// Shifts of the same clock measured before and after a change that fetched
// nothing (so that the measured offset stays exactly): both medians carry the
// same lag; what remains is the timer's phase.
constexpr int kShiftTolerance = 8;

struct ChannelRow {
  int id;
  const char* value;
  const char* label;
  const char* path;
};

const ChannelRow kChannels[] = {
    {ql::kIdChannelTaobao, "1", "淘宝", "/rest/api3.do?api=mtop.common.getTimestamp"},
    {ql::kIdChannelJd, "2", "京东", "/client.action?functionId=queryMaterialProducts&client=wh5"},
    {ql::kIdChannelBeijing, "3", "北京", "/v1/toolkit/time"},
    {ql::kIdChannelPinduoduo, "4", "拼多多", "/api/server/_stm"},
    {ql::kIdChannelSuning, "5", "苏宁", "/api/ct.do"},
};

struct Place {
  int id;
  const char* className;
  const char* caption;
  int left, top, width, height;  // client coordinates of the window
};

// Places inside a group box are the group's place plus the control's.
const Place kLayout[] = {
    {ql::kIdChannelGroup, "Button", "时间渠道", 8, 16, 488, 80},
    {ql::kIdChannelTaobao, "Button", "淘宝", 8 + 16, 16 + 40, 80, 24},
    {ql::kIdChannelJd, "Button", "京东", 8 + 120, 16 + 40, 80, 24},
    {ql::kIdChannelBeijing, "Button", "北京", 8 + 216, 16 + 40, 80, 24},
    {ql::kIdChannelPinduoduo, "Button", "拼多多", 8 + 304, 16 + 40, 80, 24},
    {ql::kIdChannelSuning, "Button", "苏宁", 8 + 392, 16 + 40, 80, 24},
    {ql::kIdDelayGroup, "Button", "延迟设置", 8, 112, 488, 80},
    {ql::kIdDelayAdvance, "Button", "提前", 8 + 16, 112 + 24, 56, 24},
    {ql::kIdDelayPostpone, "Button", "推后", 8 + 96, 112 + 24, 56, 24},
    {ql::kIdDelayEdit, "Edit", nullptr, 8 + 160, 112 + 24, 208, 24},
    {ql::kIdDelayUnitLabel, ql::kLabelClass, "ms", 8 + 376, 112 + 24, 72, 24},
    {ql::kIdDelayNoteLabel, ql::kLabelClass, "*注意：默认情况无需设置，仅供特殊用户需求", 8 + 16, 112 + 56, 312, 16},
    {ql::kIdCheckUpdateButton, "Button", "检测更新", 8, 200, 488, 32},
};

RECT rectOf(const Place& p) { return RECT{p.left, p.top, p.left + p.width, p.top + p.height}; }

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(emulator::reset()) << "the platform emulator does not answer on 47801"; }

  // Starts the clock and opens the settings window from the tray menu.
  // `synchronises`: the stored channel is one that is asked.
  void open(const char* ini = nullptr, const char* variant = kEmulated, bool synchronises = true) {
    if (ini) run_.writeConfig(ini);
    ASSERT_TRUE(run_.start(variant));
    ASSERT_NE(run_.waitShown(), nullptr) << "no clock window; exit code " << run_.process().exitCode();
    ASSERT_TRUE(waitTicking(timeLabel()));
    requestsBeforeOpen_ = emulator::requests().size();
    ASSERT_TRUE(run_.chooseTrayMenuItem(0));
    settings_ = run_.window(ql::kSettingsWindowClass);
    ASSERT_NE(settings_, nullptr) << "the settings window did not open";
    // Opening sets the delay box from code, which synchronises once.
    if (synchronises) {
      ASSERT_TRUE(waitUntil([&] { return emulator::requests().size() > requestsBeforeOpen_; }))
          << "no synchronisation when the window opened";
    }
  }
  HWND item(int id) const { return control(settings_, id); }
  HWND timeLabel() const { return control(run_.main(), ql::kIdTimeLabel); }
  std::string delayLabel() const { return run_.label(ql::kIdDelayLabel); }
  std::string channelLabel() const { return run_.label(ql::kIdChannelLabel); }
  int requestsOf(const std::string& channel) const { return static_cast<int>(emulator::requestsOf(channel).size()); }
  std::vector<int> checkedRadios() const {
    std::vector<int> out;
    for (int id = ql::kIdChannelTaobao; id <= ql::kIdDelayPostpone; ++id) {
      if (id != ql::kIdDelayGroup && isChecked(item(id))) out.push_back(id);
    }
    return out;
  }
  // Replaces the delay box's text by typing, one posted character at a time.
  void typeDelay(const std::string& text) {
    ASSERT_TRUE(selectAll(item(ql::kIdDelayEdit)));
    ASSERT_TRUE(typeChars(item(ql::kIdDelayEdit), text));
  }
  int shownMinusLocal() const { return measureOffset(timeLabel(), 31).median; }

  ClockRun run_;
  HWND settings_ = nullptr;
  std::size_t requestsBeforeOpen_ = 0;
};

// ---------------------------------------------------------------------------
// Opening

TEST_F(SettingsTest, OpensWithTaobaoAdvanceAndZeroWithoutConfigFileAndWritesTheDelay) {
  ASSERT_NO_FATAL_FAILURE(open());
  EXPECT_EQ(checkedRadios(), (std::vector<int>{ql::kIdChannelTaobao, ql::kIdDelayAdvance}));
  EXPECT_EQ(run_.text(settings_, ql::kIdDelayEdit), "0");
  EXPECT_TRUE(run_.configExists());
  EXPECT_EQ(run_.setting("delay", "value"), "0");
  EXPECT_EQ(run_.setting("channel", "channel"), "<absent>") << "radio buttons selected from code write nothing";
  EXPECT_EQ(run_.setting("delay", "type"), "<absent>");
  EXPECT_EQ(requestsOf("1"), 2) << "one synchronisation at start, one when the box was set";
}

TEST_F(SettingsTest, WindowIsModalTopmostCentredAndLaidOutAsDesigned) {
  ASSERT_NO_FATAL_FAILURE(open());
  WindowInfo w = describe(settings_);
  expectToolDialogFrame(w, "设置", 515, 274);
  EXPECT_FALSE(wouldHaveTaskbarButton(w));
  EXPECT_FALSE(IsWindowEnabled(run_.main())) << "the clock is disabled while the settings window is open";

  for (const Place& p : kLayout) {
    SCOPED_TRACE(p.id);
    HWND child = item(p.id);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(className(child), p.className);
    RECT r = rectInClient(child, settings_);
    RECT want = rectOf(p);
    EXPECT_TRUE(EqualRect(&r, &want)) << r.left << "," << r.top << " " << r.right - r.left << "x" << r.bottom - r.top;
    if (p.caption) {
      EXPECT_EQ(windowText(child), p.caption);
    }
  }
  auto buttonType = [&](int id) { return GetWindowLongA(item(id), GWL_STYLE) & BS_TYPEMASK; };
  EXPECT_EQ(buttonType(ql::kIdChannelGroup), BS_GROUPBOX);
  EXPECT_EQ(buttonType(ql::kIdDelayGroup), BS_GROUPBOX);
  for (int id : {ql::kIdChannelTaobao, ql::kIdChannelSuning, ql::kIdDelayAdvance, ql::kIdDelayPostpone}) {
    LONG type = buttonType(id);
    EXPECT_TRUE(type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) << id;
  }
  HWND edit = item(ql::kIdDelayEdit);
  LONG editStyle = GetWindowLongA(edit, GWL_STYLE);
  EXPECT_TRUE(editStyle & ES_CENTER);
  EXPECT_FALSE(editStyle & ES_MULTILINE);
  EXPECT_TRUE(GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_STATICEDGE);

  // The picture: group frames, radio circles, the white edit box and the
  // Chinese captions where the layout puts them.
  Sleep(300);
  Image shot = run_.screenshot(settings_, "settings");
  POINT origin = {0, 0};
  ClientToScreen(settings_, &origin);
  const int dx = origin.x - w.rect.left, dy = origin.y - w.rect.top;
  auto onShot = [&](const RECT& r) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; };
  for (const Place& p : kLayout) {
    SCOPED_TRACE(p.id);
    RECT r = onShot(rectOf(p));
    if (p.id == ql::kIdChannelGroup || p.id == ql::kIdDelayGroup) {
      // A frame line along the bottom edge, and the caption's glyphs at the top left.
      RECT bottom = {r.left + 20, r.bottom - 3, r.right - 20, r.bottom};
      EXPECT_GE(shot.count(bottom, [](const Rgb& c) { return c.r < 200 || c.g < 200 || c.b < 200; }), 400);
      EXPECT_GE(shot.count(RECT{r.left, r.top, r.left + 80, r.top + 14}, isInk), 30);
    } else if (p.id == ql::kIdDelayEdit) {
      EXPECT_GE(shot.count(r, isWhite), (p.width * p.height) / 2) << "the edit box is white";
      EXPECT_GE(shot.count(r, isInk), 5) << "its 0";
    } else {
      EXPECT_GE(shot.count(r, isInk), p.id == ql::kIdDelayUnitLabel ? 8 : 30) << "nothing drawn";
    }
  }
  // The radio circles of the selected channel and direction: a dark dot inside.
  for (int id : {ql::kIdChannelTaobao, ql::kIdDelayAdvance}) {
    const Place* p = nullptr;
    for (const Place& q : kLayout) {
      if (q.id == id) p = &q;
    }
    RECT circle = onShot(RECT{p->left, p->top, p->left + 16, p->top + p->height});
    EXPECT_GE(shot.count(circle, isDark), 4) << id;
  }
}

struct StoredCase {
  const char* name;
  const char* ini;
  std::vector<int> checked;
  const char* box;  // the delay box's text
  bool synchronises = true;
};

void PrintTo(const StoredCase& c, std::ostream* os) { *os << c.name; }

class SettingsStoredTest : public SettingsTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(SettingsStoredTest, OpensShowingWhatTheFileHolds) {
  ASSERT_NO_FATAL_FAILURE(open(GetParam().ini, kEmulated, GetParam().synchronises));
  EXPECT_EQ(checkedRadios(), GetParam().checked);
  EXPECT_EQ(run_.text(settings_, ql::kIdDelayEdit), GetParam().box);
  EXPECT_EQ(run_.setting("delay", "value"), GetParam().box) << "the box's text is written back as shown";
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsStoredTest,
    ::testing::Values(
        StoredCase{"Jd", "[channel]\r\nchannel=2\r\n", {ql::kIdChannelJd, ql::kIdDelayAdvance}, "0"},
        StoredCase{"Suning", "[channel]\r\nchannel=5\r\n", {ql::kIdChannelSuning, ql::kIdDelayAdvance}, "0"},
        StoredCase{"ChannelZero", "[channel]\r\nchannel=0\r\n", {ql::kIdDelayAdvance}, "0", false},
        StoredCase{"ChannelSix", "[channel]\r\nchannel=6\r\n", {ql::kIdDelayAdvance}, "0", false},
        StoredCase{"TypeTwo", "[delay]\r\ntype=2\r\nvalue=15\r\n", {ql::kIdChannelTaobao, ql::kIdDelayPostpone}, "15"},
        StoredCase{"TypeZero", "[delay]\r\ntype=0\r\n", {ql::kIdChannelTaobao, ql::kIdDelayPostpone}, "0"},
        StoredCase{"TypeText", "[delay]\r\ntype=up\r\n", {ql::kIdChannelTaobao, ql::kIdDelayPostpone}, "0"},
        StoredCase{"TypeOne", "[delay]\r\ntype=1\r\n", {ql::kIdChannelTaobao, ql::kIdDelayAdvance}, "0"},
        StoredCase{"ValueWithLetters", "[delay]\r\nvalue=45abc\r\n", {ql::kIdChannelTaobao, ql::kIdDelayAdvance}, "45"},
        StoredCase{"ValueWithoutDigits", "[delay]\r\nvalue=abc\r\n", {ql::kIdChannelTaobao, ql::kIdDelayAdvance}, "0"},
        StoredCase{"ValueFullWidth", "[delay]\r\nvalue=１２\r\n", {ql::kIdChannelTaobao, ql::kIdDelayAdvance}, "12"},
        StoredCase{"ValueNegative", "[delay]\r\nvalue=-25\r\n", {ql::kIdChannelTaobao, ql::kIdDelayAdvance}, "-25"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, StoredChannelOutsideTheRangeSelectsNoneUntilOneIsChosen) {
  ASSERT_NO_FATAL_FAILURE(open("[channel]\r\nchannel=6\r\n", kEmulated, false));
  EXPECT_EQ(requestsOf("1") + requestsOf("2") + requestsOf("3") + requestsOf("4") + requestsOf("5"), 0);
  ASSERT_TRUE(clickButton(item(ql::kIdChannelPinduoduo)));
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdChannelLabel, "拼多多"), "拼多多");
  EXPECT_EQ(run_.setting("channel", "channel"), "4");
  EXPECT_EQ(requestsOf("4"), 1);
  EXPECT_EQ(checkedRadios(), (std::vector<int>{ql::kIdChannelPinduoduo, ql::kIdDelayAdvance}));
}

// ---------------------------------------------------------------------------
// Choosing

TEST_F(SettingsTest, EachChannelIsWrittenAndTheClockFollows) {
  ASSERT_TRUE(emulator::configure("{\"skew_ms\": 1500}"));
  ASSERT_NO_FATAL_FAILURE(open());
  for (const ChannelRow& row : kChannels) {
    SCOPED_TRACE(row.label);
    int before = requestsOf(row.value);
    ASSERT_TRUE(clickButton(item(row.id)));
    EXPECT_TRUE(waitUntil([&] { return requestsOf(row.value) == before + 1; }));
    EXPECT_EQ(run_.waitText(run_.main(), ql::kIdChannelLabel, row.label), row.label);
    EXPECT_EQ(run_.setting("channel", "channel"), row.value);
    EXPECT_EQ(emulator::requestsOf(row.value).back().path, row.path);
    EXPECT_TRUE(isChecked(item(row.id)));
    EXPECT_TRUE(clockShows(shownMinusLocal(), 1500));
  }
}

TEST_F(SettingsTest, ClickingTheSelectedButtonWritesAndSynchronisesAgain) {
  ASSERT_NO_FATAL_FAILURE(open());
  ASSERT_TRUE(isChecked(item(ql::kIdChannelTaobao)));
  ASSERT_EQ(run_.setting("channel", "channel"), "<absent>");
  int before = requestsOf("1");
  ASSERT_TRUE(clickButton(item(ql::kIdChannelTaobao)));
  EXPECT_TRUE(waitUntil([&] { return requestsOf("1") == before + 1; }));
  EXPECT_EQ(run_.setting("channel", "channel"), "1");
  // Something else in the file: the next click on the same button writes its value again.
  WritePrivateProfileStringA("channel", "channel", "9", run_.configPath().c_str());
  ASSERT_TRUE(clickButton(item(ql::kIdChannelTaobao)));
  EXPECT_TRUE(waitUntil([&] { return requestsOf("1") == before + 2; }));
  EXPECT_EQ(run_.setting("channel", "channel"), "1");
  ASSERT_TRUE(clickButton(item(ql::kIdDelayAdvance)));
  EXPECT_TRUE(waitUntil([&] { return requestsOf("1") == before + 3; }));
  EXPECT_EQ(run_.setting("delay", "type"), "1");
  EXPECT_TRUE(isChecked(item(ql::kIdDelayAdvance)));
}

TEST_F(SettingsTest, DelayTypedWithAdvanceAndThenPostponeShiftsTheClock) {
  ASSERT_TRUE(emulator::configure("{\"skew_ms\": 1500}"));
  ASSERT_NO_FATAL_FAILURE(open());
  EXPECT_EQ(delayLabel(), "");
  int measured = shownMinusLocal();
  EXPECT_TRUE(clockShows(measured, 1500));
  // Every synchronisation measures the server again, each with its own
  // latency, which would hide 30 ms: with the server away the measured offset
  // stays, and the clock moves by the delay alone.
  ASSERT_TRUE(emulator::configure(R"({"channel_down": ["1"]})"));
  typeDelay("30");
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, "提前:30ms"), "提前:30ms");
  EXPECT_TRUE(waitUntil([&] { return run_.setting("delay", "value") == "30"; }));
  EXPECT_NEAR(shownMinusLocal() - measured, -30, kShiftTolerance);

  ASSERT_TRUE(clickButton(item(ql::kIdDelayPostpone)));
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, "延后:30ms"), "延后:30ms");
  EXPECT_EQ(run_.setting("delay", "type"), "2");
  EXPECT_NEAR(shownMinusLocal() - measured, 30, kShiftTolerance);
  EXPECT_EQ(checkedRadios(), (std::vector<int>{ql::kIdChannelTaobao, ql::kIdDelayPostpone}));

  // With the server back, the delay is folded into each new measurement.
  ASSERT_TRUE(emulator::configure(R"({"channel_down": []})"));
  ASSERT_TRUE(clickButton(item(ql::kIdDelayAdvance)));
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, "提前:30ms"), "提前:30ms");
  EXPECT_TRUE(clockShows(shownMinusLocal(), 1500 - 30));
}

// Each keystroke is one change: typing 120 writes 1, 12 and 120 and
// synchronises three times.
TEST_F(SettingsTest, EveryKeystrokeWritesAndSynchronises) {
  ASSERT_NO_FATAL_FAILURE(open());
  int before = requestsOf("1");
  ASSERT_TRUE(selectAll(item(ql::kIdDelayEdit)));
  for (const char* step : {"1", "12", "120"}) {
    SCOPED_TRACE(step);
    ASSERT_TRUE(typeChars(item(ql::kIdDelayEdit), std::string(1, step[std::string(step).size() - 1])));
    EXPECT_TRUE(waitUntil([&] { return run_.setting("delay", "value") == step; }));
    EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, std::string("提前:") + step + "ms"),
              std::string("提前:") + step + "ms");
  }
  EXPECT_TRUE(waitUntil([&] { return requestsOf("1") == before + 3; }));
  settle();
  EXPECT_EQ(requestsOf("1"), before + 3);
}

TEST_F(SettingsTest, LettersAreRefusedMinusIsAcceptedAndPastingIsNotFiltered) {
  ASSERT_NO_FATAL_FAILURE(open("[delay]\r\nvalue=7\r\n"));
  HWND edit = item(ql::kIdDelayEdit);
  int before = requestsOf("1");
  ASSERT_TRUE(typeChars(edit, "a x.+"));
  settle();
  EXPECT_EQ(run_.text(settings_, ql::kIdDelayEdit), "7");
  EXPECT_EQ(requestsOf("1"), before) << "a refused character changes nothing";

  typeDelay("-5");
  EXPECT_TRUE(waitUntil([&] { return run_.setting("delay", "value") == "-5"; }));
  EXPECT_EQ(run_.text(settings_, ql::kIdDelayEdit), "-5");
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, ""), "") << "a negative delay empties the label";

  // Control keys pass: Backspace removes the 5.
  ASSERT_TRUE(typeChars(edit, "\b"));
  EXPECT_TRUE(waitUntil([&] { return run_.setting("delay", "value") == "-"; }));

  ASSERT_TRUE(selectAll(edit));
  ASSERT_TRUE(pasteText(edit, "12ab"));
  EXPECT_TRUE(waitUntil([&] { return run_.setting("delay", "value") == "12ab"; })) << run_.setting("delay", "value");
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, "提前:12ms"), "提前:12ms");
}

// ---------------------------------------------------------------------------
// The mended faults, through the settings window

// With the channel's server gone, typing 120 leaves the clock exactly 120 ms
// from the last measured time, however many synchronisations fail after it.
TEST_F(SettingsTest, FailedSynchronisationsFoldTheDelayInOnlyOnce) {
  ASSERT_TRUE(emulator::configure("{\"skew_ms\": 1500}"));
  ASSERT_NO_FATAL_FAILURE(open());
  int measured = shownMinusLocal();
  EXPECT_TRUE(clockShows(measured, 1500));
  ASSERT_TRUE(emulator::configure(R"({"channel_down": ["1"]})"));
  typeDelay("120");
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, "提前:120ms"), "提前:120ms");
  EXPECT_NEAR(shownMinusLocal() - measured, -120, kShiftTolerance) << "not 1 + 12 + 120";
  for (int i = 0; i < 3; ++i) {
    int before = requestsOf("1");
    ASSERT_TRUE(clickButton(item(ql::kIdChannelTaobao)));
    ASSERT_TRUE(waitUntil([&] { return requestsOf("1") > before; }));
  }
  settle(300);
  EXPECT_NEAR(shownMinusLocal() - measured, -120, kShiftTolerance) << "three more failed synchronisations";
  typeDelay("0");
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, ""), "");
  EXPECT_NEAR(shownMinusLocal() - measured, 0, kShiftTolerance) << "delay 0 shows the measured time again";
  // The server back with another clock: the next synchronisation measures it.
  ASSERT_TRUE(emulator::configure(R"({"channel_down": [], "skew_ms": 4000})"));
  ASSERT_TRUE(clickButton(item(ql::kIdChannelTaobao)));
  EXPECT_TRUE(waitUntil([&] { return static_cast<bool>(clockShows(shownMinusLocal(), 4000)); }, 10000));
}

// A later answer without a timestamp keeps the offset measured before it.
TEST_F(SettingsTest, AnswerWithoutTimestampKeepsTheMeasuredOffset) {
  ASSERT_TRUE(emulator::configure("{\"skew_ms\": 1500}"));
  ASSERT_NO_FATAL_FAILURE(open("[channel]\r\nchannel=2\r\n"));
  int measured = shownMinusLocal();
  EXPECT_TRUE(clockShows(measured, 1500));
  ASSERT_TRUE(
      emulator::configure(R"({"bodies": {"2": "{\"returnMsg\":\"system already offline\",\"code\":\"-2\"}"}})"));
  int before = requestsOf("2");
  ASSERT_TRUE(clickButton(item(ql::kIdChannelJd)));
  ASSERT_TRUE(waitUntil([&] { return requestsOf("2") > before; }));
  settle(300);
  EXPECT_EQ(channelLabel(), "京东");
  EXPECT_NEAR(shownMinusLocal() - measured, 0, kShiftTolerance);
}

// Characters posted in a burst are handled while the first synchronisation's
// request lets messages through: the synchronisations nest, each runs to its
// end, and the outermost, finishing last, leaves the final state.
TEST_F(SettingsTest, NestedSynchronisationsEndConsistent) {
  ASSERT_TRUE(emulator::configure("{\"skew_ms\": 1500}"));
  ASSERT_NO_FATAL_FAILURE(open());
  int before = requestsOf("1");
  typeDelay("250");
  EXPECT_TRUE(waitUntil([&] { return requestsOf("1") == before + 3; }));
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdDelayLabel, "提前:250ms"), "提前:250ms");
  EXPECT_EQ(run_.setting("delay", "value"), "250");
  // Each of the three measured the server anew: the clock is the server time
  // less the final delay, within the synchronisation's own latency.
  EXPECT_TRUE(clockShows(shownMinusLocal(), 1500 - 250));

  // A burst of channel clicks, then one more: the program answers it normally.
  for (int id : {ql::kIdChannelJd, ql::kIdChannelBeijing, ql::kIdChannelSuning}) ASSERT_TRUE(clickButton(item(id)));
  settle();
  ASSERT_TRUE(clickButton(item(ql::kIdChannelPinduoduo)));
  EXPECT_EQ(run_.waitText(run_.main(), ql::kIdChannelLabel, "拼多多"), "拼多多");
  EXPECT_EQ(run_.setting("channel", "channel"), "4");
  EXPECT_TRUE(clockShows(shownMinusLocal(), 1500 - 250));
  EXPECT_TRUE(run_.process().running());
}

// ---------------------------------------------------------------------------
// The update button

TEST_F(SettingsTest, UpdateButtonConfirmsTheCurrentVersion) {
  ASSERT_NO_FATAL_FAILURE(open());
  int before = requestsOf("manifest");
  ASSERT_TRUE(clickButton(item(ql::kIdCheckUpdateButton)));
  MessageBoxInfo box = waitMessageBox(run_.pid(), kPatience);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.title, "检测更新");
  EXPECT_EQ(box.text, "当前已是最新版本");
  EXPECT_EQ(box.owner, run_.main());
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(requestsOf("manifest"), before + 1);
  ASSERT_TRUE(pressDialogButton(box.hwnd, IDOK));
  EXPECT_TRUE(waitGone(box.hwnd, kPatience));
  EXPECT_TRUE(IsWindow(run_.main()));
  EXPECT_TRUE(IsWindow(settings_));
  EXPECT_TRUE(openedAddresses().empty());
}

TEST_F(SettingsTest, UpdateButtonAnnouncesANewerVersionAndClosesTheClockOnly) {
  ASSERT_NO_FATAL_FAILURE(open());
  ASSERT_TRUE(emulator::configure(R"({"version": 3})"));
  ASSERT_TRUE(clickButton(item(ql::kIdCheckUpdateButton)));
  MessageBoxInfo box = waitMessageBox(run_.pid(), kPatience);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.title, "发现新版本");
  EXPECT_EQ(box.text, "发现新版本，前往官网下载");
  EXPECT_EQ(box.owner, nullptr);
  ASSERT_TRUE(pressDialogButton(box.hwnd, IDOK));
  EXPECT_TRUE(waitGone(run_.main(), kPatience));
  EXPECT_TRUE(waitUntil([] { return !openedAddresses().empty(); }));
  EXPECT_EQ(openedAddresses(), std::vector<std::string>{kWebsite});
  settle();
  EXPECT_TRUE(IsWindow(settings_)) << "the settings window stays open";
  EXPECT_TRUE(run_.process().running());
  ASSERT_TRUE(pressKey(settings_, VK_ESCAPE));
  ASSERT_TRUE(run_.waitExit());
  EXPECT_EQ(run_.process().exitCode(), 0u);
  EXPECT_EQ(run_.traceCount("scratch-release"), 1);
}

TEST_F(SettingsTest, UnreachableManifestClosesTheClockButNotTheSettingsWindow) {
  ASSERT_NO_FATAL_FAILURE(open());
  ASSERT_TRUE(emulator::configure(R"({"manifest": "down"})"));
  HWND main = run_.main();
  ASSERT_TRUE(clickButton(item(ql::kIdCheckUpdateButton)));
  EXPECT_TRUE(waitGone(main, kPatience));
  EXPECT_EQ(run_.traceCount("tray-delete"), 1);
  settle();
  EXPECT_TRUE(messageBoxes(run_.pid()).empty());
  EXPECT_TRUE(IsWindow(settings_));
  EXPECT_TRUE(run_.process().running()) << "the program ends only when the settings window closes";
  ASSERT_TRUE(pressKey(settings_, VK_ESCAPE));
  ASSERT_TRUE(run_.waitExit());
  EXPECT_EQ(run_.process().exitCode(), 0u);
  EXPECT_EQ(run_.traceCount("scratch-release"), 1);
}

TEST_F(SettingsTest, BuildWithoutManifestHostShowsTheUpToDateBox) {
  ASSERT_NO_FATAL_FAILURE(open(nullptr, kNoUpdate));
  ASSERT_TRUE(emulator::configure(R"({"version": 3})"));
  ASSERT_TRUE(clickButton(item(ql::kIdCheckUpdateButton)));
  MessageBoxInfo box = waitMessageBox(run_.pid(), kPatience);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.title, "检测更新");
  EXPECT_EQ(box.text, "当前已是最新版本");
  EXPECT_EQ(requestsOf("manifest"), 0);
  ASSERT_TRUE(pressDialogButton(box.hwnd, IDOK));
  EXPECT_TRUE(waitGone(box.hwnd, kPatience));
}

// ---------------------------------------------------------------------------
// Closing

TEST_F(SettingsTest, EscapeClosesTheWindowAndEnablesTheClock) {
  ASSERT_NO_FATAL_FAILURE(open());
  EXPECT_FALSE(IsWindowEnabled(run_.main()));
  ASSERT_TRUE(pressKey(settings_, VK_ESCAPE));
  EXPECT_TRUE(waitGone(settings_, kPatience));
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(run_.main()) != FALSE; }));
  EXPECT_TRUE(run_.process().running());
  // Opened again, it shows what the file now holds.
  WritePrivateProfileStringA("channel", "channel", "3", run_.configPath().c_str());
  ASSERT_TRUE(run_.chooseTrayMenuItem(0));
  settings_ = run_.window(ql::kSettingsWindowClass);
  ASSERT_NE(settings_, nullptr);
  EXPECT_TRUE(waitUntil([&] { return isChecked(item(ql::kIdChannelBeijing)); }));
  ASSERT_TRUE(pressKey(settings_, VK_ESCAPE));
  EXPECT_TRUE(waitGone(settings_, kPatience));
}

}  // namespace
