// Text lookup through the device library: every caption and message of the
// tool comes from the language file, section and key.
#pragma once
#include <cstddef>
#include <string>

namespace brevant {

inline constexpr char kLanguageFile[] = "TKLN0804.ini";
inline constexpr char kSettingsFileName[] = "RVControl.ini";
// Every fixed text, path and settings buffer of the tool.
inline constexpr std::size_t kTextBuffer = 260;

// The library's text for file/section/key, copied at once; empty when the
// library, its lookup or the text is missing.
std::string LngLoadText(const char* file, const char* section, const char* key);
inline std::string LngText(const char* section, const char* key) { return LngLoadText(kLanguageFile, section, key); }

}  // namespace brevant
