// The bridge's messages and traces on standard output. Several threads write:
// each text goes out whole and is flushed at once, so a reader on a pipe
// sees it when it happens.
#pragma once
#include <string_view>

namespace corvane {

// The bridge shows no window and Windows makes no console for it, so a
// start at logon shows nothing on the desktop. Started from a command
// prompt without redirection it has no output at all; this makes its
// traces appear in that prompt's console instead. Redirected output (a
// file, a pipe, the installer's log) is kept as it is.
void UseCallersConsoleWithoutOutput();

void WriteOut(std::string_view text);
// `text` given in UTF-8, written in the ANSI code page as the console shows.
void WriteMessage(std::string_view utf8_text);

}  // namespace corvane
