#include "common/resources.h"

#include <windows.h>

namespace ql {
namespace {

// The resource's bytes; valid for the life of the module.
const unsigned char* findResource(int id, DWORD* size) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL data = info ? LoadResource(module, info) : nullptr;
  const unsigned char* bytes = data ? static_cast<const unsigned char*>(LockResource(data)) : nullptr;
  *size = bytes ? SizeofResource(module, info) : 0;
  return bytes;
}

}  // namespace

Text loadTextResource(int id) {
  DWORD size = 0;
  const unsigned char* bytes = findResource(id, &size);
  if (!bytes) return Text();
  Text text(reinterpret_cast<const char*>(bytes), size);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

Bytes loadBinaryResource(int id) {
  DWORD size = 0;
  const unsigned char* bytes = findResource(id, &size);
  return bytes ? Bytes(bytes, bytes + size) : Bytes();
}

}  // namespace ql
