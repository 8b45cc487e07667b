#include "language.h"

#include "device_table.h"

namespace brevant {

std::string LngLoadText(const char* file, const char* section, const char* key) {
  if (file == nullptr || section == nullptr || key == nullptr) return {};
  // The library owns the text and may reuse it on the next lookup: copy now.
  return DeviceTable().LngLoadString(file, section, key);
}

}  // namespace brevant
