// Soak run of the tray tool and the bridge together: two keys plugged in and
// pulled out for many cycles (A in, B in, A out, B out) while WebSocket
// clients keep the bridge busy without pause. Every reply is judged against
// the keys present while its request ran; afterwards both programs must
// still answer, the store and the tray must be clean, and the programs'
// handles and private memory must not have grown between the first and the
// last cycles.
//   brevant_soak [--cycles N] [--clients C]   defaults 300 and 4
// Sets up its own key folder, browser stand-ins and control registration.
#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bridge_process.h"
#include "browser_standins.h"
#include "cert_store.h"
#include "key_timeline.h"
#include "process_probe.h"
#include "sim_fixture.h"
#include "soak_clients.h"
#include "tool_driver.h"

namespace {

using brevant::bench::KeyTimeline;
using brevant::testing::ProcessProbe;
using brevant::testing::ProcessUsage;
using brevant::testing::ProviderEntries;
using brevant::testing::TreeNodes;

constexpr unsigned short kBridgePort = 20491;  // away from the tests' and the benchmark's ports
constexpr int kCertsPerKey = 3;
const char* const kCertFiles[2][kCertsPerKey] = {{"ku-sig", "ku-sig-nr-ke", "expires-31d"},
                                                 {"serial-01a20f", "ku-nr", "ski"}};
// Growth allowed between the first and the last hundred cycles: a few
// handles for caches Wine fills late (fonts, the store's registry keys),
// and heap that fragmentation keeps; a leak of one handle or one tree's
// worth of memory per cycle passes these within a hundred cycles.
constexpr long kHandleGrowthBound = 32;
constexpr long long kPrivateGrowthBound = 4 << 20;
constexpr DWORD kToolWaitMs = 20000;
constexpr int kProgressEvery = 25;  // cycles between progress lines

struct Options {
  int cycles = 300, clients = 4;
};

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const int value = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--cycles") == 0 && value > 0) options.cycles = value;
    else if (std::strcmp(argv[i], "--clients") == 0 && value > 0 && value <= 64) options.clients = value;
    else return false;
  }
  return argc % 2 == 1;
}

// Plugs the soak keys in and out with tokenctl, records each change on the
// timeline, and waits until the tool shows it (store and tree).
class KeyPlugger {
 public:
  KeyPlugger(KeyTimeline& timeline, const brevant::bench::SoakKeys& keys, HWND window, std::string provider)
      : timeline_(timeline), keys_(keys), window_(window), provider_(std::move(provider)) {}

  bool Plug(int key, bool in) {
    const unsigned bit = 1u << key;
    const unsigned next = in ? present_ | bit : present_ & ~bit;
    // The popup of the last change is left to the tool to replace: keys
    // come and go faster than a popup lives, and that path is soaked too.
    const ULONGLONG start = GetTickCount64();
    if (!timeline_.BeginChange(next)) return false;
    const bool changed = simtest::Tokenctl((in ? "insert " : "remove ") + keys_[key].name).exit_code == 0;
    timeline_.EndChange();
    if (!changed) {
      // The folder is taken to be as it was, so that replies are still judged.
      if (timeline_.BeginChange(present_)) timeline_.EndChange();
      return false;
    }
    const ULONGLONG plugged = GetTickCount64();
    present_ = next;
    const int keys = std::popcount(present_);
    const bool shown = brevant::testing::WaitUntil(
        [&] {
          return ProviderEntries(provider_) == keys * kCertsPerKey &&
                 TreeNodes(window_) == std::max(1, keys * (1 + kCertsPerKey));
        },
        kToolWaitMs);
    tokenctl_ms.push_back(static_cast<double>(plugged - start));
    (in ? arrival_ms : removal_ms).push_back(static_cast<double>(GetTickCount64() - plugged));
    return shown;
  }

  // Per change: the tokenctl run, and from its end until the tool showed it
  // (a removal: until the store is clean of the key and the remaining keys
  // are registered again).
  std::vector<double> tokenctl_ms, arrival_ms, removal_ms;

 private:
  KeyTimeline& timeline_;
  const brevant::bench::SoakKeys& keys_;
  HWND window_;
  std::string provider_;
  unsigned present_ = 0;
};

template <typename T>
T Median(std::vector<T> values) {
  if (values.empty()) return T{};
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Growth {
  long handles_first = 0, handles_last = 0;
  long long private_first = 0, private_last = 0;
  bool within() const {
    return handles_last - handles_first <= kHandleGrowthBound && private_last - private_first <= kPrivateGrowthBound;
  }
};

Growth GrowthOf(const std::vector<ProcessUsage>& samples, std::size_t window) {
  Growth growth;
  if (samples.size() < window || window == 0) return growth;
  const auto median = [&](std::size_t from, auto field) {
    std::vector<long long> values;
    for (std::size_t i = from; i < from + window; ++i) values.push_back(static_cast<long long>(field(samples[i])));
    return Median(values);
  };
  const auto handles = [](const ProcessUsage& u) { return u.handles; };
  const auto bytes = [](const ProcessUsage& u) { return u.private_bytes; };
  growth.handles_first = static_cast<long>(median(0, handles));
  growth.handles_last = static_cast<long>(median(samples.size() - window, handles));
  growth.private_first = median(0, bytes);
  growth.private_last = median(samples.size() - window, bytes);
  return growth;
}

// The control registered machine-wide (as the bridge needs it under Wine)
// for the run.
class ControlRegistration {
 public:
  ControlRegistration() : registered_(corvane::testing::RegisterControl(true)) {}
  ControlRegistration(const ControlRegistration&) = delete;
  ControlRegistration& operator=(const ControlRegistration&) = delete;
  ~ControlRegistration() {
    if (registered_) corvane::testing::RegisterControl(false);
  }
  bool registered() const { return registered_; }

 private:
  bool registered_;
};

// Brevant.exe for the run, closed as the dialog manager closes it (or ended).
class ToolProcess {
 public:
  ToolProcess() : process_(simtest::StartProcess("\"" + simtest::BinDir() + "\\Brevant.exe\"")) {}
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;
  ~ToolProcess() {
    if (!process_) return;
    if (const HWND window = brevant::testing::FindMainWindow(id())) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
  }
  DWORD id() const { return process_ ? GetProcessId(process_.get()) : 0; }
  bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

 private:
  fw::ScopedHandle process_;
};

int Check(bool ok, const char* what) {
  std::printf("  %-66s %s\n", what, ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::printf("usage: brevant_soak [--cycles N] [--clients C]\n");
    return 2;
  }
  const ULONGLONG started = GetTickCount64();
  const simtest::SimKeyFolder folder;
  const brevant::testing::BrowserStandins browsers;  // every arrival opens the bank's site
  const std::string provider = brevant::testing::ShippedSetting("CSPINFO", "CSP_NAME");
  const std::string sm2_store = brevant::testing::ShippedSetting("CSPINFO", "SM2_STORE_NAME");
  brevant::RemoveProviderCerts(provider.c_str(), sm2_store.c_str());
  const ControlRegistration control;
  if (!control.registered()) {
    std::printf("soak: the control could not be registered\n");
    return 1;
  }
  brevant::bench::SoakKeys keys = {{{"soak-a", "SOAKA0000001", ""}, {"soak-b", "SOAKB0000002", ""}}};
  for (int key = 0; key < 2; ++key) {
    simtest::Tokenctl("create " + keys[key].name + " --pin-change-tag 1 --serial " + keys[key].serial);
    for (int cert = 0; cert < kCertsPerKey; ++cert)
      simtest::Tokenctl("import-cert " + keys[key].name + " --container c" + std::to_string(cert) +
                        " --spec sig --file \"" + simtest::CertFile(kCertFiles[key][cert]) + "\"");
  }

  const simtest::TempFolder traces("soak");
  corvane::testing::BridgeProcess bridge;
  const ToolProcess tool;
  HWND window = nullptr;
  if (!bridge.Start(corvane::testing::CorvanePath(), kBridgePort, traces.File("corvane.out"))) {
    std::string trace;
    simtest::ReadFileBytes(traces.File("corvane.out"), trace);
    std::printf("soak: Corvane.exe did not start:\n%s\n", trace.c_str());
    return 1;
  }
  if (!brevant::testing::WaitUntil([&] { return (window = brevant::testing::FindMainWindow(tool.id())) != nullptr; },
                                   kToolWaitMs)) {
    std::printf("soak: Brevant.exe did not start (%s)\n", tool.running() ? "no main window" : "it ended");
    return 1;
  }
  const ProcessProbe tool_probe(tool.id()), bridge_probe(bridge.process_id());
  Sleep(1000);

  KeyTimeline timeline(6 * static_cast<std::size_t>(options.cycles) + 16);  // room for failed changes too
  KeyPlugger plugger(timeline, keys, window, provider);
  int tool_misses = 0;
  bool icon_seen = false;
  // The certificate serial each key must be answered with, as the bridge
  // reports it with that key alone; the cycles must keep to it.
  for (int key = 0; key < 2; ++key) {
    corvane::testing::WsClient client;
    tool_misses += !plugger.Plug(key, true);
    if (key == 0) icon_seen = brevant::testing::WaitUntil([] { return brevant::testing::TrayIconCount() > 0; });
    if (client.Connect(kBridgePort) && client.Handshake())
      keys[key].cert_serial = brevant::bench::AskText(client, "GetCertSn", "CertSn").value_or("");
    tool_misses += !plugger.Plug(key, false);
  }
  std::printf("soak: %d cycles, %d clients, keys %s and %s with %d certificates each (first certificate %s, %s)\n",
              options.cycles, options.clients, keys[0].serial.c_str(), keys[1].serial.c_str(), kCertsPerKey,
              keys[0].cert_serial.c_str(), keys[1].cert_serial.c_str());
  std::fflush(stdout);

  std::vector<ProcessUsage> tool_samples, bridge_samples;
  std::vector<double> cycle_ms;
  int unsampled = 0;
  brevant::bench::SoakClients clients(kBridgePort, timeline, keys);
  clients.Start(options.clients);
  for (int cycle = 0; cycle < options.cycles; ++cycle) {
    const ULONGLONG cycle_start = GetTickCount64();
    for (const auto& [key, in] : {std::pair{0, true}, std::pair{1, true}, std::pair{0, false}, std::pair{1, false}})
      tool_misses += !plugger.Plug(key, in);
    cycle_ms.push_back(static_cast<double>(GetTickCount64() - cycle_start));
    const auto tool_usage = tool_probe.Sample(), bridge_usage = bridge_probe.Sample();
    if (tool_usage && bridge_usage) {
      tool_samples.push_back(*tool_usage);
      bridge_samples.push_back(*bridge_usage);
    } else {
      ++unsampled;
    }
    if ((cycle + 1) % kProgressEvery == 0 && !tool_samples.empty()) {
      const brevant::bench::SoakTotals so_far = clients.Totals();
      std::printf("  cycle %d: %ld requests, %ld failures; handles/private KiB: Brevant.exe %lu/%zu, Corvane.exe %lu/%zu\n",
                  cycle + 1, so_far.requests, so_far.failed, tool_samples.back().handles,
                  tool_samples.back().private_bytes / 1024, bridge_samples.back().handles,
                  bridge_samples.back().private_bytes / 1024);
      std::fflush(stdout);
    }
    if (!tool_probe.running() || !bridge_probe.running()) break;
  }
  clients.Stop();
  const brevant::bench::SoakTotals totals = clients.Totals();

  // After the run: a key plugged in is still answered by both programs.
  bool answers = tool_probe.running() && bridge_probe.running() && plugger.Plug(0, true);
  {
    corvane::testing::WsClient client;
    answers = answers && client.Connect(kBridgePort) && client.Handshake() &&
              brevant::bench::AskText(client, "GetUsbkeySN", "UsbkeySN") == keys[0].serial;
  }
  DWORD_PTR result = 0;
  answers = answers && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
  tool_misses += !plugger.Plug(0, false);
  const bool store_clean = ProviderEntries(provider) == 0 && ProviderEntries(provider, fw::AnsiToWide(sm2_store).c_str()) == 0;
  const bool tray_clean = brevant::testing::WaitUntil([] { return brevant::testing::TrayIconCount() == 0; });

  const std::size_t window_size = std::min<std::size_t>(100, tool_samples.size() / 2);
  const Growth tool_growth = GrowthOf(tool_samples, window_size), bridge_growth = GrowthOf(bridge_samples, window_size);

  std::printf("cycles: %zu done (median %.0f ms each), changes the tool did not show within %u s: %d\n",
              cycle_ms.size(), Median(cycle_ms), static_cast<unsigned>(kToolWaitMs / 1000), tool_misses);
  std::printf("per change (medians): tokenctl %.0f ms, then until store and tree show it: arrivals %.0f ms, "
              "removals %.0f ms\n",
              Median(plugger.tokenctl_ms), Median(plugger.arrival_ms), Median(plugger.removal_ms));
  std::printf("requests: %ld, replies ok: %ld, empty with no key present: %ld, empty with a key pulled meanwhile: %ld, "
              "failures: %ld\n",
              totals.requests, totals.ok, totals.empty_no_key, totals.empty_key_pulled, totals.failed);
  for (const std::string& failure : totals.first_failures) std::printf("  failure: %s\n", failure.c_str());
  std::printf("medians of the first and the last %zu cycles' samples (%d cycles unsampled):\n", window_size, unsampled);
  std::printf("  %-12s %8s %8s %8s %14s %14s %10s\n", "process", "handles", "", "growth", "private KiB", "", "growth");
  for (const auto& [name, growth] : {std::pair{"Brevant.exe", tool_growth}, std::pair{"Corvane.exe", bridge_growth}})
    std::printf("  %-12s %8ld %8ld %+8ld %14lld %14lld %+10lld\n", name, growth.handles_first, growth.handles_last,
                growth.handles_last - growth.handles_first, growth.private_first / 1024, growth.private_last / 1024,
                (growth.private_last - growth.private_first) / 1024);

  std::printf("checks:\n");
  int failed = 0;
  failed += Check(totals.failed == 0 && totals.requests > 0, "every reply proper (empty: no key, or a key pulled meanwhile)");
  failed += Check(tool_misses == 0, "the tool showed every change in its store and tree");
  failed += Check(answers, "both programs answer after the run (a key's serial, the window)");
  failed += Check(store_clean, "no store entry of the provider with both keys pulled");
  failed += Check(icon_seen && tray_clean, "the tray icon came with a key and is gone with the last");
  failed += Check(window_size > 0 && tool_growth.within(), "Brevant.exe: handles within +32, private bytes within +4 MiB");
  failed += Check(window_size > 0 && bridge_growth.within(), "Corvane.exe: handles within +32, private bytes within +4 MiB");
  std::printf("run time: %.0f s\n", static_cast<double>(GetTickCount64() - started) / 1000.0);

  brevant::RemoveProviderCerts(provider.c_str(), sm2_store.c_str());
  return failed == 0 ? 0 : 1;
}
