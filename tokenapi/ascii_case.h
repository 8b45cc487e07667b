// Case rules for names that are ASCII by protocol (reader names, HTTP header
// names, URL schemes and hosts), whatever the system's code page: bytes
// outside A to Z are left alone.
#pragma once
#include <string_view>

namespace tk {

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace tk
