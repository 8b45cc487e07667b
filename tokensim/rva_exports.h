// Declarations of the library's exports from the one list the binding uses,
// so a definition whose shape differs from the binding's does not compile.
#pragma once
#include "device_api.h"

extern "C" {
#define TK_DECLARE_EXPORT(name, params) ULONG WINAPI name params;
TK_DEVICE_FUNCTIONS(TK_DECLARE_EXPORT)
#undef TK_DECLARE_EXPORT
const char* WINAPI LngLoadString(const char* file, const char* section, const char* key);
ULONG WINAPI RVASim_OpenHandleCount();
}
