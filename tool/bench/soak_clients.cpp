#include "soak_clients.h"

#include <iterator>
#include <memory>

#include "cJSON.h"

namespace brevant::bench {
namespace {

// A reply that takes longer than this counts as lost: with a few clients a
// request waits for the others' (a few milliseconds each) and for the key's
// mutex while tokenctl or the tool holds it.
constexpr unsigned kReplyTimeoutMs = 10000;

enum class Value { kState, kCount, kSerial, kCertSerial };
struct Request {
  const char* fun_name;
  const char* member;
  Value value;
};
constexpr Request kRequests[] = {
    {"GetUsbkeyState", "UsbkeyState", Value::kState},
    {"GetDeviceCount", "Count", Value::kCount},
    {"GetUsbkeySN", "UsbkeySN", Value::kSerial},
    {"GetCertSn", "CertSn", Value::kCertSerial},
};

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

std::string RequestFor(const char* fun_name) { return std::string(R"({"FunName":")") + fun_name + "\"}"; }

int StateFor(int keys) { return keys == 0 ? 2 : keys == 1 ? 3 : 4; }

bool KeyHas(const SoakKeys& keys, unsigned seen, Value value, const char* text) {
  for (std::size_t bit = 0; bit < keys.size(); ++bit) {
    if ((seen & (1u << bit)) == 0) continue;
    const std::string& expected = value == Value::kSerial ? keys[bit].serial : keys[bit].cert_serial;
    if (expected == text) return true;
  }
  return false;
}

std::string Seen(const KeyTimeline::Span& keys) {
  return " (keys present: " + std::to_string(keys.fewest) + " to " + std::to_string(keys.most) + ")";
}

}  // namespace

std::size_t RequestCount() { return std::size(kRequests); }
const char* RequestText(std::size_t request) { return kRequests[request].fun_name; }

Verdict JudgeReply(std::size_t index, const std::optional<std::string>& reply, const KeyTimeline::Span& keys,
                   const SoakKeys& soak_keys, std::string& why) {
  const Request& request = kRequests[index];
  why = std::string(request.fun_name) + ": ";
  if (!reply) {
    why += "no reply (time-out, closed connection or a broken frame)" + Seen(keys);
    return Verdict::kFailed;
  }
  if (reply->empty()) {
    // Only the key-reading operations may find no key; the two counting
    // ones answer even then.
    const bool reads_a_key = request.value == Value::kSerial || request.value == Value::kCertSerial;
    if (reads_a_key && keys.fewest == 0) return Verdict::kEmptyNoKey;
    if (reads_a_key && keys.keys_left != 0) return Verdict::kEmptyKeyPulled;
    why += "empty reply" + Seen(keys);
    return Verdict::kFailed;
  }
  why += "\"" + reply->substr(0, 120) + "\"" + Seen(keys);
  const Json parsed(cJSON_ParseWithLength(reply->data(), reply->size()), cJSON_Delete);
  if (!parsed || !cJSON_IsObject(parsed.get()) || cJSON_GetArraySize(parsed.get()) != 2) return Verdict::kFailed;
  const cJSON* fun_name = cJSON_GetObjectItemCaseSensitive(parsed.get(), "FunName");
  const cJSON* value = cJSON_GetObjectItemCaseSensitive(parsed.get(), request.member);
  if (!cJSON_IsString(fun_name) || std::string(fun_name->valuestring) != request.fun_name || value == nullptr)
    return Verdict::kFailed;
  switch (request.value) {
    case Value::kState:
    case Value::kCount: {
      if (!cJSON_IsNumber(value)) return Verdict::kFailed;
      const int number = value->valueint;
      for (int present = keys.fewest; present <= keys.most; ++present)
        if (number == (request.value == Value::kState ? StateFor(present) : present)) return Verdict::kOk;
      return Verdict::kFailed;
    }
    case Value::kSerial:
    case Value::kCertSerial:
      return cJSON_IsString(value) && KeyHas(soak_keys, keys.keys_seen, request.value, value->valuestring)
                 ? Verdict::kOk
                 : Verdict::kFailed;
  }
  return Verdict::kFailed;
}

std::optional<std::string> AskText(corvane::testing::WsClient& connection, const char* fun_name, const char* member) {
  const std::optional<std::string> reply =
      connection.Call(RequestFor(fun_name), kReplyTimeoutMs);
  if (!reply || reply->empty()) return std::nullopt;
  const Json parsed(cJSON_ParseWithLength(reply->data(), reply->size()), cJSON_Delete);
  const cJSON* value = cJSON_GetObjectItemCaseSensitive(parsed.get(), member);
  if (!cJSON_IsString(value)) return std::nullopt;
  return std::string(value->valuestring);
}

void SoakClients::Start(int clients) {
  stop_ = false;
  for (int client = 0; client < clients; ++client) threads_.emplace_back([this, client] { Run(client); });
}

void SoakClients::Stop() {
  stop_ = true;
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

SoakTotals SoakClients::Totals() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return totals_;
}

void SoakClients::Count(Verdict verdict, const std::string& why) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ++totals_.requests;
  switch (verdict) {
    case Verdict::kOk: ++totals_.ok; break;
    case Verdict::kEmptyNoKey: ++totals_.empty_no_key; break;
    case Verdict::kEmptyKeyPulled: ++totals_.empty_key_pulled; break;
    case Verdict::kFailed:
      ++totals_.failed;
      if (totals_.first_failures.size() < SoakTotals::kKeptFailures) totals_.first_failures.push_back(why);
      break;
  }
}

void SoakClients::Run(int client) {
  // Each client starts elsewhere in the mix, so that all four operations
  // meet each other.
  std::size_t next = static_cast<std::size_t>(client) % RequestCount();
  while (!stop_) {
    corvane::testing::WsClient connection;
    if (!connection.Connect(port_) || !connection.Handshake()) {
      Count(Verdict::kFailed, "connection to the bridge refused or handshake failed");
      Sleep(100);
      continue;
    }
    while (!stop_) {
      const std::string request = RequestFor(RequestText(next));
      const std::uint64_t before = timeline_.Epoch();
      const std::optional<std::string> reply = connection.Call(request, kReplyTimeoutMs);
      const KeyTimeline::Span keys = timeline_.Between(before, timeline_.Epoch());
      std::string why;
      const Verdict verdict = JudgeReply(next, reply, keys, keys_, why);
      Count(verdict, why);
      next = (next + 1) % RequestCount();
      if (!reply) break;  // a late reply would answer the next request: start a new connection
    }
  }
}

}  // namespace brevant::bench
