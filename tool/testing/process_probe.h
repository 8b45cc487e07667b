// What another process holds: its handles and its private (committed)
// memory, read from outside as a task manager reads them.
#pragma once
#include <windows.h>

#include <optional>

#include "scoped_handle.h"

namespace brevant::testing {

struct ProcessUsage {
  ULONG handles = 0;
  SIZE_T private_bytes = 0;
};

class ProcessProbe {
 public:
  explicit ProcessProbe(DWORD process_id);
  bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  // Nothing when the process is gone or a figure could not be read.
  std::optional<ProcessUsage> Sample() const;

 private:
  DWORD id_;
  fw::ScopedHandle process_;
};

}  // namespace brevant::testing
