// Events that a test of the running program cannot see from outside (the
// notification-area icon, the release of the scratch document). Only the test
// variants of the program trace (Deployment::traceEvents); they append one line
// per event to the file named by the environment variable QL_TRACE_FILE.
#pragma once

namespace ql {

void traceEvent(const char* event);

}  // namespace ql
