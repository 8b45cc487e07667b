#include "bridge_process.h"

#include "sim_fixture.h"
#include "ws_client.h"

namespace corvane::testing {

bool BridgeProcess::Start(const std::string& program, unsigned short port, const std::string& output_file) {
  Stop();
  SetEnvironmentVariableA("CORVANE_PORT", std::to_string(port).c_str());
  process_.reset(simtest::StartProcess("\"" + program + "\"", output_file));
  SetEnvironmentVariableA("CORVANE_PORT", nullptr);
  if (!process_) return false;
  for (int attempt = 0; attempt < 300; ++attempt) {
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

bool BridgeProcess::running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

}  // namespace corvane::testing
