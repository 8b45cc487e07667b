// The device methods of CKestrine: key state and count, serial number, PIN
// verification and unblocking, initialisation, provider name.
#include "bstr.h"
#include "control_state.h"
#include "kestrine.h"
#include "key_connection.h"
#include "pin_dialog.h"
#include "scoped_handle.h"
#include "secret_text.h"

namespace kestrine {
namespace {

constexpr char kDefaultInitPassword[] = "739264";
constexpr char kInitLabel[] = "CFCA+Tarnex1111";
constexpr char kDefaultCspName[] = "Quillon CSP FOR VESBANK";

// Steps 1 to 6: the library must be loaded and the key must open; each
// failure leaves its error value.
bool OpenKey(KeyConnection& key) {
  ControlState& state = State();
  if (!state.loaded()) {
    state.last_error = kErrorLibraryNotLoaded;
    return false;
  }
  if (!key.Open()) {
    state.last_error = kErrorKeyNotOpened;
    return false;
  }
  return true;
}

// The methods that do not test the loaded flag still never call a library
// that is not there.
bool LibraryPresent() {
  if (State().loaded()) return true;
  State().last_error = kErrorLibraryNotLoaded;
  return false;
}

HRESULT ReturnBstr(BSTR* out, const std::string& text) {
  *out = fw::AnsiToBstr(text);
  return *out ? S_OK : S_FALSE;
}

}  // namespace

STDMETHODIMP CKestrine::esgetErrorCode(LONG* lErrorCode) {
  if (lErrorCode == nullptr) return S_FALSE;
  *lErrorCode = State().last_error;
  return S_OK;
}

STDMETHODIMP CKestrine::GetUsbkeyState(LONG* pnState) {
  if (pnState == nullptr) return S_FALSE;
  if (!State().loaded()) {
    State().last_error = kErrorLibraryNotLoaded;
    *pnState = 1;
    return S_OK;
  }
  ULONG count = 0;
  FirstReader(State().api, &count);
  *pnState = count == 0 ? 2 : count == 1 ? 3 : 4;
  return S_OK;
}

STDMETHODIMP CKestrine::GetDeviceCount(LONG* pnCount) {
  if (pnCount == nullptr) return S_FALSE;
  ULONG count = 0;
  if (LibraryPresent()) FirstReader(State().api, &count);
  *pnCount = static_cast<LONG>(count);
  return S_OK;
}

STDMETHODIMP CKestrine::esKeyGetPinRetryCount(LONG* plRetryCount) {
  if (plRetryCount == nullptr) return S_FALSE;
  KeyConnection key(State().api);
  if (!OpenKey(key)) return S_FALSE;
  ULONG count = 0;
  State().api.TK_PIN_GetPinRetryNum(key.application(), tk::kPinKindUser, &count);
  *plRetryCount = static_cast<LONG>(count);
  return S_OK;
}

// Asked first by the methods that change the key or spend its tries. A refused
// call's number is the error value itself: a script that cannot see S_FALSE
// must not read "right" (0) or "done" (-1) from it.
bool CKestrine::RefusedToThisCaller() {
  if (CallerMayChangeTheKey()) return false;
  State().last_error = kErrorPageNotAllowed;
  return true;
}

// A script reads a PIN check's number whatever the method returned (its
// S_FALSE is a success code, and the type library hands the out-value over
// even when the method never wrote it), so every failure gives a number that
// cannot be taken for "right" (0): the error value for no library, no key or
// a refused page, the remaining tries for a wrong PIN, kPinStateLocked when
// none are left.
STDMETHODIMP CKestrine::esKeyCheckUserPin(BSTR pbUserPin, LONG* lState) {
  if (lState == nullptr) return S_FALSE;
  if (RefusedToThisCaller()) {
    *lState = kErrorPageNotAllowed;
    return S_FALSE;
  }
  if (!State().loaded()) {
    State().last_error = *lState = kErrorLibraryNotLoaded;
    return S_FALSE;
  }
  // A null and an empty BSTR are the same to a script.
  if (SysStringLen(pbUserPin) == 0) {
    *lState = ERROR_INVALID_PARAMETER;
    return S_FALSE;
  }
  KeyConnection key(State().api);
  if (!OpenKey(key)) {
    *lState = State().last_error;
    return S_FALSE;
  }
  const SecretText pin(fw::BstrToAnsi(pbUserPin));
  ULONG retries = 0;
  if (State().api.TK_VerifyUserPin(key.application(), pin.c_str(), &retries) == tk::kOk) {
    *lState = 0;
    return S_OK;
  }
  *lState = retries == 0 ? kPinStateLocked : static_cast<LONG>(retries);
  return S_FALSE;
}

STDMETHODIMP CKestrine::esKeyUnblockUsrPin(BSTR strSoPin, BSTR strUsrPin, LONG* lRetryNum) {
  if (lRetryNum == nullptr) return S_FALSE;
  if (RefusedToThisCaller()) {
    *lRetryNum = kErrorPageNotAllowed;
    return S_FALSE;
  }
  KeyConnection key(State().api);
  if (!OpenKey(key)) return S_FALSE;
  // A missing PIN reaches the library as an empty text, which it refuses.
  const SecretText admin_pin(fw::BstrToAnsi(strSoPin)), user_pin(fw::BstrToAnsi(strUsrPin));
  ULONG retries = 0;
  if (State().api.TK_PIN_ChangeUserPINbyAdmin(key.application(), admin_pin.c_str(), user_pin.c_str(), &retries) ==
      tk::kOk) {
    *lRetryNum = -1;
    return S_OK;
  }
  *lRetryNum = static_cast<LONG>(retries);
  return S_FALSE;
}

STDMETHODIMP CKestrine::KeyInit(BSTR bstrPwd, VARIANT_BOOL* plRetVal) {
  if (plRetVal == nullptr) return S_FALSE;
  // Every failure reads as "not done", also to a caller that did not preset it.
  *plRetVal = 0;
  if (RefusedToThisCaller() || !LibraryPresent()) return S_FALSE;
  KeyConnection key(State().api);
  if (!key.Open()) {
    State().last_error = kErrorKeyNotOpened;
    return S_FALSE;
  }
  const SecretText password(SysStringLen(bstrPwd) ? fw::BstrToAnsi(bstrPwd) : std::string(kDefaultInitPassword));
  const tk::Result result =
      State().api.TK_FormatHWSec(key.application(), kInitLabel, 8, password.c_str(), 6, "Tarnex", 0, 0);
  // 1, not VARIANT_TRUE: what existing pages have always received.
  *plRetVal = result == tk::kOk ? 1 : 0;
  return S_OK;
}

STDMETHODIMP CKestrine::HWGetKeyType(BSTR, LONG* plKeyType) {
  if (plKeyType == nullptr) return S_FALSE;
  *plKeyType = 3;
  return S_OK;
}

STDMETHODIMP CKestrine::GetUsbkeySN(BSTR* pKeysSN) {
  if (pKeysSN == nullptr) return S_FALSE;
  *pKeysSN = nullptr;
  if (!LibraryPresent()) return S_FALSE;
  const std::string reader = FirstReader(State().api);
  if (reader.empty()) return S_FALSE;
  tk::DeviceConnection device(State().api);
  if (device.Connect(reader.c_str()) != tk::kOk) return S_FALSE;
  char serial[tk::kSerialBufferSize] = {};
  const tk::Result result = State().api.TK_GetSerial(device.get(), serial);
  serial[sizeof serial - 1] = '\0';
  device.Disconnect();
  *pKeysSN = fw::AnsiToBstr(serial);
  return result == tk::kOk ? S_OK : S_FALSE;
}

STDMETHODIMP CKestrine::getCSP(BSTR* pCSPName) {
  if (pCSPName == nullptr) return S_FALSE;
  std::string found;
  fw::ScopedRegKey providers;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider", 0, KEY_READ,
                    providers.put()) == ERROR_SUCCESS) {
    DWORD count = 0;
    RegQueryInfoKeyA(providers.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    for (DWORD i = 0; i < count && found.empty(); ++i) {
      char name[256] = {};
      DWORD length = sizeof name;
      if (RegEnumKeyExA(providers.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        continue;
      if (std::string_view(name, length).find("Quillon CSP") != std::string_view::npos) found.assign(name, length);
    }
  }
  return ReturnBstr(pCSPName, found.empty() ? kDefaultCspName : found) == S_OK ? S_OK : S_FALSE;
}

// Like esKeyCheckUserPin, no failure gives 0: the error value when there is
// no library or no key, 2 when cancelled, 1 for a PIN the key refused.
STDMETHODIMP CKestrine::esKeyVerifyUserPin(LONG* lState) {
  if (lState == nullptr) return S_FALSE;
  KeyConnection key(State().api);
  if (!OpenKey(key)) {
    *lState = State().last_error;
    return S_FALSE;
  }
  std::string& pending = State().pending_pin;
  if (!AskForPin(GetActiveWindow(), pending)) {
    *lState = 2;
    return S_FALSE;
  }
  ULONG retries = 0;
  const tk::Result result = State().api.TK_VerifyUserPin(key.application(), pending.c_str(), &retries);
  tk::SecureWipe(pending.data(), pending.size());
  pending.clear();
  *lState = result == tk::kOk ? 0 : 1;
  return result == tk::kOk ? S_OK : S_FALSE;
}

}  // namespace kestrine
