#include "text.h"

#include <windows.h>

namespace fw {
namespace {

std::wstring ToWide(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string FromWide(UINT code_page, std::wstring_view text, BOOL* lossy) {
  if (text.empty()) return {};
  const DWORD flags = (code_page == CP_UTF8) ? 0 : WC_NO_BEST_FIT_CHARS;
  const int length = WideCharToMultiByte(code_page, flags, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, flags, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                      nullptr, lossy);
  return narrow;
}

}  // namespace

std::wstring AnsiToWide(std::string_view text) { return ToWide(CP_ACP, text); }
std::string WideToAnsi(std::wstring_view text) { return FromWide(CP_ACP, text, nullptr); }
std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(std::wstring_view text) { return FromWide(CP_UTF8, text, nullptr); }
std::string AnsiToUtf8(std::string_view text) { return WideToUtf8(AnsiToWide(text)); }

bool Utf8ToAnsi(std::string_view text, std::string& ansi) {
  BOOL lossy = FALSE;
  const std::wstring wide = Utf8ToWide(text);
  if (!text.empty() && wide.empty()) return false;
  std::string converted = FromWide(CP_ACP, wide, &lossy);
  if (lossy) return false;
  ansi = std::move(converted);
  return true;
}

std::string HexUpper(const unsigned char* bytes, std::size_t length, bool last_first) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(length * 2);
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char b = bytes[last_first ? length - 1 - i : i];
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 15]);
  }
  return text;
}

}  // namespace fw
