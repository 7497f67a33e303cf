#include "script/script_host.h"

namespace ql {

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

bool ScriptHost::run(const char* procedure, const Text& argument) const {
  return engine_.call("Run", {Variant(procedure), Variant(argument)});
}

bool ScriptHost::eval(const Text& expression, Variant* result) const {
  return engine_.call("Eval", {Variant(expression)}, result);
}

bool ScriptHost::evalBool(const Text& expression) const { return engine_.getBool("Eval", {Variant(expression)}); }

Text ScriptHost::evalText(const Text& expression) const { return engine_.getText("Eval", {Variant(expression)}); }

double ScriptHost::evalNumber(const Text& expression) const { return engine_.getNumber("Eval", {Variant(expression)}); }

ScriptError ScriptHost::lastError() const {
  ScriptError e;
  AutomationObject error = engine_.getObject("Error");
  if (error.empty()) return e;
  e.number = truncateToInt32(error.getNumber("Number"));
  e.source = error.getText("Source");
  e.description = error.getText("Description");
  e.helpFile = error.getText("HelpFile");
  e.helpContext = truncateToInt32(error.getNumber("HelpContext"));
  e.text = error.getText("Text");
  e.line = truncateToInt32(error.getNumber("Line"));
  e.column = truncateToInt32(error.getNumber("Column"));
  return e;
}

}  // namespace ql
