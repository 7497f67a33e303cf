// Puts a pass-through function into every WinHTTP slot of the function table:
// each call is recorded with the arguments the tests look at and then goes to
// the real WinHTTP, unless the test asked for that call to fail.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "text/text.h"

namespace qltest {

struct WinHttpCall {
  std::string function;        // e.g. "WinHttpSetOption"
  HINTERNET handle = nullptr;  // the first handle argument (or the handle created)
  DWORD option = 0;            // WinHttpSetOption: option and its 4-byte value
  DWORD value = 0;
};

struct WinHttpLog {
  std::vector<WinHttpCall> calls;
  int timeouts[4] = {};
  DWORD accessType = 0;
  std::wstring proxyName;
  bool proxyNameNull = true;
  bool agentNull = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring verb;
  std::wstring objectName;
  DWORD openRequestFlags = 0;
  std::vector<DWORD> credentialTargets;
  std::wstring headerBlock;
  DWORD headerLength = 0;
  std::vector<ql::Bytes> reads;  // the bytes each successful WinHttpReadData delivered
  int created = 0;               // non-null handles created
  int closedCreated = 0;         // of those, how many were closed

  std::vector<std::string> functions() const;
  int count(const std::string& function) const;
  bool hasOption(DWORD option) const;
};

class WinHttpSpy {
 public:
  WinHttpSpy();
  ~WinHttpSpy();
  WinHttpSpy(const WinHttpSpy&) = delete;
  WinHttpSpy& operator=(const WinHttpSpy&) = delete;

  // The `nth` call (from 1) of `function` fails instead of reaching WinHTTP.
  // For WinHttpSetOption only calls with `option` count.
  void failAt(const std::string& function, int nth = 1, DWORD option = 0);
  const WinHttpLog& log() const;
};

}  // namespace qltest
