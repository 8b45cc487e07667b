// tokenprobe: what an application sees of the keys through RVA.dll: every
// reader, the key's label, serial, type and PIN state, and each container's
// certificates with their subjects. Loads the library beside itself.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "device_api.h"
#include "device_session.h"
#include "name_list.h"

namespace {

std::string Subject(const BYTE* der, ULONG length) {
  PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der, length);
  if (cert == nullptr) return "(not a certificate)";
  char name[256] = {};
  CertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, sizeof name);
  CertFreeCertificateContext(cert);
  return name;
}

void ShowKey(const tk::DeviceApi& api, const std::string& reader) {
  tk::DeviceConnection device(api);
  const tk::Result connected = device.Connect(reader.c_str());
  std::printf("%s\n", reader.c_str());
  if (connected != tk::kOk) {
    std::printf("  cannot connect (0x%08lX)\n", static_cast<unsigned long>(connected));
    return;
  }
  char label[260] = {}, serial[260] = {};
  ULONG length = sizeof label, type = 0, tries = 0, kind = 0, tag = 0;
  api.TK_ReadLabel(device.get(), label, &length);
  api.TK_GetSerial(device.get(), serial);
  api.TK_GetDevType(device.get(), &type);
  api.TK_GetUserPinRetryNum(device.get(), &tries);
  api.TK_GetHWApp(device.get(), &kind);
  api.TK_GetPinChangeTag(device.get(), &tag);
  std::printf("  label %s, serial %s, type %lu, %lu PIN tries left%s\n", label, serial,
              static_cast<unsigned long>(type), static_cast<unsigned long>(tries),
              kind == 1 && tag == 0 ? ", PIN still the factory PIN" : "");
  char names[512] = {};
  ULONG size = sizeof names, count = 0;
  if (api.TK_EnumContainer(device.get(), names, &size, &count) != tk::kOk) return;
  for (const std::string& container : tk::ReadNameList(names, size, count)) {
    ULONG flags = 0;
    api.TK_GetContainerParam(device.get(), container.c_str(), &flags);
    std::printf("  container %s\n", container.c_str());
    for (ULONG spec : {tk::kKeySpecSignature, tk::kKeySpecExchange}) {
      BYTE cert[8192];
      ULONG cert_length = sizeof cert;
      if (api.TK_ReadCert(device.get(), container.c_str(), spec, cert, &cert_length) == tk::kOk)
        std::printf("    %s certificate: %s\n", spec == tk::kKeySpecSignature ? "signature" : "exchange",
                    Subject(cert, cert_length).c_str());
    }
  }
}

}  // namespace

int main() {
  tk::DeviceApi api;
  if (!api.LoadBesideModule(nullptr)) {
    std::fprintf(stderr, "tokenprobe: RVA.dll not found beside this program\n");
    return 1;
  }
  char readers[512] = {};
  ULONG size = sizeof readers, count = 0;
  if (api.TK_ListReaders(readers, &size, &count) != tk::kOk) return 1;
  std::printf("%lu key(s) present\n", static_cast<unsigned long>(count));
  for (const std::string& reader : tk::ReadNameList(readers, size)) ShowKey(api, reader);
  return 0;
}
