#include "common/system_api.h"

namespace ql {
namespace {

void showErrorAndExit(const char* library, const char* function) {
  Text message = missingFunctionMessage(library, function);
  MessageBoxA(nullptr, message.c_str(), "晴岚钟表", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}

MissingFunctionHandler g_missingHandler = showErrorAndExit;

}  // namespace

MissingFunctionHandler setMissingFunctionHandler(MissingFunctionHandler handler) {
  MissingFunctionHandler old = g_missingHandler;
  g_missingHandler = handler ? handler : showErrorAndExit;
  return old;
}

Text missingFunctionMessage(const char* library, const char* function) {
  return Text("无法在系统库 ") + library + " 中找到函数 " + function + "，程序无法继续运行。";
}

void* resolveSystemFunction(const char* library, const char* function) {
  HMODULE module = GetModuleHandleA(library);
  if (!module) module = LoadLibraryA(library);
  void* fn = module ? reinterpret_cast<void*>(GetProcAddress(module, function)) : nullptr;
  if (!fn) g_missingHandler(library, function);
  return fn;
}

SystemApi& systemApi() {
  static SystemApi api;
  return api;
}

}  // namespace ql
