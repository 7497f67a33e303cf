#include "script/json_document.h"

#include <cmath>
#include <cstdio>

#include "../resources/resource_ids.h"
#include "common/resources.h"
#include "script/json_shape.h"

namespace ql {
namespace {

// Reading suffix: every U+2400 that stands for a backslash becomes one again.
const char kBackslashSuffix[] = ".replace(str_reg, '\\\\')";
// Used for text that is loaded again: U+2400 leaves as its JSON escape, so the
// copy holds the same character (the code page cannot carry it).
const char kEscapedSuffix[] = ".replace(str_reg, '\\\\u2400')";
const char kNodeSeparator[] = "[2020年7月20日20时0分0秒]";

// JScript's own truth test applied to an evaluated value.
bool isTruthy(const Variant& value) {
  const VARIANT* v = value.get();
  switch (v->vt) {
    case VT_EMPTY:
    case VT_NULL:
      return false;
    case VT_BOOL:
      return v->boolVal != VARIANT_FALSE;
    case VT_BSTR:
      return SysStringLen(v->bstrVal) > 0;
    case VT_DISPATCH:
      return v->pdispVal != nullptr;
    default: {
      double d = value.toNumber();
      return d == d && d != 0;
    }
  }
}

Text indexText(std::int32_t index) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%ld", static_cast<long>(index));
  return buffer;
}

// Script text for a number that the engine reads back as exactly `value`.
// Whole numbers below 2^53 are written in decimal, which the engine reads
// exactly. Others are written as an odd integer times a power of two: the
// engine's decimal reader loses digits beyond about 15 and reads numbers
// below 2.3e-308 as 0, whereas both factors here and their product are exact.
Text numberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buffer[64];
  if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
  }
  int exponent = 0;
  double mantissa = std::ldexp(std::frexp(value, &exponent), 53);  // a whole number, |mantissa| < 2^53
  exponent -= 53;
  while (std::fmod(mantissa, 2.0) == 0) {
    mantissa /= 2;
    ++exponent;
  }
  std::snprintf(buffer, sizeof buffer, "(%.0f * Math.pow(2, %d))", mantissa, exponent);
  return buffer;
}

std::unique_ptr<JsonDocument>& scratchSlot() {
  static std::unique_ptr<JsonDocument> scratch;
  return scratch;
}

}  // namespace

JsonDocument::JsonDocument() : varName_("da") { initialise(); }

JsonDocument::JsonDocument(SharedEngine, const JsonDocument& source)
    : varName_(source.varName_), engine_(source.engine_) {
  // The clone is released on its own, so it holds its own COM reference.
  holdCom();
}

JsonDocument::~JsonDocument() {
  // The engine must go while COM is still initialised for it.
  engine_.release();
  com_.reset();
}

std::unique_ptr<JsonDocument> JsonDocument::clone() const {
  return std::unique_ptr<JsonDocument>(new JsonDocument(SharedEngine{}, *this));
}

void JsonDocument::holdCom() {
  if (!com_) com_.emplace();
}

void JsonDocument::initialise() {
  holdCom();
  engine_ = ScriptHost::create("MSScriptControl.ScriptControl", "JavaScript");
  if (engine_.empty()) return;
  // A large answer that runs past the control's time-out must fail like any
  // other script error, not stop the program with a question to the user.
  engine_.object().put("AllowUI", Variant(false));
  engine_.addCode(loadTextResource(QL_RES_JSON_LIBRARY_JS));
  engine_.addCode("var " + varName_ +
                  " = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')");
}

bool JsonDocument::parse(const Text& text, bool direct, ScriptError* error, bool wantError) {
  if (!engine_.empty()) {
    engine_.release();
    initialise();
  }
  if (engine_.empty()) return false;
  engine_.addCode("var " + varName_ + " = null");
  // Server answers are untrusted: only text of JSON shape is handed to the
  // engine, so an answer can never run script (the engine can create any
  // ActiveX object). The shape is checked on the characters the engine will
  // receive. Both forms evaluate the text exactly once.
  if (!isJsonText(textToAutomationUnits(text))) {
    // Leaves the engine's error record as the library's own refusal leaves it.
    engine_.addCode("get__notJson()");
  } else if (direct) {
    engine_.addCode("var " + varName_ + " = " + text);
  } else {
    // The text goes in as a value, not as code, and the library checks its
    // shape again on exactly the characters the engine received.
    engine_.run("get__keepText", text);
    engine_.addCode("try { var " + varName_ + " = get__parseText(str_text) } finally { str_text = null }");
  }
  if (wantError && error) *error = engine_.lastError();
  return engine_.evalBool(varName_ + " != null");
}

bool JsonDocument::clear() { return evalStatement(varName_ + " = {}"); }

Text JsonDocument::toJson() const { return engine_.evalText("JSON.stringify(" + varName_ + ")" + kBackslashSuffix); }

bool JsonDocument::setValue(const Text& path, const Text& value, bool asObject) {
  Text p = path;
  bool present = resolvePath(p);
  if (asObject) {
    Text merged = value.empty() ? Text("{}") : value;
    Text tag = engine_.evalText("Object.prototype.toString.call(" + p + ")");
    if (present && tag == "[object Object]") return evalStatement(p + " = get__extend(" + p + ", " + merged + ")");
    return evalStatement(p + " = eval(" + value + ")");
  }
  return withKeptText(value, [&](const Text& item) { return evalStatement(p + " = " + item); });
}

bool JsonDocument::setExpression(const Text& path, const Text& expression) {
  return evalStatement(resolved(path) + " = eval(" + expression + ")");
}

bool JsonDocument::resolvePath(Text& path) const {
  if (startsWith(path, varName_) && engine_.evalBool(path + " != null")) return true;
  if (path.empty()) {
    path = varName_;
  } else if (path[0] == '[') {
    path = varName_ + path;
  } else {
    path = varName_ + "." + path;
  }
  return engine_.evalBool(path + " != null");
}

bool JsonDocument::exists(const Text& path) const {
  Text p = path;
  return resolvePath(p);
}

std::int32_t JsonDocument::typeOf(const Text& path) const {
  Text p = resolved(path);
  Variant isNull;
  if (!engine_.eval(p + " == null", &isNull)) return -1;
  if (isNull.toBool()) return 0;
  Text tag = engine_.evalText("Object.prototype.toString.call(" + p + ")");
  if (tag == "[object Boolean]") return 1;
  if (tag == "[object Number]") return 2;
  if (tag == "[object Object]") return 4;
  if (tag == "[object Array]") return 5;
  if (tag == "[object String]") return 6;
  return -1;
}

Text JsonDocument::getText(const Text& path, bool asJson) const {
  Text p = resolved(path);
  if (asJson) return engine_.evalText("JSON.stringify(" + p + ")" + kBackslashSuffix);
  return engine_.evalText(p + ".toString()" + kBackslashSuffix);
}

std::int32_t JsonDocument::memberNames(std::vector<Text>& names, const Text& path) const {
  names = splitText(engine_.evalText("get__name_All(" + resolved(path) + ")"), "\r\n");
  return static_cast<std::int32_t>(names.size());
}

std::int32_t JsonDocument::arrayCount(const Text& path) const {
  return truncateToInt32(engine_.evalNumber("get__count(" + resolved(path) + ")"));
}

std::unique_ptr<JsonDocument> JsonDocument::getDocument(const Text& path) const {
  return copyOf("JSON.stringify(" + resolved(path) + ")");
}

bool JsonDocument::addToArray(const Text& value, const Text& path, bool raw, bool atFront) {
  Text p = resolved(path);
  auto add = [&](const Text& item) {
    return evalStatement("if (Object.prototype.toString.call(" + p + ") != '[object Array]') { " + p +
                         " = new Array() } " + p + (atFront ? ".unshift(" : ".push(") + item + ")");
  };
  return raw ? add(value) : withKeptText(value, add);
}

std::unique_ptr<JsonDocument> JsonDocument::getArrayDocument(std::int32_t index, const Text& path) const {
  return copyOf("JSON.stringify(" + resolved(path) + "[" + indexText(index) + "])");
}

Text JsonDocument::getArrayText(std::int32_t index, const Text& path, bool asJson) const {
  Text element = resolved(path) + "[" + indexText(index) + "]";
  if (asJson) return engine_.evalText("JSON.stringify(" + element + ")" + kBackslashSuffix);
  return engine_.evalText(element + kBackslashSuffix);
}

bool JsonDocument::setArrayItem(std::int32_t index, const Text& path, const Text& value, bool raw) {
  Text element = resolved(path) + "[" + indexText(index) + "]";
  auto set = [&](const Text& item) { return evalStatement(element + " = " + item); };
  return raw ? set(value) : withKeptText(value, set);
}

bool JsonDocument::removeArrayItem(std::int32_t index, const Text& path) {
  return evalStatement(resolved(path) + ".splice(" + indexText(index) + ", 1)");
}

bool JsonDocument::remove(const Text& path) { return evalStatement("delete " + resolved(path)); }

bool JsonDocument::setNumber(const Text& path, double value) {
  return evalStatement(resolved(path) + " = " + numberText(value));
}

double JsonDocument::getNumber(const Text& path) const { return engine_.evalNumber(resolved(path)); }

Text JsonDocument::getJson(const Text& path) const {
  return engine_.evalText("JSON.stringify(" + resolved(path) + ")" + kBackslashSuffix);
}

AutomationObject JsonDocument::engineObject() const { return engine_.object(); }

std::int32_t JsonDocument::nodeValues(std::vector<Text>& values, const Text& path, bool recursive) const {
  values.clear();
  Text p = resolved(path);
  engine_.addCode("var str_all = new Array()");
  engine_.eval(Text("get__nodeValue(") + p + ", " + (recursive ? "true" : "false") + ")");
  values = splitText(engine_.evalText(Text("str_all.join('") + kNodeSeparator + "')"), kNodeSeparator);
  return static_cast<std::int32_t>(values.size());
}

// A text goes into the engine as a value, never inside script code: escaping
// it into a literal depends on where the code page ends each character, and a
// stray byte (0x80 is one character, an unpaired lead byte may take the next
// byte with it) could let an apostrophe end the literal early. The statement
// then refers to the kept value, its backslashes held as U+2400 like every
// text the document stores.
template <typename Statement>
bool JsonDocument::withKeptText(const Text& value, Statement statement) {
  if (!engine_.run("get__keepText", value)) return false;
  bool stored = statement(Text("String(str_text).replace(/\\\\/g, str_Code)"));
  engine_.addCode("str_text = null");
  return stored;
}

bool JsonDocument::evalStatement(const Text& statement) const {
  Variant value;
  return engine_.eval(statement, &value) && isTruthy(value);
}

Text JsonDocument::resolved(const Text& path) const {
  Text p = path;
  resolvePath(p);
  return p;
}

std::unique_ptr<JsonDocument> JsonDocument::copyOf(const Text& jsonExpression) const {
  JsonDocument temporary;
  temporary.parse(engine_.evalText(jsonExpression + kEscapedSuffix));
  return temporary.clone();
}

JsonDocument* jsonScratch() { return scratchSlot().get(); }

void createJsonScratch() {
  if (!scratchSlot()) scratchSlot().reset(new JsonDocument());
}

void releaseJsonScratch() { scratchSlot().reset(); }

}  // namespace ql
