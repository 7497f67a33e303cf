#include "common/automation.h"

#include <utility>
#include <vector>

#include "common/system_api.h"

namespace ql {

BSTR textToBstr(const Text& text) {
  auto& api = systemApi();
  int n = api.MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (b && n > 0) api.MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), b, n);
  return b;
}

Text bstrToText(BSTR bstr) {
  // Text ends at its first zero, as the program's texts always have.
  const int length = static_cast<int>(SysStringLen(bstr));
  int units = 0;
  while (units < length && bstr[units] != L'\0') ++units;
  if (units == 0) return Text();
  auto& api = systemApi();
  int n = api.WideCharToMultiByte(CP_ACP, 0, bstr, units, nullptr, 0, nullptr, nullptr);
  Text out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) api.WideCharToMultiByte(CP_ACP, 0, bstr, units, &out[0], n, nullptr, nullptr);
  return out;
}

std::u16string textToAutomationUnits(const Text& text) {
  Bstr b(text);
  return std::u16string(reinterpret_cast<const char16_t*>(b.get()), SysStringLen(b.get()));
}

// Looking a ProgID up reads the registry, a good part of the cost of creating
// a small object such as the clock text's script engine. A class id does not
// change while the program runs, so each ProgID is looked up once per process;
// one that is not found is looked up again next time. The program has one
// thread, so the list needs no lock.
bool classIdOf(const Text& progId, CLSID* clsid) {
  static std::vector<std::pair<Text, CLSID>> known;
  for (const auto& entry : known) {
    if (entry.first == progId) {
      *clsid = entry.second;
      return true;
    }
  }
  Bstr id(progId);
  if (FAILED(CLSIDFromProgID(id.get(), clsid))) return false;
  known.emplace_back(progId, *clsid);
  return true;
}

ComInit::ComInit() : initialised_(SUCCEEDED(systemApi().CoInitialize(nullptr))) {}

ComInit::~ComInit() {
  if (initialised_) systemApi().CoUninitialize();
}

Variant::Variant() {
  VariantInit(&v_);
  v_.vt = VT_I4;
  v_.lVal = 0;
}

Variant::Variant(int value) : Variant() { v_.lVal = value; }

Variant::Variant(double value) : Variant() {
  v_.vt = VT_R8;
  v_.dblVal = value;
}

Variant::Variant(bool value) : Variant() {
  v_.vt = VT_BOOL;
  v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(const Text& text) : Variant() {
  v_.vt = VT_BSTR;
  v_.bstrVal = textToBstr(text);
}

Variant::Variant(const Variant& other) : Variant() { VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)); }

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    clear();
    VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
  }
  return *this;
}

Variant::~Variant() { VariantClear(&v_); }

void Variant::clear() {
  VariantClear(&v_);
  v_.vt = VT_I4;
  v_.lVal = 0;
}

Text Variant::toText() const {
  if (v_.vt == VT_BSTR) return bstrToText(v_.bstrVal);
  VARIANT tmp;
  VariantInit(&tmp);
  Text out;
  if (SUCCEEDED(VariantChangeType(&tmp, const_cast<VARIANT*>(&v_), 0, VT_BSTR))) out = bstrToText(tmp.bstrVal);
  VariantClear(&tmp);
  return out;
}

double Variant::toNumber() const {
  VARIANT tmp;
  VariantInit(&tmp);
  double out = 0;
  if (SUCCEEDED(VariantChangeType(&tmp, const_cast<VARIANT*>(&v_), 0, VT_R8))) out = tmp.dblVal;
  VariantClear(&tmp);
  return out;
}

bool Variant::toBool() const {
  VARIANT tmp;
  VariantInit(&tmp);
  bool out = false;
  if (SUCCEEDED(VariantChangeType(&tmp, const_cast<VARIANT*>(&v_), 0, VT_BOOL))) out = tmp.boolVal != VARIANT_FALSE;
  VariantClear(&tmp);
  return out;
}

IDispatch* Variant::toDispatch() const {
  if (v_.vt == VT_DISPATCH) return v_.pdispVal;
  if (v_.vt == (VT_DISPATCH | VT_BYREF) && v_.ppdispVal) return *v_.ppdispVal;
  return nullptr;
}

AutomationObject::AutomationObject(IDispatch* dispatch) : dispatch_(dispatch) {
  if (dispatch_) dispatch_->AddRef();
}

AutomationObject::AutomationObject(const AutomationObject& other) : AutomationObject(other.dispatch_) {}

AutomationObject& AutomationObject::operator=(const AutomationObject& other) {
  if (this != &other) {
    if (other.dispatch_) other.dispatch_->AddRef();
    clear();
    dispatch_ = other.dispatch_;
  }
  return *this;
}

AutomationObject::AutomationObject(AutomationObject&& other) noexcept : dispatch_(other.dispatch_) {
  other.dispatch_ = nullptr;
}

AutomationObject& AutomationObject::operator=(AutomationObject&& other) noexcept {
  if (this != &other) {
    clear();
    dispatch_ = other.dispatch_;
    other.dispatch_ = nullptr;
  }
  return *this;
}

AutomationObject::~AutomationObject() { clear(); }

void AutomationObject::clear() {
  if (dispatch_) dispatch_->Release();
  dispatch_ = nullptr;
}

AutomationObject AutomationObject::create(const Text& progId) {
  CLSID clsid;
  AutomationObject object;
  if (!classIdOf(progId, &clsid)) return object;
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                   reinterpret_cast<void**>(&object.dispatch_));
  return object;
}

bool AutomationObject::invoke(const char* member, WORD flags, const Variant* args, unsigned count,
                              Variant* result) const {
  if (!dispatch_) return false;
  Bstr name(member);
  LPOLESTR names[] = {name.get()};
  DISPID id = 0;
  if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;

  // DISPPARAMS wants the arguments last to first; the VARIANTs stay owned by the caller.
  std::vector<VARIANT> reversed(count);
  for (unsigned i = 0; i < count; ++i) reversed[count - 1 - i] = *args[i].get();
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params = {reversed.data(), nullptr, count, 0};
  if (flags & DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  EXCEPINFO error = {};
  UINT argError = 0;
  VARIANT out;
  VariantInit(&out);
  HRESULT hr =
      dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result ? &out : nullptr, &error, &argError);
  if (error.pfnDeferredFillIn) error.pfnDeferredFillIn(&error);
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrDescription);
  SysFreeString(error.bstrHelpFile);
  if (SUCCEEDED(hr) && result) {
    result->clear();
    VariantClear(result->get());
    *result->get() = out;  // takes ownership
  } else {
    VariantClear(&out);
  }
  return SUCCEEDED(hr);
}

bool AutomationObject::call(const char* member, std::initializer_list<Variant> args, Variant* result) const {
  return invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args.begin(), static_cast<unsigned>(args.size()),
                result);
}

bool AutomationObject::put(const char* member, const Variant& value) const {
  return invoke(member, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
}

Variant AutomationObject::getVariant(const char* member, std::initializer_list<Variant> args) const {
  Variant v;
  if (!call(member, args, &v)) v.clear();
  return v;
}

Text AutomationObject::getText(const char* member, std::initializer_list<Variant> args) const {
  Variant v;
  return call(member, args, &v) ? v.toText() : Text();
}

double AutomationObject::getNumber(const char* member, std::initializer_list<Variant> args) const {
  Variant v;
  return call(member, args, &v) ? v.toNumber() : 0.0;
}

bool AutomationObject::getBool(const char* member, std::initializer_list<Variant> args) const {
  Variant v;
  return call(member, args, &v) && v.toBool();
}

AutomationObject AutomationObject::getObject(const char* member, std::initializer_list<Variant> args) const {
  Variant v;
  if (!call(member, args, &v)) return AutomationObject();
  return AutomationObject(v.toDispatch());
}

}  // namespace ql
