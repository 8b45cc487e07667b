// certlist: the user's store entries bound to one provider, a line each:
// store, container, key spec, subject. Used by the demo's check.
//   certlist PROVIDER STORE...
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "scoped_crypt.h"
#include "text.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: certlist PROVIDER STORE...\n");
    return 2;
  }
  const std::wstring provider = fw::AnsiToWide(argv[1]);
  int found = 0;
  for (int i = 2; i < argc; ++i) {
    const fw::ScopedCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                                  fw::AnsiToWide(argv[i]).c_str()));
    if (!store) continue;
    for (PCCERT_CONTEXT cert = nullptr; (cert = CertEnumCertificatesInStore(store.get(), cert)) != nullptr;) {
      DWORD size = 0;
      if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) continue;
      std::vector<BYTE> bytes(size);
      if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, bytes.data(), &size)) continue;
      const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
      if (info.pwszProvName == nullptr || provider != info.pwszProvName) continue;
      char subject[256] = {};
      CertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, subject, sizeof subject);
      std::printf("%s  %s  key spec %lu  %s\n", argv[i],
                  fw::WideToAnsi(info.pwszContainerName ? info.pwszContainerName : L"").c_str(),
                  static_cast<unsigned long>(info.dwKeySpec), subject);
      ++found;
    }
  }
  std::printf("%d entries of %s\n", found, argv[1]);
  return 0;
}
