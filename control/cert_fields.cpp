#include "cert_fields.h"

#include <cstdio>
#include <cstring>

#include "text.h"

namespace kestrine {

void FindKeyCertificate(const tk::DeviceApi& api, const KeyConnection& key, KeyCertificate& cert) {
  const char* list = key.containers();
  const ULONG list_size = key.containers_size();
  std::size_t offset = 0;
  while (offset < list_size && list[offset] != '\0') {
    const char* name = list + offset;
    for (ULONG spec : {tk::kKeySpecSignature, tk::kKeySpecExchange}) {
      // Each read gets the whole buffer: a failed read may have left a larger
      // "needed" length behind, which the next read must not be given.
      cert.length = KeyCertificate::kBufferSize;
      cert.last_read = api.TK_ReadCert(key.application(), name, spec, cert.der, &cert.length);
      if (cert.last_read == tk::kOk && cert.length <= KeyCertificate::kBufferSize) {
        cert.found = true;
        return;
      }
      if (cert.last_read == tk::kOk) cert.last_read = tk::kBufferTooSmall;  // a length no buffer holds
    }
    offset += strnlen(name, list_size - offset) + 1;
  }
}

std::string SimpleDisplayName(PCCERT_CONTEXT cert) {
  // Fetched whole (the platform may give nothing rather than part of a name
  // that does not fit), then cut to what the name buffer has always held.
  constexpr std::size_t kMaxNameBytes = 1023;
  const DWORD needed = CertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (needed <= 1) return {};
  std::string name(needed + 1, '\0');
  CertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), needed + 1);
  name.resize(strnlen(name.c_str(), name.size()));
  // Never split a double-byte character.
  std::size_t cut = 0;
  while (cut < name.size()) {
    const std::size_t width = IsDBCSLeadByte(static_cast<BYTE>(name[cut])) ? 2 : 1;
    if (cut + width > kMaxNameBytes) break;
    cut += width;
  }
  name.resize(cut);
  return name;
}

std::string SerialHex(PCCERT_CONTEXT cert) {
  // The platform keeps the serial little-endian: the last byte comes first.
  const CRYPT_INTEGER_BLOB& serial = cert->pCertInfo->SerialNumber;
  return fw::HexUpper(serial.pbData, serial.cbData, true);
}

std::string LocalDate(const FILETIME& utc) {
  FILETIME local{};
  SYSTEMTIME date{};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &date)) return {};
  char text[128];
  std::snprintf(text, sizeof text, "%d-%d-%d", date.wYear, date.wMonth, date.wDay);
  return text;
}

}  // namespace kestrine
