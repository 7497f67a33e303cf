// Recognises JSON text in the program's GBK form before any of it reaches a
// script engine. Pure byte work: no windows.h.
#pragma once

#include "text/text.h"

namespace ql {

// Deeper nesting than this is refused, so that no recursive code further on
// (the engine's compiler, the serialiser) can run out of stack.
constexpr int kMaxJsonDepth = 512;

// True when `text` is exactly one JSON value (object, array, string, number,
// true, false or null) with optional JSON white space around it, nested at most
// `maxDepth` deep. Inside strings a byte from 0x81 to 0xFE must start a complete
// two-byte GBK character; control characters, the bytes 0x80 and 0xFF and
// escapes that JSON lacks are refused.
bool isJsonText(const Text& text, int maxDepth = kMaxJsonDepth);

}  // namespace ql
