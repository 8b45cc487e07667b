// Scoped device connection and open application: whatever path a caller
// leaves by, the application is closed and the device disconnected, once.
#pragma once
#include "device_api.h"

namespace tk {

class DeviceConnection {
 public:
  explicit DeviceConnection(const DeviceApi& api) : api_(api) {}
  DeviceConnection(const DeviceConnection&) = delete;
  DeviceConnection& operator=(const DeviceConnection&) = delete;
  ~DeviceConnection() { Disconnect(); }

  Result Connect(const char* reader) {
    Disconnect();
    TK_HANDLE handle = nullptr;
    const Result result = api_.TK_ConnectDev(reader, &handle);
    if (result == kOk) handle_ = handle;
    return result;
  }
  void Disconnect() {
    if (handle_ != nullptr) api_.TK_DisConnectDev(handle_);
    handle_ = nullptr;
  }
  TK_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  const DeviceApi& api_;
  TK_HANDLE handle_ = nullptr;
};

class OpenApplication {
 public:
  explicit OpenApplication(const DeviceApi& api) : api_(api) {}
  OpenApplication(const OpenApplication&) = delete;
  OpenApplication& operator=(const OpenApplication&) = delete;
  ~OpenApplication() { Close(); }

  Result Open(TK_HANDLE device, const char* name) {
    Close();
    TK_HANDLE handle = nullptr;
    const Result result = api_.TK_OpenApplication(device, name, &handle);
    if (result == kOk) handle_ = handle;
    return result;
  }
  void Close() {
    if (handle_ != nullptr) api_.TK_CloseApplication(handle_);
    handle_ = nullptr;
  }
  TK_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  const DeviceApi& api_;
  TK_HANDLE handle_ = nullptr;
};

}  // namespace tk
