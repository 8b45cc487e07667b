#include "trusted_zone.h"

#include <windows.h>

#include "bank_sites_file.h"
#include "registry.h"
#include "site_url.h"

namespace brevant {
namespace {

constexpr char kDomainsPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
constexpr char kTrustedZonePath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\2";
constexpr DWORD kTrustedZone = 2;

struct ZoneAction {
  const char* name;
  DWORD data;
};
constexpr ZoneAction kTrustedZoneActions[] = {
    {"1001", 0},  // download signed ActiveX controls: enable
    {"1200", 0},  // run ActiveX controls and plug-ins: enable
    {"1405", 0},  // script controls marked safe for scripting: enable
    {"1A04", 3},  // no certificate prompt with one or no certificate: disable, so the user always chooses
};

std::string DomainPath(const std::string& domain) { return std::string(kDomainsPath) + "\\" + domain; }

std::string HostPath(const std::string& domain, const std::string& host) {
  return DomainPath(domain) + "\\" + host;
}

// A value of another type or size still counts as present: it is the user's
// mapping, and it is not ours to overwrite.
bool HasValue(CRegistry& key, const std::string& name) {
  DWORD ignored = 0;
  return key.ReadDword(name, ignored) || key.LastResult() == ERROR_MORE_DATA;
}

}  // namespace

std::vector<std::string> ListTrustedUrls() {
  std::vector<std::string> urls;
  CRegistry domains(HKEY_CURRENT_USER);
  if (!domains.Open(HKEY_CURRENT_USER, kDomainsPath, true)) return urls;
  std::string domain;
  for (DWORD d = 0; domains.EnumKey(d, domain); ++d) {
    CRegistry domain_key(HKEY_CURRENT_USER);
    if (!domain_key.Open(HKEY_CURRENT_USER, DomainPath(domain), true)) continue;
    std::string host;
    for (DWORD h = 0; domain_key.EnumKey(h, host); ++h) {
      CRegistry host_key(HKEY_CURRENT_USER);
      if (!host_key.Open(HKEY_CURRENT_USER, HostPath(domain, host), true)) continue;
      std::string scheme;
      for (DWORD v = 0; host_key.EnumValue(v, scheme); ++v) {
        DWORD zone = 0;
        if (scheme.find("http") == std::string::npos || !host_key.ReadDword(scheme, zone) || zone == 0) continue;
        urls.push_back(scheme + "://" + host + "." + domain);
      }
    }
  }
  return urls;
}

int IsSiteEntryPresent(const std::string& scheme, const std::string& host, const std::string& domain) {
  CRegistry key(HKEY_CURRENT_USER);
  if (!key.Open(HKEY_CURRENT_USER, DomainPath(domain), true)) return 0;
  if (!key.Open(HKEY_CURRENT_USER, HostPath(domain, host), true)) return 0;
  return HasValue(key, scheme) ? 1 : 0;
}

int AddSiteEntry(const std::string& scheme, const std::string& host, const std::string& domain) {
  CRegistry key(HKEY_CURRENT_USER);
  if (!key.OpenOrCreateKey(kDomainsPath)) return 0;
  if (!key.OpenOrCreateKey(DomainPath(domain))) return 0;
  if (!key.OpenOrCreateKey(HostPath(domain, host))) return 0;
  if (HasValue(key, scheme)) return 1;
  return key.WriteDword(scheme, kTrustedZone) ? 1 : 0;
}

int SetupTrustedSites(const std::string& list) {
  for (const std::string& address : SplitSiteList(list)) {
    std::string scheme, host, domain;
    if (SplitSiteUrl(address, scheme, host, domain) && !IsSiteEntryPresent(scheme, host, domain)) {
      bool trusted = false;
      for (const std::string& url : ListTrustedUrls()) {
        if (url.find(address) != std::string::npos) {
          trusted = true;
          break;
        }
      }
      if (trusted) continue;
    }
    if (!SplitSiteUrl(address, scheme, host, domain)) return 0;
    if (!AddSiteEntry(scheme, host, domain)) return 0;
  }
  return 1;
}

int SetupTrustedSites() { return SetupTrustedSites(sites::ReadBankSiteList(sites::SettingsFileBeside(nullptr))); }

int SetTrustedZonePolicy() {
  CRegistry zone(HKEY_CURRENT_USER);
  if (!zone.OpenOrCreateKey(kTrustedZonePath)) return 0;
  int written = 1;
  for (const ZoneAction& action : kTrustedZoneActions) {
    if (!zone.WriteDword(action.name, action.data)) written = 0;
  }
  return written;
}

void ApplyTrustedSiteSettings() {
  // Neither step depends on the other, and the install run goes on to the
  // main window whatever they gave.
  SetupTrustedSites();
  SetTrustedZonePolicy();
}

}  // namespace brevant
