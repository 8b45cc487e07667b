#include "tokenctl_args.h"

#include <algorithm>
#include <map>

#include "device_api_names.h"
#include "key_model.h"

namespace sim {

const char kTokenctlUsage[] =
    "usage: tokenctl [--dir DIR] COMMAND ...\n"
    "  create NAME [key options]          make a new key (factory state unless options say otherwise)\n"
    "  set NAME [key options]             change an existing key\n"
    "  import-cert NAME --container C --spec sig|exch --file F [--cert-type N]\n"
    "                                     put a DER or PEM certificate into a container\n"
    "  add-container NAME --container C [--cert-type N]   add an empty container\n"
    "  insert NAME | remove NAME | delete NAME | show NAME | list\n"
    "  fail NAME FUNCTION RESULT [--times N]\n"
    "                                     make TK_ FUNCTION of this key return RESULT for the\n"
    "                                     next N calls (default 1; 0 = every call; RESULT 0 clears)\n"
    "key options:\n"
    "  --label T --serial T --type N --user-pin P --so-pin P --user-retries N --so-retries N\n"
    "  --user-tries-left N --so-tries-left N --app-kind N --pin-change-tag N --app-name T\n"
    "  --total-size N\n"
    "DIR defaults to RVA_SIM_DIR, else the per-user simulator folder.\n";

namespace {

const char* const kKnownFunctions[] = {
#define TK_NAME(name, params) #name,
    TK_DEVICE_FUNCTIONS(TK_NAME)
#undef TK_NAME
};

bool IsPrintableAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
}

class Parser {
 public:
  Parser(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

  bool Fail(const std::string& message) {
    error_ = message;
    return false;
  }
  bool AtEnd() const { return pos_ >= args_.size(); }
  const std::string& Peek() const { return args_[pos_]; }
  bool Next(const char* what, std::string& out) {
    if (AtEnd()) return Fail(std::string("missing ") + what);
    out = args_[pos_++];
    return true;
  }
  bool Number(const std::string& option, std::uint32_t low, std::uint32_t high, std::uint32_t& out) {
    std::string text;
    if (!Next((option + " value").c_str(), text)) return false;
    if (!ParseNumber(text, out) || out < low || out > high)
      return Fail(option + " needs a number from " + std::to_string(low) + " to " +
                  std::to_string(high) + ", not \"" + text + "\"");
    return true;
  }
  template <typename T>
  bool Once(const std::string& option, std::optional<T>& slot) {
    if (slot) return Fail(option + " given twice");
    return true;
  }
  // One option of the key options group; `handled` is false for others.
  bool KeyOption(const std::string& option, KeyOptions& key, bool& handled) {
    handled = true;
    std::uint32_t n = 0;
    auto number = [&](std::optional<std::uint32_t>& slot, std::uint32_t low, std::uint32_t high) {
      if (!Once(option, slot) || !Number(option, low, high, n)) return false;
      slot = n;
      return true;
    };
    auto text = [&](std::optional<std::string>& slot) {
      std::string value;
      if (!Once(option, slot) || !Next((option + " value").c_str(), value)) return false;
      slot = value;
      return true;
    };
    auto pin = [&](std::optional<std::string>& slot) {
      if (!text(slot)) return false;
      if (slot->size() < kMinPinLength || slot->size() > kMaxPinLength || !IsPrintableAscii(*slot))
        return Fail(option + " needs 1 to 64 printable ASCII characters");
      return true;
    };
    if (option == "--label") return text(key.label);
    if (option == "--serial") {
      if (!text(key.serial)) return false;
      if (key.serial->size() > kMaxSerialChars || !IsPrintableAscii(*key.serial))
        return Fail("--serial needs at most 31 printable ASCII characters (the key's serial buffer is 32 bytes)");
      return true;
    }
    if (option == "--app-name") {
      if (!text(key.application)) return false;
      if (key.application->size() > 31 || !std::all_of(key.application->begin(), key.application->end(),
                                                        [](char c) { return c >= 0x21 && c <= 0x7E; }))
        return Fail("--app-name needs at most 31 printable ASCII characters");
      return true;
    }
    if (option == "--user-pin") return pin(key.user_pin);
    if (option == "--so-pin") return pin(key.admin_pin);
    if (option == "--type") return number(key.device_type, 0, 255);
    if (option == "--user-retries") return number(key.user_retries, 1, kMaxRetryLimit);
    if (option == "--so-retries") return number(key.admin_retries, 1, kMaxRetryLimit);
    if (option == "--user-tries-left") return number(key.user_tries_left, 0, kMaxRetryLimit);
    if (option == "--so-tries-left") return number(key.admin_tries_left, 0, kMaxRetryLimit);
    if (option == "--app-kind") return number(key.application_kind, 0, 0xFFFFFFFF);
    if (option == "--pin-change-tag") return number(key.pin_change_tag, 0, 0xFFFFFFFF);
    if (option == "--total-size") return number(key.total_size, 0, 0xFFFFFFFF);
    handled = false;
    return true;
  }

 private:
  const std::vector<std::string>& args_;
  std::string& error_;
  std::size_t pos_ = 0;
};

const std::map<std::string, Verb> kVerbs = {
    {"create", Verb::Create}, {"set", Verb::Set},       {"import-cert", Verb::ImportCert},
    {"add-container", Verb::AddContainer}, {"insert", Verb::Insert}, {"remove", Verb::Remove},
    {"delete", Verb::Delete}, {"list", Verb::List},     {"show", Verb::Show},
    {"fail", Verb::Fail},     {"help", Verb::Help},     {"--help", Verb::Help},
};

bool ContainerOption(Parser& p, Command& c) {
  if (!c.container.empty()) return p.Fail("--container given twice");
  if (!p.Next("--container value", c.container)) return false;
  if (c.container.empty() || c.container.size() > kMaxContainerName)
    return p.Fail("--container needs a name of 1 to 64 bytes");
  return true;
}

bool CertTypeOption(Parser& p, Command& c) {
  std::uint32_t n = 0;
  if (!p.Once("--cert-type", c.cert_type) || !p.Number("--cert-type", 0, 0xFFFFFFFF, n)) return false;
  c.cert_type = n;
  return true;
}

}  // namespace

bool ParseNumber(const std::string& text, std::uint32_t& value) {
  if (text.empty()) return false;
  std::uint64_t v = 0;
  std::size_t i = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  }
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    int digit = -1;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    else if (base == 16 && ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
    else if (base == 16 && ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
    if (digit < 0) return false;
    v = v * base + digit;
    if (v > 0xFFFFFFFFull) return false;
  }
  value = static_cast<std::uint32_t>(v);
  return true;
}

bool IsKnownDeviceFunction(const std::string& name) {
  return std::find(std::begin(kKnownFunctions), std::end(kKnownFunctions), name) !=
         std::end(kKnownFunctions);
}

bool ParseTokenctlArgs(const std::vector<std::string>& args, Command& command, std::string& error) {
  Parser p(args, error);
  Command c;
  while (!p.AtEnd() && p.Peek() == "--dir") {
    std::string flag;
    p.Next("--dir", flag);
    if (!c.dir.empty()) return p.Fail("--dir given twice");
    if (!p.Next("--dir value", c.dir) || c.dir.empty()) return p.Fail("--dir needs a folder");
  }
  std::string verb;
  if (!p.Next("command", verb)) return false;
  const auto found = kVerbs.find(verb);
  if (found == kVerbs.end()) return p.Fail("unknown command \"" + verb + "\"");
  c.verb = found->second;

  const bool needs_name = c.verb != Verb::List && c.verb != Verb::Help;
  if (needs_name) {
    if (!p.Next("key name", c.name)) return false;
    if (!IsValidKeyName(c.name))
      return p.Fail("key name \"" + c.name + "\" must be 1 to 64 of A-Z a-z 0-9 _ - .");
  }
  if (c.verb == Verb::Fail) {
    std::string result;
    if (!p.Next("function name", c.function) || !p.Next("result", result)) return false;
    if (!IsKnownDeviceFunction(c.function))
      return p.Fail("unknown device function \"" + c.function + "\"");
    if (!ParseNumber(result, c.result)) return p.Fail("result \"" + result + "\" is not a number");
  }

  std::optional<std::uint32_t> times;
  std::optional<std::string> spec;
  while (!p.AtEnd()) {
    std::string option;
    p.Next("option", option);
    bool handled = false;
    if (c.verb == Verb::Create || c.verb == Verb::Set) {
      if (!p.KeyOption(option, c.key, handled)) return false;
      if (handled) continue;
    }
    if ((c.verb == Verb::ImportCert || c.verb == Verb::AddContainer) && option == "--container") {
      if (!ContainerOption(p, c)) return false;
    } else if ((c.verb == Verb::ImportCert || c.verb == Verb::AddContainer) && option == "--cert-type") {
      if (!CertTypeOption(p, c)) return false;
    } else if (c.verb == Verb::ImportCert && option == "--spec") {
      std::string value;
      if (!p.Once("--spec", spec) || !p.Next("--spec value", value)) return false;
      if (value == "sig") c.key_spec = 2;
      else if (value == "exch") c.key_spec = 1;
      else return p.Fail("--spec must be sig or exch, not \"" + value + "\"");
      spec = value;
    } else if (c.verb == Verb::ImportCert && option == "--file") {
      if (!c.file.empty()) return p.Fail("--file given twice");
      if (!p.Next("--file value", c.file) || c.file.empty()) return p.Fail("--file needs a path");
    } else if (c.verb == Verb::Fail && option == "--times") {
      std::uint32_t n = 0;
      if (!p.Once("--times", times) || !p.Number("--times", 0, 1000000, n)) return false;
      times = n;
    } else {
      return p.Fail("unexpected argument \"" + option + "\" for " + verb);
    }
  }
  if (c.verb == Verb::ImportCert && (c.container.empty() || !spec || c.file.empty()))
    return p.Fail("import-cert needs --container, --spec and --file");
  if (c.verb == Verb::AddContainer && c.container.empty()) return p.Fail("add-container needs --container");
  if (times) c.times = *times;
  command = std::move(c);
  return true;
}

}  // namespace sim
