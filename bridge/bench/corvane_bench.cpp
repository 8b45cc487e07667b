// Round-trip time and throughput of Corvane.exe against a simulated key, next
// to the bridge's own transport answering by echo (the floor: listener,
// handshake, frames, one thread per connection, no control call).
//   corvane_bench [--requests N]   N: requests per connection (default 200)
// Sets up its own key folder and registers the control for the run.
#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bridge_process.h"
#include "sim_fixture.h"
#include "ws_client.h"

namespace {

using corvane::testing::BridgeProcess;
using corvane::testing::WsClient;

double NowMs() {
  static const double ticks_per_ms = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticks_per_ms;
}

struct Result {
  double median_ms = 0, p99_ms = 0, per_second = 0;
  int failures = 0;
};

double Percentile(std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const std::size_t at = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(at, sorted.size() - 1)];
}

// `connections` clients, each upgraded first, then all sending `requests`
// requests one after the other, starting together.
Result Measure(unsigned short port, const std::string& request, int connections, int requests) {
  std::vector<std::vector<double>> times(connections);
  std::atomic<int> ready{0}, failures{0};
  std::atomic<bool> go{false};
  double started = 0;
  std::vector<std::thread> threads;
  for (int c = 0; c < connections; ++c) {
    threads.emplace_back([&, c] {
      WsClient client;
      const bool open = client.Connect(port) && client.Handshake();
      ++ready;
      while (!go) std::this_thread::yield();
      if (!open) {
        failures += requests;
        return;
      }
      times[c].reserve(requests);
      for (int i = 0; i < requests; ++i) {
        const double sent = NowMs();
        const std::optional<std::string> reply = client.Call(request);
        if (!reply || reply->empty()) {
          ++failures;
          continue;
        }
        times[c].push_back(NowMs() - sent);
      }
    });
  }
  while (ready < connections) std::this_thread::yield();
  started = NowMs();
  go = true;
  for (std::thread& t : threads) t.join();
  const double elapsed_ms = NowMs() - started;

  std::vector<double> all;
  for (const auto& one : times) all.insert(all.end(), one.begin(), one.end());
  std::sort(all.begin(), all.end());
  Result result;
  result.median_ms = Percentile(all, 0.5);
  result.p99_ms = Percentile(all, 0.99);
  result.per_second = elapsed_ms > 0 ? static_cast<double>(all.size()) * 1000.0 / elapsed_ms : 0;
  result.failures = failures;
  return result;
}

bool Succeeded(const simtest::ProcessResult& run, const std::string& what) {
  if (run.exit_code == 0) return true;
  std::fprintf(stderr, "failed: %s\n%s\n", what.c_str(), run.output.c_str());
  return false;
}
bool Tokenctl(const std::string& arguments) { return Succeeded(simtest::Tokenctl(arguments), "tokenctl " + arguments); }

// The control registered for the run, as the bridge needs it.
struct ControlRegistration {
  const bool done = corvane::testing::RegisterControl(true);
  ~ControlRegistration() {
    if (done) corvane::testing::RegisterControl(false);
  }
};

}  // namespace

int main(int argc, char** argv) {
  int requests = 200;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--requests") == 0) requests = std::max(1, std::atoi(argv[i + 1]));

  const simtest::SimKeyFolder keys;
  const ControlRegistration registration;
  if (!registration.done) return 1;
  if (!Tokenctl("create bench --serial VB2026000001") ||
      !Tokenctl("import-cert bench --container VB-Sign-01 --spec sig --file " + simtest::CertFile("ku-sig")) ||
      !Tokenctl("insert bench"))
    return 1;

  const unsigned short echo_port = 20481, bridge_port = 20482;
  BridgeProcess echo, bridge;
  // Their traces go nowhere: the console would measure the terminal.
  if (!echo.Start(simtest::ExeDir() + "\\corvane_echo.exe", echo_port, "NUL") ||
      !bridge.Start(corvane::testing::CorvanePath(), bridge_port, "NUL")) {
    std::fprintf(stderr, "the servers did not start\n");
    return 1;
  }

  std::printf("requests per connection: %d\n\n", requests);
  std::printf("%-15s %-5s %-6s %10s %10s %10s  %s\n", "operation", "conns", "server", "median ms", "p99 ms",
              "req/s", "bridge/echo (median, req/s)");
  int failures = 0;
  for (const char* operation : {"GetUsbkeyState", "GetCertSn"}) {
    const std::string request = std::string("{\"FunName\":\"") + operation + "\"}";
    for (int connections : {1, 32}) {
      // A short warm-up per server first: thread start and first key access.
      Measure(echo_port, request, connections, 5);
      Measure(bridge_port, request, connections, 5);
      const Result floor = Measure(echo_port, request, connections, requests);
      const Result measured = Measure(bridge_port, request, connections, requests);
      failures += floor.failures + measured.failures;
      std::printf("%-15s %-5d %-6s %10.3f %10.3f %10.0f\n", operation, connections, "echo", floor.median_ms,
                  floor.p99_ms, floor.per_second);
      std::printf("%-15s %-5d %-6s %10.3f %10.3f %10.0f  %.1fx, %.2fx\n", operation, connections, "bridge",
                  measured.median_ms, measured.p99_ms, measured.per_second,
                  floor.median_ms > 0 ? measured.median_ms / floor.median_ms : 0,
                  floor.per_second > 0 ? measured.per_second / floor.per_second : 0);
    }
  }
  bridge.Stop();
  echo.Stop();
  if (failures > 0) std::printf("\n%d requests failed\n", failures);
  return failures > 0 ? 1 : 0;
}
