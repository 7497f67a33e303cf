// Window class names and control identifiers of the program's windows. Kept in
// one plain header because a test probe driving the running program from
// another process finds the windows and controls by exactly these values.
#pragma once

namespace ql {

constexpr char kToolWindowClass[] = "QinglanToolWindow";
constexpr char kMainWindowClass[] = "QinglanMainWindow";
constexpr char kAboutWindowClass[] = "QinglanAboutWindow";
constexpr char kSettingsWindowClass[] = "QinglanSettingsWindow";
constexpr char kLabelClass[] = "QinglanLabel";
constexpr char kPictureClass[] = "QinglanPicture";
constexpr char kTimerClass[] = "QinglanTimer";

// MainWindow
constexpr int kIdPicture = 1001;        // 图片框1
constexpr int kIdNameLabel = 1002;      // 标签_名称
constexpr int kIdTimeLabel = 1003;      // 标签_时间
constexpr int kIdChannelLabel = 1004;   // 标签_渠道
constexpr int kIdDelayLabel = 1005;     // 标签_主动延迟
constexpr int kIdCloseButton = 1006;    // 图形按钮_关闭
constexpr int kIdClockTimer = 1007;     // 时钟1 (its hidden window)
constexpr unsigned kClockTimerEvent = 1000;
constexpr unsigned kTrayCallbackMessage = 0x8064;  // WM_APP + 100
constexpr unsigned kTrayIconId = 100;
constexpr int kMenuSettings = 2001;  // 托盘菜单: 设置
constexpr int kMenuAbout = 2002;     // 托盘菜单: 关于

// AboutWindow
constexpr int kIdAboutLabel = 1101;  // 标签_关于

// SettingsWindow
constexpr int kIdChannelGroup = 1201;       // 分组框_时间渠道
constexpr int kIdChannelTaobao = 1202;      // 单选框_渠道淘宝 (channel 1; channel n is 1201 + n)
constexpr int kIdChannelJd = 1203;          // 单选框_渠道京东
constexpr int kIdChannelBeijing = 1204;     // 单选框_渠道北京
constexpr int kIdChannelPinduoduo = 1205;   // 单选框_渠道拼多多
constexpr int kIdChannelSuning = 1206;      // 单选框_渠道苏宁
constexpr int kIdDelayGroup = 1207;         // 分组框_延迟设置
constexpr int kIdDelayAdvance = 1208;       // 单选框_延迟提前
constexpr int kIdDelayPostpone = 1209;      // 单选框_延迟退后
constexpr int kIdDelayEdit = 1210;          // 编辑框_延迟数值
constexpr int kIdDelayUnitLabel = 1211;     // 标签_延迟1
constexpr int kIdDelayNoteLabel = 1212;     // 标签_延迟说明
constexpr int kIdCheckUpdateButton = 1213;  // 按钮_检测更新

}  // namespace ql
