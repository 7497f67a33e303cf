// Cookies travel as text: name=value entries joined by "; ". Pure text work.
#pragma once

#include <vector>

#include "text/text.h"

namespace ql {

void collectSetCookie(const Text& line, Text& cookiesReturned);
void finishCookieTexts(Text& cookiesToSend, Text& cookiesReturned, bool mergeCookies);
Text mergeCookieText(Text& sent, const Text& received);
Text cookieName(const Text& entry);
bool containsCookieNamed(const std::vector<Text>& entries, const Text& name);
Text removeDuplicateItems(const Text& text, const Text& separator);
Text textBeforeFirst(const Text& text, const Text& separator);
Text textBetween(const Text& text, const Text& startMarker, const Text& endMarker);

}  // namespace ql
