// Readers, connections, applications, containers, certificates, label and
// properties, and injected faults.
#include <cstring>

#include "token_test_base.h"

using Devices = TokenTest;

TEST_F(Devices, NoKeyMeansAnEmptyListThatStillSucceeds) {
  char names[512];
  std::memset(names, 'x', sizeof names);
  ULONG size = sizeof names, count = 7;
  EXPECT_EQ(api_.TK_ListReaders(names, &size, &count), tk::kOk);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(count, 0u);
  tk::DeviceConnection device(api_);
  EXPECT_NE(device.Connect(tk::kFirstReaderName), tk::kOk);
  ULONG state = 0;
  EXPECT_EQ(api_.TK_GetDevState(tk::kFirstReaderName, &state), tk::kOk);
  EXPECT_EQ(state, tk::kStateAbsent);
}

TEST_F(Devices, InsertedKeysAreReadersInSlotOrderMatchedWithoutCase) {
  CreateInserted("first", "--serial FIRST");
  CreateInserted("second", "--serial SECOND");
  EXPECT_EQ(Readers(), (std::vector<std::string>{"Quillon Tarnex UDISK 0", "Quillon Tarnex UDISK 1"}));

  char names[512];
  ULONG size = 46, count = 0;  // one byte short of the 47 needed
  EXPECT_EQ(api_.TK_ListReaders(names, &size, &count), tk::kBufferTooSmall);
  EXPECT_EQ(size, 47u);

  tk::DeviceConnection device(api_);
  ASSERT_EQ(device.Connect("quillon TARNEX udisk 1"), tk::kOk);
  char serial[32] = {};
  ASSERT_EQ(api_.TK_GetSerial(device.get(), serial), tk::kOk);
  EXPECT_STREQ(serial, "SECOND");
  ULONG state = 0;
  EXPECT_EQ(api_.TK_GetDevState("Quillon tarnex UDISK 0", &state), tk::kOk);
  EXPECT_EQ(state, tk::kStatePresent);
  EXPECT_NE(api_.TK_GetDevState("Some Other Reader", &state), tk::kOk);

  // The slot freed by a removal is taken by the next insertion.
  Ctl("remove first");
  EXPECT_EQ(Readers(), (std::vector<std::string>{"Quillon Tarnex UDISK 1"}));
  CreateInserted("third");
  EXPECT_EQ(Readers().size(), 2u);
  EXPECT_EQ(Readers()[0], "Quillon Tarnex UDISK 0");
}

TEST_F(Devices, HandlesOfAPulledKeyAndMadeUpHandlesAreRefused) {
  CreateInserted("k");
  OpenKey key(api_);
  ASSERT_EQ(key.opened, tk::kOk);
  Ctl("remove k");
  ULONG type = 0;
  EXPECT_EQ(api_.TK_GetDevType(key.device.get(), &type), tk::kNoDevice);
  Ctl("insert k");  // back in, but the old connection belongs to the last insertion
  EXPECT_EQ(api_.TK_GetDevType(key.device.get(), &type), tk::kNoDevice);
  EXPECT_EQ(api_.TK_GetDevType(reinterpret_cast<void*>(0xDEAD), &type), tk::kInvalidHandle);
  EXPECT_EQ(api_.TK_DisConnectDev(reinterpret_cast<void*>(0xDEAD)), tk::kInvalidHandle);
  // Closing an application through the device call is refused and changes nothing.
  EXPECT_EQ(api_.TK_DisConnectDev(key.app.get()), tk::kInvalidHandle);
}

TEST_F(Devices, ApplicationKindTagAndProperties) {
  CreateInserted("k", "--type 3 --total-size 8192 --app-kind 1 --pin-change-tag 0");
  tk::DeviceConnection device(api_);
  ASSERT_EQ(device.Connect(tk::kFirstReaderName), tk::kOk);
  char apps[32] = {};
  ULONG size = sizeof apps, count = 0;
  ASSERT_EQ(api_.TK_EnumApplication(device.get(), apps, &size, &count), tk::kOk);
  EXPECT_EQ(count, 1u);
  EXPECT_STREQ(apps, "Tarnex");
  ULONG value = 0;
  EXPECT_EQ(api_.TK_GetHWApp(device.get(), &value), tk::kOk);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(api_.TK_GetPinChangeTag(device.get(), &value), tk::kOk);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(api_.TK_GetDevType(device.get(), &value), tk::kOk);
  EXPECT_EQ(value, 3u);
  EXPECT_EQ(api_.TK_GetTotalSize(device.get(), &value), tk::kOk);
  EXPECT_EQ(value, 8192u);
  EXPECT_EQ(api_.TK_GetFreeSize(device.get(), &value), tk::kOk);
  EXPECT_EQ(value, 8192u);

  tk::OpenApplication app(api_);
  EXPECT_EQ(app.Open(device.get(), "Other"), tk::kNotFound);
  EXPECT_EQ(app.Open(device.get(), "Tarnex"), tk::kOk);
}

TEST_F(Devices, KeyWithoutApplicationListsNone) {
  CreateInserted("k", "--app-name \"\"");
  tk::DeviceConnection device(api_);
  ASSERT_EQ(device.Connect(tk::kFirstReaderName), tk::kOk);
  char apps[32] = {'x'};
  ULONG size = sizeof apps, count = 5;
  ASSERT_EQ(api_.TK_EnumApplication(device.get(), apps, &size, &count), tk::kOk);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(apps[0], '\0');
  tk::OpenApplication app(api_);
  EXPECT_EQ(app.Open(device.get(), ""), tk::kNotFound);
}

TEST_F(Devices, ContainersInCreationOrderWithFlagsTypesAndCertificates) {
  CreateInserted("k");
  Ctl("add-container k --container empty");
  Ctl("import-cert k --container exch-only --spec exch --file " + simtest::CertFile("ku-nr"));
  Ctl("import-cert k --container both --spec sig --file " + simtest::CertFile("ku-sig") + " --cert-type 2");
  Ctl("import-cert k --container both --spec exch --file " + simtest::CertFile("ku-none"));

  OpenKey key(api_);
  ASSERT_EQ(key.opened, tk::kOk);
  char names[512] = {};
  ULONG size = sizeof names, count = 0;
  // Both handles work: the tray tool passes the device, the control the application.
  for (TK_HANDLE handle : {key.device.get(), key.app.get()}) {
    size = sizeof names;
    ASSERT_EQ(api_.TK_EnumContainer(handle, names, &size, &count), tk::kOk);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(tk::ReadNameList(names, size), (std::vector<std::string>{"empty", "exch-only", "both"}));
  }
  ULONG flags = 0, type = 0;
  EXPECT_EQ(api_.TK_GetContainerParam(key.device.get(), "empty", &flags), tk::kOk);
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(api_.TK_GetContainerParam(key.device.get(), "exch-only", &flags), tk::kOk);
  EXPECT_EQ(flags, tk::kContainerHasExchangeCert);
  EXPECT_EQ(api_.TK_GetContainerParam(key.device.get(), "both", &flags), tk::kOk);
  EXPECT_EQ(flags, tk::kContainerHasSignatureCert | tk::kContainerHasExchangeCert);
  EXPECT_EQ(api_.TK_GetContainerParam(key.device.get(), "nothing", &flags), tk::kNotFound);
  EXPECT_EQ(api_.TK_GetCertType(key.device.get(), "both", tk::kKeySpecSignature, &type), tk::kOk);
  EXPECT_EQ(type, tk::kCertTypeSm2);
  EXPECT_EQ(api_.TK_GetCertType(key.device.get(), "exch-only", tk::kKeySpecExchange, &type), tk::kOk);
  EXPECT_EQ(type, tk::kCertTypeRsa);

  std::string expected;
  ASSERT_TRUE(simtest::ReadFileBytes(simtest::CertFile("ku-sig"), expected));
  BYTE cert[3072];
  ULONG length = sizeof cert;
  ASSERT_EQ(api_.TK_ReadCert(key.app.get(), "both", tk::kKeySpecSignature, cert, &length), tk::kOk);
  ASSERT_EQ(length, expected.size());
  EXPECT_EQ(std::memcmp(cert, expected.data(), length), 0);

  // One byte short: refused, the needed length reported, the buffer untouched.
  std::memset(cert, 0xEE, sizeof cert);
  length = static_cast<ULONG>(expected.size() - 1);
  EXPECT_EQ(api_.TK_ReadCert(key.device.get(), "both", tk::kKeySpecSignature, cert, &length), tk::kBufferTooSmall);
  EXPECT_EQ(length, expected.size());
  EXPECT_EQ(cert[0], 0xEE);

  length = sizeof cert;
  EXPECT_EQ(api_.TK_ReadCert(key.app.get(), "exch-only", tk::kKeySpecSignature, cert, &length), tk::kNotFound);
  EXPECT_EQ(api_.TK_ReadCert(key.app.get(), "empty", tk::kKeySpecExchange, cert, &length), tk::kNotFound);

  ULONG free_size = 0;
  EXPECT_EQ(api_.TK_GetFreeSize(key.device.get(), &free_size), tk::kOk);
  EXPECT_LT(free_size, 64u * 1024u);
}

TEST_F(Devices, LabelIsAnsiBoundedAndSizeChecked) {
  CreateInserted("k", "--label \xB9\xA4\xD0\xD0\xCD\xF8\xD2\xF8");  // 工行网银, code page 936
  tk::DeviceConnection device(api_);
  ASSERT_EQ(device.Connect(tk::kFirstReaderName), tk::kOk);
  char label[260] = {};
  ULONG length = sizeof label;
  ASSERT_EQ(api_.TK_ReadLabel(device.get(), label, &length), tk::kOk);
  // Four characters, eight bytes, plus the NUL.
  EXPECT_STREQ(label, "\xB9\xA4\xD0\xD0\xCD\xF8\xD2\xF8");
  EXPECT_EQ(length, 9u);

  char small[8];
  length = sizeof small;
  EXPECT_EQ(api_.TK_ReadLabel(device.get(), small, &length), tk::kBufferTooSmall);
  EXPECT_EQ(length, 9u);

  EXPECT_EQ(api_.TK_WriteLabel(device.get(), ""), tk::kInvalidParameter);
  EXPECT_EQ(api_.TK_WriteLabel(device.get(), std::string(33, 'L').c_str()), tk::kInvalidParameter);
  ASSERT_EQ(api_.TK_WriteLabel(device.get(), "New Label"), tk::kOk);
  length = sizeof label;
  ASSERT_EQ(api_.TK_ReadLabel(device.get(), label, &length), tk::kOk);
  EXPECT_STREQ(label, "New Label");
}

TEST_F(Devices, SerialFillsAtMost32Bytes) {
  const std::string longest(31, 'S');
  CreateInserted("k", "--serial " + longest);
  tk::DeviceConnection device(api_);
  ASSERT_EQ(device.Connect(tk::kFirstReaderName), tk::kOk);
  char serial[40];
  std::memset(serial, '#', sizeof serial);
  ASSERT_EQ(api_.TK_GetSerial(device.get(), serial), tk::kOk);
  EXPECT_EQ(std::string(serial), longest);
  EXPECT_EQ(serial[32], '#');
}

TEST_F(Devices, FaultsFailTheNamedFunctionOnceCountedOrAlways) {
  CreateInserted("k");
  Ctl("fail k TK_ConnectDev 0xE0020013");
  tk::DeviceConnection device(api_);
  EXPECT_EQ(device.Connect(tk::kFirstReaderName), tk::kCancelledOrTimedOut);
  ASSERT_EQ(device.Connect(tk::kFirstReaderName), tk::kOk);  // once only

  Ctl("fail k TK_WriteLabel 0x88000008 --times 2");
  EXPECT_EQ(api_.TK_WriteLabel(device.get(), "a"), 0x88000008u);
  EXPECT_EQ(api_.TK_WriteLabel(device.get(), "a"), 0x88000008u);
  EXPECT_EQ(api_.TK_WriteLabel(device.get(), "a"), tk::kOk);

  Ctl("fail k TK_EnumContainer 5 --times 0");
  char names[512];
  ULONG size = sizeof names, count = 0;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(api_.TK_EnumContainer(device.get(), names, &size, &count), 5u);
  Ctl("fail k TK_EnumContainer 0");
  size = sizeof names;
  EXPECT_EQ(api_.TK_EnumContainer(device.get(), names, &size, &count), tk::kOk);

  Ctl("fail k TK_ListReaders 0x10");
  size = sizeof names;
  EXPECT_EQ(api_.TK_ListReaders(names, &size, &count), 0x10u);
  EXPECT_EQ(Readers().size(), 1u);

  // A failing disconnect still releases the connection.
  TK_HANDLE raw = nullptr;
  ASSERT_EQ(api_.TK_ConnectDev(tk::kFirstReaderName, &raw), tk::kOk);
  Ctl("fail k TK_DisConnectDev 7");
  EXPECT_EQ(api_.TK_DisConnectDev(raw), 7u);
  EXPECT_EQ(api_.TK_DisConnectDev(raw), tk::kInvalidHandle);
}

TEST_F(Devices, LanguageTextsComeFromIniFilesBesideTheLibrary) {
  // 证书管理工具 in code page 936
  EXPECT_STREQ(api_.LngLoadString("TKLN0804.ini", "TOOL", "TOOL_TITLE"),
               "\xD6\xA4\xCA\xE9\xB9\xDC\xC0\xED\xB9\xA4\xBE\xDF");
  EXPECT_STREQ(api_.LngLoadString("RVControl.ini", "CSPINFO", "CSP_NAME"), "Quillon CSP FOR VESBANK");
  EXPECT_STREQ(api_.LngLoadString("TKLN0804.ini", "TOOL", "NO_SUCH_KEY"), "");
  EXPECT_STREQ(api_.LngLoadString("..\\bin\\TKLN0804.ini", "TOOL", "TOOL_TITLE"), "");
  EXPECT_STREQ(api_.LngLoadString("C:\\windows\\win.ini", "fonts", "x"), "");
  EXPECT_STREQ(api_.LngLoadString(nullptr, "TOOL", "TOOL_TITLE"), "");
}
