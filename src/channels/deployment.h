// Hosts fixed when a build is configured (CMake cache variables QL_CHANNEL1_HOST
// to QL_CHANNEL5_HOST, QL_MANIFEST_HOST, QL_WEBSITE_URL). Each executable
// compiles its own copy of the values; tests may change them at run time.
#pragma once

namespace ql {

struct Deployment {
  // "host" or "host:port" of channels 1 to 5; empty: that channel cannot be asked.
  const char* channelHosts[5];
  // "host" or "host:port" serving /config/qinglanWin.json; empty: no update channel.
  const char* manifestHost;
  const char* websiteUrl;
  // Test variants only: append traceEvent lines to the file in QL_TRACE_FILE.
  bool traceEvents;
};

Deployment& deployment();

}  // namespace ql
