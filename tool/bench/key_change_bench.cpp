// How long each kind of key change takes to show in a running Brevant.exe,
// and where that time goes. Two keys of three certificates each are plugged
// in and pulled out as a user does (first key in, second key in, one of two
// out, last key out), several rounds; for each change it takes the time
// from the end of `tokenctl insert|remove` until the tree shows the keys
// present and until the store holds exactly their certificates, and splits
// it into the tool's phases from the trace the tool writes when
// BREVANT_TRACE names a file. Medians over the rounds; a `tokenctl list`
// run, measured in the same run, is what starting tokenctl costs.
//   brevant_bench [--rounds N]   default 7
// With BREVANT_TRACE set, the tool's trace goes to that file and stays.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "browser_standins.h"
#include "cert_store.h"
#include "phase_trace.h"
#include "scoped_handle.h"
#include "sim_fixture.h"
#include "tool_driver.h"

namespace {

using brevant::TraceClockMicroseconds;
using brevant::testing::ProviderEntries;
using brevant::testing::TreeNodes;

constexpr int kCertsPerKey = 3;
constexpr DWORD kShowWaitMs = 20000;
const char* const kKeys[2] = {"bench-a", "bench-b"};
const char* const kCertFiles[2][kCertsPerKey] = {{"ku-sig", "ku-sig-nr-ke", "expires-31d"},
                                                 {"serial-01a20f", "ku-nr", "ski"}};

struct Change {
  const char* name;
  int key;
  bool in;
  int keys_after;
  // The tool's phases worth showing for this change, in the order they run;
  // the last one ends the change's work.
  std::vector<const char*> phases;
};

// Phases a change does not run (the tray icon comes with the first key
// only) are left out of its lines.
const std::vector<const char*> kArrivalPhases = {"arrival callback", "tray icon end", "arrival posted",
                                                 "arrival message begin", "tree end", "details end", "pin check end",
                                                 "arrival message end", "popup end", "arrival notice end"};
const std::vector<const char*> kRemovalPhases = {
    "removal callback", "last removal in browser end", "tray icon removal end", "removal posted",
    "removal message begin", "popup end", "tree end", "details end", "removal message end", "store clean-up end",
    "remaining keys end"};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MillisecondsSince(long long start_us) { return static_cast<double>(TraceClockMicroseconds() - start_us) / 1000.0; }

// The lines the tool appended to its trace since the last read: the stamp of
// each phase's first line.
class TraceReader {
 public:
  explicit TraceReader(std::string path) : path_(std::move(path)) {}
  std::map<std::string, long long> ReadNew() {
    std::map<std::string, long long> first;
    std::ifstream in(path_, std::ios::binary);
    in.seekg(offset_);
    std::string line;
    while (std::getline(in, line)) {
      if (in.eof()) break;  // a line still being written is read next time
      offset_ += static_cast<std::streamoff>(line.size() + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t space = line.find(' ');
      if (space == std::string::npos) continue;
      std::string phase = line.substr(space + 1);
      // Drop the detail (a reader or container name) after the phase words.
      for (const char* suffix : {" Quillon", " c0", " c1", " c2"})
        if (const std::size_t at = phase.find(suffix); at != std::string::npos) phase.resize(at);
      first.try_emplace(phase, std::atoll(line.c_str()));
    }
    return first;
  }

 private:
  std::string path_;
  std::streamoff offset_ = 0;
};

// Waits until the user's store holds `entries` entries of the provider,
// looking again at each change of the store's registry key rather than by
// polling, which would slow the tool down with the registry work of the
// looks. False after the timeout.
bool WaitForStoreEntries(const std::string& provider, int entries, DWORD timeout_ms) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\SystemCertificates\\MY", 0, nullptr, 0,
                      KEY_NOTIFY | KEY_READ, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return brevant::testing::WaitUntil([&] { return ProviderEntries(provider) == entries; }, timeout_ms);
  const fw::ScopedHandle changed(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  const ULONGLONG start = GetTickCount64();
  bool found = false;
  for (;;) {
    RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, changed.get(), TRUE);
    if ((found = ProviderEntries(provider) == entries)) break;
    const ULONGLONG spent = GetTickCount64() - start;
    if (spent >= timeout_ms) break;
    WaitForSingleObject(changed.get(), static_cast<DWORD>(timeout_ms - spent));
  }
  RegCloseKey(key);
  return found;
}

struct Sample {
  double tree_ms = -1, store_ms = -1;
  std::map<std::string, double> phase_ms;
};

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  if (argc == 3 && std::strcmp(argv[1], "--rounds") == 0 && std::atoi(argv[2]) > 0) rounds = std::atoi(argv[2]);
  else if (argc != 1) {
    std::printf("usage: brevant_bench [--rounds N]\n");
    return 2;
  }
  const simtest::SimKeyFolder keys;
  const simtest::TempFolder traces("bench");
  // A trace file named by the caller is kept for a closer look.
  const char* given = std::getenv(brevant::kTraceVariable);
  const std::string trace_file = given != nullptr && *given != '\0' ? given : traces.File("brevant-trace.txt");
  SetEnvironmentVariableA(brevant::kTraceVariable, trace_file.c_str());
  // Every arrival opens the bank's site: a stand-in takes the browser's place.
  const brevant::testing::BrowserStandins browsers;
  const std::string provider = brevant::testing::ShippedSetting("CSPINFO", "CSP_NAME");
  const std::string sm2_store = brevant::testing::ShippedSetting("CSPINFO", "SM2_STORE_NAME");
  brevant::RemoveProviderCerts(provider.c_str(), sm2_store.c_str());
  for (int key = 0; key < 2; ++key) {
    simtest::Tokenctl(std::string("create ") + kKeys[key] + " --pin-change-tag 1");
    for (int cert = 0; cert < kCertsPerKey; ++cert)
      simtest::Tokenctl(std::string("import-cert ") + kKeys[key] + " --container c" + std::to_string(cert) +
                        " --spec sig --file \"" + simtest::CertFile(kCertFiles[key][cert]) + "\"");
  }
  const fw::ScopedHandle tool(simtest::StartProcess("\"" + simtest::BinDir() + "\\Brevant.exe\""));
  HWND window = nullptr;
  if (!brevant::testing::WaitUntil([&] { return (window = brevant::testing::FindMainWindow(GetProcessId(tool.get()))) != nullptr; },
                                   kShowWaitMs)) {
    std::printf("Brevant.exe did not start\n");
    return 1;
  }
  Sleep(1000);
  TraceReader trace(trace_file);
  trace.ReadNew();

  std::vector<double> tokenctl_runs;
  for (int run = 0; run < rounds; ++run) {
    const long long start = TraceClockMicroseconds();
    simtest::Tokenctl("list");
    tokenctl_runs.push_back(MillisecondsSince(start));
  }

  const std::vector<Change> changes = {{"first key in", 0, true, 1, kArrivalPhases},
                                       {"second key in", 1, true, 2, kArrivalPhases},
                                       {"one of two out", 0, false, 1, kRemovalPhases},
                                       {"last key out", 1, false, 0, kRemovalPhases}};
  std::vector<std::vector<Sample>> samples(changes.size());
  int status = 0;
  for (int round = 0; round < rounds && status == 0; ++round) {
    for (std::size_t c = 0; c < changes.size() && status == 0; ++c) {
      const Change& change = changes[c];
      simtest::Tokenctl(std::string(change.in ? "insert " : "remove ") + kKeys[change.key]);
      const long long plugged = TraceClockMicroseconds();
      Sample sample;
      const int nodes = std::max(1, change.keys_after * (1 + kCertsPerKey));
      const int entries = change.keys_after * kCertsPerKey;
      // The tree answers only between two of the window's messages, so it
      // is read as the user sees it: after the change's handling. The store
      // is watched beside it, as a browser would.
      bool store_shown = false;
      std::thread store_watch([&] {
        store_shown = WaitForStoreEntries(provider, entries, kShowWaitMs);
        sample.store_ms = MillisecondsSince(plugged);
      });
      const bool tree_shown = brevant::testing::WaitUntil([&] { return TreeNodes(window) == nodes; }, kShowWaitMs);
      sample.tree_ms = MillisecondsSince(plugged);
      store_watch.join();
      const bool shown = tree_shown && store_shown;
      // The change's work is done when its last phase is in the trace (a
      // removal that leaves a key ends with that key listed again).
      const char* last = change.in ? "arrival notice end" : change.keys_after > 0 ? "remaining keys end" : "store clean-up end";
      std::map<std::string, long long> stamps;
      brevant::testing::WaitUntil(
          [&] {
            for (const auto& [phase, at] : trace.ReadNew()) stamps.try_emplace(phase, at);
            return stamps.count(last) != 0;
          },
          kShowWaitMs);
      if (!shown) {
        std::printf("%s: the tool did not show it within %lu s\n", change.name, kShowWaitMs / 1000);
        status = 1;
        break;
      }
      for (const auto& [phase, at] : stamps) sample.phase_ms[phase] = static_cast<double>(at - plugged) / 1000.0;
      samples[c].push_back(sample);
    }
  }

  std::printf("tokenctl start (baseline): median %.0f ms over %d runs\n", Median(tokenctl_runs), rounds);
  std::printf("pauses: 200 ms before an arrival is posted; a removal is posted at once, its store clean-up 400 ms later\n");
  std::printf("medians over %zu rounds, ms after tokenctl returned (a phase before 0 ran while tokenctl was ending):\n",
              samples[0].size());
  for (std::size_t c = 0; c < changes.size(); ++c) {
    std::vector<double> tree, store;
    for (const Sample& s : samples[c]) {
      tree.push_back(s.tree_ms);
      store.push_back(s.store_ms);
    }
    std::printf("%-15s tree shows it %5.0f   store shows it %5.0f\n", changes[c].name, Median(tree), Median(store));
    for (const char* phase : changes[c].phases) {
      std::vector<double> at;
      for (const Sample& s : samples[c])
        if (const auto found = s.phase_ms.find(phase); found != s.phase_ms.end()) at.push_back(found->second);
      if (!at.empty()) std::printf("    %-28s %6.0f\n", phase, Median(at));
    }
  }
  if (const HWND main_window = brevant::testing::FindMainWindow(GetProcessId(tool.get())))
    PostMessageW(main_window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(tool.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(tool.get(), 1);
  brevant::RemoveProviderCerts(provider.c_str(), sm2_store.c_str());
  return status;
}
