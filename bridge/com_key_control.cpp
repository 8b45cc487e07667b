#include "com_key_control.h"

#include "bstr.h"
#include "secret_buffer.h"

namespace corvane {
namespace {

// A BSTR made from a PIN or password: wiped before it is freed.
class SecretBstr {
 public:
  explicit SecretBstr(std::string_view text) : text_(fw::Utf8ToBstr(text)) {}
  SecretBstr(const SecretBstr&) = delete;
  SecretBstr& operator=(const SecretBstr&) = delete;
  ~SecretBstr() {
    if (text_ != nullptr) tk::SecureWipe(text_, SysStringByteLen(text_));
    SysFreeString(text_);
  }
  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

}  // namespace

bool ComKeyControl::Text(TextMethod method, std::string& text) {
  fw::ScopedBstr value;
  if ((control_.Get()->*method)(value.put()) != S_OK) return false;
  text = fw::BstrToUtf8(value.get());
  return true;
}

bool ComKeyControl::GetUsbkeyState(long& state) {
  state = 0;
  return control_->GetUsbkeyState(&state) == S_OK;
}

bool ComKeyControl::esKeyGetCertCN(std::string& name) { return Text(&IKestrine::esKeyGetCertCN, name); }

bool ComKeyControl::esgetErrorCode(long& code) { return control_->esgetErrorCode(&code) == S_OK; }

bool ComKeyControl::esKeyUnblockUsrPin(std::string_view admin_pin, std::string_view new_pin, long& retries) {
  const SecretBstr admin(admin_pin), user(new_pin);
  if (admin.get() == nullptr || user.get() == nullptr) return false;
  return control_->esKeyUnblockUsrPin(admin.get(), user.get(), &retries) == S_OK;
}

bool ComKeyControl::esKeyGetPinRetryCount(long& count) { return control_->esKeyGetPinRetryCount(&count) == S_OK; }

bool ComKeyControl::HWGetKeyType(const std::string& name, long& type) {
  const fw::ScopedBstr cert_name(fw::Utf8ToBstr(name));
  if (cert_name.get() == nullptr) return false;
  return control_->HWGetKeyType(cert_name.get(), &type) == S_OK;
}

bool ComKeyControl::GetCertDN(std::string& name) { return Text(&IKestrine::GetCertDN, name); }

bool ComKeyControl::GetUsbkeySN(std::string& serial) { return Text(&IKestrine::GetUsbkeySN, serial); }

bool ComKeyControl::GetCertBeginDate(std::string& date) { return Text(&IKestrine::GetCertBeginDate, date); }

bool ComKeyControl::GetCertEndDate(std::string& date) { return Text(&IKestrine::GetCertEndDate, date); }

bool ComKeyControl::GetCertSn(std::string& serial) { return Text(&IKestrine::GetCertSn, serial); }

bool ComKeyControl::KeyInit(std::optional<std::string_view> password, bool& initialised) {
  // No password reaches the control as a null BSTR: it then uses its default.
  const SecretBstr given(password.value_or(std::string_view()));
  if (password && given.get() == nullptr) return false;
  VARIANT_BOOL result = VARIANT_FALSE;
  if (control_->KeyInit(password ? given.get() : nullptr, &result) != S_OK) return false;
  initialised = result != VARIANT_FALSE;
  return true;
}

bool ComKeyControl::getCSP(std::string& name) { return Text(&IKestrine::getCSP, name); }

bool ComKeyControl::GetDeviceCount(long& count) {
  count = 0;
  return control_->GetDeviceCount(&count) == S_OK;
}

}  // namespace corvane
