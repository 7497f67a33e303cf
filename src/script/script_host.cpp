#include "script/script_host.h"

namespace ql {
namespace {

// Error numbers may exceed the int32 range as doubles (HRESULT-like codes):
// truncate, then keep the low 32 bits, as a 32-bit read of the value would.
std::int32_t toInt32(double value) {
  if (!(value > -9.2e18 && value < 9.2e18)) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(value)));
}

}  // namespace

ScriptHost ScriptHost::create(const char* progId, const char* language) {
  ScriptHost host;
  host.engine_ = AutomationObject::create(progId);
  host.engine_.put("Language", Variant(language));
  return host;
}

bool ScriptHost::addCode(const Text& code) const { return engine_.call("AddCode", {Variant(code)}); }

bool ScriptHost::executeStatement(const Text& statements) const {
  return engine_.call("ExecuteStatement", {Variant(statements)});
}

bool ScriptHost::eval(const Text& expression, Variant* result) const {
  return engine_.call("Eval", {Variant(expression)}, result);
}

bool ScriptHost::evalBool(const Text& expression) const { return engine_.getBool("Eval", {Variant(expression)}); }

Text ScriptHost::evalText(const Text& expression) const { return engine_.getText("Eval", {Variant(expression)}); }

double ScriptHost::evalNumber(const Text& expression) const {
  return engine_.getNumber("Eval", {Variant(expression)});
}

ScriptError ScriptHost::lastError() const {
  ScriptError e;
  AutomationObject error = engine_.getObject("Error");
  if (error.empty()) return e;
  e.number = toInt32(error.getNumber("Number"));
  e.source = error.getText("Source");
  e.description = error.getText("Description");
  e.helpFile = error.getText("HelpFile");
  e.helpContext = toInt32(error.getNumber("HelpContext"));
  e.text = error.getText("Text");
  e.line = toInt32(error.getNumber("Line"));
  e.column = toInt32(error.getNumber("Column"));
  return e;
}

}  // namespace ql
