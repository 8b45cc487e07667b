// The browser side of key arrivals and removals, against stand-ins for the
// browsers (which record how they were started) and for the shell's window
// list (an in-process COM server listing the windows a test names).
#include "browser_integration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser_standins.h"
#include "device_layer.h"
#include "token_test_base.h"

namespace {

using brevant::testing::BrowserStandins;

constexpr char kBank[] = "https://ebank.vesbank.example/";
constexpr char kSite[] = "https://www.vesbank.example/";
constexpr char kBareKeyReader[] = "Quillon Tarnex UDISK 0";
constexpr char kCertifiedKeyReader[] = "Quillon Tarnex UDISK 1";

enum class Program { kBuiltin, kSecure };
struct ExpectedStart {
  Program program;
  std::string arguments;
  int show;
};

class BankSite : public TokenTest {
 protected:
  void SetUp() override {
    TokenTest::SetUp();
    CreateInserted("bare", "--pin-change-tag 1");
    CreateInserted("certified", "--pin-change-tag 1");
    Ctl("import-cert certified --container c1 --spec sig --file \"" + simtest::CertFile("ku-sig") + "\"");
  }
};

TEST_F(BankSite, ArrivalOpensTheSiteUnlessAWindowShowsItOrTheSettingsSayNo) {
  ASSERT_EQ(Readers(), (std::vector<std::string>{kBareKeyReader, kCertifiedKeyReader}));
  const std::string both = std::string(kBank) + ";" + kSite;
  struct Case {
    const char* what;
    std::vector<std::string> windows;
    brevant::BankSiteSettings settings;
    const char* reader;
    bool secure_browser;
    bool key_asked;
    std::vector<ExpectedStart> starts;
  };
  const Case cases[] = {
      {"a window at the second address", {"https://other.example/", "https://www.vesbank.example/login"},
       {both, 1, 1}, kCertifiedKeyReader, false, false, {}},
      {"no such window: the whole setting", {"https://other.example/"}, {both, 1, 0}, kCertifiedKeyReader, false,
       false, {{Program::kBuiltin, both, SW_SHOWNORMAL}}},
      {"a window differing in case only", {"HTTPS://WWW.VESBANK.EXAMPLE/login"}, {both, 1, 0}, kBareKeyReader, false,
       false, {{Program::kBuiltin, both, SW_SHOWNORMAL}}},
      {"switch 2", {}, {kBank, 2, 1}, kCertifiedKeyReader, false, false, {}},
      {"a certificate needed, the key has none", {}, {kBank, 1, 1}, kBareKeyReader, false, true, {}},
      {"a certificate needed and there", {}, {kBank, 1, 1}, kCertifiedKeyReader, false, true,
       {{Program::kBuiltin, kBank, SW_SHOWNORMAL}}},
      {"the secure browser registered", {}, {kBank, 1, 0}, kBareKeyReader, true, false,
       {{Program::kBuiltin, kBank, SW_SHOWNORMAL}, {Program::kSecure, "", SW_SHOWMAXIMIZED}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BrowserStandins browsers;
    const std::string secure = browsers.folder().File("secure_browser.exe");
    if (c.secure_browser) browsers.RegisterSecureBrowser(secure);
    browsers.ShowWindows(c.windows);
    bool key_asked = false;
    brevant::OpenBankSiteOnArrival(c.settings, c.reader, [&](const char* reader) {
      key_asked = true;
      return brevant::KeyHasCert(api_, reader);
    });
    EXPECT_EQ(key_asked, c.key_asked);
    const std::vector<brevant::testing::BrowserStart> starts = browsers.Starts();
    ASSERT_EQ(starts.size(), c.starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i) {
      if (c.starts[i].program == Program::kBuiltin)
        EXPECT_TRUE(browsers.IsBuiltin(starts[i].program)) << starts[i].program;
      else
        EXPECT_EQ(starts[i].program, secure);
      EXPECT_EQ(starts[i].Arguments(), c.starts[i].arguments) << starts[i].command_line;
      EXPECT_EQ(starts[i].show, c.starts[i].show);
    }
  }
}

TEST(BankWindows, CaseCountsOnArrivalAndNotAtRemoval) {
  struct Case {
    std::vector<std::string> windows;
    int open;
    std::vector<int> found;  // window indexes
  };
  const Case cases[] = {
      {{}, 0, {}},
      {{"https://other.example/", "HTTPS://EBANK.VESBANK.EXAMPLE/login"}, 0, {1}},
      {{"https://ebank.vesbank.example/login", "about:blank", "https://EBank.vesbank.example/"}, 1, {0, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.windows.empty() ? "no windows" : c.windows.back());
    const BrowserStandins browsers;
    browsers.ShowWindows(c.windows);
    EXPECT_EQ(brevant::IsBankPageOpen(kBank), c.open);
    std::vector<HWND> found;
    EXPECT_TRUE(brevant::FindBankWindows(kBank, found));
    std::vector<HWND> expected;
    for (int index : c.found) expected.push_back(BrowserStandins::WindowHandle(index));
    EXPECT_EQ(found, expected);
  }
}

// The App Paths browser in a folder with a blank in its name, and a program
// where an unquoted command line would look first.
TEST(AppPathsBrowser, StartsWithItsPathInQuotesABlankAndTheAddress) {
  struct Case {
    bool registered_quoted;
    const char* address;
  };
  for (const Case c : {Case{false, ""}, Case{true, ""}, Case{false, kBank}}) {
    SCOPED_TRACE(std::string(c.registered_quoted ? "quoted" : "unquoted") + " [" + c.address + "]");
    BrowserStandins browsers;
    const std::string folder = browsers.folder().File("Internet Browser");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string browser = folder + "\\browser.exe";
    browsers.AddCopy(browser);
    browsers.AddCopy(browsers.folder().File("Internet.exe"));  // what "...\Internet Browser\..." unquoted tries first
    browsers.RegisterAppPath(c.registered_quoted ? "\"" + browser + "\"" : browser);
    brevant::StartBrowserFromAppPaths(c.address);
    const std::vector<brevant::testing::BrowserStart> starts = browsers.Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, browser);
    EXPECT_EQ(starts[0].command_line, "\"" + browser + "\" " + c.address);
  }
}

TEST(SslCache, IsClearedWithOrWithoutItsLibraries) {
  EXPECT_EQ(brevant::ClearSslCache(), 0);
  EXPECT_EQ(brevant::ClearSslCache("no-such-library.dll", "no-such-library.dll"), 0);
  EXPECT_EQ(brevant::ClearSslCache("kernel32.dll", "kernel32.dll"), 0) << "libraries without the functions";
}

}  // namespace
