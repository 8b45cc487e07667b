// Test helper: verifies a wrong PIN N times against the first key, so that
// two such processes at once show whether either loses the other's changes.
//   sim_worker BIN_DIR N
#include <windows.h>

#include <cstdlib>
#include <string>

#include "device_api.h"
#include "device_session.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  tk::DeviceApi api;
  if (!api.LoadBesideSettings((std::string(argv[1]) + "\\RVControl.ini").c_str())) return 3;
  const int rounds = std::atoi(argv[2]);
  for (int i = 0; i < rounds; ++i) {
    tk::DeviceConnection device(api);
    if (device.Connect(tk::kFirstReaderName) != tk::kOk) return 4;
    ULONG left = 0;
    if (api.TK_VerifyUserPin(device.get(), "wrong-pin", &left) != tk::kWrongPin) return 5;
  }
  return 0;
}
