// PIN verification, change, unblock and formatting of the software token.
#include <cstring>

#include "key_access.h"
#include "pin_hash.h"
#include "pin_record.h"
#include "rva_exports.h"
#include "text.h"

using namespace sim;

namespace {

std::size_t BoundedLength(const char* text) {
  const void* end = std::memchr(text, '\0', kMaxPinLength + 1);
  return end ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : kMaxPinLength + 1;
}

bool IsAcceptablePinLength(std::size_t length) { return length >= kMinPinLength && length <= kMaxPinLength; }

tk::Result VerifyPlain(PinState& pin, const char* text, bool& changed) {
  const std::uint32_t before = pin.retries_left;
  const tk::Result result =
      ApplyPinAttempt(pin, [&] { return PinMatches(pin, text, BoundedLength(text)); });
  changed = pin.retries_left != before;
  return result;
}

tk::Result VerifyRecord(PinState& pin, const tk::PinTransferRecord& record, bool& changed) {
  tk::PinPlain plain;
  if (!tk::UnmaskPinRecord(record, plain)) return tk::kInvalidParameter;
  const std::uint32_t before = pin.retries_left;
  const tk::Result result =
      ApplyPinAttempt(pin, [&] { return PinMatches(pin, plain.data(), plain.size()); });
  changed = pin.retries_left != before;
  return result;
}

BYTE AsByte(std::uint32_t value) { return static_cast<BYTE>(value > 255 ? 255 : value); }

}  // namespace

extern "C" {

ULONG WINAPI TK_GetUserPinRetryNum(TK_HANDLE device, ULONG* count) {
  if (count == nullptr) return tk::kInvalidParameter;
  return WithKey(device, "TK_GetUserPinRetryNum", [&](KeyState& key, bool&) {
    *count = key.user_pin.retries_left;
    return tk::kOk;
  });
}

ULONG WINAPI TK_PIN_GetPinRetryNum(TK_HANDLE app, ULONG pin_kind, ULONG* count) {
  if (count == nullptr || (pin_kind != tk::kPinKindUser && pin_kind != tk::kPinKindAdmin))
    return tk::kInvalidParameter;
  return WithKey(app, "TK_PIN_GetPinRetryNum", [&](KeyState& key, bool&) {
    *count = (pin_kind == tk::kPinKindUser ? key.user_pin : key.admin_pin).retries_left;
    return tk::kOk;
  });
}

ULONG WINAPI TK_VerifyUserPin(TK_HANDLE handle, const char* pin, ULONG* retries_left) {
  if (pin == nullptr || retries_left == nullptr) return tk::kInvalidParameter;
  return WithKey(handle, "TK_VerifyUserPin", [&](KeyState& key, bool& changed) {
    const tk::Result result = VerifyPlain(key.user_pin, pin, changed);
    *retries_left = key.user_pin.retries_left;
    return result;
  });
}

ULONG WINAPI TK_VerifyUserPinSec(TK_HANDLE device, const tk::PinTransferRecord* pin, BYTE* retries_left) {
  if (pin == nullptr || retries_left == nullptr) return tk::kInvalidParameter;
  return WithKey(device, "TK_VerifyUserPinSec", [&](KeyState& key, bool& changed) {
    const tk::Result result = VerifyRecord(key.user_pin, *pin, changed);
    *retries_left = AsByte(key.user_pin.retries_left);
    return result;
  });
}

ULONG WINAPI TK_ChangeUserPinSec(TK_HANDLE device, const tk::PinTransferRecord* old_pin,
                                 const tk::PinTransferRecord* new_pin, BYTE* retries_left) {
  if (old_pin == nullptr || new_pin == nullptr || retries_left == nullptr) return tk::kInvalidParameter;
  // A new PIN the key cannot take is refused before the old one costs a try.
  if (!IsAcceptablePinLength(new_pin->count)) return tk::kInvalidParameter;
  return WithKey(device, "TK_ChangeUserPinSec", [&](KeyState& key, bool& changed) {
    const tk::Result verified = VerifyRecord(key.user_pin, *old_pin, changed);
    *retries_left = AsByte(key.user_pin.retries_left);
    if (verified != tk::kOk) return verified;
    tk::PinPlain plain;
    if (!tk::UnmaskPinRecord(*new_pin, plain) ||
        !SetPin(key.user_pin, plain.data(), plain.size(), key.user_pin.retry_limit))
      return tk::kStorageError;
    key.pin_change_tag = 1;
    changed = true;
    *retries_left = AsByte(key.user_pin.retries_left);
    return tk::kOk;
  });
}

ULONG WINAPI TK_PIN_ChangeUserPINbyAdmin(TK_HANDLE app, const char* admin_pin, const char* new_user_pin,
                                         ULONG* admin_retries_left) {
  if (admin_pin == nullptr || new_user_pin == nullptr || admin_retries_left == nullptr) return tk::kInvalidParameter;
  const std::size_t new_length = BoundedLength(new_user_pin);
  if (!IsAcceptablePinLength(new_length)) return tk::kInvalidParameter;
  return WithKey(app, "TK_PIN_ChangeUserPINbyAdmin", [&](KeyState& key, bool& changed) {
    const tk::Result verified = VerifyPlain(key.admin_pin, admin_pin, changed);
    *admin_retries_left = key.admin_pin.retries_left;
    if (verified != tk::kOk) return verified;
    if (!SetPin(key.user_pin, new_user_pin, new_length, key.user_pin.retry_limit)) return tk::kStorageError;
    changed = true;
    return tk::kOk;
  });
}

// Factory state: the given label, application and administrator PIN, the
// factory user PIN (to be changed on first use), no containers, both
// counters at their limits. A retry limit of 0 takes the default.
ULONG WINAPI TK_FormatHWSec(TK_HANDLE app, const char* label, ULONG user_retry_limit, const char* admin_pin,
                            ULONG admin_retry_limit, const char* application, ULONG, ULONG) {
  if (label == nullptr || admin_pin == nullptr) return tk::kInvalidParameter;
  const std::size_t label_size = std::strlen(label);
  const std::size_t admin_length = BoundedLength(admin_pin);
  const std::string app_name = (application && *application) ? application : "Tarnex";
  if (label_size == 0 || label_size > kMaxLabelBytes || !IsAcceptablePinLength(admin_length) ||
      user_retry_limit > kMaxRetryLimit || admin_retry_limit > kMaxRetryLimit || app_name.size() > 31)
    return tk::kInvalidParameter;
  return WithKey(app, "TK_FormatHWSec", [&](KeyState& key, bool& changed) {
    KeyState formatted = key;
    formatted.label = fw::AnsiToUtf8(label);
    formatted.application = app_name;
    formatted.application_kind = 1;
    formatted.pin_change_tag = 0;
    formatted.containers.clear();
    if (!SetPin(formatted.admin_pin, admin_pin, admin_length,
                admin_retry_limit ? admin_retry_limit : kDefaultAdminRetryLimit) ||
        !SetPin(formatted.user_pin, kFactoryUserPin, std::strlen(kFactoryUserPin),
                user_retry_limit ? user_retry_limit : kDefaultUserRetryLimit))
      return tk::kStorageError;
    key = std::move(formatted);
    changed = true;
    return tk::kOk;
  });
}

}  // extern "C"
