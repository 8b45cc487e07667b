#include "trusted_sites.h"

#include "bank_sites_file.h"
#include "console.h"

namespace corvane {

TrustedOrigins LoadTrustedOrigins() { return sites::LoadTrustedOriginsBeside(nullptr); }

void TraceTrustedOrigins(const TrustedOrigins& trusted) {
  if (trusted.origins().empty()) {
    const std::string path = sites::SettingsFileBeside(nullptr);
    WriteOut("no bank site in IDS_IESET_TRUST of " + (path.empty() ? std::string(sites::kSettingsFile) : path) +
             ": KeyInit and esKeyUnblockUsrPin are refused to every page\n");
  } else {
    std::string line = "KeyInit and esKeyUnblockUsrPin are served to programs and to";
    for (const std::string& origin : trusted.origins()) line += " " + origin;
    WriteOut(line + "\n");
  }
}

}  // namespace corvane
