// The key's certificates in the current user's certificate stores: each one
// registered with the key container that holds its private key and the
// tool's provider, so that the browser finds key and certificate; and taken
// out again, by provider, when keys leave. No state between calls: each call
// opens and closes its own store.
#pragma once
#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <optional>
#include <string>

#include "device_api.h"

namespace brevant {

inline constexpr DWORD kCertEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
inline constexpr DWORD kMaxRegisteredCertBytes = 8192;
inline constexpr DWORD kRegistrationFailed = 0x88000008;
inline constexpr DWORD kNoCertificateGiven = 0x88000001;
inline constexpr char kPersonalStore[] = "MY";
inline constexpr ULONG kSm2CertType = 2;

// AT_SIGNATURE (2) when the digital-signature bit is set, unless
// non-repudiation and key encipherment are set too; AT_KEYEXCHANGE (1)
// otherwise; 0 without a key-usage extension; nothing when the bytes are
// not a certificate.
std::optional<DWORD> KeySpecFromUsage(const BYTE* cert, DWORD length);

// Registers one certificate read from `container` of the key in `reader`
// into "MY", or into `sm2_store` when the key reports certificate type 2:
// 0, 87 for rejected arguments, kRegistrationFailed otherwise.
DWORD RegisterCertToStore(const tk::DeviceApi& api, const char* reader, const BYTE* cert, DWORD length,
                          const char* provider, const char* container, const char* sm2_store);
// The same for a certificate read on a connection the caller holds open to
// its key (application selected): the certificate type is asked on it.
// The store is still opened for this one entry: Wine's store writes back at
// its close every entry it loaded at its opening, so a store held open
// across a listing would bring back entries a removal took out meanwhile.
DWORD RegisterConnectedCert(const tk::DeviceApi& api, TK_HANDLE device, const BYTE* cert, DWORD length,
                            const char* provider, const char* container, const char* sm2_store);

// The store part of registration, on a store the caller holds open.
DWORD AddCertWithKeyProvider(HCERTSTORE store, const BYTE* cert, DWORD length, const char* provider,
                             const char* container, DWORD key_spec);

// Deletes every entry of `provider` (provider type 1) from "MY" and from
// `sm2_store`, with their cached key files; other entries stay. 0, 87 for
// no provider, 8 when memory runs out, else the store's last error.
DWORD RemoveProviderCerts(const char* provider, const char* sm2_store);

// Deletes the key file the system caches for the certificate's subject key
// identifier under the user's application data.
DWORD DeleteCachedKeyFile(PCCERT_CONTEXT cert);
// The file's name: the key identifier (the extension's value without its
// tag and length bytes) in upper-case hexadecimal.
std::string CachedKeyFileName(const BYTE* extension_value, std::size_t length);

}  // namespace brevant
