// Cost of the text operations on inputs of 1 MB, the largest answer the
// program accepts, and of listing the values of a 1 MB JSON document.
// Usage: text_bench [runs]   (default 5)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_timer.h"
#include "common/automation.h"
#include "script/json_document.h"
#include "text/text.h"

namespace {

constexpr std::size_t kMegabyte = 1 << 20;

ql::Text repeatTo(const ql::Text& unit, std::size_t size) {
  ql::Text out;
  out.reserve(size + unit.size());
  while (out.size() < size) out += unit;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  if (runs < 1) runs = 1;
  std::size_t sink = 0;

  // Short lines of digits and Chinese, as header blocks and answers have them.
  const ql::Text lines = repeatTo("时间=1677000000\r\n", kMegabyte);
  // Nothing but two-byte characters, with a two-byte separator between them.
  const ql::Text chinese = repeatTo("晴岚钟表，", kMegabyte);
  // A path full of backslashes, and mixed-case header names.
  const ql::Text paths = repeatTo("C:\\时间\\x\\", kMegabyte);
  const ql::Text cookies = repeatTo("Set-COOKIE: a=1\r\n", kMegabyte);
  const ql::Text blanks = "x" + repeatTo("　", kMegabyte);

  std::printf("text operations on 1 MB (%zu lines, %zu Chinese pieces)\n", ql::splitText(lines, "\r\n").size(),
              ql::splitText(chinese, "，").size());
  bench::measure("splitText, lines at CR LF", runs, [&] { sink += ql::splitText(lines, "\r\n").size(); });
  bench::measure("splitText, Chinese at a full-width comma", runs,
                 [&] { sink += ql::splitText(chinese, "，").size(); });
  bench::measure("replaceAll, every backslash doubled", runs,
                 [&] { sink += ql::replaceAll(paths, "\\", "\\\\").size(); });
  bench::measure("replaceAll, ignoring case", runs,
                 [&] { sink += ql::replaceAll(cookies, "set-cookie:", "Cookie:", true).size(); });
  bench::measure("findText from each match to the next, lines", runs, [&] {
    for (int at = ql::findText(lines, "\r\n"); at >= 0; at = ql::findText(lines, "\r\n", at + 2)) ++sink;
  });
  bench::measure("TextSearch, every comma in the Chinese text", runs, [&] {
    ql::TextSearch search(chinese, "，");
    while (search.next() >= 0) ++sink;
  });
  // Each call reads the run of two-byte characters before its start again:
  // quadratic where nothing but two-byte characters lies between matches.
  const ql::Text chinese64k = chinese.substr(0, 64 * 1024);
  bench::measure("findText from each match to the next, Chinese, 64 KB only", runs, [&] {
    for (int at = ql::findText(chinese64k, "，"); at >= 0; at = ql::findText(chinese64k, "，", at + 2)) ++sink;
  });
  bench::measure("trimText, 1 MB of full-width blanks", runs, [&] { sink += ql::trimText(blanks).size(); });

  OleInitialize(nullptr);
  {
    // About 45,000 scalar values, nested two levels deep.
    ql::Text json = "{\"list\":[";
    while (json.size() < kMegabyte) json += "{\"t\":\"1677000000999\",\"n\":1677000000999,\"b\":true,\"s\":\"时间\"},";
    json += "{}]}";
    ql::JsonDocument document;
    double start = bench::nowMs();
    bool loaded = document.parse(json);
    std::printf("parse of a %zu-byte document: %s in %.2f ms\n", json.size(), loaded ? "loaded" : "REFUSED",
                bench::nowMs() - start);
    std::vector<ql::Text> values;
    bench::measure("nodeValues, recursive, 1 MB document", runs,
                   [&] { sink += document.nodeValues(values, "", true); });
    std::printf("(%zu values)\n", values.size());
  }
  OleUninitialize();
  return sink == 0 ? 1 : 0;
}
