// The bridge's messages and traces on standard output. Several threads write:
// each text goes out whole and is flushed at once, so a reader on a pipe
// sees it when it happens.
#pragma once
#include <string_view>

namespace corvane {

void WriteOut(std::string_view text);
// `text` given in UTF-8, written in the ANSI code page as the console shows.
void WriteMessage(std::string_view utf8_text);

}  // namespace corvane
