#include <gtest/gtest.h>

#include "device_api.h"
#include "device_session.h"
#include "sim_fixture.h"

using simtest::TempFolder;

namespace {

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

bool SameFile(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// A folder holding the fake library under the name RVA.dll.
struct FakeLibraryFolder {
  FakeLibraryFolder() : folder("fakerva") {
    EXPECT_TRUE(CopyFileA((simtest::ExeDir() + "\\fake_rva.dll").c_str(), folder.File("RVA.dll").c_str(), FALSE));
  }
  TempFolder folder;
};

using CallsFn = LONG(WINAPI*)(int);
LONG Calls(const tk::DeviceApi& api, int which) {
  auto calls = reinterpret_cast<CallsFn>(reinterpret_cast<void*>(GetProcAddress(api.module(), "FakeRva_Calls")));
  return calls ? calls(which) : -1;
}

}  // namespace

TEST(Binding, SettingsRuleLoadsTheLibraryFromTheSettingsFolder) {
  FakeLibraryFolder fake;
  tk::DeviceApi api;
  ASSERT_TRUE(api.LoadBesideSettings(fake.folder.File("RVControl.ini").c_str()));
  EXPECT_TRUE(SameFile(ModulePath(api.module()), fake.folder.File("RVA.dll")));
  char names[64] = {};
  ULONG size = sizeof names, count = 0;
  EXPECT_EQ(api.TK_ListReaders(names, &size, &count), tk::kOk);
  EXPECT_STREQ(names, "Fake Reader 0");
  EXPECT_EQ(Calls(api, 0), 1);
}

TEST(Binding, ModuleRuleLoadsTheLibraryBesideTheAskingModule) {
  FakeLibraryFolder fake;
  const std::string probe = fake.folder.File("probe_module.dll");
  ASSERT_TRUE(CopyFileA((simtest::ExeDir() + "\\probe_module.dll").c_str(), probe.c_str(), FALSE));
  HMODULE owner = LoadLibraryA(probe.c_str());
  ASSERT_NE(owner, nullptr);
  {
    tk::DeviceApi api;
    ASSERT_TRUE(api.LoadBesideModule(owner));
    EXPECT_TRUE(SameFile(ModulePath(api.module()), fake.folder.File("RVA.dll")));
  }
  FreeLibrary(owner);
}

TEST(Binding, MissingExportsFailWithoutACall) {
  FakeLibraryFolder fake;
  tk::DeviceApi api;
  ASSERT_TRUE(api.LoadBesideSettings(fake.folder.File("RVControl.ini").c_str()));
  EXPECT_TRUE(api.TK_ConnectDev);
  EXPECT_FALSE(api.TK_ReadCert);
  EXPECT_FALSE(api.LngLoadString);
  BYTE cert[16];
  ULONG length = sizeof cert;
  EXPECT_EQ(api.TK_ReadCert(nullptr, "c", 2, cert, &length), tk::kNotExported);
  ULONG state = 0;
  EXPECT_EQ(api.TK_GetDevState("Fake Reader 0", &state), tk::kNotExported);
  EXPECT_STREQ(api.LngLoadString("TKLN0804.ini", "TOOL", "TOOL_TITLE"), "");
  EXPECT_EQ(Calls(api, 0) + Calls(api, 1) + Calls(api, 2), 0);
}

TEST(Binding, UnloadableLibraryLeavesEveryCallFailing) {
  TempFolder empty("norva");
  tk::DeviceApi api;
  EXPECT_FALSE(api.LoadBesideSettings(empty.File("RVControl.ini").c_str()));
  ASSERT_TRUE(simtest::WriteFileBytes(empty.File("RVA.dll"), "this is not a library"));
  EXPECT_FALSE(api.LoadBesideSettings(empty.File("RVControl.ini").c_str()));
  EXPECT_FALSE(api.loaded());
  EXPECT_FALSE(api.LoadBesideSettings("no-backslash.ini"));
  EXPECT_FALSE(api.LoadBesideSettings(nullptr));
  ULONG size = 0, count = 0;
  EXPECT_EQ(api.TK_ListReaders(nullptr, &size, &count), tk::kNotExported);
  EXPECT_STREQ(api.LngLoadString("a", "b", "c"), "");
}

TEST(Binding, LibraryPathIsBoundedToMaxPath) {
  EXPECT_EQ(tk::LibraryPathBeside("C:\\Program Files\\Tool\\RVControl.ini"), "C:\\Program Files\\Tool\\RVA.dll");
  EXPECT_EQ(tk::LibraryPathBeside("RVControl.ini"), "");
  EXPECT_EQ(tk::LibraryPathBeside("C:\\" + std::string(MAX_PATH - 9, 'a') + "\\x.ini"), "");
}

TEST(Binding, ScopedConnectionDisconnectsExactlyOnce) {
  FakeLibraryFolder fake;
  tk::DeviceApi api;
  ASSERT_TRUE(api.LoadBesideSettings(fake.folder.File("RVControl.ini").c_str()));
  {
    tk::DeviceConnection device(api);
    ASSERT_EQ(device.Connect("Fake Reader 0"), tk::kOk);
    EXPECT_EQ(device.get(), reinterpret_cast<void*>(0x1234));
    device.Disconnect();
    EXPECT_FALSE(device);
  }
  {
    tk::DeviceConnection device(api);
    ASSERT_EQ(device.Connect("Fake Reader 0"), tk::kOk);
  }
  EXPECT_EQ(Calls(api, 1), 2);
  EXPECT_EQ(Calls(api, 2), 2);
  // Without TK_OpenApplication the application stays closed and nothing is
  // closed on the way out.
  tk::OpenApplication app(api);
  EXPECT_EQ(app.Open(reinterpret_cast<void*>(0x1234), "x"), tk::kNotExported);
  EXPECT_FALSE(app);
}
