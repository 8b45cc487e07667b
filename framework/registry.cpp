#include "registry.h"

#include <cstring>

namespace brevant {

CRegistry::CRegistry(HKEY root) : key_(root) {}

CRegistry::~CRegistry() { Close(); }

void CRegistry::Record(LONG result, DWORD type, DWORD size) {
  last_result_ = result;
  last_type_ = type;
  last_size_ = size;
}

void CRegistry::Adopt(HKEY fresh) {
  // The old key may be the parent `fresh` was opened from; a child handle
  // does not depend on its parent staying open, so closing it now is safe.
  owned_.reset(fresh);
  key_ = fresh;
}

bool CRegistry::Open(HKEY root, const std::string& path, bool writable) {
  path_ = path;
  return OpenBelow(root, path, writable ? kFullAccess : kReadAccess);
}

bool CRegistry::OpenKey(const std::string& path) { return OpenBelow(key_, path, kFullAccess); }

bool CRegistry::OpenBelow(HKEY parent, const std::string& path, REGSAM access) {
  HKEY fresh = nullptr;
  const LONG result = RegOpenKeyExA(parent, path.c_str(), 0, access, &fresh);
  Record(result, 0, 0);
  if (result != ERROR_SUCCESS) return false;
  Adopt(fresh);
  return true;
}

bool CRegistry::CreateKey(const std::string& path) {
  HKEY fresh = nullptr;
  const LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      kFullAccess, nullptr, &fresh, nullptr);
  Record(result, 0, 0);
  if (result != ERROR_SUCCESS) return false;
  Adopt(fresh);
  return true;
}

bool CRegistry::OpenOrCreateKey(const std::string& path) {
  // A failed open is already on record when the creation runs.
  if (Open(HKEY_CURRENT_USER, path, true)) return true;
  return CreateKey(path);
}

void CRegistry::Close() {
  if (key_ == nullptr) return;
  // Only what this object opened is closed; a borrowed root stays usable by
  // its owner.
  owned_.reset();
  key_ = nullptr;
}

bool CRegistry::WriteDword(const std::string& name, DWORD value) {
  const LONG result = RegSetValueExA(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                     sizeof value);
  Record(result, REG_DWORD, sizeof value);
  return result == ERROR_SUCCESS;
}

bool CRegistry::ReadDword(const std::string& name, DWORD& out) {
  DWORD data = 0;
  DWORD type = 0;
  DWORD size = sizeof data;
  const LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  Record(result, type, size);
  if (result != ERROR_SUCCESS) return false;
  out = data;
  return true;
}

bool CRegistry::ReadString(const std::string& name, std::string& out) {
  char area[kTextAreaSize] = {};
  DWORD type = 0;
  DWORD size = sizeof area;
  const LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(area), &size);
  Record(result, type, size);
  if (result != ERROR_SUCCESS) return false;
  // Stored data need not end in a zero; the reported size bounds it then.
  const std::size_t limit = size < sizeof area ? size : sizeof area;
  out.assign(area, strnlen(area, limit));
  return true;
}

// A failed enumeration may still have written part of a name: it gives none.
static bool TakeName(LONG result, const char (&area)[CRegistry::kTextAreaSize], std::string& out) {
  out = result == ERROR_SUCCESS ? std::string(area, strnlen(area, sizeof area)) : std::string();
  return result == ERROR_SUCCESS;
}

bool CRegistry::EnumKey(DWORD index, std::string& out) {
  char area[kTextAreaSize] = {};
  DWORD length = sizeof area;
  const LONG result = RegEnumKeyExA(key_, index, area, &length, nullptr, nullptr, nullptr, nullptr);
  Record(result, 0, 0);
  return TakeName(result, area, out);
}

bool CRegistry::EnumValue(DWORD index, std::string& out) {
  char area[kTextAreaSize] = {};
  DWORD length = sizeof area;
  const LONG result = RegEnumValueA(key_, index, area, &length, nullptr, nullptr, nullptr, nullptr);
  Record(result, 0, 0);
  return TakeName(result, area, out);
}

}  // namespace brevant
