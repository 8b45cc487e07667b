#include "policy_registry.h"

#include <cstring>
#include <string_view>

#include "text.h"

namespace corvane::registry {
namespace {

bool IsSameOrBelow(const std::wstring& path, const std::wstring& top) {
  return path == top ||
         (path.size() > top.size() && path.compare(0, top.size(), top) == 0 && path[top.size()] == L'\\');
}

// A string value's text up to its first NUL, however it was stored.
std::wstring_view StoredText(const Value& value) {
  std::wstring_view text(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

std::string ErrorText(const std::wstring& key, LONG error) {
  return "HKLM\\" + fw::WideToUtf8(key) + ": error " + std::to_string(error);
}

fw::ScopedRegKey OpenKey(const std::wstring& path, REGSAM access, LONG* error) {
  fw::ScopedRegKey key;
  const LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | kView, key.put());
  if (error) *error = result;
  return key;
}

fw::ScopedRegKey CreateKey(const std::wstring& path, LONG& error) {
  fw::ScopedRegKey key;
  error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | kView, nullptr,
                          key.put(), nullptr);
  return key;
}

bool KeyExists(const std::wstring& path) { return OpenKey(path, KEY_READ).valid(); }

bool IsEmptyKey(const std::wstring& path) {
  const fw::ScopedRegKey key = OpenKey(path, KEY_READ);
  DWORD subkeys = 0, values = 0;
  return key && RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

std::wstring ReadString(HKEY key, const wchar_t* name) {
  wchar_t text[MAX_PATH] = {};
  DWORD bytes = sizeof text - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  return text;
}

LONG WriteString(HKEY key, const std::wstring& name, const std::wstring& text) {
  return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::optional<Value> ReadValue(HKEY key, const wchar_t* name) {
  // The value may grow between asking its size and reading it: ask again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    Value value;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &bytes) != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(bytes);
    const LONG error = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &bytes);
    if (error == ERROR_MORE_DATA) continue;
    if (error != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(bytes);
    return value;
  }
  return std::nullopt;
}

LONG WriteValue(HKEY key, const wchar_t* name, const Value& value) {
  return RegSetValueExW(key, name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

bool SameValue(const Value& a, const Value& b) {
  if (a.type != b.type) return false;
  if (IsString(a.type)) return StoredText(a) == StoredText(b);
  return a.data == b.data;
}

std::wstring FirstMissingKey(const std::wstring& path) {
  std::size_t end = std::wcslen(kPolicies);  // the backslash after it
  while (end != std::wstring::npos) {
    end = path.find(L'\\', end + 1);
    std::wstring prefix = path.substr(0, end);  // the whole path at the end
    if (!KeyExists(prefix)) return prefix;
  }
  return {};
}

void DeleteCreatedKeys(std::wstring path, const std::wstring& first_created) {
  const std::wstring policies_prefix = std::wstring(kPolicies) + L"\\";
  const bool below_policies = first_created.size() > policies_prefix.size() &&
                              first_created.compare(0, policies_prefix.size(), policies_prefix) == 0;
  if (!below_policies || !IsSameOrBelow(path, first_created)) return;
  while (path.size() >= first_created.size() && IsEmptyKey(path)) {
    if (RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), kView, 0) != ERROR_SUCCESS) return;
    path.resize(path.rfind(L'\\'));
  }
}

void DeleteEmptyRecordKeys(std::wstring path) {
  const std::wstring top = kRecordTop;
  while (IsSameOrBelow(path, top) && IsEmptyKey(path)) {
    if (RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), kView, 0) != ERROR_SUCCESS || path == top) return;
    path.resize(path.rfind(L'\\'));
  }
}

}  // namespace corvane::registry
