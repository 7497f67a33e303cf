// The program's script engine: the Script Control running JScript, driven
// late-bound. Copies share one engine.
#pragma once

#include <cstdint>

#include "common/automation.h"
#include "text/text.h"

namespace ql {

// The engine's last error, as its "Error" object reports it.
struct ScriptError {
  std::int32_t number = 0;
  Text source;
  Text description;
  Text helpFile;
  std::int32_t helpContext = 0;
  Text text;
  std::int32_t line = 0;
  std::int32_t column = 0;
};

class ScriptHost {
 public:
  ScriptHost() = default;
  // An engine from `progId` with its "Language" set; empty when creation fails.
  // The caller must have initialised COM on this thread.
  static ScriptHost create(const char* progId, const char* language);

  bool empty() const { return engine_.empty(); }
  void release() { engine_.clear(); }
  const AutomationObject& object() const { return engine_; }

  bool addCode(const Text& code) const;
  bool executeStatement(const Text& statements) const;
  // Calls the script function `procedure` with one argument, passed as a
  // value rather than as script text.
  bool run(const char* procedure, const Text& argument) const;
  // Evaluates one expression; failures give false, empty text or 0.
  bool eval(const Text& expression, Variant* result = nullptr) const;
  bool evalBool(const Text& expression) const;
  Text evalText(const Text& expression) const;
  double evalNumber(const Text& expression) const;
  ScriptError lastError() const;

 private:
  AutomationObject engine_;
};

}  // namespace ql
