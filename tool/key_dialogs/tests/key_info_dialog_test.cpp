// The key information dialog on the software token and this computer's
// registry: its rows, its layout, its key going away.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "device_table.h"
#include "dialog_driving.h"
#include "key_dialog_fixture.h"
#include "key_info_dialog.h"
#include "language.h"
#include "registry.h"
#include "resource.h"
#include "scoped_handle.h"
#include "text.h"

namespace {

using namespace brevant;
using namespace keytest;
using namespace pintest;

using KeyInfo = KeyDialogTest;
using Rows = std::vector<std::pair<std::string, std::string>>;

std::string Cell(HWND list, int row, int column) {
  wchar_t text[260] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 260;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return fw::WideToAnsi(text);
}

Rows RowsOf(HWND list) {
  Rows rows;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) rows.emplace_back(Cell(list, row, 0), Cell(list, row, 1));
  return rows;
}

const ComputerTexts kComputer = {"Windows (64bit)", "IE 11.0"};

TEST_F(KeyInfo, EightRowsInOrderFollowTheKey) {
  const auto caption = [](const char* key) { return LngText("TOOL", key); };
  const struct {
    const char* options;
    const char* fault;
    const char* type_text;
    const char* retries;
  } cases[] = {
      {"--type 2 --user-tries-left 7", "", "IDS_TARNEX2000_TYPE", "7"},
      {"--type 1 --user-tries-left 1", "", "IDS_TARNEX1000_TYPE", "1"},
      {"--type 2", "TK_GetDevType 0x88000001", "IDS_UNKNOW_TYPE", "10"},
  };
  for (const auto& c : cases) {
    Insert(std::string("--pin-change-tag 1 --label Vesbank --serial VB0042 --user-retries 10 ") + c.options);
    if (*c.fault != '\0') Tokenctl(std::string("fail k ") + c.fault);
    host_ = Host();
    Rows rows;
    RECT list_place = {}, ok_place = {}, window = {};
    Run([&] { ShowKeyInfo(DeviceTable(), host_, kReader, kComputer); },
        [&] {
          const HWND dialog = WaitForDialogWith(IDC_KEY_INFO_LIST);
          ASSERT_NE(dialog, nullptr);
          rows = RowsOf(GetDlgItem(dialog, IDC_KEY_INFO_LIST));
          for (auto [id, place] : {std::pair{IDC_KEY_INFO_LIST, &list_place}, std::pair{IDOK, &ok_place}}) {
            GetWindowRect(GetDlgItem(dialog, id), place);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(place), 2);
          }
          GetWindowRect(dialog, &window);
          LingerForScreenshot(GetDlgItem(dialog, IDOK));
          PressOk(dialog);
        });
    const Rows expected = {
        {caption("LIST_CTL_DEV_OS"), kComputer.operating_system},
        {caption("LIST_CTL_DEV_IE"), kComputer.browser},
        {caption("LIST_CTL_DEV_LABEL"), "Vesbank"},
        {caption("LIST_CTL_DEV_TYPE"), LngText("DeviceInfoPage", c.type_text)},
        {caption("LIST_CTL_DEV_SERIAL"), "VB0042"},
        {caption("LIST_CTL_DEV_PIN_MAX_LEN"), "20"},
        {caption("LIST_CTL_DEV_PIN_SMALL_LEN"), "6"},
        {caption("LIST_CTL_DEV_RETRYNUM"), c.retries},
    };
    EXPECT_EQ(rows, expected) << c.options << " " << c.fault;
    EXPECT_EQ(host_.registered, std::vector<std::string>{kReader});
    EXPECT_EQ(host_.unregistered, 1);
    EXPECT_EQ(list_place.right - list_place.left, 378);
    EXPECT_EQ(list_place.bottom - list_place.top, 168);
    EXPECT_EQ(ok_place.right - ok_place.left, 74);
    EXPECT_EQ(window.right - window.left, 406);
    EXPECT_EQ(window.bottom - window.top, 252);
    Tokenctl("delete k");
  }
}

TEST_F(KeyInfo, NoKeyNoDialogAndPullingTheKeyOutClosesIt) {
  Insert("--pin-change-tag 1");
  Tokenctl("remove k");
  ShowKeyInfo(DeviceTable(), host_, kReader, kComputer);  // returns at once: nothing to answer
  EXPECT_TRUE(host_.registered.empty());

  Tokenctl("insert k");
  bool closed = false;
  Run([&] { ShowKeyInfo(DeviceTable(), host_, kReader, kComputer); },
      [&] {
        const HWND dialog = WaitForDialogWith(IDC_KEY_INFO_LIST);
        ASSERT_NE(dialog, nullptr);
        Tokenctl("remove k");
        PostMessageW(host_.last_dialog, WM_SYSCOMMAND, SC_CLOSE, 100);
        closed = WaitUntilGone(dialog);
      });
  EXPECT_TRUE(closed);
  EXPECT_EQ(host_.unregistered, 1);
}

// The computer's texts come from the registry; a 64-bit program says 64.
TEST_F(KeyInfo, ComputerTextsFromTheRegistry) {
  constexpr char kBrowserKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";
  CRegistry browser(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(browser.Open(HKEY_LOCAL_MACHINE, kBrowserKey, true));
  std::string saved;
  const bool had_value = browser.ReadString("svcVersion", saved);
  const auto set_version = [&](const std::string& version) {
    RegSetValueExA(browser.Key(), "svcVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>(version.size() + 1));
  };
  std::vector<std::string> seen;
  for (const char* version : {"11.0.9600.18376", "11.0"}) {
    set_version(version);
    seen.push_back(ReadComputerTexts().browser);
  }
  if (had_value) set_version(saved);
  else RegDeleteValueA(browser.Key(), "svcVersion");
  EXPECT_EQ(seen, (std::vector<std::string>{"IE 11.0", "IE "}));

  std::string product;
  CRegistry windows(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(windows.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false));
  windows.ReadString("ProductName", product);
  const std::string os = ReadComputerTexts().operating_system;
  EXPECT_EQ(os.rfind(product + " ", 0), 0u) << os;
  EXPECT_NE(os.find(" (64" + LngText("DeviceInfoPage", "IDS_OS_AFTER") + ")"), std::string::npos) << os;
}

}  // namespace
