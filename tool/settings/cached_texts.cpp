#include "cached_texts.h"

#include <cstdio>
#include <cstring>

#include "language.h"
#include "text_cut.h"

namespace brevant {
namespace {

constexpr std::size_t kTrayTipBuffer = 128;
constexpr std::size_t kNameBuffer = 128;
constexpr char kCustomerCodeFormat[] = "%05d";

struct CachedEntry {
  const char* section;
  const char* key;
  char text[kTextBuffer];
};

// The texts shown often or from other threads: looked up once at start-up.
CachedEntry g_texts[] = {
    {"TOOL", "TOOL_TITLE", {}},
    {"TOOL", "TOOL_SYSTRAY_TIP", {}},
    {"TOOL", "LIST_CTL_TEXT_0", {}},
    {"TOOL", "LIST_CTL_DEV_LABEL", {}},
    {"TOOL", "LIST_CTL_DEV_TYPE", {}},
    {"TOOL", "LIST_CTL_DEV_SERIAL", {}},
    {"TOOL", "LIST_CTL_DEV_PIN_MAX_LEN", {}},
    {"TOOL", "LIST_CTL_DEV_PIN_SMALL_LEN", {}},
    {"TOOL", "LIST_CTL_CONTAINER_NAME", {}},
    {"TOOL", "LIST_CTL_CERT_NAME", {}},
    {"TOOL", "LIST_CTL_CERT_CONTAINER_NAME", {}},
    {"TOOL", "LIST_CTL_CERT_SERIAL", {}},
    {"TOOL", "PLEASE_SEL_KEY", {}},
    {"TOOL", "PLEASE_SEL_KEY_EVR", {}},
    {"TOOL", "CERT_UNFOUND", {}},
    {"TOOL", "FORMAT_TEXT", {}},
    {"TOOL", "FORMAT_ERROR", {}},
    {"TOOL", "FORMAT_SUCCESS", {}},
    {"TOOL", "KEY_INSERT", {}},
    {"TOOL", "KEY_REMOVE", {}},
    {"TOOL", "DLG_SOFT_KEY", {}},
    {"TOOL", "DLG_MOFIDY_LEBEL_EDIT1", {}},
    {"TOOL", "DLG_MOFIDY_PIN_EDIT1", {}},
    {"TOOL", "DLG_MOFIDY_PIN_OLD_PIN", {}},
    {"TOOL", "DLG_MOFIDY_PIN_NEW_PIN", {}},
    {"TOOL", "DLG_MOFIDY_PIN_NEW_PIN1", {}},
    {"TOOL", "DLG_MOFIDY_PIN_CHECK_PIN", {}},
    {"TOOL", "DLG_MOFIDY_PIN_CHANGE_SUCCESS", {}},
    {"TOOL", "DLG_MOFIDY_PIN_SAMEASOLD", {}},
    {"TOOL", "BUT_CHANGE_PIN", {}},
    {"TOOL", "BUT_CHANGE_LABEL", {}},
    {"TOOL", "BUT_CERT_INFO", {}},
    {"TOOL", "BUT_CERT_REG", {}},
    {"TOOL", "BUT_CERT_UNINSTALL", {}},
    {"TOOL", "BUT_CHECK_SVR", {}},
    {"TOOL", "BUT_FORMAT", {}},
    {"TOOL", "BUT_EXIT", {}},
    {"TOOL", "BUT_IDOK", {}},
    {"TOOL", "BUT_IDCANCEL", {}},
    {"TOOL", "WELCOM_TEXT_LOGIN", {}},
    {"TOOL", "USBKEY_PWD", {}},
    {"TOOL", "USBKEY_NAME", {}},
    {"TOOL", "ABOUTDLG_BANKNAME", {}},
    {"TOOL", "ABOUTDLG_BANKURL", {}},
    {"TOOL", "ABOUTDLG_BANKPHONE", {}},
    {"DeviceInfoPage", "IDS_TARNEX1000_TYPE", {}},
    {"DeviceInfoPage", "IDS_TARNEX2000_TYPE", {}},
    {"DeviceInfoPage", "IDS_TARNEX3000_TYPE", {}},
    {"DeviceInfoPage", "IDS_UNKNOW_TYPE", {}},
    {"DeviceInfoPage", "IDS_USER_PIN_LOCKED", {}},
    {"ChangePINPage", "QL_NEWPIN_LOW_PWSGRADE", {}},
    {"ChangePINPage", "IDS_USING_FIRSTTIME", {}},
    {"ChangePINPage", "IDS_SETPIN_SUCCESS", {}},
    {"ChangePINPage", "IDS_NEW_PIN_NOT_EQUAL", {}},
    {"QLAppView", "QLAPP_VERIFYPIN_ERR", {}},
    {"MsnWnd", "IDS_HINT", {}},
    {"CertManagePage", "REGCERT_SUC", {}},
    {"CertManagePage", "REGCERT_FAIL", {}},
    {"CertManagePage", "UNINSTALLCERT_SUC", {}},
    {"CertManagePage", "UNINSTALLCERT_FAIL", {}},
    {"KEYBOARD", "KEY_QUIT", {}},
    {"KEYBOARD", "KEY_BACKSPACE", {}},
    {"KEYBOARD", "KEY_CAPITAL_UP", {}},
    {"KEYBOARD", "KEY_CAPITAL_LOW", {}},
};

// Settings of the provider that the library reads from RVControl.ini.
CachedEntry g_csp_info[] = {
    {"CSPINFO", "CSP_NAME", {}},
    {"CSPINFO", "SM2_STORE_NAME", {}},
    {"CSPINFO", "IS_REG_SM2_STORE", {}},
    {"CSPINFO", "PCODE", {}},
};

char g_tray_tip[kTrayTipBuffer] = {};
int g_customer_code = 0;

template <std::size_t N>
const char* Find(const CachedEntry (&entries)[N], const char* key) {
  if (key == nullptr) return "";
  for (const CachedEntry& entry : entries)
    if (std::strcmp(entry.key, key) == 0) return entry.text;
  return "";
}

}  // namespace

void LoadCachedTexts() {
  for (CachedEntry& entry : g_texts) CopyCut(entry.text, LngText(entry.section, entry.key));
  for (CachedEntry& entry : g_csp_info) CopyCut(entry.text, LngLoadText(kSettingsFileName, entry.section, entry.key));
  const char* tip = CachedText("TOOL_SYSTRAY_TIP");
  CopyCut(g_tray_tip, *tip ? tip : CachedText("TOOL_TITLE"));
  g_customer_code = ParseDecimal(CspInfo("PCODE"));
}

const char* CachedText(const char* key) { return Find(g_texts, key); }

const char* TrayTip() { return g_tray_tip; }

const char* CspInfo(const char* key) { return Find(g_csp_info, key); }

std::string NameWithCustomerCode(const char* format) {
  if (format == nullptr) return {};
  // The format is filled in by hand rather than handed to printf, so that a
  // stray conversion in a name can never read arguments that are not there.
  std::string name = format;
  const std::size_t at = name.find(kCustomerCodeFormat);
  if (at != std::string::npos) {
    char digits[16] = {};
    std::snprintf(digits, sizeof digits, "%05d", g_customer_code);
    name.replace(at, sizeof kCustomerCodeFormat - 1, digits);
  }
  return CutText(name, kNameBuffer);
}

}  // namespace brevant
