#include "cert_store.h"

#include <shlobj.h>

#include <cstring>
#include <vector>

#include "device_layer.h"
#include "device_session.h"
#include "scoped_crypt.h"
#include "text.h"
#include "text_cut.h"

namespace brevant {
namespace {

constexpr DWORD kStoreFlags = CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_NO_CRYPT_RELEASE_FLAG;
constexpr std::size_t kProviderNameBytes = 256;
constexpr BYTE kDigitalSignature = 0x80, kNonRepudiation = 0x40, kKeyEncipherment = 0x20;
constexpr char kKeyFolder[] = "Microsoft\\SystemCertificates\\My\\Keys\\";
constexpr std::size_t kKeyPathBytes = 1024;

// The registry store behind the user's system store of that name: the entries
// land in the same place (HKCU\Software\Microsoft\SystemCertificates\NAME),
// and every reader of the system store sees them. Opened as the system store
// itself, Wine keeps two registry keys open for every certificate found
// already present or deleted, so a tool that re-registers at every key
// event grew without end.
fw::ScopedCertStore OpenUserStore(const std::string& name) {
  const std::wstring wide = fw::AnsiToWide(name);
  return fw::ScopedCertStore(CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, kStoreFlags, wide.c_str()));
}

// The provider name as the record holds it: at most 255 bytes.
std::wstring ProviderName(const char* provider) { return fw::AnsiToWide(CutText(provider, kProviderNameBytes)); }

// The key-provider record a certificate carries; nothing when it has none.
std::optional<std::vector<BYTE>> KeyProviderInfo(PCCERT_CONTEXT cert) {
  DWORD size = 0;
  if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size) || size == 0)
    return std::nullopt;
  std::vector<BYTE> info(size);
  if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, info.data(), &size)) return std::nullopt;
  return info;
}

const CRYPT_KEY_PROV_INFO& AsProviderInfo(const std::vector<BYTE>& bytes) {
  return *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
}

// The certificate type of the container on a connected key; 0 when the key
// cannot tell.
ULONG CertTypeOn(const tk::DeviceApi& api, TK_HANDLE device, const char* container, DWORD key_spec) {
  ULONG type = 0;
  if (api.TK_GetCertType(device, container, key_spec, &type) != tk::kOk) return 0;
  return type;
}

// The certificate type of the container, asked from the key the certificate
// came from.
ULONG CertTypeOf(const tk::DeviceApi& api, const char* reader, const char* container, DWORD key_spec) {
  tk::DeviceConnection device(api);
  if (device.Connect(reader) != tk::kOk) return 0;
  EnumApplication(api, device.get());
  return CertTypeOn(api, device.get(), container, key_spec);
}

// Registration with the certificate type from `type_of(key_spec)`, asked
// only once the arguments are accepted.
template <typename TypeOf>
DWORD Register(const BYTE* cert, DWORD length, const char* provider, const char* container, const char* sm2_store,
               TypeOf type_of) {
  if (cert == nullptr || provider == nullptr || container == nullptr || *provider == '\0' || *container == '\0' ||
      length < 1 || length > kMaxRegisteredCertBytes)
    return ERROR_INVALID_PARAMETER;
  const std::optional<DWORD> usage_spec = KeySpecFromUsage(cert, length);
  if (!usage_spec) return kRegistrationFailed;
  const DWORD key_spec = *usage_spec == 0 ? AT_KEYEXCHANGE : *usage_spec;
  const ULONG type = type_of(key_spec);
  const std::string store_name = type == kSm2CertType && sm2_store != nullptr ? sm2_store : kPersonalStore;

  const fw::ScopedCertStore store = OpenUserStore(store_name);
  if (!store) return kRegistrationFailed;
  return AddCertWithKeyProvider(store.get(), cert, length, provider, container, key_spec);
}

// Deletes the entries of the provider from one store. The walk collects
// them first: deleting while enumerating does not end on every platform.
DWORD RemoveFromStore(const std::string& store_name, const std::wstring& provider) {
  const fw::ScopedCertStore store = OpenUserStore(store_name);
  if (!store) return GetLastError();
  std::vector<fw::ScopedCertContext> matching;
  try {
    for (PCCERT_CONTEXT cert = nullptr; (cert = CertEnumCertificatesInStore(store.get(), cert)) != nullptr;) {
      const std::optional<std::vector<BYTE>> info = KeyProviderInfo(cert);
      if (!info) continue;
      const CRYPT_KEY_PROV_INFO& record = AsProviderInfo(*info);
      if (record.pwszProvName == nullptr || provider != record.pwszProvName || record.dwProvType != PROV_RSA_FULL)
        continue;
      matching.emplace_back(CertDuplicateCertificateContext(cert));
    }
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  for (fw::ScopedCertContext& cert : matching) {
    // The deletion frees the duplicate handed to it.
    if (!CertDeleteCertificateFromStore(CertDuplicateCertificateContext(cert.get()))) return GetLastError();
    DeleteCachedKeyFile(cert.get());
  }
  CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
  return 0;
}

}  // namespace

std::optional<DWORD> KeySpecFromUsage(const BYTE* cert, DWORD length) {
  const fw::ScopedCertContext context(CertCreateCertificateContext(kCertEncoding, cert, length));
  if (!context) return std::nullopt;
  BYTE usage[4] = {};
  if (!CertGetIntendedKeyUsage(X509_ASN_ENCODING, context.get()->pCertInfo, usage, sizeof usage)) return 0;
  const BYTE all_three = kDigitalSignature | kNonRepudiation | kKeyEncipherment;
  if ((usage[0] & all_three) == all_three) return AT_KEYEXCHANGE;
  return (usage[0] & kDigitalSignature) != 0 ? AT_SIGNATURE : AT_KEYEXCHANGE;
}

DWORD RegisterCertToStore(const tk::DeviceApi& api, const char* reader, const BYTE* cert, DWORD length,
                          const char* provider, const char* container, const char* sm2_store) {
  return Register(cert, length, provider, container, sm2_store, [&](DWORD key_spec) {
    return reader != nullptr ? CertTypeOf(api, reader, container, key_spec) : 0;
  });
}

DWORD RegisterConnectedCert(const tk::DeviceApi& api, TK_HANDLE device, const BYTE* cert, DWORD length,
                            const char* provider, const char* container, const char* sm2_store) {
  return Register(cert, length, provider, container, sm2_store, [&](DWORD key_spec) {
    return device != nullptr ? CertTypeOn(api, device, container, key_spec) : 0;
  });
}

DWORD AddCertWithKeyProvider(HCERTSTORE store, const BYTE* cert, DWORD length, const char* provider,
                             const char* container, DWORD key_spec) {
  const fw::ScopedCertContext context(CertCreateCertificateContext(kCertEncoding, cert, length));
  if (!context) return kRegistrationFailed;
  std::wstring provider_name = ProviderName(provider);
  std::wstring container_name = fw::AnsiToWide(container);
  CRYPT_KEY_PROV_INFO record = {};
  record.pwszContainerName = container_name.data();
  record.pwszProvName = provider_name.data();
  record.dwProvType = PROV_RSA_FULL;
  record.dwKeySpec = key_spec;

  // The user's store keeps one entry per certificate (keyed by its
  // thumbprint), so a certificate held in two containers of a key cannot
  // have an entry for each: a second entry overwrites the first when the
  // store is written. An entry already bound to our provider is therefore
  // left as it is, whichever of our containers it names: the first
  // container registered keeps it, instead of the entry flipping between
  // the two and being rewritten at every key event (which also cost Wine
  // about 2 KiB each time). An entry of another provider is bound to ours
  // as before; one without a key-provider record is not touched.
  DWORD disposition = CERT_STORE_ADD_NEW;
  const fw::ScopedCertContext existing(
      CertFindCertificateInStore(store, kCertEncoding, 0, CERT_FIND_EXISTING, context.get(), nullptr));
  if (existing) {
    const std::optional<std::vector<BYTE>> info = KeyProviderInfo(existing.get());
    if (!info) return kRegistrationFailed;
    const CRYPT_KEY_PROV_INFO& stored = AsProviderInfo(*info);
    if (stored.pwszProvName != nullptr && provider_name == stored.pwszProvName &&
        stored.dwProvType == record.dwProvType)
      return 0;
    disposition = CERT_STORE_ADD_REPLACE_EXISTING;
  }
  if (!CertSetCertificateContextProperty(context.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &record) ||
      !CertAddCertificateContextToStore(store, context.get(), disposition, nullptr))
    return kRegistrationFailed;
  // Wine's registry store does not count a replacement as a change and
  // would close without writing it; a forced commit writes it out (added
  // beside the old entry instead, the new one would be written first and the
  // old one over it). Stores that write at once, or never, may refuse the
  // commit: nothing is lost by that.
  if (disposition == CERT_STORE_ADD_REPLACE_EXISTING)
    static_cast<void>(CertControlStore(store, CERT_STORE_CTRL_COMMIT_FORCE_FLAG, CERT_STORE_CTRL_COMMIT, nullptr));
  return 0;
}

DWORD RemoveProviderCerts(const char* provider, const char* sm2_store) {
  if (provider == nullptr || *provider == '\0') return ERROR_INVALID_PARAMETER;
  const std::wstring provider_name = ProviderName(provider);
  if (const DWORD result = RemoveFromStore(kPersonalStore, provider_name); result != 0) return result;
  if (sm2_store == nullptr || *sm2_store == '\0') return 0;
  return RemoveFromStore(sm2_store, provider_name);
}

std::string CachedKeyFileName(const BYTE* extension_value, std::size_t length) {
  // The value is a DER octet string: its tag and length byte come first.
  return length > 2 ? fw::HexUpper(extension_value + 2, length - 2) : std::string();
}

DWORD DeleteCachedKeyFile(PCCERT_CONTEXT cert) {
  if (cert == nullptr) return kNoCertificateGiven;
  const CERT_INFO& info = *cert->pCertInfo;
  const CERT_EXTENSION* ski = CertFindExtension(szOID_SUBJECT_KEY_IDENTIFIER, info.cExtension, info.rgExtension);
  if (ski == nullptr) return GetLastError();
  char folder[MAX_PATH] = {};
  const HRESULT found = SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder);
  if (FAILED(found)) return GetLastError();
  std::string path = folder;
  if (path.empty()) return 0;
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  path += kKeyFolder;
  path += CachedKeyFileName(ski->Value.pbData, ski->Value.cbData);
  if (path.size() >= kKeyPathBytes) return 0;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    DeleteFileA(path.c_str());
  }
  return 0;
}

}  // namespace brevant
