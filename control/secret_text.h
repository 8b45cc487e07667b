// An ANSI copy of a secret (a PIN from a script) that is wiped when it goes
// out of scope.
#pragma once
#include <string>

#include "secret_buffer.h"

namespace kestrine {

class SecretText {
 public:
  explicit SecretText(std::string text) : text_(std::move(text)) {}
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { tk::SecureWipe(text_.data(), text_.size()); }
  const char* c_str() const { return text_.c_str(); }
  bool empty() const { return text_.empty(); }

 private:
  std::string text_;
};

}  // namespace kestrine
