// The settings reader with its per-user copy, the tool settings, the cached
// language texts and the loading of RVA.dll, against the software token's
// library copied into a program folder of the test's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "cached_texts.h"
#include "device_table.h"
#include "settings_copy.h"
#include "scoped_handle.h"
#include "settings.h"
#include "sim_fixture.h"

namespace {

constexpr char kHan[] = "\xD6\xD0";  // one double-byte character of code page 936

std::string Repeat(const std::string& piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Bytes(const std::string& path) {
  std::string bytes;
  return simtest::ReadFileBytes(path, bytes) ? bytes : "<missing>";
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryA(program_.c_str(), nullptr));
  }
  void TearDown() override { brevant::DeviceTable().Unload(); }

  void WriteMaster(const std::string& content) { ASSERT_TRUE(simtest::WriteFileBytes(master_, content)); }
  void InstallLibrary() {
    ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\RVA.dll").c_str(), (program_ + "\\RVA.dll").c_str(), FALSE));
  }
  std::string UserCopy() const { return root_.path() + "\\appdata\\Quillon\\RVControl.ini"; }
  std::string Baseline() const { return root_.path() + "\\appdata\\Quillon\\RVControl.base.ini"; }

  simtest::SimKeyFolder keys_;
  simtest::TempFolder root_{"brvset"};
  brevant::ScopedAppDataFolderForTesting app_data_{root_.path() + "\\appdata"};
  std::string program_ = root_.path() + "\\prog";
  std::string master_ = program_ + "\\RVControl.ini";
};

TEST_F(SettingsTest, FirstOpenCopiesTheMasterAndLaterChangesOfTheMasterAreNotSeen) {
  WriteMaster("[TOOL]\r\nIS_KEY_INSRT_URL=1\r\n");
  brevant::CIni first;
  first.Open(master_.c_str());
  EXPECT_EQ(first.path(), UserCopy());
  EXPECT_EQ(first.master_path(), master_);
  EXPECT_EQ(first.GetInt("TOOL", "IS_KEY_INSRT_URL", "0"), 1);

  WriteMaster("[TOOL]\r\nIS_KEY_INSRT_URL=22\r\n");
  brevant::CIni second;
  second.Open(master_.c_str());
  EXPECT_EQ(second.GetInt("TOOL", "IS_KEY_INSRT_URL", "0"), 1);

  ASSERT_TRUE(DeleteFileA(UserCopy().c_str()));
  brevant::CIni after_removal;
  after_removal.Open(master_.c_str());
  EXPECT_EQ(after_removal.GetInt("TOOL", "IS_KEY_INSRT_URL", "0"), 22);
}

TEST_F(SettingsTest, TheInstallRunsRefreshKeepsTheUsersValuesAndFailsWhole) {
  EXPECT_TRUE(brevant::RefreshPerUserCopy(master_.c_str())) << "no copy yet: nothing to do";
  EXPECT_FALSE(Exists(UserCopy()));
  const std::string first_master = "[TOOL]\r\nA=1\r\nB=1\r\n";
  WriteMaster(first_master);
  brevant::CIni().Open(master_.c_str());
  EXPECT_EQ(Bytes(Baseline()), first_master);
  const std::string edited = "[TOOL]\r\nA=1\r\nB=mine\r\n";
  ASSERT_TRUE(simtest::WriteFileBytes(UserCopy(), edited));
  const std::string second_master = "[TOOL]\r\nA=2\r\nB=2\r\nC=3\r\n";
  WriteMaster(second_master);
  {
    // Held without delete sharing, the baseline cannot be replaced: the copy,
    // already merged by then, goes back.
    const fw::ScopedFile held(CreateFileA(Baseline().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(brevant::RefreshPerUserCopy(master_.c_str()));
    EXPECT_EQ(Bytes(UserCopy()), edited);
    EXPECT_EQ(Bytes(Baseline()), first_master);
  }
  EXPECT_TRUE(brevant::RefreshPerUserCopy(master_.c_str()));
  EXPECT_EQ(Bytes(UserCopy()), "[TOOL]\r\nA=2\r\nB=mine\r\nC=3\r\n");
  EXPECT_EQ(Bytes(Baseline()), second_master);
  WIN32_FIND_DATAA found = {};
  int files = 0;
  const fw::ScopedFind find(FindFirstFileA((root_.path() + "\\appdata\\Quillon\\*.*").c_str(), &found));
  for (bool more = find.valid(); more; more = FindNextFileA(find.get(), &found) != FALSE)
    files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  EXPECT_EQ(files, 2) << "no temporary file left behind";
}

TEST_F(SettingsTest, StaysOnTheMasterWithoutAUsablePerUserFolder) {
  WriteMaster("[TOOL]\r\nIS_KEY_INSRT_URL=5\r\n");
  const std::string file_in_the_way = root_.path() + "\\not_a_folder";
  ASSERT_TRUE(simtest::WriteFileBytes(file_in_the_way, "x"));
  for (const std::string& app_data : {file_in_the_way, root_.path() + "\\" + std::string(300, 'a')}) {
    const brevant::ScopedAppDataFolderForTesting folder(app_data);
    brevant::CIni ini;
    ini.Open(master_.c_str());
    EXPECT_EQ(ini.path(), master_) << app_data;
    EXPECT_EQ(ini.GetInt("TOOL", "IS_KEY_INSRT_URL", "0"), 5);
  }
  brevant::CIni relative;
  relative.Open("RVControl.ini");
  EXPECT_EQ(relative.path(), "RVControl.ini");
  EXPECT_FALSE(Exists(UserCopy()));
}

TEST(PerUserFolder, AddsTheVendorFolderWithOneSeparator) {
  EXPECT_EQ(brevant::PerUserFolderFrom("C:\\Users\\a\\AppData"), "C:\\Users\\a\\AppData\\Quillon\\");
  EXPECT_EQ(brevant::PerUserFolderFrom("C:\\Users\\a\\AppData\\"), "C:\\Users\\a\\AppData\\Quillon\\");
  EXPECT_EQ(brevant::PerUserFolderFrom("C:\\tmp/"), "C:\\tmp/Quillon\\");
  EXPECT_EQ(brevant::PerUserFolderFrom(""), "");
  EXPECT_EQ(brevant::PerUserFolderFrom("C:\\" + std::string(260, 'a')), "");
}

TEST_F(SettingsTest, GetStringGrowsPastItsFirstReadAndCutsToTheCallersBuffer) {
  struct Case {
    std::string value;
    std::size_t buffer;
    std::size_t expected_length;
  };
  const Case cases[] = {
      {std::string(510, 'a'), 4096, 510},
      {std::string(511, 'b'), 4096, 511},  // fills the first read exactly
      {std::string(1500, 'c'), 4096, 1500},
      {std::string(1500, 'd'), 260, 259},
      {"x" + Repeat(kHan, 200), 260, 259},
      {"xy" + Repeat(kHan, 200), 260, 258},  // the last pair would lose its trail byte
  };
  std::string content = "[S]\r\n";
  for (std::size_t i = 0; i < std::size(cases); ++i)
    content += "K" + std::to_string(i) + "=" + cases[i].value + "\r\n";
  WriteMaster(content);
  brevant::CIni ini;
  ini.Open(master_.c_str());
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    std::string buffer(c.buffer + 1, '#');
    const std::size_t length = ini.GetString("S", ("K" + std::to_string(i)).c_str(), buffer.data(), c.buffer, "");
    EXPECT_EQ(length, c.expected_length) << i;
    EXPECT_EQ(buffer.compare(0, length, c.value, 0, length), 0) << i;
    EXPECT_EQ(buffer[length], '\0') << i;
    EXPECT_EQ(buffer[c.buffer], '#') << "overran the buffer in case " << i;
  }
  char buffer[8] = "#######";
  EXPECT_EQ(ini.GetString("S", "MISSING", buffer, sizeof buffer, nullptr), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(ini.GetString("S", "MISSING", "fallback", 260), "fallback");
}

TEST_F(SettingsTest, WithoutSettingsFileAndLibraryEverythingTakesItsDefault) {
  EXPECT_EQ(brevant::LoadDeviceLibrary(master_.c_str()), 1);
  EXPECT_FALSE(brevant::DeviceTable().loaded());
  const brevant::ToolSettings& s = brevant::Settings();
  EXPECT_EQ(s.user_pin_retry_num, 16);
  EXPECT_EQ(s.is_key_insert_url, 0);
  EXPECT_EQ(s.is_open_pin_cache, 0);
  EXPECT_EQ(s.need_check_cert_when_open_url, 0);
  EXPECT_EQ(s.if_show_dlg_plmv, 1);
  EXPECT_EQ(s.key_insert_url, "https://ebank.vesbank.example/");
  EXPECT_EQ(s.url_index_file, "");
  EXPECT_EQ(s.dom_ipc_disable_plugin, "1");
  EXPECT_EQ(s.url_find_keyword, "");
  EXPECT_FALSE(Exists(UserCopy()));

  brevant::LoadCachedTexts();
  EXPECT_STREQ(brevant::CachedText("TOOL_TITLE"), "");
  EXPECT_STREQ(brevant::TrayTip(), "");
  EXPECT_STREQ(brevant::CspInfo("CSP_NAME"), "");
  EXPECT_EQ(brevant::NameWithCustomerCode("set_find_win_top_msg_%05d"), "set_find_win_top_msg_00000");
}

TEST_F(SettingsTest, ReadsTheToolSettingsFromThePerUserCopy) {
  InstallLibrary();
  WriteMaster("[TOOL]\r\nUSER_PIN_RETRY_NUM=6\r\nIS_KEY_INSRT_URL=1\r\nIS_OPEN_PINCACHE=-2\r\n"
              "IDS_NEED_CHECKCERT_WHENOPENURL=3x\r\nIDS_IFSHOWDLG_PLMV=abc\r\n"
              "IDS_KEY_INSRT_URL=https://a.example/" + std::string(300, 'p') + "\r\n"
              "IDS_URL_INDEX_FILE=index.htm\r\nIDS_DOMIPC_DISABLEPLUGIN=0\r\n"
              "[Setting]\r\nURLFindKeyWord=bank\r\n");
  EXPECT_EQ(brevant::LoadDeviceLibrary(master_.c_str()), 0);
  EXPECT_TRUE(brevant::DeviceTable().LngLoadString);
  EXPECT_TRUE(brevant::DeviceTable().TK_ListReaders);
  EXPECT_TRUE(Exists(UserCopy()));
  const brevant::ToolSettings& s = brevant::Settings();
  EXPECT_EQ(s.user_pin_retry_num, 6);
  EXPECT_EQ(s.is_key_insert_url, 1);
  EXPECT_EQ(s.is_open_pin_cache, -2);
  EXPECT_EQ(s.need_check_cert_when_open_url, 3);
  EXPECT_EQ(s.if_show_dlg_plmv, 0);
  EXPECT_EQ(s.key_insert_url.size(), 259u);
  EXPECT_EQ(s.key_insert_url.rfind("https://a.example/ppp", 0), 0u);
  EXPECT_EQ(s.url_index_file, "index.htm");
  EXPECT_EQ(s.dom_ipc_disable_plugin, "0");
  EXPECT_EQ(s.url_find_keyword, "bank");
}

TEST_F(SettingsTest, CachedTextsCustomerCodeAndTrayTip) {
  struct Case {
    const char* name;
    std::string pcode_line;
    std::string tip_line;
    std::string title;
    const char* expected_name;
    std::size_t expected_tip_length;  // of the tray tip, taken from its start
    bool tip_is_title;
  };
  const std::string long_title = Repeat(kHan, 200);
  const Case cases[] = {
      {"code 7", "PCODE=7\r\n", "TOOL_SYSTRAY_TIP=Tip\r\n", "Title", "set_find_win_top_msg_00007", 3, false},
      {"empty code, empty tip", "PCODE=\r\n", "TOOL_SYSTRAY_TIP=\r\n", "Title", "set_find_win_top_msg_00000", 5, true},
      {"text code, no tip", "PCODE=abc\r\n", "", long_title, "set_find_win_top_msg_00000", 126, true},
      {"no code, long tip", "", "TOOL_SYSTRAY_TIP=" + std::string(200, 't') + "\r\n", "T",
       "set_find_win_top_msg_00000", 127, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const simtest::TempFolder program("brvtxt");
    ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\RVA.dll").c_str(), program.File("RVA.dll").c_str(), FALSE));
    ASSERT_TRUE(simtest::WriteFileBytes(program.File("RVControl.ini"),
                                        "[CSPINFO]\r\nCSP_NAME=Test CSP\r\n" + c.pcode_line));
    ASSERT_TRUE(simtest::WriteFileBytes(program.File("TKLN0804.ini"),
                                        "[TOOL]\r\nTOOL_TITLE=" + c.title + "\r\n" + c.tip_line +
                                            "ABOUT_DLG_TITLE=About\r\n[KEYBOARD]\r\nKEY_QUIT=" + kHan + "\r\n"));
    ASSERT_EQ(brevant::LoadDeviceLibrary(program.File("RVControl.ini").c_str()), 0);
    brevant::LoadCachedTexts();

    EXPECT_EQ(brevant::NameWithCustomerCode("set_find_win_top_msg_%05d"), c.expected_name);
    EXPECT_STREQ(brevant::CspInfo("CSP_NAME"), "Test CSP");
    EXPECT_STREQ(brevant::CachedText("KEY_QUIT"), kHan);
    EXPECT_STREQ(brevant::CachedText("ABOUT_DLG_TITLE"), "");  // looked up when needed, never cached
    const std::string title = brevant::CachedText("TOOL_TITLE");
    EXPECT_EQ(title, c.title.substr(0, 258));
    const std::string tip = brevant::TrayTip();
    EXPECT_EQ(tip.size(), c.expected_tip_length);
    if (c.tip_is_title) {
      EXPECT_EQ(tip, title.substr(0, tip.size()));
    }
    brevant::DeviceTable().Unload();  // before the folder goes
  }
}

TEST(CustomerCodeName, OnlyTheCodeIsFilledIn) {
  // Whatever was loaded last, a stray conversion is kept as text.
  const std::string name = brevant::NameWithCustomerCode("a%s%n_%05d");
  EXPECT_EQ(name.rfind("a%s%n_", 0), 0u);
  EXPECT_EQ(name.size(), 11u);
  EXPECT_EQ(brevant::NameWithCustomerCode(std::string(200, 'n').c_str()).size(), 127u);
}

}  // namespace
