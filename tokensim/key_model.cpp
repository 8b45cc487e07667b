#include "key_model.h"

#include <algorithm>
#include <memory>

#include "cJSON.h"

namespace sim {
namespace {

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

void AddPin(cJSON* parent, const char* name, const PinState& pin) {
  cJSON* object = cJSON_AddObjectToObject(parent, name);
  cJSON_AddStringToObject(object, "salt", pin.salt_hex.c_str());
  cJSON_AddStringToObject(object, "hash", pin.hash_hex.c_str());
  cJSON_AddNumberToObject(object, "retryLimit", pin.retry_limit);
  cJSON_AddNumberToObject(object, "retriesLeft", pin.retries_left);
}

// Strict readers: each gives false (and an error text) on a missing member,
// a wrong type or a value out of range.
class Reader {
 public:
  explicit Reader(std::string* error) : error_(error) {}

  bool String(const cJSON* object, const char* name, std::string& out) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    if (!cJSON_IsString(item) || item->valuestring == nullptr) return Fail(name, "a string");
    out = item->valuestring;
    return true;
  }
  bool Unsigned(const cJSON* object, const char* name, std::uint32_t& out,
                double max = 4294967295.0) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    if (!cJSON_IsNumber(item) || item->valuedouble < 0 || item->valuedouble > max ||
        item->valuedouble != static_cast<double>(static_cast<std::uint64_t>(item->valuedouble)))
      return Fail(name, "a whole number in range");
    out = static_cast<std::uint32_t>(item->valuedouble);
    return true;
  }
  bool Bool(const cJSON* object, const char* name, bool& out) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    if (!cJSON_IsBool(item)) return Fail(name, "true or false");
    out = cJSON_IsTrue(item);
    return true;
  }
  bool Hex(const cJSON* object, const char* name, std::vector<std::uint8_t>& out) {
    std::string text;
    if (!String(object, name, text)) return false;
    if (!FromHex(text, out)) return Fail(name, "hexadecimal bytes");
    return true;
  }
  bool Pin(const cJSON* object, const char* name, PinState& pin) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    if (!cJSON_IsObject(item)) return Fail(name, "an object");
    return String(item, "salt", pin.salt_hex) && String(item, "hash", pin.hash_hex) &&
           Unsigned(item, "retryLimit", pin.retry_limit, kMaxRetryLimit) &&
           Unsigned(item, "retriesLeft", pin.retries_left, pin.retry_limit);
  }
  bool Fail(const char* name, const char* expected) {
    if (error_) *error_ = std::string("\"") + name + "\" must be " + expected;
    return false;
  }

 private:
  std::string* error_;
};

}  // namespace

std::string ToJson(const KeyState& key) {
  JsonPtr root(cJSON_CreateObject(), cJSON_Delete);
  cJSON* r = root.get();
  cJSON_AddStringToObject(r, "name", key.name.c_str());
  cJSON_AddStringToObject(r, "label", key.label.c_str());
  cJSON_AddStringToObject(r, "serial", key.serial.c_str());
  cJSON_AddNumberToObject(r, "deviceType", key.device_type);
  cJSON_AddBoolToObject(r, "inserted", key.inserted);
  cJSON_AddNumberToObject(r, "slot", key.slot);
  cJSON_AddNumberToObject(r, "insertion", key.insertion);
  AddPin(r, "userPin", key.user_pin);
  AddPin(r, "adminPin", key.admin_pin);
  cJSON_AddStringToObject(r, "application", key.application.c_str());
  cJSON_AddNumberToObject(r, "applicationKind", key.application_kind);
  cJSON_AddNumberToObject(r, "pinChangeTag", key.pin_change_tag);
  cJSON_AddNumberToObject(r, "totalSize", key.total_size);
  cJSON* containers = cJSON_AddArrayToObject(r, "containers");
  for (const Container& c : key.containers) {
    cJSON* item = cJSON_CreateObject();
    cJSON_AddStringToObject(item, "name", c.name.c_str());
    cJSON_AddNumberToObject(item, "certType", c.cert_type);
    cJSON_AddStringToObject(item, "signatureCert", ToHex(c.signature_cert).c_str());
    cJSON_AddStringToObject(item, "exchangeCert", ToHex(c.exchange_cert).c_str());
    cJSON_AddItemToArray(containers, item);
  }
  cJSON* faults = cJSON_AddArrayToObject(r, "faults");
  for (const Fault& f : key.faults) {
    cJSON* item = cJSON_CreateObject();
    cJSON_AddStringToObject(item, "function", f.function.c_str());
    cJSON_AddNumberToObject(item, "result", f.result);
    cJSON_AddNumberToObject(item, "times", f.times);
    cJSON_AddItemToArray(faults, item);
  }
  char* printed = cJSON_Print(r);
  if (printed == nullptr) return {};
  std::string text(printed);
  cJSON_free(printed);
  return text + "\n";
}

bool FromJson(std::string_view text, KeyState& key, std::string* error) {
  JsonPtr root(cJSON_ParseWithLength(text.data(), text.size()), cJSON_Delete);
  if (!root || !cJSON_IsObject(root.get())) {
    if (error) *error = "not a JSON object";
    return false;
  }
  const cJSON* r = root.get();
  Reader read(error);
  KeyState parsed;
  std::uint32_t slot_plus_one = 0;
  const cJSON* slot = cJSON_GetObjectItemCaseSensitive(r, "slot");
  if (!cJSON_IsNumber(slot) || slot->valuedouble < -1 || slot->valuedouble > 63 ||
      slot->valuedouble != static_cast<double>(static_cast<int>(slot->valuedouble)))
    return read.Fail("slot", "a reader number from -1 to 63");
  slot_plus_one = static_cast<std::uint32_t>(slot->valueint + 1);
  if (!read.String(r, "name", parsed.name) || !read.String(r, "label", parsed.label) ||
      !read.String(r, "serial", parsed.serial) ||
      !read.Unsigned(r, "deviceType", parsed.device_type) ||
      !read.Bool(r, "inserted", parsed.inserted) ||
      !read.Unsigned(r, "insertion", parsed.insertion) ||
      !read.Pin(r, "userPin", parsed.user_pin) || !read.Pin(r, "adminPin", parsed.admin_pin) ||
      !read.String(r, "application", parsed.application) ||
      !read.Unsigned(r, "applicationKind", parsed.application_kind) ||
      !read.Unsigned(r, "pinChangeTag", parsed.pin_change_tag) ||
      !read.Unsigned(r, "totalSize", parsed.total_size))
    return false;
  parsed.slot = static_cast<int>(slot_plus_one) - 1;
  if (parsed.inserted != (parsed.slot >= 0)) return read.Fail("slot", "set exactly while inserted");
  if (parsed.serial.size() > kMaxSerialChars) return read.Fail("serial", "at most 31 characters");

  const cJSON* containers = cJSON_GetObjectItemCaseSensitive(r, "containers");
  if (!cJSON_IsArray(containers)) return read.Fail("containers", "an array");
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, containers) {
    Container c;
    if (!read.String(item, "name", c.name) || !read.Unsigned(item, "certType", c.cert_type) ||
        !read.Hex(item, "signatureCert", c.signature_cert) ||
        !read.Hex(item, "exchangeCert", c.exchange_cert))
      return false;
    if (c.name.empty() || c.name.size() > kMaxContainerName)
      return read.Fail("name", "a container name of 1 to 64 bytes");
    parsed.containers.push_back(std::move(c));
  }
  const cJSON* faults = cJSON_GetObjectItemCaseSensitive(r, "faults");
  if (!cJSON_IsArray(faults)) return read.Fail("faults", "an array");
  cJSON_ArrayForEach(item, faults) {
    Fault f;
    if (!read.String(item, "function", f.function) || !read.Unsigned(item, "result", f.result) ||
        !read.Unsigned(item, "times", f.times))
      return false;
    parsed.faults.push_back(std::move(f));
  }
  key = std::move(parsed);
  return true;
}

bool IsValidKeyName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name == "." || name == "..") return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-' || c == '.';
  });
}

std::uint32_t ContainerFlags(const Container& container) {
  std::uint32_t flags = 0;
  if (!container.signature_cert.empty()) flags |= tk::kContainerHasSignatureCert;
  if (!container.exchange_cert.empty()) flags |= tk::kContainerHasExchangeCert;
  return flags;
}

const std::vector<std::uint8_t>* CertificateOf(const Container& container, std::uint32_t key_spec) {
  const std::vector<std::uint8_t>* cert = nullptr;
  if (key_spec == tk::kKeySpecSignature) cert = &container.signature_cert;
  if (key_spec == tk::kKeySpecExchange) cert = &container.exchange_cert;
  return (cert && !cert->empty()) ? cert : nullptr;
}

Container* FindContainer(KeyState& key, std::string_view name) {
  for (Container& c : key.containers)
    if (c.name == name) return &c;
  return nullptr;
}

std::uint32_t FreeSize(const KeyState& key) {
  // Each container takes a fixed record besides its certificates.
  std::uint64_t used = 0;
  for (const Container& c : key.containers)
    used += 256 + c.signature_cert.size() + c.exchange_cert.size();
  return used >= key.total_size ? 0 : static_cast<std::uint32_t>(key.total_size - used);
}

std::optional<tk::Result> TakeFault(KeyState& key, std::string_view function) {
  for (auto it = key.faults.begin(); it != key.faults.end(); ++it) {
    if (it->function != function) continue;
    const tk::Result result = it->result;
    if (it->times == 1) key.faults.erase(it);
    else if (it->times > 1) --it->times;
    return result;
  }
  return std::nullopt;
}

void SetFault(KeyState& key, std::string_view function, tk::Result result, std::uint32_t times) {
  key.faults.erase(std::remove_if(key.faults.begin(), key.faults.end(),
                                  [&](const Fault& f) { return f.function == function; }),
                   key.faults.end());
  if (result != tk::kOk) key.faults.push_back(Fault{std::string(function), result, times});
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 15]);
  }
  return text;
}

bool FromHex(std::string_view hex, std::vector<std::uint8_t>& bytes) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  if (hex.size() % 2 != 0) return false;
  std::vector<std::uint8_t> out(hex.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int high = value(hex[2 * i]), low = value(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  bytes = std::move(out);
  return true;
}

}  // namespace sim
