// A device library that exports only a few names and counts every call, to
// show that the binding never calls what is missing.
#include <windows.h>

#include <cstring>

#include "tk_defs.h"

namespace {
LONG g_list_calls = 0, g_connect_calls = 0, g_disconnect_calls = 0;
}

extern "C" {

ULONG WINAPI TK_ListReaders(char* names, ULONG* size, ULONG* count) {
  InterlockedIncrement(&g_list_calls);
  static const char kList[] = "Fake Reader 0\0";
  if (*size < sizeof kList) return tk::kBufferTooSmall;
  std::memcpy(names, kList, sizeof kList);
  *size = sizeof kList;
  *count = 1;
  return 0;
}

ULONG WINAPI TK_ConnectDev(const char*, void** device) {
  InterlockedIncrement(&g_connect_calls);
  *device = reinterpret_cast<void*>(0x1234);
  return 0;
}

ULONG WINAPI TK_DisConnectDev(void* device) {
  InterlockedIncrement(&g_disconnect_calls);
  return device == reinterpret_cast<void*>(0x1234) ? 0 : 1;
}

// Calls so far: 0 list, 1 connect, 2 disconnect.
LONG WINAPI FakeRva_Calls(int which) {
  return which == 0 ? g_list_calls : which == 1 ? g_connect_calls : g_disconnect_calls;
}
}
