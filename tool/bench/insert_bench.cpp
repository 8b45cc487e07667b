// How long a plugged-in key takes to show: from the start of `tokenctl
// insert` to the key's certificates being in the store and in the tree of a
// running Brevant.exe, for a key with 1 and with 10 certificates. The
// monitor's 200 ms pause is the floor; a `tokenctl list` run, measured in
// the same run, is what starting tokenctl costs.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "browser_standins.h"
#include "cert_store.h"
#include "resource.h"
#include "scoped_crypt.h"
#include "scoped_handle.h"
#include "sim_fixture.h"
#include "tool_driver.h"
#include "text.h"

namespace {

constexpr int kRuns = 7;
const char* const kCerts[] = {"ku-sig", "ku-sig-nr-ke", "ku-nr",       "ku-none", "serial-01a20f",
                              "no-cn",  "expires-5d",   "expires-31d", "ski",     "cn-zh"};

using brevant::testing::FindMainWindow;
using brevant::testing::TreeNodes;

double NowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  const simtest::SimKeyFolder keys;
  // Every insertion opens the bank's site: a stand-in takes the browser's place.
  const brevant::testing::BrowserStandins browsers;
  const std::string provider = brevant::testing::ShippedSetting("CSPINFO", "CSP_NAME");
  const std::string sm2_store = brevant::testing::ShippedSetting("CSPINFO", "SM2_STORE_NAME");
  const auto WaitUntil = [](auto condition) { return brevant::testing::WaitUntil(condition, 20000); };
  brevant::RemoveProviderCerts(provider.c_str(), sm2_store.c_str());
  for (const char* key : {"one", "ten"}) {
    simtest::Tokenctl(std::string("create ") + key + " --pin-change-tag 1");
    const int certs = key == std::string("one") ? 1 : 10;
    for (int i = 0; i < certs; ++i)
      simtest::Tokenctl(std::string("import-cert ") + key + " --container c" + std::to_string(i) +
                        " --spec sig --file \"" + simtest::CertFile(kCerts[i]) + "\"");
  }
  const fw::ScopedHandle tool(simtest::StartProcess("\"" + simtest::BinDir() + "\\Brevant.exe\""));
  HWND window = nullptr;
  if (!WaitUntil([&] { return (window = FindMainWindow(GetProcessId(tool.get()))) != nullptr; })) {
    std::printf("Brevant.exe did not start\n");
    return 1;
  }
  Sleep(1000);

  std::vector<double> tokenctl_runs;
  for (int run = 0; run < kRuns; ++run) {
    const double start = NowMs();
    simtest::Tokenctl("list");
    tokenctl_runs.push_back(NowMs() - start);
  }
  std::printf("tokenctl start (baseline): median %.0f ms over %d runs\n", Median(tokenctl_runs), kRuns);
  std::printf("monitor pause (floor):     200 ms\n");

  int status = 0;
  for (const auto& [key, certs] : {std::pair{"one", 1}, std::pair{"ten", 10}}) {
    std::vector<double> shown;
    for (int run = 0; run < kRuns; ++run) {
      brevant::testing::ClosePopup();
      const double start = NowMs();
      simtest::Tokenctl(std::string("insert ") + key);
      const bool ok = WaitUntil([&] {
        return brevant::testing::ProviderEntries(provider) == certs && TreeNodes(window) == certs + 1;
      });
      const double elapsed = NowMs() - start;
      if (!ok) {
        std::printf("%s: the key did not show\n", key);
        status = 1;
        break;
      }
      shown.push_back(elapsed);
      simtest::Tokenctl(std::string("remove ") + key);
      WaitUntil([&] { return brevant::testing::ProviderEntries(provider) == 0 && TreeNodes(window) == 1; });
    }
    if (!shown.empty())
      std::printf("%2d certificate(s): insert to store and tree: median %.0f ms (min %.0f, max %.0f) over %zu runs\n",
                  certs, Median(shown), *std::min_element(shown.begin(), shown.end()),
                  *std::max_element(shown.begin(), shown.end()), shown.size());
  }
  if (const HWND main_window = FindMainWindow(GetProcessId(tool.get()))) PostMessageW(main_window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(tool.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(tool.get(), 1);
  brevant::RemoveProviderCerts(provider.c_str(), sm2_store.c_str());
  return status;
}
