// The tool's one function table of RVA.dll, written once by
// LoadDeviceLibrary on the user-interface thread and only read afterwards.
#pragma once
#include "device_api.h"

namespace brevant {

tk::DeviceApi& DeviceTable();

}  // namespace brevant
