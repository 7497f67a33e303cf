// Cost of loading answers whose tokens push the script engine's readers to
// their limits: every body here either loads or is refused, and none may
// stall. Each line is the median of whole parse calls (shape check, fresh
// engine, the engine's own check, evaluation), of the direct form (without
// the engine's check) and of the shape check made before the engine alone.
// Usage: json_parse_bench [runs]   (default 5)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "bench_timer.h"
#include "common/automation.h"
#include "script/json_document.h"
#include "script/json_shape.h"

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  if (runs < 1) runs = 1;
  const std::size_t megabyte = 1 << 20;
  using ql::Text;
  Text numbers = "[";
  while (numbers.size() < megabyte) numbers += "1677000000999,-0.5e-7,";
  numbers += "0]";
  Text objects = "[";
  while (objects.size() < megabyte) objects += "{\"t\":\"1677000000999\",\"n\":1},";
  objects += "{}]";
  struct Case {
    const char* label;
    Text body;
  } cases[] = {
      {"exponent of 1 MB of leading zeros", "[1e+" + Text(megabyte, '0') + "5]"},
      {"mantissa of 1 MB of digits", "[" + Text(megabyte, '9') + "]"},
      {"fraction of 1 MB of digits", "[0." + Text(megabyte, '5') + "]"},
      {"fraction of 1 MB of zeros, exponent 999999999", "[0." + Text(megabyte, '0') + "1e999999999]"},
      {"nesting 512 deep", Text(ql::kMaxJsonDepth, '[') + Text(ql::kMaxJsonDepth, ']')},
      {"nesting 512 deep, objects",
       [] {
         Text t;
         for (int i = 0; i < ql::kMaxJsonDepth; ++i) t += "{\"a\":";
         return t + "1" + Text(ql::kMaxJsonDepth, '}');
       }()},
      {"string of 1 MB", "\"" + Text(megabyte, 'x') + "\""},
      {"string of 1 MB of escapes", "\"" +
                                        [&] {
                                          Text t;
                                          while (t.size() < megabyte) t += "\\u4e2d\\n\\\\";
                                          return t;
                                        }() +
                                        "\""},
      {"1 MB array of numbers", numbers},
      {"1 MB array of small objects", objects},
      {"refused: exponent of ten nines", "{\"t\":1e9999999999}"},
      {"refused: 1 MB of digits in the exponent", "[1e" + Text(megabyte, '9') + "]"},
  };
  OleInitialize(nullptr);
  for (const Case& c : cases) {
    ql::JsonDocument document;
    bool loaded = false;
    char label[96];
    std::snprintf(label, sizeof label, "parse, %s", c.label);
    bench::measure(label, runs, [&] { loaded = document.parse(c.body); });
    // The direct form skips the engine's own shape check: the difference is its cost.
    std::snprintf(label, sizeof label, "  direct form");
    bench::measure(label, runs, [&] { document.parse(c.body, true); });
    std::u16string units = ql::textToAutomationUnits(c.body);
    bool shape = false;
    std::snprintf(label, sizeof label, "  shape check alone (%s)", loaded ? "loaded" : "refused");
    bench::measure(label, runs, [&] { shape = ql::isJsonText(units); });
    if (shape != loaded) std::printf("  the shape check and the load disagree\n");
  }
  OleUninitialize();
  return 0;
}
