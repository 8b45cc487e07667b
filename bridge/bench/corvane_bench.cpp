// Round-trip time and throughput of Corvane.exe against a simulated key,
// split into what it is made of: the transport floor (the bridge's own
// listener, handshake, frames and one thread per connection, answering by
// echo), the device work (the same control calls made in-process on the
// control's interface), and what is left, the bridge's own share (JSON, the
// hand-over to the main thread, the reply). Rounds interleave the servers,
// so that the machine's noise falls on all of them alike; each figure is the
// median over the rounds.
//   corvane_bench [--requests N] [--rounds R]   N requests per connection and
//                                               round (default 200), R rounds
//                                               (default 5)
// Sets up its own key folder and registers the control for the run.
#include <winsock2.h>
#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Kestrine_h.h"
#include "bridge_process.h"
#include "bstr.h"
#include "sim_fixture.h"
#include "com_key_control.h"
#include "dispatcher.h"
#include "thread_caller.h"
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return Percentile(values, 0.5);
}

// Median time of `calls` calls of `call` made on this thread, after half a
// second of the same calls: under Wine a call costs up to three times as
// much after a few hundred milliseconds of work as after a pause, and the
// bridge's main thread is never rested while it is measured.
double MeasureInProcess(const std::function<bool()>& call, int calls, int& failures) {
  for (const double start = NowMs(); NowMs() - start < 500;) call();
  std::vector<double> times;
  times.reserve(calls);
  for (int i = 0; i < calls; ++i) {
    const double sent = NowMs();
    if (!call()) {
      ++failures;
      continue;
    }
    times.push_back(NowMs() - sent);
  }
  return Median(std::move(times));
}

// The control call behind a request, made on the control's interface.
std::function<bool()> ControlCall(IKestrine* control, const std::string& operation) {
  if (operation == "GetUsbkeyState") {
    return [control] {
      LONG state = 0;
      return control->GetUsbkeyState(&state) == S_OK;
    };
  }
  return [control] {
    fw::ScopedBstr serial;
    return control->GetCertSn(serial.put()) == S_OK;
  };
}

void Settle() { Sleep(300); }

// Median time of handing empty work to a thread that pumps messages, as each
// connection thread of the bridge hands its request to the main thread.
double MeasureHandOver(int calls) {
  std::atomic<const fw::ThreadCaller*> caller{nullptr};
  std::atomic<DWORD> owner_id{0};
  std::thread owner([&] {
    const fw::ThreadCaller own;
    owner_id = GetCurrentThreadId();
    caller = &own;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  });
  while (caller == nullptr) std::this_thread::yield();
  std::vector<double> times;
  for (int i = 0; i < calls; ++i) {
    const double sent = NowMs();
    if (caller.load()->Call([] {})) times.push_back(NowMs() - sent);
  }
  PostThreadMessageW(owner_id, WM_QUIT, 0, 0);
  owner.join();
  return Median(std::move(times));
}

// Median extra time of handling a whole request in-process (JSON parsing,
// the control call through the bridge's adapter, the reply's printing) over
// the bare control call, taken in pairs so that both see the same moment.
double MeasureRequestHandling(IKestrine* control, const std::string& operation, int calls) {
  corvane::ComKeyControl adapter(control);
  const std::function<bool()> bare = ControlCall(control, operation);
  const std::string request = "{\"FunName\":\"" + operation + "\"}";
  const corvane::Caller caller{true, ""};
  std::vector<double> extra;
  const std::function<bool()> whole = [&] { return !corvane::DispatchRequest(request, adapter, caller).empty(); };
  const auto time_ms = [](const std::function<bool()>& work) {
    const double started = NowMs();
    work();
    return NowMs() - started;
  };
  for (int i = 0; i < calls; ++i) {
    const bool whole_first = i % 2 != 0;
    const double first = time_ms(whole_first ? whole : bare), second = time_ms(whole_first ? bare : whole);
    extra.push_back(whole_first ? first - second : second - first);
  }
  return Median(std::move(extra));
}

// What one request costs: with one connection the median round trip; with
// several, the time per request at full load, as the bridge serves one
// request at a time.
double PerRequestMs(const Result& result, int connections) {
  if (connections == 1) return result.median_ms;
  return result.per_second > 0 ? 1000.0 / result.per_second : 0;
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

struct ComApartment {
  const bool initialised = SUCCEEDED(CoInitialize(nullptr));
  ~ComApartment() {
    if (initialised) CoUninitialize();
  }
};

struct Row {
  std::string operation;
  int connections;
  std::vector<double> floor_ms, control_ms, bridge_ms, echo_per_second, bridge_per_second;
};

}  // namespace

int main(int argc, char** argv) {
  int requests = 200, rounds = 5;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--requests") == 0) requests = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
  }

  const simtest::SimKeyFolder keys;
  const ControlRegistration registration;
  if (!registration.done) return 1;
  if (!Tokenctl("create bench --serial VB2026000001") ||
      !Tokenctl("import-cert bench --container VB-Sign-01 --spec sig --file " + simtest::CertFile("ku-sig")) ||
      !Tokenctl("insert bench"))
    return 1;

  const ComApartment apartment;
  Microsoft::WRL::ComPtr<IKestrine> control;
  if (FAILED(CoCreateInstance(CLSID_Kestrine, nullptr, CLSCTX_INPROC_SERVER, IID_IKestrine,
                              reinterpret_cast<void**>(control.GetAddressOf())))) {
    std::fprintf(stderr, "the control could not be created in-process\n");
    return 1;
  }

  const unsigned short echo_port = 20481, bridge_port = 20482;
  BridgeProcess echo, bridge;
  // Their traces go to files, as in the demo: a console would measure the
  // terminal, and under Wine every write to the NUL device costs more than a
  // millisecond.
  const simtest::TempFolder traces("corvane-bench");
  if (!echo.Start(simtest::ExeDir() + "\\corvane_echo.exe", echo_port, traces.File("echo.out")) ||
      !bridge.Start(corvane::testing::CorvanePath(), bridge_port, traces.File("corvane.out"))) {
    std::fprintf(stderr, "the servers did not start\n");
    return 1;
  }

  std::vector<Row> rows;
  for (const char* operation : {"GetUsbkeyState", "GetCertSn"})
    for (int connections : {1, 32}) rows.push_back({operation, connections, {}, {}, {}, {}, {}});
  int failures = 0;
  // A warm-up first: thread start, first key access, the control's first calls.
  for (const Row& row : rows) {
    const std::string request = "{\"FunName\":\"" + row.operation + "\"}";
    Measure(echo_port, request, row.connections, 5);
    Measure(bridge_port, request, row.connections, 5);
    MeasureInProcess(ControlCall(control.Get(), row.operation), 20, failures);
  }
  for (int round = 0; round < rounds; ++round) {
    for (Row& row : rows) {
      const std::string request = "{\"FunName\":\"" + row.operation + "\"}";
      const double device = MeasureInProcess(ControlCall(control.Get(), row.operation), requests, failures);
      // The servers each after a pause: the Wine server is still closing the
      // sockets and threads of the measurement before.
      Settle();
      const Result floor = Measure(echo_port, request, row.connections, requests);
      Settle();
      const Result measured = Measure(bridge_port, request, row.connections, requests);
      failures += floor.failures + measured.failures;
      row.floor_ms.push_back(PerRequestMs(floor, row.connections));
      row.control_ms.push_back(device);
      row.bridge_ms.push_back(PerRequestMs(measured, row.connections));
      row.echo_per_second.push_back(floor.per_second);
      row.bridge_per_second.push_back(measured.per_second);
    }
  }
  bridge.Stop();
  echo.Stop();

  std::printf("%d rounds of %d requests per connection; medians over the rounds.\n", rounds, requests);
  std::printf("ms per request: with 1 connection the median round trip, with 32 the time per request\n");
  std::printf("at full load (1000 / req/s). bridge = floor (echo) + control (in-process calls) + own.\n\n");
  std::printf("%-15s %5s %9s %10s %8s %10s %11s %12s\n", "operation", "conns", "floor ms", "control ms", "own ms",
              "bridge ms", "echo req/s", "bridge req/s");
  for (const Row& row : rows) {
    const double floor = Median(row.floor_ms), device = Median(row.control_ms), total = Median(row.bridge_ms);
    std::printf("%-15s %5d %9.3f %10.3f %8.3f %10.3f %11.0f %12.0f\n", row.operation.c_str(), row.connections, floor,
                device, total - floor - device, total, Median(row.echo_per_second), Median(row.bridge_per_second));
  }
  // The bridge's own work measured in-process, for comparison with the
  // own share left over above.
  Settle();
  std::printf("\nthe bridge's own work, measured in-process:\n");
  std::printf("  hand-over of a request to the main thread and back (empty work): %.3f ms\n",
              MeasureHandOver(requests * rounds));
  for (const char* operation : {"GetUsbkeyState", "GetCertSn"})
    std::printf("  %-15s request handling beyond the control call (JSON, text conversion): %.3f ms\n", operation,
                MeasureRequestHandling(control.Get(), operation, requests));
  if (failures > 0) std::printf("\n%d requests failed\n", failures);
  return failures > 0 ? 1 : 0;
}
