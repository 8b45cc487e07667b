// Command line of tokenctl, parsed and checked completely before anything is
// touched, so that bad arguments never leave a half-written key.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct KeyOptions {
  std::optional<std::string> label, serial, user_pin, admin_pin, application;
  std::optional<std::uint32_t> device_type, user_retries, admin_retries, user_tries_left,
      admin_tries_left, application_kind, pin_change_tag, total_size;
};

enum class Verb { Create, Set, ImportCert, AddContainer, Insert, Remove, Delete, List, Show, Fail, Help };

struct Command {
  Verb verb = Verb::Help;
  std::string dir;   // --dir, empty: from the environment
  std::string name;  // the key
  KeyOptions key;
  std::string container;
  std::uint32_t key_spec = 0;  // import-cert: 2 signature, 1 exchange
  std::string file;
  std::optional<std::uint32_t> cert_type;
  std::string function;  // fail
  std::uint32_t result = 0;
  std::uint32_t times = 1;  // 0: every call
};

// Arguments as UTF-8, without the program name. False with a message in
// `error` for anything unknown, missing, repeated or out of range.
bool ParseTokenctlArgs(const std::vector<std::string>& args, Command& command, std::string& error);

// Decimal or 0x-prefixed hexadecimal, the whole text, within 32 bits.
bool ParseNumber(const std::string& text, std::uint32_t& value);

bool IsKnownDeviceFunction(const std::string& name);

extern const char kTokenctlUsage[];

}  // namespace sim
