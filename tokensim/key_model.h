// The state of one simulated key, as kept in its JSON file: label, serial,
// PINs (salted hashes, never the PIN itself) with their retry counters,
// application, containers with certificates, insertion and injected faults.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tk_defs.h"

namespace sim {

struct PinState {
  std::string salt_hex;  // random, per PIN
  std::string hash_hex;  // SHA-256 of salt + PIN
  std::uint32_t retry_limit = 0;
  std::uint32_t retries_left = 0;
};

struct Container {
  std::string name;
  std::uint32_t cert_type = tk::kCertTypeRsa;
  std::vector<std::uint8_t> signature_cert;  // DER, empty when absent
  std::vector<std::uint8_t> exchange_cert;
};

// An injected failure: `function` returns `result` for the next `times`
// calls, or for every call when `times` is 0.
struct Fault {
  std::string function;
  tk::Result result = 0;
  std::uint32_t times = 1;
};

struct KeyState {
  std::string name;    // file name without ".json"
  std::string label;   // UTF-8 in the file, ANSI at the interface
  std::string serial;
  std::uint32_t device_type = 2;
  bool inserted = false;
  int slot = -1;                  // reader number while inserted
  std::uint32_t insertion = 0;    // counts insertions, so stale handles are refused
  PinState user_pin;
  PinState admin_pin;
  std::string application = "Tarnex";  // empty: the key has no application
  std::uint32_t application_kind = 1;
  std::uint32_t pin_change_tag = 0;
  std::uint32_t total_size = 64 * 1024;
  std::vector<Container> containers;  // in the order they were created
  std::vector<Fault> faults;
};

// Factory values shared by the token and its tools.
inline constexpr char kFactoryUserPin[] = "12345678";
inline constexpr char kDefaultAdminPin[] = "739264";
inline constexpr std::uint32_t kDefaultUserRetryLimit = 8;
inline constexpr std::uint32_t kDefaultAdminRetryLimit = 6;
inline constexpr std::uint32_t kMaxRetryLimit = 15;
inline constexpr std::size_t kMaxLabelBytes = 32;
inline constexpr std::size_t kMaxSerialChars = tk::kSerialBufferSize - 1;
inline constexpr std::size_t kMinPinLength = 1;
inline constexpr std::size_t kMaxPinLength = 64;
inline constexpr std::size_t kMaxCertBytes = 16 * 1024;
inline constexpr std::size_t kMaxContainerName = 64;

std::string ToJson(const KeyState& key);
// Parses a key file. Values of the wrong type or out of range are errors,
// reported in `error`; `key` is only written on success.
bool FromJson(std::string_view text, KeyState& key, std::string* error);

// Key names are file names: 1 to 64 of A-Z a-z 0-9 _ - .
bool IsValidKeyName(std::string_view name);

std::uint32_t ContainerFlags(const Container& container);
const std::vector<std::uint8_t>* CertificateOf(const Container& container, std::uint32_t key_spec);
Container* FindContainer(KeyState& key, std::string_view name);
std::uint32_t FreeSize(const KeyState& key);

// Consumes one armed fault of `function`; gives its result, or nothing when
// no fault is armed. The caller saves the key when a counted fault was used.
std::optional<tk::Result> TakeFault(KeyState& key, std::string_view function);
// Adds, replaces or (result 0) clears the fault of a function.
void SetFault(KeyState& key, std::string_view function, tk::Result result, std::uint32_t times);

std::string ToHex(const std::vector<std::uint8_t>& bytes);
bool FromHex(std::string_view hex, std::vector<std::uint8_t>& bytes);

}  // namespace sim

namespace sim {

// One verification against a PIN with a retry counter. No tries left: locked,
// without looking at the PIN. Otherwise `matches()` decides: a right PIN
// restores the counter to its limit, a wrong one lowers it.
template <typename Matches>
tk::Result ApplyPinAttempt(PinState& pin, Matches matches) {
  if (pin.retries_left == 0) return tk::kPinLocked;
  if (matches()) {
    pin.retries_left = pin.retry_limit;
    return tk::kOk;
  }
  --pin.retries_left;
  return tk::kWrongPin;
}

}  // namespace sim
