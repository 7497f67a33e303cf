// The loopback test server that the test fixture starts (server.py), and the
// echo answers it gives.
#pragma once

#include <string>
#include <vector>

#include "text/text.h"

namespace qltest {

struct TestServer {
  int plainPort = 0;
  int tlsPort = 0;
  int proxyPort = 0;
  int closedPort = 0;      // nothing listens there
  bool tls443 = false;     // https on the scheme's default port
  bool plain8080 = false;  // http on 8080
  bool found = false;
  std::string error;

  ql::Text httpUrl(const ql::Text& path) const;
  ql::Text httpsUrl(const ql::Text& path) const;
  ql::Text proxyAddress() const;
};

// Read once from the ports file the fixture wrote (QL_HTTP_SERVER_DIR).
const TestServer& testServer();

// What the echo route saw of a request.
struct Echo {
  bool valid = false;
  std::string method;
  std::string target;
  std::vector<std::string> headers;  // raw lines in arrival order, "Name: value"
  ql::Bytes body;
};
Echo parseEcho(const ql::Text& json);

// The echoed header lines whose names (ASCII case ignored) are in `names`, in order.
std::vector<std::string> headersNamed(const Echo& echo, const std::vector<std::string>& names);

// The bytes of the server's chunked answer: byte i is (i * 7 + 3) mod 251.
ql::Bytes chunkPattern(std::size_t length);

}  // namespace qltest

// Fails a test, with the reason, when the fixture's server is not there.
#define QL_REQUIRE_SERVER()                                                    \
  do {                                                                         \
    if (!::qltest::testServer().found) FAIL() << ::qltest::testServer().error; \
  } while (0)

#include "http/http_request.h"

namespace qltest {

// The caller's variables for every output of httpRequest, holding values a
// request would never produce, so that a test sees which ones were written.
struct Outputs {
  ql::Text cookiesToSend;
  ql::Text cookiesReturned = "R0";
  ql::Text headersReturned = "H0";
  ql::Text redirectLocation = "L0";
  ql::Text statusText = "S0";
  ql::Bytes bodyBytes = {9, 9};

  void attachTo(ql::HttpRequestOptions& options) {
    options.cookiesToSend = &cookiesToSend;
    options.cookiesReturned = &cookiesReturned;
    options.headersReturned = &headersReturned;
    options.redirectLocation = &redirectLocation;
    options.statusText = &statusText;
    options.bodyBytes = &bodyBytes;
  }
};

}  // namespace qltest
