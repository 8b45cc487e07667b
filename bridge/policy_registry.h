// Registry work shared by the installer's policy commands (--loopback-policy,
// --ie-mode-policy): browsers' machine policy under HKLM\SOFTWARE\Policies,
// and our record of what we wrote there under HKLM\SOFTWARE\Quillon. Both
// always in the 64-bit view, so that a 32-bit build finds the same keys as
// the browsers and the installer.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "scoped_handle.h"

namespace corvane::registry {

inline constexpr REGSAM kView = KEY_WOW64_64KEY;
inline constexpr wchar_t kPolicies[] = L"SOFTWARE\\Policies";
// The top of every record key; it may hold more than our records (the
// installer's own values), so it goes only when it is empty.
inline constexpr wchar_t kRecordTop[] = L"SOFTWARE\\Quillon";

// "HKLM\<key>: error <code>", for the installer's log.
std::string ErrorText(const std::wstring& key, LONG error);

fw::ScopedRegKey OpenKey(const std::wstring& path, REGSAM access, LONG* error = nullptr);
fw::ScopedRegKey CreateKey(const std::wstring& path, LONG& error);
bool KeyExists(const std::wstring& path);
bool IsEmptyKey(const std::wstring& path);

// A REG_SZ of at most MAX_PATH - 1 characters, else "".
std::wstring ReadString(HKEY key, const wchar_t* name);
LONG WriteString(HKEY key, const std::wstring& name, const std::wstring& text);

// A value of any type and size, as it is stored.
struct Value {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};
// Nothing when the value is missing or cannot be read.
std::optional<Value> ReadValue(HKEY key, const wchar_t* name);
LONG WriteValue(HKEY key, const wchar_t* name, const Value& value);
// The same type and content; a string's terminator, or its absence, does
// not count (an administrator's tool may store either).
bool SameValue(const Value& a, const Value& b);

// The first key of `path` (below kPolicies) that does not exist yet, or ""
// when the whole path exists.
std::wstring FirstMissingKey(const std::wstring& path);
// Deletes `path` and its parents up to `first_created`, while they are
// empty. A recorded key that is not `path` or one of its parents below
// kPolicies is not ours to judge: nothing is deleted.
void DeleteCreatedKeys(std::wstring path, const std::wstring& first_created);
// Deletes the record key `path` and its parents up to kRecordTop, while
// they are empty.
void DeleteEmptyRecordKeys(std::wstring path);

}  // namespace corvane::registry
