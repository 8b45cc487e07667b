// Asks Windows whether it trusts a signed file, as the shell does before it
// runs a program: WinVerifyTrust with the Authenticode policy, no user
// interface, no revocation check (the test CA publishes no list).
//   verify_trust [--trust-root CA.der] FILE
// --trust-root first adds the certificate to the machine's root store.
// Prints the answer in hex; exits 0 when the file is trusted, 1 when it is
// not, 2 on bad use.
#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

bool AddTrustedRoot(const wchar_t* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<BYTE> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (der.empty()) {
    std::fwprintf(stderr, L"verify_trust: cannot read %ls\n", path);
    return false;
  }
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!root) {
    std::fwprintf(stderr, L"verify_trust: cannot open the machine's root store (%lu)\n", GetLastError());
    return false;
  }
  const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(),
                                                      static_cast<DWORD>(der.size()),
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  const DWORD error = GetLastError();
  CertCloseStore(root, 0);
  if (!added) std::fwprintf(stderr, L"verify_trust: cannot add %ls to the root store (%lu)\n", path, error);
  return added != FALSE;
}

struct Verdict {
  LONG status;
  DWORD chainErrors;  // the signer's chain: CERT_TRUST_* error bits, or ~0 when there is none
};

DWORD SignerChainErrors(HANDLE state) {
  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(state);
  CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  if (!signer || !signer->pChainContext) return ~DWORD{0};
  return signer->pChainContext->TrustStatus.dwErrorStatus;
}

Verdict VerifyFile(const wchar_t* path) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path;
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  const DWORD chainErrors = SignerChainErrors(data.hWVTStateData);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return {status, chainErrors};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int next = 1;
  if (argc == 4 && std::wcscmp(argv[1], L"--trust-root") == 0) {
    if (!AddTrustedRoot(argv[2])) return 2;
    next = 3;
  }
  if (next != argc - 1) {
    std::fwprintf(stderr, L"usage: verify_trust [--trust-root CA.der] FILE\n");
    return 2;
  }
  const Verdict verdict = VerifyFile(argv[next]);
  std::printf("trust 0x%08lX chain 0x%08lX\n", static_cast<unsigned long>(verdict.status),
              static_cast<unsigned long>(verdict.chainErrors));
  return verdict.status == ERROR_SUCCESS && verdict.chainErrors == 0 ? 0 : 1;
}
