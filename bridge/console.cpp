#include "console.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "text.h"

namespace corvane {
namespace {

std::mutex& OutputLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void UseCallersConsoleWithoutOutput() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (std::freopen("CONOUT$", "w", stdout) == nullptr) FreeConsole();
}

void WriteOut(std::string_view text) {
  const std::lock_guard<std::mutex> hold(OutputLock());
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void WriteMessage(std::string_view utf8_text) {
  std::string ansi;
  if (!fw::Utf8ToAnsi(utf8_text, ansi)) ansi = std::string(utf8_text);
  WriteOut(ansi);
}

}  // namespace corvane
