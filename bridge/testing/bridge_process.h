// A bridge (Corvane.exe, or the benchmark's echo server) started on a port of
// the caller's choosing and ended with the object.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "scoped_handle.h"
#include "sim_fixture.h"

namespace corvane::testing {

// The shipped bridge beside the test programs.
std::string CorvanePath();
// Registers (or removes) the shipped control machine-wide, as the bridge
// needs it under Wine; true when regsvr32 succeeded.
bool RegisterControl(bool on);
// Runs `program` on `port` to its end (for start-ups that must fail).
simtest::ProcessResult RunBridgeToEnd(const std::string& program, unsigned short port);

class BridgeProcess {
 public:
  BridgeProcess() = default;
  BridgeProcess(const BridgeProcess&) = delete;
  BridgeProcess& operator=(const BridgeProcess&) = delete;
  ~BridgeProcess() { Stop(); }

  // Starts `program` with CORVANE_PORT=`port`, its output going to
  // `output_file` (if given), and waits until the port takes connections.
  // False when it did not start or ended before listening.
  bool Start(const std::string& program, unsigned short port, const std::string& output_file = "");
  // Ends it (the bridge has no orderly shutdown) and waits for the end.
  void Stop();
  bool running() const;
  // Its hidden top-level window (class "CORVANE"), waited for up to
  // `timeout_ms`; null when it did not come.
  HWND WaitForMainWindow(DWORD timeout_ms) const;
  // Waits up to `timeout_ms` for it to end by itself: its exit code, or
  // nothing while it runs.
  std::optional<DWORD> WaitForEnd(DWORD timeout_ms) const;
  DWORD process_id() const { return process_ ? GetProcessId(process_.get()) : 0; }

 private:
  fw::ScopedHandle process_;
};

}  // namespace corvane::testing
