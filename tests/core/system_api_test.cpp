#include <gtest/gtest.h>

#include "common/system_api.h"

using namespace ql;

namespace {

Text g_library, g_function;
int g_calls = 0;

void recordMissing(const char* library, const char* function) {
  g_library = library;
  g_function = function;
  ++g_calls;
}

VOID WINAPI fixedFileTime(LPFILETIME ft) {
  ft->dwLowDateTime = 0x12345678;
  ft->dwHighDateTime = 0x01D90000;
}

}  // namespace

TEST(SystemApi, AMissingFunctionOrLibraryReachesTheHandlerByName) {
  MissingFunctionHandler old = setMissingFunctionHandler(recordMissing);
  g_calls = 0;

  SystemFunction<int(WINAPI*)(int)> missingFunction("kernel32.dll", "NoSuchQinglanFunction");
  EXPECT_EQ(missingFunction(5), 0);  // the handler returned: a zero result, no call
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(g_library, "kernel32.dll");
  EXPECT_EQ(g_function, "NoSuchQinglanFunction");

  SystemFunction<void(WINAPI*)()> missingLibrary("qinglan_no_such_library.dll", "Anything");
  missingLibrary();
  EXPECT_EQ(g_calls, 2);
  EXPECT_EQ(g_library, "qinglan_no_such_library.dll");
  EXPECT_EQ(g_function, "Anything");

  setMissingFunctionHandler(old);

  // What the error box would say names both.
  Text message = missingFunctionMessage("Winhttp.dll", "WinHttpOpen");
  EXPECT_NE(message.find("Winhttp.dll"), Text::npos);
  EXPECT_NE(message.find("WinHttpOpen"), Text::npos);
}

TEST(SystemApi, EveryTableEntryResolvesOnThisSystem) {
  MissingFunctionHandler old = setMissingFunctionHandler(recordMissing);
  g_calls = 0;
  auto& api = systemApi();
  EXPECT_NE(api.GetSystemTimeAsFileTime.get(), nullptr);
  EXPECT_NE(api.VariantTimeToSystemTime.get(), nullptr);
  EXPECT_NE(api.CoInitialize.get(), nullptr);
  EXPECT_NE(api.strlen.get(), nullptr);
  EXPECT_NE(api.lstrlenW.get(), nullptr);
  EXPECT_NE(api.WinHttpQueryHeaders.get(), nullptr);
  EXPECT_NE(api.WinHttpCloseHandle.get(), nullptr);
  EXPECT_EQ(g_calls, 0);
  setMissingFunctionHandler(old);
}

TEST(SystemApi, ATestCanSubstituteAFunctionForAWhile) {
  auto& slot = systemApi().GetSystemTimeAsFileTime;
  auto real = slot.get();
  {
    ScopedSystemFunction<decltype(real)> fake(slot, fixedFileTime);
    FILETIME ft = {};
    slot(&ft);
    EXPECT_EQ(ft.dwLowDateTime, 0x12345678u);
  }
  EXPECT_EQ(slot.get(), real);
}
