// The dispatcher's view of the key control, over the COM control's interface.
// Texts cross as BSTR in and out, converted from and to UTF-8: WebSocket text
// frames are UTF-8, and a browser drops the connection on any other bytes
// (a certificate name in Chinese would otherwise end it). The control itself
// turns BSTRs into the ANSI code page for the key. Use this only on the
// thread (apartment) that created the interface.
#pragma once
#include <windows.h>
#include <wrl/client.h>

#include <utility>

#include "Kestrine_h.h"
#include "key_control.h"

namespace corvane {

class ComKeyControl : public KeyControl {
 public:
  explicit ComKeyControl(Microsoft::WRL::ComPtr<IKestrine> control) : control_(std::move(control)) {}

  bool GetUsbkeyState(long& state) override;
  bool esKeyGetCertCN(std::string& name) override;
  bool esgetErrorCode(long& code) override;
  bool esKeyUnblockUsrPin(std::string_view admin_pin, std::string_view new_pin, long& retries) override;
  bool esKeyGetPinRetryCount(long& count) override;
  bool HWGetKeyType(const std::string& name, long& type) override;
  bool GetCertDN(std::string& name) override;
  bool GetUsbkeySN(std::string& serial) override;
  bool GetCertBeginDate(std::string& date) override;
  bool GetCertEndDate(std::string& date) override;
  bool GetCertSn(std::string& serial) override;
  bool KeyInit(std::optional<std::string_view> password, bool& initialised) override;
  bool getCSP(std::string& name) override;
  bool GetDeviceCount(long& count) override;

 private:
  using TextMethod = HRESULT (STDMETHODCALLTYPE IKestrine::*)(BSTR*);
  bool Text(TextMethod method, std::string& text);
  Microsoft::WRL::ComPtr<IKestrine> control_;
};

}  // namespace corvane
