// The platform emulator that the test fixture starts (tests/emulator), seen
// from the test program: its ports, its control API and its request log.
#pragma once

#include <string>
#include <vector>

#include "text/text.h"

namespace qltest {

struct LoggedRequest {
  std::string channel;  // "1".."5", "manifest" or "other"
  std::string path;
  std::string userAgent;
  long long timeMs = 0;
};

class Emulator {
 public:
  // Read once from the ports file of the fixture's directory (QL_EMULATOR_DIR).
  static Emulator& instance();

  bool found() const { return found_; }
  const std::string& error() const { return error_; }
  // A directory the tests may write into, as a Windows path.
  const std::string& windowsDir() const { return windowsDir_; }
  // "127.0.0.1:<port>"
  const std::string& httpHost() const { return httpHost_; }
  const std::string& httpsHost() const { return httpsHost_; }

  bool reset();
  // Merges a JSON object into the emulator's state; true when it was accepted.
  bool configure(const std::string& json);
  std::vector<LoggedRequest> requests();

 private:
  Emulator();
  bool post(const std::string& what, const std::string& json);

  bool found_ = false;
  std::string error_;
  std::string windowsDir_;
  std::string httpHost_;
  std::string httpsHost_;
};

// `text` as a JSON string literal (GBK text converted to UTF-8).
std::string jsonString(const ql::Text& text);

}  // namespace qltest

// Fails a test, with the reason, when the fixture's emulator is not there.
#define QL_REQUIRE_EMULATOR()                                                                      \
  do {                                                                                             \
    if (!::qltest::Emulator::instance().found()) FAIL() << ::qltest::Emulator::instance().error(); \
  } while (0)
