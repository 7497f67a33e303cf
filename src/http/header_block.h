// The request header block: the caller's lines completed with the default
// header set, names capitalised, and the caller's cookies. Pure text work.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace ql {

Text buildHeaderBlock(const Text& extraHeaders, std::int32_t method, const Text& cookiesToSend, bool completeHeaders,
                      bool normalizeHeaderNames);
Text capitalizeHeaderNames(const Text& block);
Text capitalizeFirst(const Text& text);
Text headerValue(const Text& block, const Text& name);
Text textAfterLast(const Text& text, const Text& separator);

}  // namespace ql
