// The markup as a translator might write it, or worse: entities, tags,
// style values, tables. Nothing may read out of bounds, loop or throw, and
// a layout must stay inside sizes a screen could show.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../tests/fixed_metrics_device.h"
#include "html_layout.h"
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
  const brevant::StyleSheet sheet = brevant::ParseStyleSheet(input);

  static const brevant::StyleSheet built_in = brevant::ParseStyleSheet(brevant::BuiltInStyleSheet());
  brevant::testing::FixedMetricsDevice device;
  brevant::HtmlLayoutOptions options;
  options.width_limit = size > 0 ? data[0] * 2 : 0;
  options.fill_width = size > 1 && (data[1] & 1);
  options.hovered_link = 0;
  options.shadow_dx = options.shadow_dy = 3;
  const brevant::HtmlLayout layout = brevant::LayoutHtml(input, sheet.empty() ? built_in : sheet, device, options);
  if (layout.size.width < 0 || layout.size.height < 0) std::abort();
  layout.LinkAt(layout.size.width / 2, layout.size.height / 2);
  return 0;
}
