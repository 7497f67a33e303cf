// The executable's entry point.
#include <ole2.h>
#include <windows.h>

#include "app/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const int exitCode = ql::programMain();
  ql::runExitCallbacks();
  OleUninitialize();
  return exitCode;
}
