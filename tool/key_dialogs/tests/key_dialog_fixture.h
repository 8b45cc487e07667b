// What the tests of a key's dialogs share: a main window stand-in, one
// simulated key in the tool's reader, the user played from a second thread.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cached_texts.h"
#include "device_table.h"
#include "key_dialog_host.h"
#include "pin_record.h"
#include "settings.h"
#include "sim_fixture.h"

namespace keytest {

constexpr char kReader[] = "Quillon Tarnex UDISK 0";

class Host : public brevant::KeyDialogHost {
 public:
  HWND HostWindow() const override { return nullptr; }
  void RegisterOpenDialog(const std::string& reader, HWND dialog) override {
    registered.push_back(reader);
    last_dialog = dialog;
  }
  void UnregisterOpenDialog(HWND) override { ++unregistered; }
  void RefreshKeys() override { ++refreshed; }
  std::vector<std::string> registered;
  HWND last_dialog = nullptr;
  int unregistered = 0, refreshed = 0;
};

inline bool VerifiesWith(const char* pin) {
  tk::PinTransferRecord record = {};
  std::uint8_t mask[tk::kPinMaskSize];
  for (std::size_t i = 0; i < sizeof mask; ++i) mask[i] = static_cast<std::uint8_t>(i * 7 + 3);
  tk::MaskPinIntoRecord(pin, std::strlen(pin), mask, record);
  TK_HANDLE device = nullptr;
  if (brevant::DeviceTable().TK_ConnectDev(kReader, &device) != tk::kOk) return false;
  BYTE left = 0;
  const bool verified = brevant::DeviceTable().TK_VerifyUserPinSec(device, &record, &left) == tk::kOk;
  brevant::DeviceTable().TK_DisConnectDev(device);
  return verified;
}

class KeyDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(brevant::LoadDeviceLibrary((simtest::BinDir() + "\\RVControl.ini").c_str()), 0);
    brevant::LoadCachedTexts();
  }
  static void Tokenctl(const std::string& arguments) {
    ASSERT_EQ(simtest::Tokenctl(arguments).exit_code, 0u) << arguments;
  }
  // Key "k" made with `options` and plugged in.
  void Insert(const std::string& options) {
    Tokenctl("create k " + options);
    Tokenctl("insert k");
  }
  // Runs `flow` here while `user` plays the user on a thread of its own.
  static void Run(const std::function<void()>& flow, const std::function<void()>& user) {
    std::thread driver(user);
    flow();
    driver.join();
  }
  simtest::SimKeyFolder keys_;
  Host host_;
};

}  // namespace keytest
