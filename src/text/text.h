// Text rules shared by the whole program. Pure byte work on GBK text: no
// windows.h here, so these read and test in isolation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ql {

// Owned 8-bit text in code page 936. An absent text and an empty one are the same.
using Text = std::string;
// Owned byte buffer; an empty one has no data pointer.
using Bytes = std::vector<unsigned char>;

// Byte offset of the first occurrence of `needle` at or after `start`, never
// one that would begin inside a two-byte GBK character; -1 when there is none.
// An empty needle is found at `start` when start lies within the text.
// `ignoreCase` folds ASCII letters only. Where `start` lies in a run of
// two-byte characters, that run is read back to its start to find where the
// characters begin: to visit every occurrence use TextSearch, not a loop of
// these calls.
int findText(const Text& haystack, const Text& needle, int start = 0, bool ignoreCase = false);

// The occurrences of `needle` in `text` that findText would give one after
// another (left to right, not overlapping), in one pass over the text however
// many there are. `text` must outlive the search.
class TextSearch {
 public:
  TextSearch(const Text& text, Text needle, bool ignoreCase = false, int start = 0);
  // Byte offset of the next occurrence; -1 when there is none, and always
  // for an empty needle.
  int next();

 private:
  unsigned char byte(const Text& t, std::size_t i) const;

  const Text& text_;
  Text needle_;
  bool ignoreCase_;
  std::vector<std::size_t> fallback_;  // longest proper border of each prefix of the needle
  std::size_t boundary_;               // a character boundary; no occurrence starts before it
};
bool containsText(const Text& haystack, const Text& needle, bool ignoreCase = false);
bool startsWith(const Text& text, const Text& prefix);
bool equalsIgnoreCase(const Text& a, const Text& b);

// Pieces between separators: an empty piece between two adjacent separators
// is kept, none after a final separator, and an empty text gives none.
std::vector<Text> splitText(const Text& text, const Text& separator);
Text joinText(const std::vector<Text>& pieces, const Text& separator);

// Removes blanks (0x20) and full-width blanks (A1 A1) at both ends.
Text trimText(const Text& text);

// Counts are clamped to the text; a count of 0 or less gives empty text.
Text leftText(const Text& text, int count);
Text rightText(const Text& text, int count);
// From zero-based byte `start`, at most `count` bytes.
Text midText(const Text& text, int start, int count);

// Every occurrence, left to right, non-overlapping.
Text replaceAll(const Text& text, const Text& from, const Text& to, bool ignoreCase = false);

// The program's one way of reading a number from text: full-width ASCII folded
// to ASCII, leading white space skipped, an optional sign, then decimal digits
// accumulated modulo 2^32. No digits give 0.
std::int32_t textToInt(const Text& text);
// The same reading; false when the text holds no digit where the rule looks
// for one (the value is then 0), so that "no number" and "0" can be told apart.
bool parseTextInt(const Text& text, std::int32_t* value);

// A number from a script or COM result as a 32-bit integer: truncated toward
// zero, then the low 32 bits, as a 32-bit read of the value would. Values no
// 64-bit integer can hold (and NaN) give 0.
std::int32_t truncateToInt32(double value);

// The text up to (not including) the first zero byte of the buffer.
Text bytesToText(const Bytes& bytes);
Bytes textToBytes(const Text& text);

}  // namespace ql
