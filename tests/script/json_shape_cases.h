// Texts with and without the shape of JSON, shared by the checks before and
// inside the engine.
#pragma once

#include <vector>

#include "text/text.h"

namespace ql {

struct ShapeCase {
  const char* label;
  Text text;
  bool json;
  // False where the answer depends on what the system's code page makes of
  // stray bytes (an unpaired lead byte may take the next byte with it); then
  // only the agreement of the two checks is required.
  bool fixed = true;
};

inline const std::vector<ShapeCase>& shapeCases() {
  static const std::vector<ShapeCase> cases = {
      {"object", "{\"a\":1,\"b\":[true,false,null],\"c\":{}}", true},
      {"white space everywhere", " \t\r\n{ \"a\" : [ 1 , 2 ] }\r\n ", true},
      {"scalar zero", "0", true},
      {"null", "null", true},
      {"string", "\"word\"", true},
      {"numbers", "[-0,1.5,-2e10,3E+2,4e-3,1677000000999]", true},
      {"escapes", "\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u4e2D\"", true},
      {"Chinese in GBK", "{\"ret\":[\"SUCCESS::\xBD\xD3\xBF\xDA\"]}", true},
      {"GBK trail byte that is a backslash", "\"\x81\x5C\"", true},
      {"GBK trail byte that is a letter", "\"\xB0\x41\"", true},
      {"exponent of nine digits", "[1e999999999,1E-999999999]", true},
      {"exponent of nine digits after leading zeros", "1e000000000000000000999999999", true},
      {"leading zeros alone", "-1.5e+00000000000000000000000", true},
      {"long mantissa and fraction", "1234567890123456789012345678901234567890.1234567890123456789012345", true},
      {"exponent of ten digits", "1e1000000000", false},
      {"exponent beyond 32 bits", "{\"t\":1e9999999999}", false},
      {"negative exponent beyond 32 bits", "[0,-1E-2147483648]", false},
      {"exponent of ten digits after leading zeros", "1e0002147483647", false},
      {"empty", "", false},
      {"only white space", " \r\n", false},
      {"two values", "{} {}", false},
      {"statement after object", "{\"a\":1};x=1", false},
      {"unquoted key", "{a:1}", false},
      {"apostrophes", "{'a':1}", false},
      {"trailing comma in array", "[1,]", false},
      {"trailing comma in object", "{\"a\":1,}", false},
      {"missing colon", "{\"a\" 1}", false},
      {"missing value", "{\"a\":}", false},
      {"leading comma", "[,1]", false},
      {"mismatched brackets", "[1}", false},
      {"unclosed array", "[1,2", false},
      {"unterminated string", "\"abc", false},
      {"extra closing bracket", "[1]]", false},
      {"hex number", "0x10", false},
      {"leading zero", "01", false},
      {"bare fraction", ".5", false},
      {"plus sign", "+1", false},
      {"dot without digits", "1.", false},
      {"exponent without digits", "1e", false},
      {"NaN", "NaN", false},
      {"Infinity", "Infinity", false},
      {"undefined", "undefined", false},
      {"name", "window", false},
      {"call", "f()", false},
      {"new object", "new Date()", false},
      {"block comment", "{}/*x*/", false},
      {"line comment", "// x\n{}", false},
      {"word glued to literal", "truex", false},
      {"number glued to literal", "1true", false},
      {"expression in array", "[1+1]", false},
      {"concatenation in value", "{\"a\":\"x\"+\"y\"}", false},
      {"unknown escape", "\"\\q\"", false},
      {"short unicode escape", "\"\\u12\"", false},
      {"tab inside string", "\"a\tb\"", false},
      {"line feed inside string", "\"a\nb\"", false},
      {"vertical tab as white space", "\v1", false},
      {"non-breaking space as white space", "　1", false},
      {"lead byte at the end", "\"\x81", false},
      {"lead byte before the closing quote", "\"\x81\"", false, false},
      {"lead byte before a statement", "{\"a\":\"\x81\"};x=1//\"}", false, false},
      {"byte 0x80 in string", "\"\x80\"", false, false},
      {"byte 0xFF in string", "\"\xFF\"", false, false},
      {"lead byte then control character", "\"\x81\x0A\"", false, false},
      {"NUL byte", Text("[1]\0;x=1", 8), false},
  };
  return cases;
}

}  // namespace ql
