// HKLM keys and values for the tests of the installer's policy commands, in
// the 64-bit view the commands write to. Every test of the machine shares
// this registry: a test deletes only the keys it found missing.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "scoped_handle.h"

namespace policytest {

inline fw::ScopedRegKey Open(const std::wstring& path, REGSAM access) {
  fw::ScopedRegKey key;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | KEY_WOW64_64KEY, key.put());
  return key;
}

// A value as "dword:N" or "sz:TEXT", "" when missing.
inline std::wstring Value(const std::wstring& path, const wchar_t* name) {
  std::vector<wchar_t> data(4096);
  DWORD type = 0, bytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
  const fw::ScopedRegKey key = Open(path, KEY_READ);
  if (!key || RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
                  ERROR_SUCCESS)
    return {};
  if (type == REG_DWORD) return L"dword:" + std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
  return L"sz:" + std::wstring(data.data());
}

// `value` as Value() shows it.
inline void SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  fw::ScopedRegKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                            nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  const DWORD number = value.starts_with(L"dword:") ? std::stoul(value.substr(6)) : 0;
  const std::wstring text = value.substr(3);
  ASSERT_EQ(value.starts_with(L"dword:")
                ? RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number)
                : RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

inline void DeleteValue(const std::wstring& path, const wchar_t* name) {
  if (const fw::ScopedRegKey key = Open(path, KEY_SET_VALUE)) RegDeleteValueW(key.get(), name);
}

// The keys of `paths` and their parents that are missing now, each path's
// deepest first: the order to delete them in.
inline std::vector<std::wstring> MissingKeys(std::initializer_list<std::wstring> paths) {
  std::vector<std::wstring> missing;
  for (const std::wstring& path : paths) {
    const std::size_t first = missing.size();
    for (std::size_t end = path.find(L'\\'); end != std::wstring::npos; end = path.find(L'\\', end + 1))
      if (!Open(path.substr(0, end), KEY_READ)) missing.insert(missing.begin() + first, path.substr(0, end));
    if (!Open(path, KEY_READ)) missing.insert(missing.begin() + first, path);
  }
  return missing;
}

// Deletes the keys (those still empty) in order.
inline void DeleteKeys(const std::vector<std::wstring>& keys) {
  for (const std::wstring& key : keys) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_64KEY, 0);
}

}  // namespace policytest
