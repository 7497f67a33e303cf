#include "app/trace.h"

#include <windows.h>

#include "channels/deployment.h"

namespace ql {

void traceEvent(const char* event) {
  if (!deployment().traceEvents) return;
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("QL_TRACE_FILE", path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, event, lstrlenA(event), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
}

}  // namespace ql
