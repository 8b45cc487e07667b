// The bank's addresses as the trusted-site settings take them apart:
// "scheme://host.domain[/path]".
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

// The longest scheme, host or domain an address may give (the 260-byte
// fields of the settings code, less the terminating zero).
constexpr std::size_t kSitePartMax = 259;

// 1 with scheme, host and domain set, or 0 with them untouched. The host is
// the first label of the name, the domain all that follows it.
int SplitSiteUrl(std::string_view address, std::string& scheme, std::string& host, std::string& domain);

// The addresses of a ";"-separated list, in order; empty items are skipped.
std::vector<std::string> SplitSiteList(std::string_view list);

}  // namespace brevant
