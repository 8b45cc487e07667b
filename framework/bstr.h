// BSTR at the script boundary: text inside is ANSI in the system code page.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace fw {

// A new BSTR holding `text` converted from the ANSI code page; the caller owns
// it. nullptr only when out of memory.
BSTR AnsiToBstr(std::string_view text);
// The ANSI form of a BSTR; a null BSTR gives "".
std::string BstrToAnsi(BSTR text);

// The same in UTF-8 (text that crosses the WebSocket bridge). The BSTR is
// converted into directly, leaving no intermediate copy of a PIN behind;
// nullptr when out of memory or the text is over 2 GB.
BSTR Utf8ToBstr(std::string_view text);
std::string BstrToUtf8(BSTR text);

// Owns a BSTR (SysFreeString on destruction).
class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(BSTR text) : text_(text) {}
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ~ScopedBstr() { SysFreeString(text_); }
  BSTR get() const { return text_; }
  BSTR* put() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }

 private:
  BSTR text_ = nullptr;
};

}  // namespace fw
