#include "device_table.h"

namespace brevant {

tk::DeviceApi& DeviceTable() {
  // Never destroyed: the tool keeps the library loaded for the life of the
  // process, and callbacks of its thread may still run while it exits.
  static tk::DeviceApi* const table = new tk::DeviceApi;
  return *table;
}

}  // namespace brevant
