// The program's three settings in config.ini beside the executable, read and
// written through the profile-string functions. Nothing is cached: every call
// builds the path and reads the file again.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace ql {

// The executable's directory followed by "\config.ini".
Text configPath();

// The value of `key` in `section` read by the program's text-to-integer rule
// (textToInt); `defaultValue` stands in for a missing file, section or key.
std::int32_t readSetting(const Text& section, const Text& key, const Text& defaultValue);

// Stores `value` as given. A failed write is not reported.
void writeSetting(const Text& section, const Text& key, const Text& value);

}  // namespace ql
