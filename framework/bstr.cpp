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

}  // namespace fw
