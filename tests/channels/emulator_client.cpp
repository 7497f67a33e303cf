#include "emulator_client.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "http/http_request.h"
#include "script/json_document.h"

namespace qltest {

Emulator& Emulator::instance() {
  static Emulator emulator;
  return emulator;
}

Emulator::Emulator() {
  char dir[1024] = {};
  DWORD n = GetEnvironmentVariableA("QL_EMULATOR_DIR", dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) {
    error_ = "QL_EMULATOR_DIR is not set: run the tests through ctest (the fixture starts the emulator)";
    return;
  }
  // A Unix path: drive Z: is the Unix root under Wine.
  windowsDir_ = std::string("Z:") + dir;
  for (char& c : windowsDir_) {
    if (c == '/') c = '\\';
  }
  std::string path = windowsDir_ + "\\ports";
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) {
    error_ = "no ports file at " + path;
    return;
  }
  int http = 0, https = 0;
  found_ = std::fscanf(f, "http=%d https=%d", &http, &https) == 2;
  std::fclose(f);
  if (!found_) {
    error_ = "unreadable ports file " + path;
    return;
  }
  httpHost_ = "127.0.0.1:" + std::to_string(http);
  httpsHost_ = "127.0.0.1:" + std::to_string(https);
}

bool Emulator::post(const std::string& what, const std::string& json) {
  ql::HttpRequestOptions options;
  options.method = static_cast<std::int32_t>(ql::HttpMethod::Post);
  options.submitText = json;
  options.extraHeaders = "Content-Type: application/json";
  ql::Text status;
  options.statusText = &status;
  ql::httpRequest("http://" + httpHost_ + "/__emulator/" + what, options);
  return ql::startsWith(status, "200");
}

bool Emulator::reset() { return post("reset", "{}"); }

bool Emulator::configure(const std::string& json) { return post("config", json); }

std::vector<LoggedRequest> Emulator::requests() {
  std::vector<LoggedRequest> out;
  ql::JsonDocument log;
  if (!log.parse(ql::httpRequest("http://" + httpHost_ + "/__emulator/requests"))) return out;
  for (std::int32_t i = 0, count = log.arrayCount(""); i < count; ++i) {
    std::string at = "[" + std::to_string(i) + "]";
    LoggedRequest request;
    request.channel = log.getText(at + ".channel", false);
    request.path = log.getText(at + ".path", false);
    request.userAgent = log.getText(at + ".headers['user-agent']", false);
    request.timeMs = std::atoll(log.getText(at + ".time_ms", false).c_str());
    out.push_back(request);
  }
  return out;
}

std::string jsonString(const ql::Text& text) {
  std::wstring wide;
  if (!text.empty()) {
    int n = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    wide.resize(n);
    MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  }
  std::string out = "\"";
  for (wchar_t c : wide) {
    if (c == L'"' || c == L'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    }
  }
  return out + "\"";
}

}  // namespace qltest
