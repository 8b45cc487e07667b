#include "tool_message_box.h"

#include "cached_texts.h"
#include "text.h"

namespace brevant {

int ToolMessageBox(HWND owner, const std::string& text, UINT type) {
  return MessageBoxW(owner, fw::AnsiToWide(text).c_str(), fw::AnsiToWide(CachedText("TOOL_TITLE")).c_str(), type);
}

}  // namespace brevant
