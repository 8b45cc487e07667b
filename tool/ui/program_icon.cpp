#include "program_icon.h"

#include <map>
#include <mutex>

#include "dpi.h"
#include "resource.h"
#include "scoped_gdi.h"

namespace brevant {

HICON ProgramIconAt(int size) {
  constexpr int kLargestIcon = 256;
  if (size <= 0 || size > kLargestIcon) return nullptr;
  static std::mutex lock;
  static std::map<int, fw::ScopedIcon> loaded;
  const std::lock_guard guard(lock);
  fw::ScopedIcon& icon = loaded[size];
  if (!icon)
    icon.reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_BREVANT), IMAGE_ICON, size, size, 0)));
  return icon.get();
}

HICON SmallProgramIcon(HWND window) { return ProgramIconAt(fw::SystemMetricAt(SM_CXSMICON, fw::WindowDpi(window))); }

HICON BigProgramIcon(HWND window) { return ProgramIconAt(fw::SystemMetricAt(SM_CXICON, fw::WindowDpi(window))); }

fw::ScopedIcon IconFileAt(const std::string& file, int width_metric, int height_metric, int dpi) {
  return fw::ScopedIcon(static_cast<HICON>(LoadImageA(nullptr, file.c_str(), IMAGE_ICON,
                                                      fw::SystemMetricAt(width_metric, dpi),
                                                      fw::SystemMetricAt(height_metric, dpi), LR_LOADFROMFILE)));
}

}  // namespace brevant
