// WebSocket clients that keep the bridge busy during a soak run: each holds
// a connection and sends the next request of a fixed mix as soon as the
// last reply is in, and judges every reply against the keys that were
// plugged in while the request was on its way.
#pragma once
#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "key_timeline.h"
#include "ws_client.h"

namespace brevant::bench {

// What the bridge must name for each soak key (index = the key's bit).
struct SoakKey {
  std::string name, serial, cert_serial;
};
using SoakKeys = std::array<SoakKey, 2>;

// An empty reply to a key-reading operation is right when no key was
// present at some moment, and when a key was pulled out during the request:
// the control lists the readers and then opens the first, which may be gone
// by then, as a real key may be.
enum class Verdict { kOk, kEmptyNoKey, kEmptyKeyPulled, kFailed };

// One reply (nothing: none arrived) to request `request` of the mix, with
// the keys seen while it ran; `why` says what was wrong.
Verdict JudgeReply(std::size_t request, const std::optional<std::string>& reply, const KeyTimeline::Span& keys,
                   const SoakKeys& soak_keys, std::string& why);
std::size_t RequestCount();
const char* RequestText(std::size_t request);
// The text member `member` of the reply to {"FunName": fun_name} on an open
// connection; nothing when the reply is empty or not of that shape.
std::optional<std::string> AskText(corvane::testing::WsClient& connection, const char* fun_name, const char* member);

struct SoakTotals {
  long requests = 0, ok = 0, empty_no_key = 0, empty_key_pulled = 0, failed = 0;
  std::vector<std::string> first_failures;  // at most kKeptFailures
  static constexpr std::size_t kKeptFailures = 8;
};

class SoakClients {
 public:
  SoakClients(unsigned short port, const KeyTimeline& timeline, const SoakKeys& keys)
      : port_(port), timeline_(timeline), keys_(keys) {}
  SoakClients(const SoakClients&) = delete;
  SoakClients& operator=(const SoakClients&) = delete;
  ~SoakClients() { Stop(); }

  void Start(int clients);
  // Lets every client finish its request and end.
  void Stop();
  SoakTotals Totals() const;

 private:
  void Run(int client);
  void Count(Verdict verdict, const std::string& why);

  unsigned short port_;
  const KeyTimeline& timeline_;
  const SoakKeys& keys_;
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
  mutable std::mutex mutex_;
  SoakTotals totals_;
};

}  // namespace brevant::bench
