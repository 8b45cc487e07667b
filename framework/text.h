// Conversions between the ANSI code page, UTF-16 and UTF-8.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace fw {

std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::string AnsiToUtf8(std::string_view text);
// False when a character has no form in the ANSI code page.
bool Utf8ToAnsi(std::string_view text, std::string& ansi);

// Bytes as upper-case hexadecimal, two digits each; `last_first` writes
// them from the last byte on (a little-endian integer read as a number).
std::string HexUpper(const unsigned char* bytes, std::size_t length, bool last_first = false);

}  // namespace fw
