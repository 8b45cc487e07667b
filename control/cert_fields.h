// The user's certificate on the key and the fields the script methods return.
#pragma once
#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "key_connection.h"

namespace kestrine {

constexpr DWORD kCertEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct KeyCertificate {
  static constexpr ULONG kBufferSize = 3072;
  BYTE der[kBufferSize] = {};
  ULONG length = kBufferSize;
  bool found = false;
  // Result of the last read attempt; 0 when there was nothing to read.
  tk::Result last_read = tk::kOk;
};

// Walks the containers: the signature certificate of the first container that
// has one, else that container's exchange certificate, else the next
// container.
void FindKeyCertificate(const tk::DeviceApi& api, const KeyConnection& key, KeyCertificate& cert);

// The subject's simple display name (common name, else the attribute the
// platform picks), cut to 1023 characters.
std::string SimpleDisplayName(PCCERT_CONTEXT cert);
// Serial number bytes, most significant first, as upper-case hex.
std::string SerialHex(PCCERT_CONTEXT cert);
// A UTC time as the local date (current time-zone offset), "%d-%d-%d".
std::string LocalDate(const FILETIME& utc);

}  // namespace kestrine
