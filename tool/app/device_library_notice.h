// What the user is told when the device library is not beside the program:
// without it the tool can see no key and has no texts, so it would otherwise
// run on silently with empty windows.
#pragma once
#include <windows.h>

#include <string>

namespace brevant {

struct DeviceLibraryNotice {
  std::wstring caption;
  std::wstring text;
};

// The texts from the language file in `program_folder`, read directly (the
// library that looks texts up is the one missing); a built-in text for each
// one the file lacks or that has no file at all.
DeviceLibraryNotice DeviceLibraryMissingNotice(const std::string& program_folder);

// One message box over `owner`, on the user-interface thread.
void TellDeviceLibraryMissing(HWND owner, const std::string& program_folder);

}  // namespace brevant
