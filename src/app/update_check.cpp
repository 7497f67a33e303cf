#include "app/update_check.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "app/program.h"
#include "channels/deployment.h"
#include "http/http_request.h"
#include "script/json_document.h"

namespace ql {
namespace {

void closeClock() {
  if (HWND window = mainWindow()) DestroyWindow(window);
}

void confirmUpToDate() { MessageBoxA(mainWindow(), "当前已是最新版本", "检测更新", MB_OK | MB_TASKMODAL); }

}  // namespace

void checkForUpdate(bool askedByUser) {
  const char* host = deployment().manifestHost;
  // A build without a manifest host has no update channel: nothing to ask,
  // and nothing newer can be known.
  if (!host || !*host) {
    if (askedByUser) confirmUpToDate();
    return;
  }
  HttpRequestOptions options;
  options.method = static_cast<std::int32_t>(HttpMethod::Get);
  Text body = httpRequest(Text("https://") + host + "/config/qinglanWin.json", options);
  // The request lets window messages through; look the document up afresh.
  JsonDocument* scratch = jsonScratch();
  ScriptError error;
  if (!scratch || !scratch->parse(body, false, &error, false)) {
    closeClock();
    return;
  }
  std::int32_t latest = textToInt(scratch->getText("currentVersion", false));
  if (latest > kBuiltInVersion) {
    if (MessageBoxA(nullptr, "发现新版本，前往官网下载", "发现新版本", MB_OK | MB_TASKMODAL) == IDOK) {
      ShellExecuteA(nullptr, "open", deployment().websiteUrl, nullptr, nullptr, SW_SHOWNORMAL);
      closeClock();
    }
  } else if (askedByUser) {
    confirmUpToDate();
  }
}

}  // namespace ql
