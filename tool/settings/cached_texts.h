// Texts and provider settings looked up once, in the main window's
// initialisation, and read-only afterwards (from any thread).
#pragma once
#include <string>

namespace brevant {

// Looks up every cached language text (260-byte buffers, the tray tip in 128
// bytes with the title as its fallback) and the four "CSPINFO" values of
// RVControl.ini. Longer texts are cut at a character boundary.
void LoadCachedTexts();
// The cached text of a language-file key (section "TOOL" and the others
// that cache); "" for a key that is not cached or before loading.
const char* CachedText(const char* key);
const char* TrayTip();
// "CSP_NAME", "SM2_STORE_NAME", "IS_REG_SM2_STORE", "PCODE"; "" otherwise.
const char* CspInfo(const char* key);
// The customer code (decimal value of "PCODE", 0 when not a number) put
// into a name format with one "%05d", in a 128-byte buffer.
std::string NameWithCustomerCode(const char* format);

}  // namespace brevant
