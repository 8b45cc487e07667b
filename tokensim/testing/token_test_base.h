// Fixture for tests of the software token through the device API binding:
// a private key folder, RVA.dll loaded the way the tray tool loads it, and a
// check after every test that no device handle was left open.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_api.h"
#include "device_session.h"
#include "name_list.h"
#include "sim_fixture.h"

class TokenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(api_.LoadBesideSettings((simtest::BinDir() + "\\RVControl.ini").c_str()));
    open_handles_ = reinterpret_cast<ULONG(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(api_.module(), "RVASim_OpenHandleCount")));
    ASSERT_NE(open_handles_, nullptr);
  }
  void TearDown() override { EXPECT_EQ(open_handles_(), 0u) << "a device handle was left open"; }

  // tokenctl must succeed for the test to make sense.
  void Ctl(const std::string& arguments) {
    const simtest::ProcessResult r = simtest::Tokenctl(arguments);
    ASSERT_EQ(r.exit_code, 0u) << "tokenctl " << arguments << "\n" << r.output;
  }
  void CreateInserted(const std::string& name, const std::string& options = "") {
    Ctl("create " + name + " " + options);
    Ctl("insert " + name);
  }
  std::vector<std::string> Readers() {
    char names[512] = {};
    ULONG size = sizeof names, count = 0;
    EXPECT_EQ(api_.TK_ListReaders(names, &size, &count), tk::kOk);
    return tk::ReadNameList(names, size);
  }

  simtest::SimKeyFolder keys_;
  tk::DeviceApi api_;
  ULONG(WINAPI* open_handles_)() = nullptr;
};

// A connection to the first reader, with the application open.
struct OpenKey {
  explicit OpenKey(const tk::DeviceApi& api, const char* reader = tk::kFirstReaderName)
      : device(api), app(api) {
    connected = device.Connect(reader);
    if (connected == tk::kOk) opened = app.Open(device.get(), "Tarnex");
  }
  tk::DeviceConnection device;
  tk::OpenApplication app;
  tk::Result connected = tk::kNotExported, opened = tk::kNotExported;
};
