#include "channels/config.h"

#include <windows.h>

#include <vector>

#include "common/system_api.h"

namespace ql {
namespace {

// Longer values are cut: the settings are short numbers, and one buffer size
// keeps a damaged file from costing more than this.
constexpr DWORD kValueChars = 10240;
// Beyond MAX_PATH only with the \\?\ form; the loader's limit.
constexpr DWORD kLongestModulePath = 32768;

Text modulePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD length = systemApi().GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) return Text();
    if (length < size) return Text(buffer.data(), length);
    // The name did not fit (it was cut, with or without its terminating zero).
    if (size >= kLongestModulePath) return Text();
    buffer.resize(size * 2);
  }
}

}  // namespace

Text configPath() {
  Text module = modulePath();
  // The last separator that is a character of its own: in GBK the second byte
  // of a two-byte character can be 0x5C too.
  int last = -1;
  for (int at = findText(module, "\\"); at >= 0; at = findText(module, "\\", at + 1)) last = at;
  if (last < 0) return Text();
  return leftText(module, last) + "\\config.ini";
}

std::int32_t readSetting(const Text& section, const Text& key, const Text& defaultValue) {
  Text path = configPath();
  if (path.empty()) return textToInt(defaultValue);
  std::vector<char> buffer(kValueChars);
  DWORD length = systemApi().GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                                      kValueChars, path.c_str());
  if (length >= kValueChars) length = kValueChars - 1;
  return textToInt(Text(buffer.data(), length));
}

void writeSetting(const Text& section, const Text& key, const Text& value) {
  Text path = configPath();
  if (path.empty()) return;
  systemApi().WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
}

}  // namespace ql
