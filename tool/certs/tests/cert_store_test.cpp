// Certificates into the user's stores and out again, against Wine's stores
// and the software token (which tells each container's certificate type).
#include "cert_store.h"

#include <shlobj.h>

#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "device_layer.h"
#include "device_session.h"
#include "process_probe.h"
#include "scoped_crypt.h"
#include "scoped_handle.h"
#include "text.h"
#include "token_test_base.h"

namespace {

using brevant::RegisterCertToStore;

constexpr char kProvider[] = "Brevant Test CSP";
constexpr char kOtherProvider[] = "Another Test CSP";
constexpr char kSm2Store[] = "BrevantTestSM2";

std::string Cert(const char* name) {
  std::string bytes;
  EXPECT_TRUE(simtest::ReadFileBytes(simtest::CertFile(name), bytes)) << name;
  return bytes;
}
const BYTE* Bytes(const std::string& s) { return reinterpret_cast<const BYTE*>(s.data()); }
DWORD Size(const std::string& s) { return static_cast<DWORD>(s.size()); }

struct Entry {
  std::wstring container, provider;
  DWORD type = 0, key_spec = 0;
  bool has_info = false;
};

std::vector<Entry> EntriesOf(HCERTSTORE store) {
  std::vector<Entry> entries;
  for (PCCERT_CONTEXT cert = nullptr; (cert = CertEnumCertificatesInStore(store, cert)) != nullptr;) {
    Entry entry;
    DWORD size = 0;
    if (CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) {
      std::vector<BYTE> bytes(size);
      CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, bytes.data(), &size);
      const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
      entry = {info.pwszContainerName ? info.pwszContainerName : L"", info.pwszProvName ? info.pwszProvName : L"",
               info.dwProvType, info.dwKeySpec, true};
    }
    entries.push_back(entry);
  }
  return entries;
}

std::vector<Entry> StoreEntries(const char* name, const char* provider = nullptr) {
  const fw::ScopedCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                                fw::AnsiToWide(name).c_str()));
  std::vector<Entry> entries = EntriesOf(store.get());
  if (provider == nullptr) return entries;
  std::vector<Entry> of_provider;
  for (const Entry& entry : entries)
    if (entry.provider == fw::AnsiToWide(provider)) of_provider.push_back(entry);
  return of_provider;
}

// Puts a certificate into a user store with a key-provider record of our
// choosing (or none), the way another program would have.
void PutEntry(const char* store_name, const std::string& cert, const wchar_t* provider, DWORD type) {
  const fw::ScopedCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                                fw::AnsiToWide(store_name).c_str()));
  const fw::ScopedCertContext context(CertCreateCertificateContext(brevant::kCertEncoding, Bytes(cert), Size(cert)));
  ASSERT_TRUE(store && context);
  if (provider != nullptr) {
    CRYPT_KEY_PROV_INFO info = {};
    info.pwszContainerName = const_cast<wchar_t*>(L"elsewhere");
    info.pwszProvName = const_cast<wchar_t*>(provider);
    info.dwProvType = type;
    info.dwKeySpec = AT_SIGNATURE;
    ASSERT_TRUE(CertSetCertificateContextProperty(context.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info));
  }
  ASSERT_TRUE(CertAddCertificateContextToStore(store.get(), context.get(), CERT_STORE_ADD_ALWAYS, nullptr));
}

class CertStore : public TokenTest {
 protected:
  void SetUp() override {
    TokenTest::SetUp();
    Clean();
  }
  void TearDown() override {
    Clean();
    TokenTest::TearDown();
  }
  // Takes every certificate a test used out of both stores, whoever put it.
  static void Clean() {
    for (const char* store_name : {"MY", kSm2Store}) {
      const fw::ScopedCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                                    fw::AnsiToWide(store_name).c_str()));
      for (const char* name : {"ku-sig", "ku-sig-nr-ke", "ku-nr", "ku-none", "ski", "sm2", "expired"}) {
        const std::string cert = Cert(name);
        const fw::ScopedCertContext context(
            CertCreateCertificateContext(brevant::kCertEncoding, Bytes(cert), Size(cert)));
        for (PCCERT_CONTEXT found; (found = CertFindCertificateInStore(store.get(), brevant::kCertEncoding, 0,
                                                                        CERT_FIND_EXISTING, context.get(), nullptr));)
          CertDeleteCertificateFromStore(found);
      }
      CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
  }
  void KeyWithContainer(const char* key, const char* cert, const char* type) {
    ASSERT_EQ(simtest::Tokenctl(std::string("create ") + key).exit_code, 0u);
    ASSERT_EQ(simtest::Tokenctl(std::string("import-cert ") + key + " --container c1 --spec sig --file \"" +
                                simtest::CertFile(cert) + "\" --cert-type " + type)
                  .exit_code,
              0u);
    ASSERT_EQ(simtest::Tokenctl(std::string("insert ") + key).exit_code, 0u);
  }
  simtest::SimKeyFolder keys_;
};

TEST_F(CertStore, KeySpecFollowsTheKeyUsage) {
  struct Case {
    const char* cert;
    DWORD usage_spec, registered_spec;
  };
  for (const Case c : {Case{"ku-sig", 2, 2}, Case{"ku-sig-nr-ke", 1, 1}, Case{"ku-nr", 1, 1}, Case{"ku-none", 0, 1}}) {
    const std::string cert = Cert(c.cert);
    EXPECT_EQ(brevant::KeySpecFromUsage(Bytes(cert), Size(cert)), std::optional<DWORD>(c.usage_spec)) << c.cert;
    ASSERT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), kProvider, "c1", kSm2Store), 0u);
    const std::vector<Entry> entries = StoreEntries("MY", kProvider);
    ASSERT_EQ(entries.size(), 1u) << c.cert;
    EXPECT_EQ(entries[0].container, L"c1");
    EXPECT_EQ(entries[0].type, static_cast<DWORD>(PROV_RSA_FULL));
    EXPECT_EQ(entries[0].key_spec, c.registered_spec) << c.cert;
    EXPECT_EQ(brevant::RemoveProviderCerts(kProvider, kSm2Store), 0u);
  }
  const std::string junk = "not a certificate";
  EXPECT_EQ(brevant::KeySpecFromUsage(Bytes(junk), Size(junk)), std::nullopt);
  EXPECT_EQ(RegisterCertToStore(api_, nullptr, Bytes(junk), Size(junk), kProvider, "c1", kSm2Store),
            brevant::kRegistrationFailed);
}

// The tool registers every certificate again at each key event and removes
// them at each removal: that must not leave anything open behind it.
TEST_F(CertStore, RegisteringAgainAndRemovingHoldsNothing) {
  const std::string cert = Cert("ku-sig");
  const brevant::testing::ProcessProbe self(GetCurrentProcessId());
  const auto RegisterAndRemove = [&] {
    for (int i = 0; i < 10; ++i)
      ASSERT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), kProvider, "c1", kSm2Store), 0u);
    ASSERT_EQ(brevant::RemoveProviderCerts(kProvider, kSm2Store), 0u);
  };
  RegisterAndRemove();  // whatever the first use caches stays
  const auto before = self.Sample();
  ASSERT_TRUE(before);
  for (int round = 0; round < 3; ++round) RegisterAndRemove();
  const auto after = self.Sample();
  ASSERT_TRUE(after);
  EXPECT_LE(after->handles, before->handles + 2) << "before " << before->handles;
  // The keys present are registered again at every key event: an entry that
  // already holds the record is left alone (each replacement kept memory).
  ASSERT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), kProvider, "c1", kSm2Store), 0u);
  const auto registered = self.Sample();
  ASSERT_TRUE(registered);
  for (int i = 0; i < 50; ++i)
    ASSERT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), kProvider, "c1", kSm2Store), 0u);
  const auto again = self.Sample();
  ASSERT_TRUE(again);
  EXPECT_LE(again->private_bytes, registered->private_bytes + 64 * 1024) << "before " << registered->private_bytes;
  EXPECT_EQ(StoreEntries("MY", kProvider).size(), 1u);
  EXPECT_EQ(brevant::RemoveProviderCerts(kProvider, kSm2Store), 0u);
}

TEST_F(CertStore, RejectsMissingArgumentsAndSizesOutsideOneTo8192) {
  const std::string cert = Cert("ku-sig");
  const std::string big(8193, '\x30');
  EXPECT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), 0, kProvider, "c1", kSm2Store), 87u);
  EXPECT_EQ(RegisterCertToStore(api_, nullptr, Bytes(big), Size(big), kProvider, "c1", kSm2Store), 87u);
  EXPECT_EQ(RegisterCertToStore(api_, nullptr, nullptr, Size(cert), kProvider, "c1", kSm2Store), 87u);
  EXPECT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), "", "c1", kSm2Store), 87u);
  EXPECT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), kProvider, "", kSm2Store), 87u);
  EXPECT_EQ(brevant::RemoveProviderCerts("", kSm2Store), 87u);
  EXPECT_TRUE(StoreEntries("MY", kProvider).empty());
}

// When the registry key that holds the certificate's entry in the user's
// "MY" store was last written; nothing when there is no entry.
std::optional<ULONGLONG> EntryWrittenAt(const std::string& cert) {
  const fw::ScopedCertContext context(CertCreateCertificateContext(brevant::kCertEncoding, Bytes(cert), Size(cert)));
  BYTE thumbprint[20] = {};
  DWORD size = sizeof thumbprint;
  if (!context || !CertGetCertificateContextProperty(context.get(), CERT_HASH_PROP_ID, thumbprint, &size))
    return std::nullopt;
  const std::wstring path =
      L"Software\\Microsoft\\SystemCertificates\\MY\\Certificates\\" + fw::AnsiToWide(fw::HexUpper(thumbprint, size));
  fw::ScopedRegKey entry;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, entry.put()) != ERROR_SUCCESS)
    return std::nullopt;
  FILETIME written = {};
  if (RegQueryInfoKeyW(entry.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, &written) != ERROR_SUCCESS)
    return std::nullopt;
  return (ULONGLONG{written.dwHighDateTime} << 32) | written.dwLowDateTime;
}

ULONGLONG Now() {
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  return (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

// The user's store holds one entry per certificate: a certificate in two
// containers of a key stays with the container registered first, and the
// registrations of every later tree refresh leave that entry unwritten.
TEST_F(CertStore, OneEntryPerCertificateKeptByTheFirstContainer) {
  const std::string cert = Cert("ku-sig");
  ASSERT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), kProvider, "A", kSm2Store), 0u);
  const std::optional<ULONGLONG> written = EntryWrittenAt(cert);
  ASSERT_TRUE(written);
  // A rewrite from here on carries a later time.
  while (Now() <= *written + 10000) Sleep(1);
  for (const char* container : {"B", "A"})
    ASSERT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), kProvider, container, kSm2Store), 0u);
  const std::vector<Entry> entries = StoreEntries("MY", kProvider);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].container, L"A");
  EXPECT_EQ(EntryWrittenAt(cert), written) << "the entry was written again";

  // Another provider's entry is still bound to ours.
  const std::string other = Cert("ku-nr");
  PutEntry("MY", other, fw::AnsiToWide(kOtherProvider).c_str(), PROV_RSA_FULL);
  ASSERT_EQ(RegisterCertToStore(api_, nullptr, Bytes(other), Size(other), kProvider, "B", kSm2Store), 0u);
  const std::vector<Entry> ours = StoreEntries("MY", kProvider);
  ASSERT_EQ(ours.size(), 2u);
  EXPECT_TRUE(StoreEntries("MY", kOtherProvider).empty());
}

TEST_F(CertStore, TheKeyTheCertificateCameFromDecidesTheStore) {
  KeyWithContainer("rsa", "ku-sig", "1");  // reader 0
  KeyWithContainer("sm2", "sm2", "2");     // reader 1
  const std::string rsa = Cert("ku-sig"), sm2 = Cert("sm2");
  ASSERT_EQ(RegisterCertToStore(api_, "Quillon Tarnex UDISK 1", Bytes(sm2), Size(sm2), kProvider, "c1", kSm2Store), 0u);
  ASSERT_EQ(RegisterCertToStore(api_, "Quillon Tarnex UDISK 0", Bytes(rsa), Size(rsa), kProvider, "c1", kSm2Store), 0u);
  EXPECT_EQ(StoreEntries(kSm2Store, kProvider).size(), 1u) << "the SM2 key's certificate";
  EXPECT_EQ(StoreEntries("MY", kProvider).size(), 1u) << "the RSA key's certificate";

  // The same on the keys' own connections, as a listing registers: each
  // entry is there for other readers at once.
  ASSERT_EQ(brevant::RemoveProviderCerts(kProvider, kSm2Store), 0u);
  for (const auto& [reader, cert, store] : {std::tuple{"Quillon Tarnex UDISK 1", sm2, kSm2Store},
                                           std::tuple{"Quillon Tarnex UDISK 0", rsa, "MY"}}) {
    tk::DeviceConnection device(api_);
    ASSERT_EQ(device.Connect(reader), tk::kOk);
    brevant::EnumApplication(api_, device.get());
    ASSERT_EQ(
        brevant::RegisterConnectedCert(api_, device.get(), Bytes(cert), Size(cert), kProvider, "c1", kSm2Store), 0u);
    EXPECT_EQ(StoreEntries(store, kProvider).size(), 1u) << reader;
  }
}

TEST_F(CertStore, RemovalTakesOnlyTheProvidersType1EntriesFromBothStores) {
  PutEntry("MY", Cert("ku-sig"), fw::AnsiToWide(kProvider).c_str(), PROV_RSA_FULL);
  PutEntry(kSm2Store, Cert("sm2"), fw::AnsiToWide(kProvider).c_str(), PROV_RSA_FULL);
  PutEntry("MY", Cert("ku-nr"), fw::AnsiToWide(kProvider).c_str(), PROV_RSA_AES);
  PutEntry("MY", Cert("ku-none"), fw::AnsiToWide(kOtherProvider).c_str(), PROV_RSA_FULL);
  PutEntry("MY", Cert("expired"), nullptr, 0);
  const std::size_t all_before = StoreEntries("MY").size();

  ASSERT_EQ(brevant::RemoveProviderCerts(kProvider, kSm2Store), 0u);
  const std::vector<Entry> ours = StoreEntries("MY", kProvider);
  ASSERT_EQ(ours.size(), 1u);
  EXPECT_EQ(ours[0].type, static_cast<DWORD>(PROV_RSA_AES)) << "another provider type stays";
  EXPECT_TRUE(StoreEntries(kSm2Store, kProvider).empty());
  EXPECT_EQ(StoreEntries("MY", kOtherProvider).size(), 1u);
  EXPECT_EQ(StoreEntries("MY").size(), all_before - 1) << "the entry without a record stays";
}

TEST_F(CertStore, RemovalDeletesTheCachedKeyFileNamedByTheKeyIdentifier) {
  const BYTE value[] = {0x04, 0x02, 0xAB, 0xCD};
  EXPECT_EQ(brevant::CachedKeyFileName(value, sizeof value), "ABCD");
  EXPECT_EQ(brevant::DeleteCachedKeyFile(nullptr), brevant::kNoCertificateGiven);

  std::string identifier;
  ASSERT_TRUE(simtest::ReadFileBytes(simtest::CertFile("ski").substr(0, simtest::CertFile("ski").size() - 4) + ".txt",
                                     identifier));
  identifier = identifier.substr(0, 40);
  char appdata[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appdata), S_OK);
  const std::string folder = std::string(appdata) + "\\Microsoft\\SystemCertificates\\My\\Keys";
  SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
  const std::string key_file = folder + "\\" + identifier;
  ASSERT_TRUE(simtest::WriteFileBytes(key_file, "cached key"));

  const std::string cert = Cert("ski");
  ASSERT_EQ(RegisterCertToStore(api_, nullptr, Bytes(cert), Size(cert), kProvider, "c1", kSm2Store), 0u);
  ASSERT_EQ(brevant::RemoveProviderCerts(kProvider, kSm2Store), 0u);
  EXPECT_EQ(GetFileAttributesA(key_file.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
