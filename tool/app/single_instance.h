// One copy of the tool per desktop session: a named mutex, and the message
// with which a second start asks the running copy to come to the front.
#pragma once
#include <windows.h>

#include "scoped_handle.h"

namespace brevant {

inline constexpr char kInstanceMutexName[] = "Dunmorbk_5B8E2D71-A4C3-4E69-9F02-7C1D3E8A6B54";

struct SingleInstance {
  fw::ScopedHandle mutex;  // held until the process ends
  bool another_copy_runs = false;
  UINT bring_to_front_message = 0;
};

// Creates the mutex (initially owned) and registers the message; needs the
// cached settings (customer code).
SingleInstance ClaimSingleInstance();

}  // namespace brevant
