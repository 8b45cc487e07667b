// Late binding: names, dispatch identifiers and help strings from the type
// library, and Invoke reaching the same methods as calls through the table.
#include "kestrine_test_base.h"

#include "bstr.h"

namespace {

const wchar_t* const kMethods[16] = {
    L"esKeyGetCertCN", L"esgetErrorCode",   L"esKeyUnblockUsrPin", L"esKeyGetPinRetryCount",
    L"GetUsbkeyState", L"GetCertDN",        L"GetUsbkeySN",        L"GetCertBeginDate",
    L"GetCertEndDate", L"GetCertSn",        L"GetDeviceCount",     L"KeyInit",
    L"HWGetKeyType",   L"esKeyCheckUserPin", L"esKeyVerifyUserPin", L"getCSP"};

struct Variant {
  Variant() { VariantInit(&v); }
  ~Variant() { VariantClear(&v); }
  VARIANT v;
};

}  // namespace

class Dispatch : public KestrineTest {
 protected:
  void SetUp() override {
    KestrineTest::SetUp();
    ASSERT_EQ(control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch_.GetAddressOf())), S_OK);
  }
  void TearDown() override {
    dispatch_.Reset();
    KestrineTest::TearDown();
  }
  DISPID Id(const wchar_t* name, IDispatch* control = nullptr) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ((control ? control : dispatch_.Get())->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK)
        << name;
    return id;
  }
  // Calls a method by name with string arguments (in order) and returns its
  // result; on `control`, else on the fixture's control.
  HRESULT Call(const wchar_t* name, std::initializer_list<const wchar_t*> args, Variant& result,
               IDispatch* control = nullptr) {
    if (control == nullptr) control = dispatch_.Get();
    std::vector<VARIANT> values(args.size());
    std::size_t i = args.size();
    for (const wchar_t* arg : args) {  // DISPPARAMS holds them last first
      --i;
      VariantInit(&values[i]);
      values[i].vt = VT_BSTR;
      values[i].bstrVal = SysAllocString(arg);
    }
    DISPPARAMS params{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
    const HRESULT hr = control->Invoke(Id(name, control), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                       &result.v, nullptr, nullptr);
    for (VARIANT& value : values) VariantClear(&value);
    return hr;
  }
  Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

TEST_F(Dispatch, SixteenNamesInTableOrderWithTheirHelpStrings) {
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Id(kMethods[i]), i + 1) << kMethods[i];
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMethod")};
  DISPID id = 0;
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);

  Microsoft::WRL::ComPtr<ITypeInfo> info;
  UINT count = 0;
  ASSERT_EQ(dispatch_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.GetAddressOf()), S_OK);
  BSTR help = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr), S_OK);
  EXPECT_STREQ(help, L"IKestrine Interface");
  SysFreeString(help);
  for (int i = 0; i < 16; ++i) {
    ASSERT_EQ(info->GetDocumentation(i + 1, nullptr, &help, nullptr, nullptr), S_OK);
    const std::wstring expected = std::wstring(L"method ") + (i == 13 ? L"esKeyVerifyUserPin" : kMethods[i]);
    EXPECT_EQ(std::wstring(help ? help : L""), expected) << kMethods[i];
    SysFreeString(help);
  }
}

TEST_F(Dispatch, InvokeGivesWhatTheTableGives) {
  CreateInserted("k", "--serial DISP01 --user-pin 111111 --user-retries 4 --so-pin 888888");
  Ctl("import-cert k --container c --spec sig --file " + simtest::CertFile("serial-01a20f"));

  auto same_text = [&](const wchar_t* name, HRESULT (STDMETHODCALLTYPE IKestrine::*method)(BSTR*)) {
    Variant by_name;
    Text by_table;
    const HRESULT table_hr = (control_.get()->*method)(by_table.put());
    EXPECT_EQ(Call(name, {}, by_name), S_OK) << name;  // the type library reports S_FALSE as S_OK
    EXPECT_EQ(table_hr, S_OK) << name;
    ASSERT_EQ(by_name.v.vt, VT_BSTR) << name;
    EXPECT_EQ(std::wstring(by_name.v.bstrVal), std::wstring(by_table.value ? by_table.value : L"")) << name;
  };
  same_text(L"esKeyGetCertCN", &IKestrine::esKeyGetCertCN);
  same_text(L"GetCertDN", &IKestrine::GetCertDN);
  same_text(L"GetUsbkeySN", &IKestrine::GetUsbkeySN);
  same_text(L"GetCertBeginDate", &IKestrine::GetCertBeginDate);
  same_text(L"GetCertEndDate", &IKestrine::GetCertEndDate);
  same_text(L"GetCertSn", &IKestrine::GetCertSn);
  same_text(L"getCSP", &IKestrine::getCSP);

  auto same_long = [&](const wchar_t* name, HRESULT (STDMETHODCALLTYPE IKestrine::*method)(LONG*)) {
    Variant by_name;
    LONG by_table = -99;
    (control_.get()->*method)(&by_table);
    Call(name, {}, by_name);
    ASSERT_EQ(by_name.v.vt, VT_I4) << name;
    EXPECT_EQ(by_name.v.lVal, by_table) << name;
  };
  same_long(L"esgetErrorCode", &IKestrine::esgetErrorCode);
  same_long(L"esKeyGetPinRetryCount", &IKestrine::esKeyGetPinRetryCount);
  same_long(L"GetUsbkeyState", &IKestrine::GetUsbkeyState);
  same_long(L"GetDeviceCount", &IKestrine::GetDeviceCount);

  Variant checked, wrong, type, unblocked;
  Call(L"esKeyCheckUserPin", {L"111111"}, checked);
  EXPECT_EQ(checked.v.lVal, 0);
  Call(L"esKeyCheckUserPin", {L"000000"}, wrong);
  EXPECT_EQ(wrong.v.lVal, 3);  // remaining tries, as through the table
  LONG state = 0;
  Bstr wrong_pin(L"000000");
  control_->esKeyCheckUserPin(wrong_pin.value, &state);
  EXPECT_EQ(state, 2);
  Call(L"HWGetKeyType", {L"anything"}, type);
  EXPECT_EQ(type.v.lVal, 3);
  // Arguments arrive in order: the administrator PIN first.
  Call(L"esKeyUnblockUsrPin", {L"888888", L"222222"}, unblocked);
  EXPECT_EQ(unblocked.v.lVal, -1);
  Bstr new_pin(L"222222");
  control_->esKeyCheckUserPin(new_pin.value, &state);
  EXPECT_EQ(state, 0);

  Variant initialised;
  Call(L"KeyInit", {L""}, initialised);
  ASSERT_EQ(initialised.v.vt, VT_BOOL);
  EXPECT_EQ(initialised.v.boolVal, 1);
  ExpectNoOpenHandles();
}

// A script reads a PIN check's number whatever the method returned (S_FALSE
// is a success code, and a number the method never wrote arrives as 0): no
// failure may read as the right PIN.
TEST_F(Dispatch, NoFailedPinCheckReadsAsRight) {
  simtest::TempFolder alone("nolib");
  ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\Kestrine.dll").c_str(), alone.File("Kestrine.dll").c_str(), FALSE));
  ControlInstance without_library(alone.File("Kestrine.dll"));
  ASSERT_NE(without_library.get(), nullptr);
  const auto state_of = [&](IDispatch* control, const wchar_t* method, std::initializer_list<const wchar_t*> args) {
    Variant result;
    EXPECT_EQ(Call(method, args, result, control), S_OK) << method;
    EXPECT_EQ(result.v.vt, VT_I4) << method;
    return result.v.lVal;
  };
  EXPECT_EQ(state_of(without_library.get(), L"esKeyCheckUserPin", {L"135790"}), 1001);
  EXPECT_EQ(state_of(without_library.get(), L"esKeyVerifyUserPin", {}), 1001);
  EXPECT_EQ(state_of(dispatch_.Get(), L"esKeyCheckUserPin", {L"135790"}), 1002);  // no key
  EXPECT_EQ(state_of(dispatch_.Get(), L"esKeyVerifyUserPin", {}), 1002);
  CreateInserted("k", "--user-pin 111111 --user-retries 3 --user-tries-left 1");
  EXPECT_EQ(state_of(dispatch_.Get(), L"esKeyCheckUserPin", {L"000000"}), 1004);  // the last try spent
  EXPECT_EQ(state_of(dispatch_.Get(), L"esKeyCheckUserPin", {L"111111"}), 1004);  // locked, even for the right PIN
  ExpectNoOpenHandles();
}

// What a script reads when the key cannot serve it, case by case (the web
// developer's guide has the same table): failures arrive as values, a text
// the method never wrote as "", a number as 0.
TEST_F(Dispatch, WhatAScriptReadsWhenTheKeyCannotServe) {
  const auto view = [&](IDispatch* control) {
    const auto error = [&] {
      Variant code;
      Call(L"esgetErrorCode", {}, code, control);
      return code.v.lVal;
    };
    const LONG error_before = error();
    std::string line;
    const auto read = [&](const char* label, const wchar_t* method, std::initializer_list<const wchar_t*> args) {
      Variant result;
      EXPECT_EQ(Call(method, args, result, control), S_OK) << method;
      line += std::string(line.empty() ? "" : " ") + label + "=";
      if (result.v.vt == VT_BSTR) line += "\"" + fw::BstrToAnsi(result.v.bstrVal) + "\"";
      else if (result.v.vt == VT_I4) line += std::to_string(result.v.lVal);
      else if (result.v.vt == VT_BOOL) line += result.v.boolVal ? "true" : "false";
      else line += "vt" + std::to_string(result.v.vt);
    };
    read("state", L"GetUsbkeyState", {});
    read("sn", L"GetUsbkeySN", {});
    read("cn", L"esKeyGetCertCN", {});
    read("certsn", L"GetCertSn", {});
    read("tries", L"esKeyGetPinRetryCount", {});
    read("check", L"esKeyCheckUserPin", {L"12345678"});
    read("unblock", L"esKeyUnblockUsrPin", {L"000000", L"13572468"});
    read("type", L"HWGetKeyType", {L""});
    read("init", L"KeyInit", {L""});
    const LONG error_after = error();
    return line + (error_after == error_before ? " error kept" : " error=" + std::to_string(error_after));
  };
  EXPECT_EQ(view(dispatch_.Get()), R"(state=2 sn="" cn="" certsn="" tries=0 check=1002 unblock=0 type=3 init=false error=1002)");

  CreateInserted("k", "--serial SN1");
  Ctl("import-cert k --container c --spec sig --file " + simtest::CertFile("ku-sig"));
  // Pulled out once the control had it open: every call of the key fails as
  // for a handle of a key that is gone.
  for (const char* function : {"TK_GetSerial", "TK_ReadCert", "TK_PIN_GetPinRetryNum", "TK_VerifyUserPin",
                               "TK_PIN_ChangeUserPINbyAdmin", "TK_FormatHWSec"})
    Ctl(std::string("fail k ") + function + " 0xE0020004 --times 0");
  EXPECT_EQ(view(dispatch_.Get()), R"(state=3 sn="" cn="" certsn="" tries=0 check=1004 unblock=0 type=3 init=false error kept)");
  ExpectNoOpenHandles();

  Ctl("delete k");
  CreateInserted("k", "--serial SN1 --user-tries-left 0");  // no certificate, the user PIN locked
  EXPECT_EQ(view(dispatch_.Get()), R"(state=3 sn="SN1" cn="" certsn="" tries=0 check=1004 unblock=5 type=3 init=true error kept)");

  simtest::TempFolder alone("nolib-view");
  ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\Kestrine.dll").c_str(), alone.File("Kestrine.dll").c_str(), FALSE));
  ControlInstance without_library(alone.File("Kestrine.dll"));
  ASSERT_NE(without_library.get(), nullptr);
  EXPECT_EQ(view(without_library.get()),
            R"(state=1 sn="" cn="" certsn="" tries=0 check=1001 unblock=0 type=3 init=false error=1001)");
}
