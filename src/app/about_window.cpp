// AboutWindow: product name, version, developer and website.
#include <windows.h>

#include "app/control_ids.h"
#include "app/program.h"
#include "app/windows.h"
#include "channels/deployment.h"

namespace ql {

const char kAboutText[] = "晴岚钟表V1.2\r\n\r\n开发者：晴岚钟表开发组\r\n\r\n官网：";

namespace {

void onAboutWindowCreated(HWND window) {
  // The website is a deployment setting; a build without one says so.
  const char* website = deployment().websiteUrl;
  setControlText(window, kIdAboutLabel, Text(kAboutText) + (website && *website ? website : "暂无"));
  setTopmost(window, isTopmost(mainWindow()));
}

const ControlDefinition kAboutControls[] = {
    // DT_VCENTER does nothing without DT_SINGLELINE: the block starts at the top.
    {ControlKind::Label, "标签_关于", kIdAboutLabel, 8, 32, 232, 104, kAboutText, 0,
     DT_NOPREFIX | DT_CENTER | DT_WORDBREAK | DT_VCENTER},
};

}  // namespace

// Shared with the settings window, which differs only in caption, size,
// controls and created handler.
extern const DWORD kToolDialogStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

const WindowDefinition kAboutWindow = {
    kAboutWindowClass,
    "关于",
    kToolDialogStyle,
    0,
    249,
    167,
    0,
    COLOR_BTNFACE,
    0,
    false,
    true,
    true,
    kAboutControls,
    static_cast<int>(sizeof kAboutControls / sizeof kAboutControls[0]),
    onAboutWindowCreated,
    nullptr,
    nullptr,
};

}  // namespace ql
