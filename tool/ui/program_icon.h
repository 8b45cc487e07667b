// The tool's icon (resource IDI_BREVANT) drawn for the size a window shows
// it at. LoadImage with LR_SHARED hands back the first size it loaded of a
// resource whatever size is asked for, so each size is loaded once here and
// kept for the life of the process: windows and buttons show these handles
// without owning them, and nobody destroys them.
#pragma once
#include <windows.h>

#include <string>

#include "scoped_gdi.h"

namespace brevant {

// The icon at `size` x `size` pixels; null for a size no icon is made at
// (outside 1..256) or when the resource cannot be loaded.
HICON ProgramIconAt(int size);
// At the small-icon (caption, button) and big-icon (Alt+Tab) sizes of the
// window's DPI.
HICON SmallProgramIcon(HWND window);
HICON BigProgramIcon(HWND window);

// An icon file (the bank's Brevant.ico beside the program) read at the size
// of a pair of system metrics (SM_CXSMICON/SM_CYSMICON, SM_CXICON/SM_CYICON)
// at `dpi`: the image drawn for that size, not one Windows shrinks.
fw::ScopedIcon IconFileAt(const std::string& file, int width_metric, int height_metric, int dpi);

}  // namespace brevant
