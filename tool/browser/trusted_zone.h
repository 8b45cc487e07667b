// The install run's browser settings: the bank's addresses in the current
// user's trusted-sites zone, and that zone allowed to load and script the
// control and made to always ask for the client certificate.
#pragma once
#include <string>
#include <vector>

namespace brevant {

// "scheme://host.domain" for every zone mapping of the current user whose
// scheme value is not 0.
std::vector<std::string> ListTrustedUrls();
// 1 when Domains\<domain>\<host> holds a value named `scheme`.
int IsSiteEntryPresent(const std::string& scheme, const std::string& host, const std::string& domain);
// Maps scheme://host.domain to the trusted-sites zone unless a mapping for
// it exists already; 0 when a key or the value could not be written.
int AddSiteEntry(const std::string& scheme, const std::string& host, const std::string& domain);

// Maps every address of the ";"-separated `list`; 0 when the walk stopped at
// an address it could not take apart or write (those before it stay).
int SetupTrustedSites(const std::string& list);
// The same for IDS_IESET_TRUST of the settings file beside the program.
int SetupTrustedSites();
// The four URL actions of the trusted-sites zone; 0 when one was not written.
int SetTrustedZonePolicy();

// What the install run does: both steps, whatever the first gave.
void ApplyTrustedSiteSettings();

}  // namespace brevant
