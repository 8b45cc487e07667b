#include "cert_viewer.h"

#include <prsht.h>
#include <cryptuiapi.h>

#include "scoped_handle.h"

namespace brevant {

bool ViewCertDialog(HWND owner, PCCERT_CONTEXT cert, const std::string& title) {
  if (cert == nullptr) return false;
  const fw::ScopedModule viewer(LoadLibraryA("cryptui.dll"));
  if (!viewer) return false;
  using ViewFn = BOOL(WINAPI*)(PCCRYPTUI_VIEWCERTIFICATE_STRUCTA, BOOL*);
  const auto view = reinterpret_cast<ViewFn>(
      reinterpret_cast<void*>(GetProcAddress(viewer.get(), "CryptUIDlgViewCertificateA")));
  if (view == nullptr) return false;
  HCERTSTORE own_store = cert->hCertStore;
  CRYPTUI_VIEWCERTIFICATE_STRUCTA record = {};
  record.dwSize = sizeof record;  // the viewer refuses any other size
  record.hwndParent = owner;
  record.dwFlags = CRYPTUI_DISABLE_ADDTOSTORE;
  record.szTitle = title.c_str();
  record.pCertContext = cert;
  record.cStores = own_store != nullptr ? 1 : 0;
  record.rghStores = own_store != nullptr ? &own_store : nullptr;
  view(&record, nullptr);
  return true;
}

}  // namespace brevant
