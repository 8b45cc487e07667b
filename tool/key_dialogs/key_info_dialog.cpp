#include "key_info_dialog.h"

#include <utility>

#include "cached_texts.h"
#include "device_layer.h"
#include "key_info_text.h"
#include "key_tree_control.h"
#include "language.h"
#include "registry.h"
#include "resource.h"

namespace brevant {
namespace {

constexpr char kWindowsVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kBrowserKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";

// Layout, in pixels.
constexpr int kCaptionColumnWidth = 130, kValueColumnWidth = 244;
constexpr int kDialogWidth = 406, kDialogHeight = 252;

std::string MachineValue(const char* path, const char* name) {
  CRegistry registry(HKEY_LOCAL_MACHINE);
  std::string value;
  if (registry.Open(HKEY_LOCAL_MACHINE, path, false)) registry.ReadString(name, value);
  return value;
}

// A 64-bit program runs on a 64-bit Windows only; a 32-bit one does when
// it runs under WOW64.
bool WindowsIs64Bit() {
  if (sizeof(void*) == 8) return true;
  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto is_wow64 = reinterpret_cast<IsWow64Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return is_wow64 != nullptr && is_wow64(GetCurrentProcess(), &wow64) && wow64;
}

std::string ToolKeyText(const char* key) { return LngText("TOOL", key); }

}  // namespace

ComputerTexts ReadComputerTexts() {
  ComputerTexts texts;
  texts.operating_system = OperatingSystemText(
      MachineValue(kWindowsVersionKey, "ProductName"), MachineValue(kWindowsVersionKey, "CurrentVersion"),
      MachineValue(kWindowsVersionKey, "CSDVersion"), WindowsIs64Bit(), LngText("DeviceInfoPage", "IDS_OS_AFTER"));
  texts.browser = BrowserText(MachineValue(kBrowserKey, "svcVersion"), MachineValue(kBrowserKey, "Version"));
  return texts;
}

CKeyInfoDialog::CKeyInfoDialog(const tk::DeviceApi& api, std::string reader, ComputerTexts texts)
    : fw::Dialog(IDD_KEY_INFO), api_(api), reader_(std::move(reader)), texts_(std::move(texts)) {}

bool CKeyInfoDialog::OnInitDialog() {
  DetailsListControl(Item(IDC_KEY_INFO_LIST))
      .SetUpColumns(ToolKeyText("LIST_CTL_TEXT_0"), kCaptionColumnWidth, kValueColumnWidth);
  MoveItem(IDC_KEY_INFO_LIST, 12, 12, 378, 168);
  MoveItem(IDOK, 300, 190, 74, 20);
  SetWindowSize(kDialogWidth, kDialogHeight);
  CenterWindow();
  SetItemText(IDOK, ToolKeyText("BUT_IDOK"));
  SetText(CachedText("TOOL_TITLE"));
  FillKeyInfo();
  return true;
}

void CKeyInfoDialog::FillKeyInfo() {
  const KeyProperties key = ReadKeyProperties(api_, reader_, true);
  const char* type_key = KeyTypeTextKey(key.type);
  const std::pair<const char*, std::string> rows[] = {
      {"LIST_CTL_DEV_OS", texts_.operating_system},
      {"LIST_CTL_DEV_IE", texts_.browser},
      {"LIST_CTL_DEV_LABEL", key.label},
      {"LIST_CTL_DEV_TYPE", type_key != nullptr ? LngText("DeviceInfoPage", type_key) : std::string()},
      {"LIST_CTL_DEV_SERIAL", key.serial},
      {"LIST_CTL_DEV_PIN_MAX_LEN", std::to_string(kPinMaxLength)},
      {"LIST_CTL_DEV_PIN_SMALL_LEN", std::to_string(kPinMinLength)},
      {"LIST_CTL_DEV_RETRYNUM", std::to_string(key.retries_left)},
  };
  DetailsListControl list(Item(IDC_KEY_INFO_LIST));
  list.Clear();
  for (const auto& [caption, value] : rows) list.AddRow(ToolKeyText(caption), value);
}

void ShowKeyInfo(const tk::DeviceApi& api, KeyDialogHost& host, const std::string& reader,
                 const ComputerTexts& texts) {
  if (reader.empty() || !KeyIsPresent(api, reader)) return;
  RegisteredDialog<CKeyInfoDialog> dialog(host, reader, api, reader, texts);
  dialog.DoModal(host.HostWindow());
}

}  // namespace brevant
