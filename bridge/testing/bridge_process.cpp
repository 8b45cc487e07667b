#include "bridge_process.h"

#include "ws_client.h"

namespace corvane::testing {
namespace {

constexpr ULONGLONG kStartWaitMs = 60000;

// CORVANE_PORT set for the programs started meanwhile.
class PortForChildren {
 public:
  explicit PortForChildren(unsigned short port) {
    SetEnvironmentVariableA("CORVANE_PORT", std::to_string(port).c_str());
  }
  PortForChildren(const PortForChildren&) = delete;
  PortForChildren& operator=(const PortForChildren&) = delete;
  ~PortForChildren() { SetEnvironmentVariableA("CORVANE_PORT", nullptr); }
};

}  // namespace

std::string CorvanePath() { return simtest::BinDir() + "\\Corvane.exe"; }

bool RegisterControl(bool on) {
  const std::string control = "\"" + simtest::BinDir() + "\\Kestrine.dll\"";
  return simtest::RunProcess(std::string("regsvr32.exe /s ") + (on ? "" : "/u ") + control).exit_code == 0;
}

simtest::ProcessResult RunBridgeToEnd(const std::string& program, unsigned short port) {
  const PortForChildren environment(port);
  return simtest::RunProcess("\"" + program + "\"", 15000);
}

bool BridgeProcess::Start(const std::string& program, unsigned short port, const std::string& output_file) {
  Stop();
  {
    const PortForChildren environment(port);
    process_.reset(simtest::StartProcess("\"" + program + "\"", output_file));
  }
  if (!process_) return false;
  // A bridge starting on a loaded machine may take many seconds to listen;
  // the wait ends as soon as it does or ends.
  const ULONGLONG deadline = GetTickCount64() + kStartWaitMs;
  while (GetTickCount64() < deadline) {
    if (!running()) return false;
    WsClient probe;
    if (probe.Connect(port)) return true;
    Sleep(50);
  }
  return false;
}

void BridgeProcess::Stop() {
  if (!process_) return;
  TerminateProcess(process_.get(), 0);
  WaitForSingleObject(process_.get(), 10000);
  process_.reset();
}

HWND BridgeProcess::WaitForMainWindow(DWORD timeout_ms) const {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  do {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"CORVANE", nullptr)) != nullptr;) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == process_id()) return window;
    }
    Sleep(20);
  } while (running() && GetTickCount64() < deadline);
  return nullptr;
}

std::optional<DWORD> BridgeProcess::WaitForEnd(DWORD timeout_ms) const {
  DWORD code = 0;
  if (!process_ || WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process_.get(), &code))
    return std::nullopt;
  return code;
}

bool BridgeProcess::running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

}  // namespace corvane::testing
