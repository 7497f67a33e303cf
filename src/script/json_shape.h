// Recognises JSON text before any of it reaches a script engine. It reads the
// UTF-16 units that the engine itself will receive, so the two can never
// disagree about where a string ends, whatever the code page made of stray
// bytes. Pure work on units: no windows.h.
#pragma once

#include <string>

namespace ql {

// Deeper nesting than this is refused, so that no recursive code further on
// (the engine's compiler, the serialiser) can run out of stack.
constexpr int kMaxJsonDepth = 512;

// True when `units` are exactly one JSON value (object, array, string, number,
// true, false or null) with optional JSON white space around it, nested at most
// `maxDepth` deep. Inside strings, control characters, the script's line
// terminators U+2028 and U+2029 and escapes that JSON lacks are refused; so
// are numbers whose exponent has more than nine digits after its leading
// zeros, which no double needs and on which the engine's number reader can
// spin forever.
bool isJsonText(const std::u16string& units, int maxDepth = kMaxJsonDepth);

}  // namespace ql
