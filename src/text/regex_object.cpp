#include "text/regex_object.h"

namespace ql {
RegexObject::RegexObject() = default;

RegexObject::~RegexObject() {
  regExp_.clear();
  matches_.clear();
  subject_.clear();
  // com_ uninitialises after this body, once nothing of COM is held.
}

bool RegexObject::execute(const Text& pattern, const Text& subject, bool caseSensitive, bool multiline, bool global,
                          bool substituteQuotes) {
  regExp_.clear();
  matches_.clear();
  regExp_ = AutomationObject::create("VBScript.RegExp");
  regExp_.put("IgnoreCase", Variant(!caseSensitive));
  regExp_.put("Multiline", Variant(multiline));
  regExp_.put("Global", Variant(global));
  // Callers write patterns as C literals; "#引号" spares them escaping quotes.
  regExp_.put("Pattern", Variant(substituteQuotes ? replaceAll(pattern, "#引号", "\"") : pattern));
  subject_ = Variant(subject);
  Variant result;
  if (regExp_.call("Execute", {subject_}, &result)) matches_ = AutomationObject(result.toDispatch());
  return !matches_.empty();
}

Text RegexObject::getPattern() const { return regExp_.getText("Pattern"); }

Text RegexObject::replace(const Text& replacement) const {
  Variant with(replacement);
  Text out = regExp_.getText("Replace", {subject_, with});
  with.clear();
  return out;
}

std::int32_t RegexObject::matchCount() const { return truncateToInt32(matches_.getNumber("Count")); }

Text RegexObject::matchText(std::int32_t matchIndex, std::int32_t* position) const {
  AutomationObject match = matches_.getObject("Item", {Variant(matchIndex - 1)});
  Text text = match.getText("Value");
  if (position) *position = match.empty() ? -2 : positionInSubject(text, match.getNumber("FirstIndex"));
  return text;
}

Text RegexObject::subMatchText(std::int32_t matchIndex, std::int32_t subMatchIndex, std::int32_t* position) const {
  AutomationObject match = matches_.getObject("Item", {Variant(matchIndex - 1)});
  AutomationObject group = match.getObject("SubMatches");
  Variant item;
  bool found = group.call("Item", {Variant(subMatchIndex - 1)}, &item);
  Text text = found ? item.toText() : Text();
  if (position) *position = found ? positionInSubject(text, match.getNumber("FirstIndex")) : -2;
  return text;
}

std::int32_t RegexObject::subMatchCount() const {
  return truncateToInt32(matches_.getObject("Item", {Variant(0)}).getObject("SubMatches").getNumber("Count"));
}

// The component counts FirstIndex in UTF-16 units, the program in GBK bytes.
// A character takes one unit but one or two bytes, so the byte offset is never
// below FirstIndex: search again from just before it. An equal text between
// there and the real match would be taken instead; callers accept that.
std::int32_t RegexObject::positionInSubject(const Text& text, double firstIndex) const {
  Text s = subject_.toText();
  int start = truncateToInt32(firstIndex) - 1;
  if (start < 0) start = 0;
  if (text.empty()) return static_cast<std::size_t>(start) < s.size() ? 0 : -2;
  int at = findText(s, text, start, regExp_.getBool("IgnoreCase"));
  return at < 0 ? -2 : at;
}

}  // namespace ql
