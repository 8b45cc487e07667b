// site_probe ADDRESS: what the registered control answers a page at ADDRESS
// that embeds it and calls KeyInit(""), as a browser's container would site
// it (its moniker names the page). Built for both architectures, so that the
// 32-bit control is tried by a 32-bit container where 32-bit code runs.
// Prints "KeyInit refused", "KeyInit served" or why it could not ask.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "Kestrine_h.h"
#include "page_container.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: site_probe ADDRESS\n");
    return 2;
  }
  if (FAILED(OleInitialize(nullptr))) return 3;
  int status = 4;
  {
    PageSite site({"page", Host::Document, std::wstring(argv[1])});
    Microsoft::WRL::ComPtr<IKestrine> control;
    Microsoft::WRL::ComPtr<IOleObject> object;
    if (FAILED(CoCreateInstance(CLSID_Kestrine, nullptr, CLSCTX_INPROC_SERVER, IID_IKestrine,
                                reinterpret_cast<void**>(control.GetAddressOf()))) ||
        FAILED(control.As(&object)) || FAILED(object->SetClientSite(&site))) {
      std::printf("the control is not registered for this architecture\n");
    } else {
      BSTR none = SysAllocString(L"");
      VARIANT_BOOL done = -5;
      LONG error = 0;
      const HRESULT hr = control->KeyInit(none, &done);
      control->esgetErrorCode(&error);
      SysFreeString(none);
      const bool refused = hr == S_FALSE && done == 0 && error == 1003;
      std::printf("KeyInit %s (result 0x%08lX, value %d, error %ld)\n", refused ? "refused" : "served",
                  static_cast<unsigned long>(hr), done, error);
      object->SetClientSite(nullptr);
      status = 0;
    }
  }
  OleUninitialize();
  return status;
}
