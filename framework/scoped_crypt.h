// Owners for certificate services objects.
#pragma once
#include <windows.h>
#include <wincrypt.h>

#include "scoped_handle.h"

namespace fw {

struct CertContextTraits {
  using Type = PCCERT_CONTEXT;
  static Type Invalid() { return nullptr; }
  static void Close(Type c) { CertFreeCertificateContext(c); }
};

struct CertStoreTraits {
  using Type = HCERTSTORE;
  static Type Invalid() { return nullptr; }
  static void Close(Type s) { CertCloseStore(s, 0); }
};

using ScopedCertContext = Scoped<CertContextTraits>;
using ScopedCertStore = Scoped<CertStoreTraits>;

}  // namespace fw
