// Fixture for the control: the built Kestrine.dll loaded from the program
// folder, one object created through its class object, a private key folder,
// and no device handle left open after any method.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "Kestrine_h.h"
#include "token_test_base.h"

// A control DLL loaded from a path, and an object of it.
class ControlInstance {
 public:
  explicit ControlInstance(const std::string& dll_path) : module_(LoadLibraryA(dll_path.c_str())) {
    if (module_ == nullptr) return;
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    if (get && SUCCEEDED(get(CLSID_Kestrine, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()))))
      factory->CreateInstance(nullptr, IID_IKestrine, reinterpret_cast<void**>(control_.GetAddressOf()));
  }
  ControlInstance(const ControlInstance&) = delete;
  ControlInstance& operator=(const ControlInstance&) = delete;
  ~ControlInstance() { Unload(); }
  // Lets go of the object, then of the DLL.
  void Unload() {
    control_.Reset();
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  IKestrine* get() const { return control_.Get(); }
  IKestrine* operator->() const { return control_.Get(); }
  HMODULE module() const { return module_; }

 private:
  HMODULE module_;
  Microsoft::WRL::ComPtr<IKestrine> control_;
};

// A BSTR result, converted for comparisons and freed.
struct Text {
  BSTR value = nullptr;
  ~Text() { SysFreeString(value); }
  BSTR* put() { SysFreeString(value); value = nullptr; return &value; }
  bool null() const { return value == nullptr; }
  std::string ansi() const {
    if (!value) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, value, -1, nullptr, 0, nullptr, nullptr);
    std::string text(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_ACP, 0, value, -1, text.data(), n, nullptr, nullptr);
    return text;
  }
};

struct Bstr {
  explicit Bstr(const wchar_t* text) : value(text ? SysAllocString(text) : nullptr) {}
  ~Bstr() { SysFreeString(value); }
  BSTR value;
};

class KestrineTest : public TokenTest {
 protected:
  void SetUp() override {
    TokenTest::SetUp();
    ASSERT_NE(control_.get(), nullptr) << "cannot create the control from " << simtest::BinDir();
  }
  long LastError() {
    LONG error = -1;
    EXPECT_EQ(control_->esgetErrorCode(&error), S_OK);
    return error;
  }
  void ExpectNoOpenHandles() { EXPECT_EQ(open_handles_(), 0u); }

  ControlInstance control_{simtest::BinDir() + "\\Kestrine.dll"};
};
