// Regular expressions through the VBScript.RegExp component. Positions are
// reported in GBK bytes of the subject, not in the component's UTF-16 units.
#pragma once

#include <cstdint>

#include "common/automation.h"
#include "text/text.h"

namespace ql {

class RegexObject {
 public:
  // Initialises COM for the constructing thread; use the object on it only.
  RegexObject();
  ~RegexObject();
  RegexObject(const RegexObject&) = delete;
  RegexObject& operator=(const RegexObject&) = delete;

  // Runs `pattern` over `subject` with a fresh component. True when the
  // component returned a match collection (also one with no match).
  // substituteQuotes turns every "#引号" in the pattern into a double quote.
  bool execute(const Text& pattern, const Text& subject, bool caseSensitive = false, bool multiline = true,
               bool global = true, bool substituteQuotes = false);
  Text getPattern() const;
  Text replace(const Text& replacement) const;
  std::int32_t matchCount() const;
  // Indexes count from 1. `position`, when given, receives the zero-based byte
  // offset of the text in the subject, or -2 when it cannot be found.
  Text matchText(std::int32_t matchIndex, std::int32_t* position = nullptr) const;
  Text subMatchText(std::int32_t matchIndex, std::int32_t subMatchIndex, std::int32_t* position = nullptr) const;
  std::int32_t subMatchCount() const;

 private:
  // Byte offset of `text` in the subject near the component's FirstIndex; -2 when absent.
  std::int32_t positionInSubject(const Text& text, double firstIndex) const;

  // First, so that COM is uninitialised only after the members are released.
  ComInit com_;
  AutomationObject regExp_;
  AutomationObject matches_;
  Variant subject_;
};

}  // namespace ql
