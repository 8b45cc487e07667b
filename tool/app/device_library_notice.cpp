#include "device_library_notice.h"

#include "language.h"
#include "text.h"

namespace brevant {
namespace {

// The language file's own words, for a folder that has no language file.
constexpr char kBuiltInCaption[] = "USBKey证书管理工具";
constexpr char kBuiltInText[] =
    "未找到USBKey设备库（RVA.dll），证书管理工具无法识别USBKey。请重新安装本软件，或联系银行获取USBKey驱动。";

std::wstring FileText(const std::string& file, const char* key, const char* built_in) {
  char text[kTextBuffer] = {};
  GetPrivateProfileStringA("TOOL", key, "", text, sizeof text, file.c_str());
  return text[0] != '\0' ? fw::AnsiToWide(text) : fw::Utf8ToWide(built_in);
}

}  // namespace

DeviceLibraryNotice DeviceLibraryMissingNotice(const std::string& program_folder) {
  const std::string file = program_folder + "\\" + kLanguageFile;
  return {FileText(file, "TOOL_TITLE", kBuiltInCaption), FileText(file, "IDS_DEVICE_LIB_MISSING", kBuiltInText)};
}

void TellDeviceLibraryMissing(HWND owner, const std::string& program_folder) {
  const DeviceLibraryNotice notice = DeviceLibraryMissingNotice(program_folder);
  MessageBoxW(owner, notice.text.c_str(), notice.caption.c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

}  // namespace brevant
