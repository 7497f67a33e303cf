// SettingsWindow: the channel and the delay, each change stored at once and
// followed by a new synchronisation; and the update check on demand.
#include <windows.h>

#include <cstdio>

#include "app/control_ids.h"
#include "app/program.h"
#include "app/update_check.h"
#include "app/windows.h"
#include "channels/channel_sync.h"
#include "channels/config.h"

namespace ql {
namespace {

constexpr UINT kLabelFlags = DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_LEFT;

// Empty face name: the system picks the face for the GB2312 character set.
const LOGFONTA kNoteFont = {-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, ""};

// What each radio button stores when it is chosen.
struct RadioSetting {
  int id;
  const char* section;
  const char* key;
  const char* value;
};

const RadioSetting kRadioSettings[] = {
    {kIdChannelTaobao, "channel", "channel", "1"}, {kIdChannelJd, "channel", "channel", "2"},
    {kIdChannelBeijing, "channel", "channel", "3"}, {kIdChannelPinduoduo, "channel", "channel", "4"},
    {kIdChannelSuning, "channel", "channel", "5"},  {kIdDelayAdvance, "delay", "type", "1"},
    {kIdDelayPostpone, "delay", "type", "2"},
};

void onSettingChosen(HWND window, HWND button) {
  const int id = GetDlgCtrlID(button);
  for (const RadioSetting& row : kRadioSettings) {
    if (row.id != id) continue;
    if (IsDlgButtonChecked(window, id) == BST_CHECKED) writeSetting(row.section, row.key, row.value);
    syncChannel();
    return;
  }
}

void onDelayEdited(HWND window, HWND) {
  writeSetting("delay", "value", controlText(window, kIdDelayEdit));
  syncChannel();
}

void onCheckUpdateClicked(HWND, HWND) { checkForUpdate(true); }

void onSettingsCreated(HWND window) {
  setTopmost(window, isTopmost(mainWindow()));
  const std::int32_t channel = readSetting("channel", "channel", "1");
  const std::int32_t delay = readSetting("delay", "value", "0");
  const std::int32_t type = readSetting("delay", "type", "1");
  // Selected from code: no clicked event, so nothing is written here.
  for (int id = kIdChannelTaobao; id <= kIdChannelSuning; ++id) {
    CheckDlgButton(window, id, id == kIdChannelGroup + channel ? BST_CHECKED : BST_UNCHECKED);
  }
  CheckDlgButton(window, kIdDelayAdvance, type == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window, kIdDelayPostpone, type == 1 ? BST_UNCHECKED : BST_CHECKED);
  // A change of the box's text: the delay is stored as shown and synchronised once.
  char digits[16];
  std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(delay));
  setControlText(window, kIdDelayEdit, digits);
}

const ControlDefinition kSettingsControls[] = {
    {ControlKind::GroupBox, "分组框_时间渠道", kIdChannelGroup, 8, 16, 488, 80, "时间渠道"},
    {ControlKind::RadioButton, "单选框_渠道淘宝", kIdChannelTaobao, 16, 40, 80, 24, "淘宝", kIdChannelGroup, 0,
     nullptr, 0, 0, onSettingChosen, true},
    {ControlKind::RadioButton, "单选框_渠道京东", kIdChannelJd, 120, 40, 80, 24, "京东", kIdChannelGroup, 0,
     nullptr, 0, 0, onSettingChosen},
    {ControlKind::RadioButton, "单选框_渠道北京", kIdChannelBeijing, 216, 40, 80, 24, "北京", kIdChannelGroup, 0,
     nullptr, 0, 0, onSettingChosen},
    {ControlKind::RadioButton, "单选框_渠道拼多多", kIdChannelPinduoduo, 304, 40, 80, 24, "拼多多", kIdChannelGroup,
     0, nullptr, 0, 0, onSettingChosen},
    {ControlKind::RadioButton, "单选框_渠道苏宁", kIdChannelSuning, 392, 40, 80, 24, "苏宁", kIdChannelGroup, 0,
     nullptr, 0, 0, onSettingChosen},
    {ControlKind::GroupBox, "分组框_延迟设置", kIdDelayGroup, 8, 112, 488, 80, "延迟设置"},
    {ControlKind::RadioButton, "单选框_延迟提前", kIdDelayAdvance, 16, 24, 56, 24, "提前", kIdDelayGroup, 0,
     nullptr, 0, 0, onSettingChosen, true},
    {ControlKind::RadioButton, "单选框_延迟退后", kIdDelayPostpone, 96, 24, 56, 24, "推后", kIdDelayGroup, 0,
     nullptr, 0, 0, onSettingChosen},
    {ControlKind::EditBox, "编辑框_延迟数值", kIdDelayEdit, 160, 24, 208, 24, "0", kIdDelayGroup, 0, nullptr, 0, 0,
     onDelayEdited, false, ES_CENTER, WS_EX_STATICEDGE, "0123456789-"},
    {ControlKind::Label, "标签_延迟1", kIdDelayUnitLabel, 376, 24, 72, 24, "ms", kIdDelayGroup, kLabelFlags},
    {ControlKind::Label, "标签_延迟说明", kIdDelayNoteLabel, 16, 56, 312, 16,
     "*注意：默认情况无需设置，仅供特殊用户需求", kIdDelayGroup, kLabelFlags, &kNoteFont},
    {ControlKind::Button, "按钮_检测更新", kIdCheckUpdateButton, 8, 200, 488, 32, "检测更新", 0, 0, nullptr, 0, 0,
     onCheckUpdateClicked},
};

}  // namespace

const WindowDefinition kSettingsWindow = {
    kSettingsWindowClass,
    "设置",
    kToolDialogStyle,
    0,
    515,
    274,
    0,
    COLOR_BTNFACE,
    0,
    false,
    true,
    true,
    kSettingsControls,
    static_cast<int>(sizeof kSettingsControls / sizeof kSettingsControls[0]),
    onSettingsCreated,
    nullptr,
    nullptr,
};

}  // namespace ql
