// The certificate methods of CKestrine: one field of the key's first
// certificate each.
#include "bstr.h"
#include "cert_fields.h"
#include "control_state.h"
#include "kestrine.h"
#include "scoped_crypt.h"

namespace kestrine {

HRESULT CKestrine::ReadCertField(CertField field, BSTR* out) {
  if (out == nullptr) return S_FALSE;
  *out = nullptr;
  ControlState& state = State();
  if (!state.loaded()) {
    state.last_error = kErrorLibraryNotLoaded;
    return S_FALSE;
  }
  KeyConnection key(state.api);
  if (!key.Open()) {
    state.last_error = kErrorKeyNotOpened;
    return S_FALSE;
  }
  KeyCertificate found;
  FindKeyCertificate(state.api, key, found);
  fw::ScopedCertContext cert(
      found.found ? CertCreateCertificateContext(kCertEncoding, found.der, found.length) : nullptr);
  if (!cert) {
    // The name method has always told "nothing readable" (failure) apart
    // from "read but not a certificate" (success without a name).
    return field == CertField::CommonName && found.last_read == tk::kOk ? S_OK : S_FALSE;
  }
  std::string text;
  switch (field) {
    case CertField::CommonName:
    case CertField::DisplayName: text = SimpleDisplayName(cert.get()); break;
    case CertField::Serial: text = SerialHex(cert.get()); break;
    case CertField::BeginDate: text = LocalDate(cert.get()->pCertInfo->NotBefore); break;
    case CertField::EndDate: text = LocalDate(cert.get()->pCertInfo->NotAfter); break;
  }
  *out = fw::AnsiToBstr(text);
  return *out ? S_OK : S_FALSE;
}

STDMETHODIMP CKestrine::esKeyGetCertCN(BSTR* pstrCertCN) { return ReadCertField(CertField::CommonName, pstrCertCN); }
STDMETHODIMP CKestrine::GetCertDN(BSTR* pBstrDN) { return ReadCertField(CertField::DisplayName, pBstrDN); }
STDMETHODIMP CKestrine::GetCertSn(BSTR* pBstrRetCertSN) { return ReadCertField(CertField::Serial, pBstrRetCertSN); }
STDMETHODIMP CKestrine::GetCertBeginDate(BSTR* pBstrBDate) { return ReadCertField(CertField::BeginDate, pBstrBDate); }
STDMETHODIMP CKestrine::GetCertEndDate(BSTR* pBstrEDate) { return ReadCertField(CertField::EndDate, pBstrEDate); }

}  // namespace kestrine
