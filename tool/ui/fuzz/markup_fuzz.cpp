// The markup as a translator might write it, or worse: entities, tags,
// style values. Nothing may read out of bounds, loop or throw.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "html_style.h"
#include "html_tokens.h"
#include "html_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string text = brevant::ReplaceHtmlEntities(input);
  for (const brevant::HtmlToken& token : brevant::TokenizeHtml(text)) {
    for (const auto& [name, value] : token.params) {
      brevant::ParseHtmlColour(value, [](int index) { return static_cast<brevant::HtmlColour>(index); });
      brevant::ParseLength(value, brevant::LengthContext{});
      brevant::ParseFontSize(value, 10, brevant::LengthContext{});
    }
    if (token.text.find(':') != std::string::npos) brevant::ParseDeclarations(token.text);
  }
  brevant::ParseStyleSheet(input);
  return 0;
}
