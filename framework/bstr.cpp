#include "bstr.h"

#include "text.h"

namespace fw {

BSTR AnsiToBstr(std::string_view text) {
  const std::wstring wide = AnsiToWide(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string BstrToAnsi(BSTR text) {
  if (text == nullptr) return {};
  return WideToAnsi(std::wstring_view(text, SysStringLen(text)));
}

BSTR Utf8ToBstr(std::string_view text) {
  if (text.size() > 0x7FFFFFFF) return nullptr;
  const int size = static_cast<int>(text.size());
  const int length = size == 0 ? 0 : MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (size != 0 && length <= 0) return nullptr;
  const BSTR converted = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (converted != nullptr && length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, converted, length);
  return converted;
}

std::string BstrToUtf8(BSTR text) {
  if (text == nullptr) return {};
  return WideToUtf8(std::wstring_view(text, SysStringLen(text)));
}

}  // namespace fw
