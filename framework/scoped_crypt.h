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

using ScopedCertContext = Scoped<CertContextTraits>;

}  // namespace fw
