// The control DLL: process-wide state, loading of the device library on
// attach, class object and unload check.
#include <windows.h>

#include "com_object.h"
#include "control_state.h"
#include "kestrine.h"
#include "registration.h"
#include "window.h"

extern "C" {
HINSTANCE g_kestrine_module = nullptr;
}

namespace kestrine {

ControlState& State() {
  static ControlState state;
  return state;
}

}  // namespace kestrine

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_kestrine_module = instance;
    DisableThreadLibraryCalls(instance);
    kestrine::State().api.LoadBesideModule(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded by FreeLibrary (at process exit the system cleans up itself).
    // Window classes would outlive the DLL, pointing at its code.
    fw::UnregisterWindowClasses();
    kestrine::ReleaseTypeInfoCache();
    kestrine::State().api.Unload();
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_Kestrine) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) fw::ClassFactory(&kestrine::CKestrine::Create);
  if (factory == nullptr) return E_OUTOFMEMORY;
  return kestrine::Adopt<IClassFactory>(factory)->QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return fw::ModuleLock::Idle() ? S_OK : S_FALSE; }

namespace {
// Set by DllInstall with the command line "user": register for this user only.
bool g_per_user = false;
}  // namespace

extern "C" HRESULT WINAPI DllRegisterServer() { return kestrine::RegisterControl(g_kestrine_module, g_per_user); }

extern "C" HRESULT WINAPI DllUnregisterServer() {
  return kestrine::UnregisterControl(g_kestrine_module, g_per_user);
}

extern "C" HRESULT WINAPI DllInstall(BOOL install, LPCWSTR command_line) {
  const bool saved = g_per_user;
  g_per_user = command_line != nullptr && lstrcmpiW(command_line, L"user") == 0;
  HRESULT hr = S_OK;
  if (install) {
    hr = DllRegisterServer();
    if (FAILED(hr)) DllUnregisterServer();
  } else {
    hr = DllUnregisterServer();
  }
  g_per_user = saved;
  return hr;
}
