// Re-decodes a response body from the character set that the page declares.
// Stands in for the ADODB.Stream component: the character-set name is looked
// up with MLang and the bytes are converted with the system's code-page
// functions, or with MLang's converters where those functions have none.
#pragma once

#include <windows.h>

#include "text/text.h"

struct IMultiLanguage2;

namespace ql {

class CharsetStream {
 public:
  // Creates the MLang object on the calling thread, which must have COM
  // initialised. `created()` tells whether that worked.
  CharsetStream();
  ~CharsetStream();
  CharsetStream(const CharsetStream&) = delete;
  CharsetStream& operator=(const CharsetStream&) = delete;

  bool created() const { return languages_ != nullptr; }

  // The code page that decodes the Internet character-set name ("utf-8",
  // "GB2312", "big5", ...); 0 when the name is unknown.
  UINT codePageOf(const Text& charset) const;

  // Decodes all of `bytes` (zero bytes included) from `charset` and hands the
  // result over as Automation hands over a string: converted to the system
  // ANSI code page, with the characters it lacks replaced. A leading byte-order
  // mark is skipped. False, and `text` unchanged, when the name is unknown or
  // the bytes cannot be converted.
  bool readText(const Bytes& bytes, const Text& charset, Text& text) const;

 private:
  IMultiLanguage2* languages_ = nullptr;
};

}  // namespace ql
