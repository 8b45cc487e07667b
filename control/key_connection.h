// The key connection every device method of the control shares: the first
// reader, its first application, the container list. Closing the application
// and disconnecting happen on destruction, on every path, once each.
#pragma once
#include "device_session.h"

namespace kestrine {

class KeyConnection {
 public:
  static constexpr ULONG kListSize = 512;

  explicit KeyConnection(const tk::DeviceApi& api);
  // Lists the readers, connects to the first, opens its first application
  // and lists its containers. False when any step fails.
  bool Open();

  TK_HANDLE device() const { return device_.get(); }
  TK_HANDLE application() const { return app_.get(); }
  const char* containers() const { return containers_; }
  ULONG containers_size() const { return containers_size_; }

 private:
  const tk::DeviceApi& api_;
  // Declared in this order so that the application closes before the device
  // disconnects.
  tk::DeviceConnection device_;
  tk::OpenApplication app_;
  char containers_[kListSize] = {};
  ULONG containers_size_ = 0;
};

// The first reader name, or an empty text; `count` receives the reader count.
std::string FirstReader(const tk::DeviceApi& api, ULONG* count = nullptr);

}  // namespace kestrine
