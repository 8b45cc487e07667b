#include "name_list.h"

#include <cstring>

namespace tk {

std::uint32_t NameListSize(const std::vector<std::string>& names) {
  if (names.empty()) return 0;
  std::size_t total = 1;
  for (const std::string& name : names) total += name.size() + 1;
  return static_cast<std::uint32_t>(total);
}

Result WriteNameList(const std::vector<std::string>& names, char* buffer, std::uint32_t* size,
                     std::uint32_t* count) {
  if (size == nullptr || count == nullptr) return kInvalidParameter;
  const std::uint32_t needed = NameListSize(names);
  const std::uint32_t available = *size;
  *size = needed;
  *count = static_cast<std::uint32_t>(names.size());
  if (buffer == nullptr) return kOk;
  if (available < needed) return kBufferTooSmall;
  char* out = buffer;
  for (const std::string& name : names) {
    std::memcpy(out, name.c_str(), name.size() + 1);
    out += name.size() + 1;
  }
  if (needed > 0) *out = '\0';
  else if (available > 0) buffer[0] = '\0';
  if (needed == 0 && available > 1) buffer[1] = '\0';
  return kOk;
}

std::vector<std::string> ReadNameList(const char* buffer, std::size_t size, std::size_t max_names) {
  std::vector<std::string> names;
  if (buffer == nullptr) return names;
  std::size_t offset = 0;
  while (offset < size && names.size() < max_names && buffer[offset] != '\0') {
    const void* end = std::memchr(buffer + offset, '\0', size - offset);
    const std::size_t length =
        end ? static_cast<const char*>(end) - (buffer + offset) : size - offset;
    names.emplace_back(buffer + offset, length);
    offset += length + 1;
  }
  return names;
}

}  // namespace tk
