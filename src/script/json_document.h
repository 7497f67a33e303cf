// A JSON value kept inside a script engine of its own and read or edited by
// path through short JScript expressions. Clones share one engine and so one
// value. Nothing here throws: failures are false, empty text, 0 or a document
// whose root is null.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/automation.h"
#include "script/script_host.h"
#include "text/text.h"

namespace ql {

class JsonDocument {
 public:
  // Root "da", initialised at once; without a script engine when none can be created.
  JsonDocument();
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  virtual ~JsonDocument();
  // A second document on the same engine: edits through either are seen by both.
  virtual std::unique_ptr<JsonDocument> clone() const;
  // (Re)creates the engine, its library and an empty root object.
  virtual void initialise();
  // Loads one JSON value into a fresh engine. Text that is not JSON is never
  // evaluated: the root is then null and the result false. True when the root
  // is neither null nor undefined. `error` is filled only when `wantError` is set.
  virtual bool parse(const Text& text, bool direct = false, ScriptError* error = nullptr, bool wantError = false);
  virtual bool clear();
  virtual Text toJson() const;
  // asObject false stores `value` as a string; true evaluates it as an object
  // literal and merges it into an object already at the path.
  virtual bool setValue(const Text& path, const Text& value, bool asObject);
  virtual bool setExpression(const Text& path, const Text& expression);
  // Makes `path` absolute (rooted at the root variable); true when a value
  // other than null or undefined is there.
  virtual bool resolvePath(Text& path) const;
  virtual bool exists(const Text& path) const;
  // 0 null or missing, 1 boolean, 2 number, 4 object, 5 array, 6 string,
  // -1 anything else or a path that cannot be evaluated.
  virtual std::int32_t typeOf(const Text& path) const;
  virtual Text getText(const Text& path, bool asJson) const;
  virtual std::int32_t memberNames(std::vector<Text>& names, const Text& path) const;
  virtual std::int32_t arrayCount(const Text& path) const;
  // A copy of the value at the path in a document of its own.
  virtual std::unique_ptr<JsonDocument> getDocument(const Text& path) const;
  virtual bool addToArray(const Text& value, const Text& path, bool raw, bool atFront);
  virtual std::unique_ptr<JsonDocument> getArrayDocument(std::int32_t index, const Text& path) const;
  virtual Text getArrayText(std::int32_t index, const Text& path, bool asJson) const;
  virtual bool setArrayItem(std::int32_t index, const Text& path, const Text& value, bool raw);
  virtual bool removeArrayItem(std::int32_t index, const Text& path);
  virtual bool remove(const Text& path);
  virtual bool setNumber(const Text& path, double value);
  virtual double getNumber(const Text& path) const;
  virtual Text getJson(const Text& path) const;
  virtual AutomationObject engineObject() const;
  // The strings, numbers and booleans under the path, as text; nested objects
  // and arrays are entered only when `recursive` is set.
  virtual std::int32_t nodeValues(std::vector<Text>& values, const Text& path, bool recursive) const;

  const Text& varName() const { return varName_; }
  bool hasEngine() const { return !engine_.empty(); }

 private:
  struct SharedEngine {};
  JsonDocument(SharedEngine, const JsonDocument& source);

  void holdCom();
  // Hands `value` to the engine as data and runs the statement that `statement`
  // builds around the script expression that stands for it.
  template <typename Statement>
  bool withKeptText(const Text& value, Statement statement);
  // The statement's value as JScript would test it; false when evaluation fails.
  bool evalStatement(const Text& statement) const;
  Text resolved(const Text& path) const;
  std::unique_ptr<JsonDocument> copyOf(const Text& jsonExpression) const;

  Text varName_;
  ScriptHost engine_;
  // This document's one CoInitialize, taken by its first initialise (or when it
  // is cloned) and balanced by the destructor, however often parse re-creates
  // the engine.
  std::optional<ComInit> com_;
};

// The process-wide scratch document that server answers are loaded into.
// Null before createJsonScratch and after releaseJsonScratch.
JsonDocument* jsonScratch();
// Creates the scratch document unless it exists.
void createJsonScratch();
// Destroys the scratch document; does nothing when there is none.
void releaseJsonScratch();

}  // namespace ql
