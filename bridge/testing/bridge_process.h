// A bridge (Corvane.exe, or the benchmark's echo server) started on a port of
// the caller's choosing and ended with the object.
#pragma once
#include <windows.h>

#include <string>

#include "scoped_handle.h"

namespace corvane::testing {

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

 private:
  fw::ScopedHandle process_;
};

}  // namespace corvane::testing
