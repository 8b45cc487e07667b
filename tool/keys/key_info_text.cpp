#include "key_info_text.h"

namespace brevant {

std::string OperatingSystemText(const std::string& product, const std::string& version, const std::string& csd,
                                bool wow64, const std::string& after) {
  std::string text;
  for (const std::string* part : {&product, &version, &csd}) {
    if (part->empty()) continue;
    if (!text.empty()) text += ' ';
    text += *part;
  }
  return text + (wow64 ? " (64" : " (32") + after + ")";
}

std::string BrowserText(const std::string& svc_version, const std::string& version) {
  const std::string& full = svc_version.empty() ? version : svc_version;
  const std::size_t first = full.find('.');
  const std::size_t second = first == std::string::npos ? std::string::npos : full.find('.', first + 1);
  return "IE " + (second == std::string::npos ? std::string() : full.substr(0, second));
}

const char* KeyTypeTextKey(unsigned long type) {
  static const char* const kKeys[] = {"IDS_TARNEX1000_TYPE", "IDS_TARNEX2000_TYPE", "IDS_TARNEX3000_TYPE",
                                      "IDS_UNKNOW_TYPE"};
  return type >= 1 && type <= 4 ? kKeys[type - 1] : nullptr;
}

}  // namespace brevant
