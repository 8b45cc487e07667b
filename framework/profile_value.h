// Values of settings files read through the profile API, whole: the API
// cuts a value silently at the buffer it is given, and a cut value can mean
// something else (a shortened address names another host).
#pragma once
#include <cstddef>
#include <string>

namespace fw {

struct ProfileValue {
  std::string text;
  // False when the value was longer than the limit: `text` is then its first
  // `limit` characters.
  bool whole = true;
};

// `key` of `section` in the file at `path`, or `fallback` when the file or
// the key is missing. The buffer grows until the value fits or `limit`
// characters are read.
ProfileValue ReadProfileValue(const std::string& path, const char* section, const char* key, const char* fallback,
                              std::size_t limit);

}  // namespace fw
