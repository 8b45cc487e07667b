// Registration with regsvr32, creation through COM, and a JScript page-like
// client using every method by name.
#include <objbase.h>

#include "kestrine_test_base.h"
#include "pin_dialog_driver.h"
#include "scoped_handle.h"

namespace {

const char kClsid[] = "{4B2E7C10-5A3D-4F61-9C82-7E0D3A6B1F24}";
const char kAppId[] = "{3C7B9E14-8A2D-4F06-B5C1-9D8E7F6A5B43}";

std::string ControlPath() { return simtest::BinDir() + "\\Kestrine.dll"; }

simtest::ProcessResult Regsvr32(const std::string& options) {
  return simtest::RunProcess("regsvr32.exe " + options + " \"" + ControlPath() + "\"");
}

// The default value (name nullptr) or a named value of a key, or "<none>".
std::string Value(HKEY root, const std::string& path, const char* name = nullptr) {
  fw::ScopedRegKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "<none>";
  char value[1024] = {};
  DWORD size = sizeof value - 1, type = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
    return "<no value>";
  return value;
}

bool Exists(HKEY root, const std::string& path) {
  fw::ScopedRegKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void ExpectRegistered(HKEY root) {
  const std::string cls = std::string("CLSID\\") + kClsid;
  const std::string path = ControlPath();
  EXPECT_EQ(Value(root, std::string("AppID\\") + kAppId), "Kestrine");
  EXPECT_EQ(Value(root, "AppID\\Kestrine.DLL", "AppID"), kAppId);
  EXPECT_EQ(Value(root, "Kestrine.Kestrine.1"), "Kestrine Class");
  EXPECT_EQ(Value(root, "Kestrine.Kestrine.1\\CLSID"), kClsid);
  EXPECT_EQ(Value(root, "Kestrine.Kestrine"), "Kestrine Class");
  EXPECT_EQ(Value(root, "Kestrine.Kestrine\\CLSID"), kClsid);
  EXPECT_EQ(Value(root, "Kestrine.Kestrine\\CurVer"), "Kestrine.Kestrine.1");
  EXPECT_EQ(Value(root, cls), "Kestrine Class");
  EXPECT_EQ(Value(root, cls, "AppID"), kAppId);
  EXPECT_EQ(Value(root, cls + "\\ProgID"), "Kestrine.Kestrine.1");
  EXPECT_EQ(Value(root, cls + "\\VersionIndependentProgID"), "Kestrine.Kestrine");
  EXPECT_TRUE(Exists(root, cls + "\\Programmable"));
  EXPECT_TRUE(Exists(root, cls + "\\Control"));
  EXPECT_EQ(lstrcmpiA(Value(root, cls + "\\InprocServer32").c_str(), path.c_str()), 0);
  EXPECT_EQ(Value(root, cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(lstrcmpiA(Value(root, cls + "\\ToolboxBitmap32").c_str(), (path + ", 102").c_str()), 0);
  EXPECT_EQ(Value(root, cls + "\\MiscStatus"), "0");
  EXPECT_EQ(Value(root, cls + "\\MiscStatus\\1"), "131473");
  EXPECT_EQ(Value(root, cls + "\\TypeLib"), "{6E1F9A2B-C347-4D58-A9B0-1D2E3F405162}");
  EXPECT_EQ(Value(root, cls + "\\Version"), "1.0");
}

void ExpectUnregistered(HKEY root) {
  EXPECT_FALSE(Exists(root, std::string("CLSID\\") + kClsid));
  EXPECT_FALSE(Exists(root, std::string("AppID\\") + kAppId));
  EXPECT_FALSE(Exists(root, "AppID\\Kestrine.DLL"));
  EXPECT_FALSE(Exists(root, "Kestrine.Kestrine.1"));
  EXPECT_FALSE(Exists(root, "Kestrine.Kestrine"));
  EXPECT_TRUE(Exists(root, "CLSID"));
  EXPECT_TRUE(Exists(root, "AppID"));
}

}  // namespace

TEST(Registration, PerUserRegistrationWritesUnderTheUsersClasses) {
  HKEY user_classes = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0, KEY_READ, nullptr, &user_classes,
                            nullptr),
            ERROR_SUCCESS);
  fw::ScopedRegKey owner(user_classes);
  ASSERT_EQ(Regsvr32("/s /n /i:USER").exit_code, 0u);
  ExpectRegistered(user_classes);
  ASSERT_EQ(Regsvr32("/s /u /n /i:user").exit_code, 0u);
  ExpectUnregistered(user_classes);
}

class Registered : public KestrineTest {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(Regsvr32("/s").exit_code, 0u); }
  static void TearDownTestSuite() { Regsvr32("/u /s"); }
  void SetUp() override {
    KestrineTest::SetUp();
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    KestrineTest::TearDown();
  }
};

TEST_F(Registered, MachineWideKeysAndCategories) {
  ExpectRegistered(HKEY_CLASSES_ROOT);
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid +
                                         "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}",
                  nullptr) != "<none>",
            true);
  EXPECT_NE(Value(HKEY_CLASSES_ROOT, "Component Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}", "409"), "<none>");
}

TEST_F(Registered, CreatedByClassIdAndByProgId) {
  CreateInserted("a");
  CreateInserted("b");
  Microsoft::WRL::ComPtr<IKestrine> by_clsid;
  ASSERT_EQ(CoCreateInstance(CLSID_Kestrine, nullptr, CLSCTX_ALL, IID_IKestrine,
                             reinterpret_cast<void**>(by_clsid.GetAddressOf())),
            S_OK);
  LONG count = 0;
  EXPECT_EQ(by_clsid->GetDeviceCount(&count), S_OK);
  EXPECT_EQ(count, 2);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"Kestrine.Kestrine", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Kestrine));
  ASSERT_EQ(CLSIDFromProgID(L"Kestrine.Kestrine.1", &clsid), S_OK);
  Microsoft::WRL::ComPtr<IDispatch> dispatch;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(dispatch.GetAddressOf())),
            S_OK);
}

TEST_F(Registered, JScriptUsesEveryMethodByName) {
  if (!HaveDisplay()) GTEST_SKIP() << "esKeyVerifyUserPin needs a display";
  CreateInserted("k", "--serial JS0001 --user-pin 111111 --user-retries 6 --so-pin 888888");
  Ctl("import-cert k --container c1 --spec sig --file " + simtest::CertFile("serial-01a20f"));
  simtest::TempFolder folder("jscript");
  const std::string script = folder.File("client.js");
  ASSERT_TRUE(simtest::WriteFileBytes(script, R"(
try {
  var k = new ActiveXObject("Kestrine.Kestrine.1");
  WScript.Echo("state=" + k.GetUsbkeyState());
  WScript.Echo("count=" + k.GetDeviceCount());
  WScript.Echo("sn=" + k.GetUsbkeySN());
  WScript.Echo("cn=" + k.esKeyGetCertCN());
  WScript.Echo("dn=" + k.GetCertDN());
  WScript.Echo("certsn=" + k.GetCertSn());
  WScript.Echo("begin=" + k.GetCertBeginDate());
  WScript.Echo("end=" + k.GetCertEndDate().length);
  WScript.Echo("tries=" + k.esKeyGetPinRetryCount());
  WScript.Echo("wrong=" + k.esKeyCheckUserPin("000000"));
  WScript.Echo("right=" + k.esKeyCheckUserPin("111111"));
  WScript.Echo("unblock=" + k.esKeyUnblockUsrPin("888888", "222222"));
  WScript.Echo("verify=" + k.esKeyVerifyUserPin());
  WScript.Echo("type=" + k.HWGetKeyType("x"));
  WScript.Echo("csp=" + k.getCSP());
  WScript.Echo("init=" + k.KeyInit(""));
  WScript.Echo("error=" + k.esgetErrorCode());
} catch (e) {
  WScript.Echo("exception " + e.message);
}
)"));
  DialogSeen seen;
  std::thread cancel = DriveVerifyDialog(seen, L"", IDCANCEL);
  const simtest::ProcessResult run = simtest::RunProcess("cscript.exe //nologo \"" + script + "\"", 60000);
  cancel.join();
  EXPECT_TRUE(seen.found);
  const std::string expected =
      "state=3\r\ncount=1\r\nsn=JS0001\r\ncn=Test User Serial\r\ndn=Test User Serial\r\ncertsn=01A20F\r\n"
      "begin=";
  EXPECT_EQ(run.output.substr(0, expected.size()), expected) << run.output;
  for (const char* line : {"tries=6", "wrong=5", "right=0", "unblock=-1", "verify=2", "type=3",
                           "csp=Quillon CSP FOR VESBANK", "init=true", "error=0"})
    EXPECT_NE(run.output.find(std::string(line) + "\r\n"), std::string::npos) << line << "\n" << run.output;
  EXPECT_EQ(run.output.find("exception"), std::string::npos) << run.output;
}

// What a page's script reads from the PIN checks when they fail: never 0,
// the right PIN's number.
TEST_F(Registered, JScriptReadsNoFailedPinCheckAsRight) {
  simtest::TempFolder folder("jscript-pin");
  const std::string script = folder.File("pin.js");
  ASSERT_TRUE(simtest::WriteFileBytes(script, R"(
try {
  var k = new ActiveXObject("Kestrine.Kestrine.1");
  var checked = k.esKeyCheckUserPin("135790");
  WScript.Echo("check=" + checked + (checked == 0 ? " right" : ""));
  if (WScript.Arguments.length > 0) WScript.Echo("verify=" + k.esKeyVerifyUserPin());
} catch (e) {
  WScript.Echo("exception " + e.message);
}
)"));
  const auto run = [&](const char* arguments) {
    return simtest::RunProcess("cscript.exe //nologo \"" + script + "\" " + arguments, 60000).output;
  };
  EXPECT_EQ(run("verify"), "check=1002\r\nverify=1002\r\n");  // no key: nothing to ask the PIN for
  CreateInserted("k", "--user-pin 135790 --user-retries 3 --user-tries-left 0");
  EXPECT_EQ(run(""), "check=1004\r\n");  // locked: even the right PIN
}

// KeyInit's Boolean holds 1 after success, not True (-1): what VBScript makes
// of it (the host's CreateObject: Wine's VBScript CreateObject cannot make
// the control).
TEST_F(Registered, VBScriptReadsKeyInitAsABooleanOf1) {
  simtest::TempFolder folder("vbscript");
  const std::string script = folder.File("init.vbs");
  ASSERT_TRUE(simtest::WriteFileBytes(script, R"(
On Error Resume Next
Set k = WScript.CreateObject("Kestrine.Kestrine.1")
r = k.KeyInit("")
WScript.Echo TypeName(r) & " " & CInt(r) & " " & CInt(r = True) & " " & CInt(Not r) & " " & CInt(CBool(r))
If Err.Number <> 0 Then WScript.Echo "error " & Hex(Err.Number)
)"));
  const auto run = [&] { return simtest::RunProcess("cscript.exe //nologo \"" + script + "\"", 60000).output; };
  EXPECT_EQ(run(), "Boolean 0 0 -1 0\r\n");  // no key
  CreateInserted("k");
  EXPECT_EQ(run(), "Boolean 1 0 -2 1\r\n");  // done: = True is false, Not gives -2 (also true)
}

TEST(Unregistration, RemovesTheClassButKeepsTheRootsAndCategoryDefinitions) {
  ASSERT_EQ(Regsvr32("/s").exit_code, 0u);
  ASSERT_EQ(Regsvr32("/u /s").exit_code, 0u);
  ExpectUnregistered(HKEY_CLASSES_ROOT);
  EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
  EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Component Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}"));
  EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "TypeLib\\{6E1F9A2B-C347-4D58-A9B0-1D2E3F405162}\\1.0"));
}
