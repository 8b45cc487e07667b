// A browser for tests: records how it was started and ends. Each start
// appends one line to the file named by BREVANT_BROWSER_LOG (else the file
// beside the program with ".log" for its extension): when its process was
// made (the order of the starts, which the order of the lines need not be),
// the show command it was given (-1 for none), its own path and its whole
// command line, a tab between them.
#include <windows.h>

#include <string>

#include "scoped_handle.h"

namespace {

constexpr char kLogVariable[] = "BREVANT_BROWSER_LOG";
// Starts that overlap (the shell starting two browsers) keep their lines whole.
constexpr char kLogMutex[] = "Local\\BrevantBrowserStandinLog";

std::string LogPath() {
  char path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA(kLogVariable, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return path;
  const DWORD own = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (own == 0 || own >= MAX_PATH) return {};
  std::string beside(path, own);
  const std::size_t dot = beside.find_last_of('.');
  return (dot == std::string::npos ? beside : beside.substr(0, dot)) + ".log";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  char self[MAX_PATH] = {};
  const DWORD self_length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (self_length == 0 || self_length >= MAX_PATH) return 1;
  FILETIME created = {}, unused[3] = {};
  GetProcessTimes(GetCurrentProcess(), &created, &unused[0], &unused[1], &unused[2]);
  const unsigned long long made = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  const std::string line =
      std::to_string(made) + "\t" + std::to_string(show) + "\t" + self + "\t" + GetCommandLineA() + "\r\n";

  const std::string path = LogPath();
  if (path.empty()) return 1;
  const fw::ScopedHandle mutex(CreateMutexA(nullptr, FALSE, kLogMutex));
  const fw::MutexLock lock(mutex.get(), 10000);
  const fw::ScopedFile log(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!log || !WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) return 1;
  return written == line.size() ? 0 : 1;
}
