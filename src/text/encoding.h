// Conversions between the program's GBK texts and UTF-16 for the system
// interfaces that take wide strings. Always code page 936, never the ANSI page.
#pragma once

#include "text/text.h"

namespace ql {

// UTF-16LE units with one NUL unit at the end (counted in the length); an
// empty text gives empty Bytes with no data at all, so that callers pass a
// null pointer rather than an empty wide string.
Bytes textToUtf16(const Text& text);

// The GBK form of the units before the first NUL unit (a terminator is not
// required); characters GBK lacks become the code page's default character.
Text utf16ToText(const Bytes& utf16);

}  // namespace ql
