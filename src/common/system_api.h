// The system functions that the program resolves by name on first use instead
// of importing them. One table, so that a test can put its own function in a
// slot (to make WinHTTP fail at a chosen step, or to fix the clock).
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <type_traits>
#include <utility>

#include "text/text.h"

namespace ql {

// What the program does when a library or function cannot be found: show an
// error box naming it and end the process. A test installs its own handler.
using MissingFunctionHandler = void (*)(const char* library, const char* function);
MissingFunctionHandler setMissingFunctionHandler(MissingFunctionHandler handler);
Text missingFunctionMessage(const char* library, const char* function);

// Resolves `function` in `library`, loading the library if needed; on failure
// calls the missing-function handler and returns nullptr (if it returns).
void* resolveSystemFunction(const char* library, const char* function);

template <typename Fn>
class SystemFunction {
 public:
  constexpr SystemFunction(const char* library, const char* name) : library_(library), name_(name) {}
  SystemFunction(const SystemFunction&) = delete;
  SystemFunction& operator=(const SystemFunction&) = delete;

  Fn get() {
    if (!fn_) fn_ = reinterpret_cast<Fn>(resolveSystemFunction(library_, name_));
    return fn_;
  }

  // Calls the function. When it cannot be resolved and the handler returns
  // (only in tests) the call yields the result type's zero value.
  template <typename... Args>
  auto operator()(Args&&... args) {
    using Result = std::invoke_result_t<Fn, Args...>;
    Fn fn = get();
    if constexpr (std::is_void_v<Result>) {
      if (fn) fn(std::forward<Args>(args)...);
    } else {
      return fn ? fn(std::forward<Args>(args)...) : Result{};
    }
  }

  // Puts `fn` in the slot (nullptr: resolve again on next use) and returns
  // what was there.
  Fn replace(Fn fn) {
    Fn old = fn_;
    fn_ = fn;
    return old;
  }

  const char* library() const { return library_; }
  const char* name() const { return name_; }

 private:
  const char* library_;
  const char* name_;
  Fn fn_ = nullptr;
};

#define QL_SYSTEM_FUNCTION(library, fn) \
  SystemFunction<decltype(&::fn)> fn { library, #fn }

struct SystemApi {
  QL_SYSTEM_FUNCTION("kernel32.dll", GetSystemTimeAsFileTime);
  QL_SYSTEM_FUNCTION("kernel32.dll", GetLocaleInfoA);
  QL_SYSTEM_FUNCTION("kernel32.dll", GetDateFormatA);
  QL_SYSTEM_FUNCTION("kernel32.dll", GetTimeFormatA);
  QL_SYSTEM_FUNCTION("kernel32.dll", MultiByteToWideChar);
  QL_SYSTEM_FUNCTION("kernel32.dll", WideCharToMultiByte);
  QL_SYSTEM_FUNCTION("kernel32.dll", lstrlenW);
  QL_SYSTEM_FUNCTION("kernel32.dll", GetModuleFileNameA);
  QL_SYSTEM_FUNCTION("kernel32.dll", GetPrivateProfileStringA);
  QL_SYSTEM_FUNCTION("kernel32.dll", WritePrivateProfileStringA);
  QL_SYSTEM_FUNCTION("oleaut32.dll", VariantTimeToSystemTime);
  QL_SYSTEM_FUNCTION("ole32.dll", CoInitialize);
  QL_SYSTEM_FUNCTION("ole32.dll", CoUninitialize);
  SystemFunction<size_t(__cdecl*)(const char*)> strlen{"msvcrt.dll", "strlen"};
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpCheckPlatform);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpCrackUrl);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpOpen);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpSetTimeouts);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpConnect);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpOpenRequest);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpSetCredentials);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpSetOption);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpAddRequestHeaders);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpSendRequest);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpReceiveResponse);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpQueryDataAvailable);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpReadData);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpQueryHeaders);
  QL_SYSTEM_FUNCTION("Winhttp.dll", WinHttpCloseHandle);
};

#undef QL_SYSTEM_FUNCTION

SystemApi& systemApi();

// Puts a function into a slot of the table for the lifetime of the guard.
template <typename Fn>
class ScopedSystemFunction {
 public:
  ScopedSystemFunction(SystemFunction<Fn>& slot, Fn fn) : slot_(slot), old_(slot.replace(fn)) {}
  ~ScopedSystemFunction() { slot_.replace(old_); }
  ScopedSystemFunction(const ScopedSystemFunction&) = delete;
  ScopedSystemFunction& operator=(const ScopedSystemFunction&) = delete;

 private:
  SystemFunction<Fn>& slot_;
  Fn old_;
};

}  // namespace ql
