// Late-bound COM Automation: every call by member name goes through
// AutomationObject::invoke. Nothing here throws or shows a message; a failed
// call yields empty text, 0, false or an empty object.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <initializer_list>
#include <string>

#include "text/text.h"

namespace ql {

// Texts cross into COM through the system ANSI code page, as Automation does.
BSTR textToBstr(const Text& text);
Text bstrToText(BSTR bstr);
// The UTF-16 units that a Text becomes on its way into a COM call.
std::u16string textToAutomationUnits(const Text& text);
// The class registered under `progId`, looked up in the registry the first
// time only; false when there is none.
bool classIdOf(const Text& progId, CLSID* clsid);

// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const Text& text) : b_(textToBstr(text)) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }

 private:
  BSTR b_ = nullptr;
};

// Balances one CoInitialize on the calling thread, through the function table.
class ComInit {
 public:
  ComInit();
  ~ComInit();
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;

 private:
  bool initialised_;
};

// An owned VARIANT. A fresh one holds the 32-bit integer 0.
class Variant {
 public:
  Variant();
  Variant(int value);
  Variant(double value);
  Variant(bool value);
  Variant(const Text& text);
  Variant(const char* text) : Variant(Text(text ? text : "")) {}
  Variant(const Variant& other);
  Variant& operator=(const Variant& other);
  ~Variant();

  void clear();  // back to the integer 0

  // Conversions by the default Automation rules; 0, false or empty on failure.
  Text toText() const;
  double toNumber() const;
  bool toBool() const;
  IDispatch* toDispatch() const;  // borrowed; nullptr when not an object

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }

 private:
  VARIANT v_;
};

// One COM Automation object, driven by member name. Copies share the object.
class AutomationObject {
 public:
  AutomationObject() = default;
  explicit AutomationObject(IDispatch* dispatch);  // adds a reference
  AutomationObject(const AutomationObject& other);
  AutomationObject& operator=(const AutomationObject& other);
  AutomationObject(AutomationObject&& other) noexcept;
  AutomationObject& operator=(AutomationObject&& other) noexcept;
  ~AutomationObject();

  // Creates the object registered under `progId`; empty on failure.
  static AutomationObject create(const Text& progId);

  bool empty() const { return dispatch_ == nullptr; }
  void clear();
  IDispatch* dispatch() const { return dispatch_; }

  // Calls a method or reads a property; arguments in declared order.
  // `result` may be null. Returns false when the member is missing or the call fails.
  bool call(const char* member, std::initializer_list<Variant> args = {}, Variant* result = nullptr) const;
  bool put(const char* member, const Variant& value) const;

  Variant getVariant(const char* member, std::initializer_list<Variant> args = {}) const;
  Text getText(const char* member, std::initializer_list<Variant> args = {}) const;
  double getNumber(const char* member, std::initializer_list<Variant> args = {}) const;
  bool getBool(const char* member, std::initializer_list<Variant> args = {}) const;
  AutomationObject getObject(const char* member, std::initializer_list<Variant> args = {}) const;

 private:
  bool invoke(const char* member, WORD flags, const Variant* args, unsigned count, Variant* result) const;
  IDispatch* dispatch_ = nullptr;
};

}  // namespace ql
