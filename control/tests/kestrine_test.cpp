// The control's device methods against the software token.
#include "kestrine_test_base.h"

#include "scoped_handle.h"

using Control = KestrineTest;
using Microsoft::WRL::ComPtr;

TEST_F(Control, NoKeyPresent) {
  LONG value = -5;
  EXPECT_EQ(control_->GetUsbkeyState(&value), S_OK);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(control_->GetDeviceCount(&value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(LastError(), 0);  // nothing has failed yet
  Text serial;
  EXPECT_EQ(control_->GetUsbkeySN(serial.put()), S_FALSE);
  EXPECT_TRUE(serial.null());
  EXPECT_EQ(LastError(), 0);  // the serial number's failures set no value
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&value), S_FALSE);
  EXPECT_EQ(LastError(), 1002);
  ExpectNoOpenHandles();
}

TEST_F(Control, OneKeyOnEverySuccessPath) {
  CreateInserted("k", "--serial TX20260001 --user-pin 111111 --user-retries 5 --so-pin 888888");
  LONG value = 0;
  EXPECT_EQ(control_->GetUsbkeyState(&value), S_OK);
  EXPECT_EQ(value, 3);
  ExpectNoOpenHandles();
  EXPECT_EQ(control_->GetDeviceCount(&value), S_OK);
  EXPECT_EQ(value, 1);
  Text serial;
  EXPECT_EQ(control_->GetUsbkeySN(serial.put()), S_OK);
  EXPECT_EQ(serial.ansi(), "TX20260001");
  ExpectNoOpenHandles();
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&value), S_OK);
  EXPECT_EQ(value, 5);
  ExpectNoOpenHandles();

  Bstr right(L"111111"), wrong(L"123123");
  EXPECT_EQ(control_->esKeyCheckUserPin(wrong.value, &value), S_FALSE);
  EXPECT_EQ(value, 4);  // remaining tries
  ExpectNoOpenHandles();
  EXPECT_EQ(control_->esKeyCheckUserPin(right.value, &value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&value), S_OK);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(control_->HWGetKeyType(nullptr, &value), S_OK);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(LastError(), 0);  // a wrong PIN is not an error of the control
  ExpectNoOpenHandles();
}

TEST_F(Control, NullPinGives87AndCostsNoTry) {
  CreateInserted("k", "--user-pin 111111 --user-retries 5");
  LONG state = -1;
  EXPECT_EQ(control_->esKeyCheckUserPin(nullptr, &state), S_FALSE);
  EXPECT_EQ(state, 87);
  Bstr empty(L"");
  state = -1;
  EXPECT_EQ(control_->esKeyCheckUserPin(empty.value, &state), S_FALSE);
  EXPECT_EQ(state, 87);
  LONG tries = 0;
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&tries), S_OK);
  EXPECT_EQ(tries, 5);
}

TEST_F(Control, TwoKeysUseTheFirstListed) {
  CreateInserted("a", "--serial FIRST");
  CreateInserted("b", "--serial SECOND");
  LONG value = 0;
  EXPECT_EQ(control_->GetUsbkeyState(&value), S_OK);
  EXPECT_EQ(value, 4);
  EXPECT_EQ(control_->GetDeviceCount(&value), S_OK);
  EXPECT_EQ(value, 2);
  Text serial;
  EXPECT_EQ(control_->GetUsbkeySN(serial.put()), S_OK);
  EXPECT_EQ(serial.ansi(), "FIRST");
  Ctl("set a --user-tries-left 2");
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&value), S_OK);
  EXPECT_EQ(value, 2);
  // First listed is not first plugged in: a key put into the reader the
  // first one freed comes before the key that stayed.
  Ctl("remove a");
  CreateInserted("c", "--serial THIRD");
  EXPECT_EQ(control_->GetUsbkeySN(serial.put()), S_OK);
  EXPECT_EQ(serial.ansi(), "THIRD");
  ExpectNoOpenHandles();
}

TEST_F(Control, ErrorValueIsKeptAcrossLaterSuccesses) {
  LONG value = 0;
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&value), S_FALSE);
  ASSERT_EQ(LastError(), 1002);
  CreateInserted("k");
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&value), S_OK);
  Text serial;
  EXPECT_EQ(control_->GetUsbkeySN(serial.put()), S_OK);
  EXPECT_EQ(LastError(), 1002);
}

TEST_F(Control, ConnectionFailingAtEachStepReports1002AndReleasesTheKey) {
  CreateInserted("k");
  struct Step {
    const char* setup;
  } steps[] = {
      {"fail k TK_ListReaders 0x88000001"},     {"fail k TK_ConnectDev 0x88000002"},
      {"fail k TK_EnumApplication 0x88000003"}, {"set k --app-name \"\""},
      {"fail k TK_OpenApplication 0x88000004"}, {"fail k TK_EnumContainer 0x88000005"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.setup);
    Ctl(step.setup);
    // A fresh control each time, so the error value comes from this step.
    ControlInstance control(simtest::BinDir() + "\\Kestrine.dll");
    LONG value = 0, error = 0;
    EXPECT_EQ(control->esKeyGetPinRetryCount(&value), S_FALSE);
    EXPECT_EQ(control->esgetErrorCode(&error), S_OK);
    EXPECT_EQ(error, 1002);
    ExpectNoOpenHandles();
    Ctl("set k --app-name Tarnex");
  }
  // And with every fault used up, the key opens again.
  LONG tries = 0;
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&tries), S_OK);
}

TEST_F(Control, EveryKeyMethodReleasesTheKeyWhenItsCallFails) {
  CreateInserted("k", "--user-pin 111111");
  Ctl("fail k TK_PIN_GetPinRetryNum 1 --times 0");
  Ctl("fail k TK_VerifyUserPin 1 --times 0");
  Ctl("fail k TK_PIN_ChangeUserPINbyAdmin 1 --times 0");
  Ctl("fail k TK_FormatHWSec 1 --times 0");
  Ctl("fail k TK_GetSerial 1 --times 0");
  LONG value = -1;
  VARIANT_BOOL done = -1;
  Bstr pin(L"111111"), admin(L"739264");
  Text serial;
  EXPECT_EQ(control_->esKeyGetPinRetryCount(&value), S_OK);  // the count's own result is not tested
  EXPECT_EQ(value, 0);
  EXPECT_EQ(control_->esKeyCheckUserPin(pin.value, &value), S_FALSE);
  EXPECT_EQ(control_->esKeyUnblockUsrPin(admin.value, pin.value, &value), S_FALSE);
  EXPECT_EQ(control_->KeyInit(nullptr, &done), S_OK);
  EXPECT_EQ(done, 0);
  EXPECT_EQ(control_->GetUsbkeySN(serial.put()), S_FALSE);  // the buffer is returned all the same
  EXPECT_FALSE(serial.null());
  EXPECT_EQ(LastError(), 0);
  ExpectNoOpenHandles();
}

TEST_F(Control, UnblockWithRightAndWrongAdministratorPin) {
  CreateInserted("k", "--user-pin 111111 --user-tries-left 0 --so-pin 888888 --so-retries 3");
  Bstr wrong_admin(L"000000"), admin(L"888888"), new_pin(L"246810");
  LONG value = 0;
  EXPECT_EQ(control_->esKeyUnblockUsrPin(wrong_admin.value, new_pin.value, &value), S_FALSE);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(control_->esKeyUnblockUsrPin(admin.value, new_pin.value, &value), S_OK);
  EXPECT_EQ(value, -1);
  EXPECT_EQ(control_->esKeyCheckUserPin(new_pin.value, &value), S_OK);
  // A missing new PIN is refused by the key without costing an administrator try.
  EXPECT_EQ(control_->esKeyUnblockUsrPin(admin.value, nullptr, &value), S_FALSE);
  EXPECT_EQ(control_->esKeyUnblockUsrPin(admin.value, new_pin.value, &value), S_OK);
  EXPECT_EQ(LastError(), 0);
  ExpectNoOpenHandles();
}

TEST_F(Control, KeyInitFormatsWithTheDefaultOrGivenPassword) {
  CreateInserted("k", "--user-pin 111111 --so-pin 888888");
  Ctl("import-cert k --container c --spec sig --file " + simtest::CertFile("ku-sig"));
  VARIANT_BOOL done = 0;
  Bstr empty(L"");
  EXPECT_EQ(control_->KeyInit(empty.value, &done), S_OK);
  EXPECT_EQ(done, 1);  // 1, not VARIANT_TRUE
  // The new administrator PIN is the default password; the user PIN is the factory one.
  Bstr default_admin(L"739264"), factory(L"12345678"), chosen(L"5678abcd"), new_pin(L"13572468");
  LONG value = 0;
  EXPECT_EQ(control_->esKeyCheckUserPin(factory.value, &value), S_OK);
  EXPECT_EQ(control_->esKeyUnblockUsrPin(default_admin.value, new_pin.value, &value), S_OK);
  Text name;
  EXPECT_EQ(control_->GetCertDN(name.put()), S_FALSE);  // containers emptied

  EXPECT_EQ(control_->KeyInit(chosen.value, &done), S_OK);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(control_->esKeyUnblockUsrPin(chosen.value, new_pin.value, &value), S_OK);
  ExpectNoOpenHandles();

  Ctl("remove k");
  EXPECT_EQ(control_->KeyInit(nullptr, &done), S_FALSE);
  EXPECT_EQ(done, 0);
  EXPECT_EQ(LastError(), 1002);
}

TEST_F(Control, ProviderNameFromTheRegistryOrTheDefault) {
  const char* kProviders = "SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider";
  const std::string ours = std::string(kProviders) + "\\Quillon CSP Test Provider v2";
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, ours.c_str());
  Text name;
  EXPECT_EQ(control_->getCSP(name.put()), S_OK);
  EXPECT_EQ(name.ansi(), "Quillon CSP FOR VESBANK");

  fw::ScopedRegKey created;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, ours.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, created.put(),
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(control_->getCSP(name.put()), S_OK);
  EXPECT_EQ(name.ansi(), "Quillon CSP Test Provider v2");
  created.reset();
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, ours.c_str());
}

TEST(ControlWithoutLibrary, EveryDeviceMethodReports1001AndNothingIsCalled) {
  simtest::SimKeyFolder keys;
  simtest::TempFolder folder("nolib");
  const std::string copy = folder.File("Kestrine.dll");
  ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\Kestrine.dll").c_str(), copy.c_str(), FALSE));
  {
    ControlInstance control(copy);
    ASSERT_NE(control.get(), nullptr);
    LONG value = -7, error = 0;
    EXPECT_EQ(control->GetUsbkeyState(&value), S_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(control->esgetErrorCode(&error), S_OK);
    EXPECT_EQ(error, 1001);
    EXPECT_EQ(control->GetDeviceCount(&value), S_OK);
    EXPECT_EQ(value, 0);
    value = -7;
    Bstr pin(L"111111");
    EXPECT_EQ(control->esKeyCheckUserPin(pin.value, &value), S_FALSE);
    EXPECT_EQ(value, 1001);  // never 0, which a script reads as the right PIN
    VARIANT_BOOL done = -1;
    EXPECT_EQ(control->KeyInit(nullptr, &done), S_FALSE);
    EXPECT_EQ(done, 0);
    Text text;
    EXPECT_EQ(control->GetUsbkeySN(text.put()), S_FALSE);
    EXPECT_EQ(control->esKeyGetCertCN(text.put()), S_FALSE);
    EXPECT_EQ(control->esKeyGetPinRetryCount(&value), S_FALSE);
    EXPECT_EQ(control->esKeyUnblockUsrPin(pin.value, pin.value, &value), S_FALSE);
    EXPECT_EQ(control->getCSP(text.put()), S_OK);  // needs no key
    EXPECT_EQ(control->esgetErrorCode(&error), S_OK);
    EXPECT_EQ(error, 1001);
  }
}

TEST(ControlModule, ClassObjectAndUnloadCheck) {
  HMODULE module = LoadLibraryA((simtest::BinDir() + "\\Kestrine.dll").c_str());
  ASSERT_NE(module, nullptr);
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  using CanUnload = HRESULT(WINAPI*)();
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  auto can_unload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_TRUE(get && can_unload);
  {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(get(IID_IKestrine, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(get(CLSID_Kestrine, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
    EXPECT_EQ(can_unload(), S_FALSE);
    ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf())), S_OK);
    factory.Reset();
    EXPECT_EQ(can_unload(), S_FALSE);
    ComPtr<IKestrine> control;
    ASSERT_EQ(object->QueryInterface(IID_IKestrine, reinterpret_cast<void**>(control.GetAddressOf())), S_OK);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf())), S_OK);
    EXPECT_EQ(static_cast<IDispatch*>(control.Get()), dispatch.Get());
  }
  EXPECT_EQ(can_unload(), S_OK);
  FreeLibrary(module);
}

TEST_F(Control, LateBoundCallsReachTheSameMethods) {
  CreateInserted("a");
  CreateInserted("b");
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf())), S_OK);
  OLECHAR name[] = L"GetUsbkeyState";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  EXPECT_EQ(id, 5);
  DISPPARAMS none{};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 4);
}
