#include "test_server.h"

#include <windows.h>

#include <cctype>
#include <cstdio>

namespace qltest {
namespace {

TestServer loadServer() {
  TestServer server;
  char dir[1024] = {};
  DWORD n = GetEnvironmentVariableA("QL_HTTP_SERVER_DIR", dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) {
    server.error = "QL_HTTP_SERVER_DIR is not set: run the tests through ctest (the fixture starts the server)";
    return server;
  }
  // A Unix path: drive Z: is the Unix root under Wine.
  std::string path = std::string("Z:") + dir + "/ports.txt";
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) {
    server.error = "no ports file at " + path;
    return server;
  }
  int port443 = 0, port8080 = 0;
  int fields = std::fscanf(f, "plain=%d tls=%d proxy=%d closed=%d tls443=%d plain8080=%d", &server.plainPort,
                           &server.tlsPort, &server.proxyPort, &server.closedPort, &port443, &port8080);
  std::fclose(f);
  server.found = fields == 6;
  server.tls443 = port443 == 443;
  server.plain8080 = port8080 == 8080;
  if (!server.found) server.error = "unreadable ports file " + path;
  return server;
}

// A JSON string starting at the opening quote at `pos`; `pos` ends after it.
std::string readString(const std::string& json, std::size_t& pos) {
  std::string out;
  if (pos >= json.size() || json[pos] != '"') return out;
  for (++pos; pos < json.size() && json[pos] != '"'; ++pos) {
    char c = json[pos];
    if (c != '\\') {
      out += c;
      continue;
    }
    char e = json[++pos];
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        unsigned value = static_cast<unsigned>(std::stoul(json.substr(pos + 1, 4), nullptr, 16));
        out += value < 0x80 ? static_cast<char>(value) : '?';
        pos += 4;
        break;
      }
      default:
        out += e;
    }
  }
  ++pos;
  return out;
}

std::size_t valueStart(const std::string& json, const std::string& key) {
  std::size_t at = json.find("\"" + key + "\": ");
  return at == std::string::npos ? at : at + key.size() + 4;
}

}  // namespace

ql::Text TestServer::httpUrl(const ql::Text& path) const {
  return "http://127.0.0.1:" + std::to_string(plainPort) + path;
}

ql::Text TestServer::httpsUrl(const ql::Text& path) const {
  return "https://127.0.0.1:" + std::to_string(tlsPort) + path;
}

ql::Text TestServer::proxyAddress() const { return "127.0.0.1:" + std::to_string(proxyPort); }

const TestServer& testServer() {
  static const TestServer server = loadServer();
  return server;
}

Echo parseEcho(const ql::Text& json) {
  Echo echo;
  std::size_t method = valueStart(json, "method"), target = valueStart(json, "target");
  std::size_t headers = valueStart(json, "headers"), body = valueStart(json, "body_hex");
  if (method == std::string::npos || target == std::string::npos || headers == std::string::npos ||
      body == std::string::npos || json[headers] != '[') {
    return echo;
  }
  echo.method = readString(json, method);
  echo.target = readString(json, target);
  std::size_t pos = headers + 1;
  while (pos < json.size() && json[pos] == '"') {
    echo.headers.push_back(readString(json, pos));
    while (pos < json.size() && (json[pos] == ',' || json[pos] == ' ')) ++pos;
  }
  std::string hex = readString(json, body);
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    echo.body.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  echo.valid = true;
  return echo;
}

std::vector<std::string> headersNamed(const Echo& echo, const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& line : echo.headers) {
    std::string name = line.substr(0, line.find(':'));
    for (const std::string& wanted : names) {
      if (ql::equalsIgnoreCase(name, wanted)) out.push_back(line);
    }
  }
  return out;
}

ql::Bytes chunkPattern(std::size_t length) {
  ql::Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>((i * 7 + 3) % 251);
  return bytes;
}

}  // namespace qltest
