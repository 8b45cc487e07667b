#include "key_connection.h"

#include <cstring>
#include <string>

namespace kestrine {

std::string FirstReader(const tk::DeviceApi& api, ULONG* count) {
  char readers[KeyConnection::kListSize] = {};
  ULONG size = sizeof readers, found = 0;
  api.TK_ListReaders(readers, &size, &found);  // the size tells, not the result
  if (count) *count = found;
  if (size == 0) return {};
  // Never trust the list to be terminated inside the buffer.
  return std::string(readers, strnlen(readers, sizeof readers));
}

KeyConnection::KeyConnection(const tk::DeviceApi& api) : api_(api), device_(api), app_(api) {}

bool KeyConnection::Open() {
  const std::string reader = FirstReader(api_);
  if (reader.empty() || device_.Connect(reader.c_str()) != tk::kOk) return false;

  char applications[kListSize] = {};
  ULONG size = sizeof applications, count = 0;
  if (api_.TK_EnumApplication(device_.get(), applications, &size, &count) != tk::kOk || count == 0 ||
      applications[0] == '\0')
    return false;
  applications[kListSize - 1] = '\0';
  if (app_.Open(device_.get(), applications) != tk::kOk) return false;

  ULONG container_count = 0;
  containers_size_ = sizeof containers_;
  std::memset(containers_, 0, sizeof containers_);
  if (api_.TK_EnumContainer(app_.get(), containers_, &containers_size_, &container_count) != tk::kOk)
    return false;
  // Keep the list double-NUL terminated within the buffer whatever came back.
  containers_[kListSize - 2] = containers_[kListSize - 1] = '\0';
  if (containers_size_ > kListSize) containers_size_ = kListSize;
  return true;
}

}  // namespace kestrine
