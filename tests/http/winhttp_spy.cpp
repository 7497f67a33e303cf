#include "winhttp_spy.h"

#include <set>

#include "common/system_api.h"

namespace qltest {
namespace {

struct Failure {
  std::string function;
  int nth = 0;
  DWORD option = 0;
  int seen = 0;
};

WinHttpLog g_log;
std::vector<Failure> g_failures;
std::set<HINTERNET> g_open;
HMODULE g_winhttp = nullptr;

template <typename Fn>
Fn real(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(g_winhttp, name)));
}

WinHttpCall& record(const char* function, HINTERNET handle) {
  g_log.calls.push_back(WinHttpCall{function, handle, 0, 0});
  return g_log.calls.back();
}

// True when this call is the one a test asked to fail.
bool failsNow(const char* function, DWORD option = 0) {
  for (Failure& f : g_failures) {
    if (f.function != function || (f.option != 0 && f.option != option)) continue;
    if (++f.seen == f.nth) {
      SetLastError(ERROR_WINHTTP_INTERNAL_ERROR);
      return true;
    }
  }
  return false;
}

HINTERNET created(HINTERNET h) {
  if (h) {
    ++g_log.created;
    g_open.insert(h);
  }
  return h;
}

std::wstring wideOrEmpty(LPCWSTR s) { return s ? std::wstring(s) : std::wstring(); }

BOOL WINAPI fakeCheckPlatform() {
  record("WinHttpCheckPlatform", nullptr);
  if (failsNow("WinHttpCheckPlatform")) return FALSE;
  return real<decltype(&WinHttpCheckPlatform)>("WinHttpCheckPlatform")();
}

BOOL WINAPI fakeCrackUrl(LPCWSTR url, DWORD length, DWORD flags, LPURL_COMPONENTS parts) {
  record("WinHttpCrackUrl", nullptr);
  if (failsNow("WinHttpCrackUrl")) return FALSE;
  return real<decltype(&WinHttpCrackUrl)>("WinHttpCrackUrl")(url, length, flags, parts);
}

HINTERNET WINAPI fakeOpen(LPCWSTR agent, DWORD access, LPCWSTR proxy, LPCWSTR bypass, DWORD flags) {
  g_log.agentNull = agent == nullptr;
  g_log.accessType = access;
  g_log.proxyNameNull = proxy == nullptr;
  g_log.proxyName = wideOrEmpty(proxy);
  WinHttpCall& call = record("WinHttpOpen", nullptr);
  if (failsNow("WinHttpOpen")) return nullptr;
  HINTERNET h = real<decltype(&WinHttpOpen)>("WinHttpOpen")(agent, access, proxy, bypass, flags);
  call.handle = h;
  return created(h);
}

BOOL WINAPI fakeSetTimeouts(HINTERNET h, int resolve, int connect, int send, int receive) {
  int values[4] = {resolve, connect, send, receive};
  for (int i = 0; i < 4; ++i) g_log.timeouts[i] = values[i];
  record("WinHttpSetTimeouts", h);
  if (failsNow("WinHttpSetTimeouts")) return FALSE;
  return real<decltype(&WinHttpSetTimeouts)>("WinHttpSetTimeouts")(h, resolve, connect, send, receive);
}

HINTERNET WINAPI fakeConnect(HINTERNET session, LPCWSTR host, INTERNET_PORT port, DWORD reserved) {
  g_log.host = wideOrEmpty(host);
  g_log.port = port;
  WinHttpCall& call = record("WinHttpConnect", session);
  if (failsNow("WinHttpConnect")) return nullptr;
  HINTERNET h = real<decltype(&WinHttpConnect)>("WinHttpConnect")(session, host, port, reserved);
  call.handle = h;
  return created(h);
}

HINTERNET WINAPI fakeOpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR object, LPCWSTR version, LPCWSTR referrer,
                                 LPCWSTR* accept, DWORD flags) {
  g_log.verb = wideOrEmpty(verb);
  g_log.objectName = wideOrEmpty(object);
  g_log.openRequestFlags = flags;
  WinHttpCall& call = record("WinHttpOpenRequest", connection);
  if (failsNow("WinHttpOpenRequest")) return nullptr;
  HINTERNET h = real<decltype(&WinHttpOpenRequest)>("WinHttpOpenRequest")(connection, verb, object, version, referrer,
                                                                          accept, flags);
  call.handle = h;
  return created(h);
}

BOOL WINAPI fakeSetCredentials(HINTERNET h, DWORD target, DWORD scheme, LPCWSTR user, LPCWSTR password, LPVOID params) {
  g_log.credentialTargets.push_back(target);
  record("WinHttpSetCredentials", h);
  if (failsNow("WinHttpSetCredentials")) return FALSE;
  return real<decltype(&WinHttpSetCredentials)>("WinHttpSetCredentials")(h, target, scheme, user, password, params);
}

BOOL WINAPI fakeSetOption(HINTERNET h, DWORD option, LPVOID buffer, DWORD length) {
  WinHttpCall& call = record("WinHttpSetOption", h);
  call.option = option;
  if (buffer && length == sizeof(DWORD)) call.value = *static_cast<DWORD*>(buffer);
  if (failsNow("WinHttpSetOption", option)) return FALSE;
  return real<decltype(&WinHttpSetOption)>("WinHttpSetOption")(h, option, buffer, length);
}

BOOL WINAPI fakeAddRequestHeaders(HINTERNET h, LPCWSTR headers, DWORD length, DWORD modifiers) {
  g_log.headerBlock =
      headers ? std::wstring(headers, length == static_cast<DWORD>(-1) ? wcslen(headers) : length) : std::wstring();
  g_log.headerLength = length;
  record("WinHttpAddRequestHeaders", h);
  if (failsNow("WinHttpAddRequestHeaders")) return FALSE;
  return real<decltype(&WinHttpAddRequestHeaders)>("WinHttpAddRequestHeaders")(h, headers, length, modifiers);
}

BOOL WINAPI fakeSendRequest(HINTERNET h, LPCWSTR headers, DWORD headersLength, LPVOID data, DWORD dataLength,
                            DWORD total, DWORD_PTR context) {
  record("WinHttpSendRequest", h);
  if (failsNow("WinHttpSendRequest")) return FALSE;
  return real<decltype(&WinHttpSendRequest)>("WinHttpSendRequest")(h, headers, headersLength, data, dataLength, total,
                                                                   context);
}

BOOL WINAPI fakeReceiveResponse(HINTERNET h, LPVOID reserved) {
  record("WinHttpReceiveResponse", h);
  if (failsNow("WinHttpReceiveResponse")) return FALSE;
  return real<decltype(&WinHttpReceiveResponse)>("WinHttpReceiveResponse")(h, reserved);
}

BOOL WINAPI fakeQueryDataAvailable(HINTERNET h, LPDWORD available) {
  record("WinHttpQueryDataAvailable", h);
  if (failsNow("WinHttpQueryDataAvailable")) return FALSE;
  return real<decltype(&WinHttpQueryDataAvailable)>("WinHttpQueryDataAvailable")(h, available);
}

BOOL WINAPI fakeReadData(HINTERNET h, LPVOID buffer, DWORD length, LPDWORD read) {
  record("WinHttpReadData", h);
  if (failsNow("WinHttpReadData")) return FALSE;
  BOOL ok = real<decltype(&WinHttpReadData)>("WinHttpReadData")(h, buffer, length, read);
  if (ok && read) {
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    g_log.reads.emplace_back(bytes, bytes + *read);
  }
  return ok;
}

BOOL WINAPI fakeQueryHeaders(HINTERNET h, DWORD level, LPCWSTR name, LPVOID buffer, LPDWORD length, LPDWORD index) {
  record("WinHttpQueryHeaders", h);
  if (failsNow("WinHttpQueryHeaders")) return FALSE;
  return real<decltype(&WinHttpQueryHeaders)>("WinHttpQueryHeaders")(h, level, name, buffer, length, index);
}

BOOL WINAPI fakeCloseHandle(HINTERNET h) {
  record("WinHttpCloseHandle", h);
  if (h && g_open.erase(h)) ++g_log.closedCreated;
  return real<decltype(&WinHttpCloseHandle)>("WinHttpCloseHandle")(h);
}

// Every slot with its fake; the previous contents come back at the end.
struct Slots {
  void* saved[15] = {};
};
Slots g_slots;

template <typename Fn>
void swapIn(ql::SystemFunction<Fn>& slot, Fn fake, int index) {
  g_slots.saved[index] = reinterpret_cast<void*>(slot.replace(fake));
}

template <typename Fn>
void swapBack(ql::SystemFunction<Fn>& slot, int index) {
  slot.replace(reinterpret_cast<Fn>(g_slots.saved[index]));
}

}  // namespace

std::vector<std::string> WinHttpLog::functions() const {
  std::vector<std::string> names;
  for (const WinHttpCall& call : calls) names.push_back(call.function);
  return names;
}

int WinHttpLog::count(const std::string& function) const {
  int n = 0;
  for (const WinHttpCall& call : calls) n += call.function == function;
  return n;
}

bool WinHttpLog::hasOption(DWORD option) const {
  for (const WinHttpCall& call : calls) {
    if (call.function == "WinHttpSetOption" && call.option == option) return true;
  }
  return false;
}

#define QL_SPY_SLOTS(apply)                                     \
  apply(WinHttpCheckPlatform, fakeCheckPlatform, 0);            \
  apply(WinHttpCrackUrl, fakeCrackUrl, 1);                      \
  apply(WinHttpOpen, fakeOpen, 2);                              \
  apply(WinHttpSetTimeouts, fakeSetTimeouts, 3);                \
  apply(WinHttpConnect, fakeConnect, 4);                        \
  apply(WinHttpOpenRequest, fakeOpenRequest, 5);                \
  apply(WinHttpSetCredentials, fakeSetCredentials, 6);          \
  apply(WinHttpSetOption, fakeSetOption, 7);                    \
  apply(WinHttpAddRequestHeaders, fakeAddRequestHeaders, 8);    \
  apply(WinHttpSendRequest, fakeSendRequest, 9);                \
  apply(WinHttpReceiveResponse, fakeReceiveResponse, 10);       \
  apply(WinHttpQueryDataAvailable, fakeQueryDataAvailable, 11); \
  apply(WinHttpReadData, fakeReadData, 12);                     \
  apply(WinHttpQueryHeaders, fakeQueryHeaders, 13);             \
  apply(WinHttpCloseHandle, fakeCloseHandle, 14)

WinHttpSpy::WinHttpSpy() {
  g_winhttp = LoadLibraryA("winhttp.dll");
  g_log = WinHttpLog();
  g_failures.clear();
  g_open.clear();
  auto& api = ql::systemApi();
#define QL_SWAP_IN(slot, fake, index) swapIn(api.slot, &fake, index)
  QL_SPY_SLOTS(QL_SWAP_IN);
#undef QL_SWAP_IN
}

WinHttpSpy::~WinHttpSpy() {
  auto& api = ql::systemApi();
#define QL_SWAP_BACK(slot, fake, index) swapBack(api.slot, index)
  QL_SPY_SLOTS(QL_SWAP_BACK);
#undef QL_SWAP_BACK
  g_failures.clear();
}

void WinHttpSpy::failAt(const std::string& function, int nth, DWORD option) {
  g_failures.push_back(Failure{function, nth, option, 0});
}

const WinHttpLog& WinHttpSpy::log() const { return g_log; }

}  // namespace qltest
