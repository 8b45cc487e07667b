#include "site_url.h"

namespace brevant {

int SplitSiteUrl(std::string_view address, std::string& scheme, std::string& host, std::string& domain) {
  if (address.find("http") == std::string_view::npos || address.find("//") == std::string_view::npos) return 0;
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos) return 0;
  // The three characters after the scheme are taken to be "://".
  const std::size_t host_start = colon + 3;
  if (host_start > address.size()) return 0;
  const std::size_t dot = address.find('.', host_start);
  if (dot == std::string_view::npos) return 0;
  const std::size_t domain_start = dot + 1;
  std::size_t domain_end = address.find('/', domain_start);
  if (domain_end == std::string_view::npos) domain_end = address.size();

  const std::string_view new_scheme = address.substr(0, colon);
  const std::string_view new_host = address.substr(host_start, dot - host_start);
  const std::string_view new_domain = address.substr(domain_start, domain_end - domain_start);
  // Refuse rather than cut: a shortened name would map a different site.
  if (new_scheme.size() > kSitePartMax || new_host.size() > kSitePartMax || new_domain.size() > kSitePartMax) {
    return 0;
  }
  scheme.assign(new_scheme);
  host.assign(new_host);
  domain.assign(new_domain);
  return 1;
}

std::vector<std::string> SplitSiteList(std::string_view list) {
  std::vector<std::string> addresses;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) addresses.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return addresses;
}

}  // namespace brevant
