// tokenctl: creates, changes, inserts, removes and inspects the software
// token's keys. Exit codes: 0 done, 1 the operation failed, 2 bad arguments.
#include <windows.h>
#include <shellapi.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "key_store.h"
#include "pin_hash.h"
#include "reader_names.h"
#include "text.h"
#include "tokenctl_args.h"

using namespace sim;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage(const std::string& message) {
  std::fprintf(stderr, "tokenctl: %s\n\n%s", message.c_str(), kTokenctlUsage);
  return kExitUsage;
}

int Failed(const std::string& message) {
  std::fprintf(stderr, "tokenctl: %s\n", message.c_str());
  return kExitFailed;
}

std::string DefaultSerial(const std::string& name) {
  std::uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
  char serial[32];
  std::snprintf(serial, sizeof serial, "SIM%08lX", static_cast<unsigned long>(hash));
  return serial;
}

// Applies key options to `key`; false (with a message) when a value does not
// fit the key. Order matters: limits first, then PINs (which restore their
// counters), then explicit counters.
bool ApplyKeyOptions(const KeyOptions& o, KeyState& key, std::string& error) {
  if (o.label) {
    std::string ansi;
    if (!fw::Utf8ToAnsi(*o.label, ansi) || ansi.empty() || ansi.size() > kMaxLabelBytes) {
      error = "--label needs 1 to 32 bytes in the ANSI code page";
      return false;
    }
    key.label = *o.label;
  }
  if (o.serial) key.serial = *o.serial;
  if (o.device_type) key.device_type = *o.device_type;
  if (o.application) key.application = *o.application;
  if (o.application_kind) key.application_kind = *o.application_kind;
  if (o.pin_change_tag) key.pin_change_tag = *o.pin_change_tag;
  if (o.total_size) key.total_size = *o.total_size;
  if (o.user_retries) key.user_pin.retry_limit = key.user_pin.retries_left = *o.user_retries;
  if (o.admin_retries) key.admin_pin.retry_limit = key.admin_pin.retries_left = *o.admin_retries;
  if (o.user_pin && !SetPin(key.user_pin, o.user_pin->data(), o.user_pin->size(), key.user_pin.retry_limit)) {
    error = "cannot set the user PIN";
    return false;
  }
  if (o.admin_pin && !SetPin(key.admin_pin, o.admin_pin->data(), o.admin_pin->size(), key.admin_pin.retry_limit)) {
    error = "cannot set the administrator PIN";
    return false;
  }
  if (o.user_tries_left) {
    if (*o.user_tries_left > key.user_pin.retry_limit) {
      error = "--user-tries-left is above the user PIN's retry limit";
      return false;
    }
    key.user_pin.retries_left = *o.user_tries_left;
  }
  if (o.admin_tries_left) {
    if (*o.admin_tries_left > key.admin_pin.retry_limit) {
      error = "--so-tries-left is above the administrator PIN's retry limit";
      return false;
    }
    key.admin_pin.retries_left = *o.admin_tries_left;
  }
  return true;
}

bool ReadCertificateFile(const std::string& path, std::vector<std::uint8_t>& der, std::string& error) {
  fw::ScopedFile file(CreateFileW(fw::Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) {
    error = "cannot read " + path;
    return false;
  }
  if (size.QuadPart <= 0 || size.QuadPart > 1024 * 1024) {
    error = path + " is empty or too large to be a certificate";
    return false;
  }
  std::string contents(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &read, nullptr) ||
      read != contents.size()) {
    error = "cannot read " + path;
    return false;
  }
  if (contents.find("-----BEGIN") != std::string::npos) {
    DWORD length = 0;
    if (!CryptStringToBinaryA(contents.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &length, nullptr, nullptr)) {
      error = path + " is not a PEM certificate";
      return false;
    }
    der.resize(length);
    CryptStringToBinaryA(contents.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &length, nullptr, nullptr);
    der.resize(length);
  } else {
    der.assign(contents.begin(), contents.end());
  }
  if (der.empty() || der.size() > kMaxCertBytes) {
    error = path + ": a certificate must be 1 to 16384 bytes";
    return false;
  }
  PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(),
                                                     static_cast<DWORD>(der.size()));
  if (cert == nullptr) {
    error = path + " does not hold an X.509 certificate";
    return false;
  }
  CertFreeCertificateContext(cert);
  return true;
}

Container NamedContainer(const std::string& name) {
  Container container;
  container.name = name;
  return container;
}

const char* CertSummary(const std::vector<std::uint8_t>& der, char (&text)[32]) {
  if (der.empty()) return "-";
  std::snprintf(text, sizeof text, "%u bytes", static_cast<unsigned>(der.size()));
  return text;
}

void Show(const KeyState& key) {
  std::printf("key          %s\n", key.name.c_str());
  std::printf("label        %s\n", key.label.c_str());
  std::printf("serial       %s\n", key.serial.c_str());
  std::printf("device type  %lu\n", static_cast<unsigned long>(key.device_type));
  std::printf("reader       %s\n", key.inserted ? ReaderName(key.slot).c_str() : "(not inserted)");
  std::printf("user PIN     %lu of %lu tries left\n", static_cast<unsigned long>(key.user_pin.retries_left),
              static_cast<unsigned long>(key.user_pin.retry_limit));
  std::printf("admin PIN    %lu of %lu tries left\n", static_cast<unsigned long>(key.admin_pin.retries_left),
              static_cast<unsigned long>(key.admin_pin.retry_limit));
  std::printf("application  %s (kind %lu, PIN change tag %lu%s)\n",
              key.application.empty() ? "(none)" : key.application.c_str(),
              static_cast<unsigned long>(key.application_kind), static_cast<unsigned long>(key.pin_change_tag),
              key.application_kind == 1 && key.pin_change_tag == 0 ? ": PIN must be changed" : "");
  std::printf("size         %lu bytes, %lu free\n", static_cast<unsigned long>(key.total_size),
              static_cast<unsigned long>(FreeSize(key)));
  std::printf("containers   %u\n", static_cast<unsigned>(key.containers.size()));
  for (const Container& c : key.containers) {
    char sig[32], exch[32];
    std::printf("  %-24s type %lu, signature %s, exchange %s\n", c.name.c_str(),
                static_cast<unsigned long>(c.cert_type), CertSummary(c.signature_cert, sig),
                CertSummary(c.exchange_cert, exch));
  }
  for (const Fault& f : key.faults) {
    std::printf("fault        %s returns 0x%08lX ", f.function.c_str(), static_cast<unsigned long>(f.result));
    if (f.times == 0) std::printf("on every call\n");
    else std::printf("on the next %lu call(s)\n", static_cast<unsigned long>(f.times));
  }
}

int Run(const Command& c) {
  const KeyStore store(c.dir.empty() ? StateFolderFromEnvironment() : fw::Utf8ToWide(c.dir));
  const KeyStore::Transaction transaction(store);
  if (!transaction.acquired()) return Failed("the key folder is busy (lock not acquired)");
  const std::string folder = fw::WideToUtf8(store.folder());

  if (c.verb == Verb::List) {
    for (const KeyState& key : store.LoadAll())
      std::printf("%-20s %-24s %-20s %s\n", key.name.c_str(),
                  key.inserted ? ReaderName(key.slot).c_str() : "-", key.serial.c_str(), key.label.c_str());
    return 0;
  }

  KeyState key;
  const tk::Result loaded = store.Load(c.name, key);
  if (c.verb == Verb::Create) {
    if (loaded != tk::kNotFound) return Failed("key \"" + c.name + "\" already exists in " + folder);
    key = KeyState{};
    key.name = c.name;
    key.label = c.name.substr(0, kMaxLabelBytes);
    key.serial = DefaultSerial(c.name);
    if (!SetPin(key.user_pin, kFactoryUserPin, sizeof kFactoryUserPin - 1, kDefaultUserRetryLimit) ||
        !SetPin(key.admin_pin, kDefaultAdminPin, sizeof kDefaultAdminPin - 1, kDefaultAdminRetryLimit))
      return Failed("cannot set the factory PINs");
  } else if (loaded == tk::kNotFound) {
    return Failed("no key \"" + c.name + "\" in " + folder);
  } else if (loaded != tk::kOk) {
    return Failed("the file of key \"" + c.name + "\" in " + folder + " cannot be read");
  }

  std::string error;
  switch (c.verb) {
    case Verb::Create:
    case Verb::Set:
      if (!ApplyKeyOptions(c.key, key, error)) return Usage(error);
      break;
    case Verb::ImportCert: {
      std::vector<std::uint8_t> der;
      if (!ReadCertificateFile(c.file, der, error)) return Failed(error);
      Container* container = FindContainer(key, c.container);
      if (container == nullptr) {
        key.containers.push_back(NamedContainer(c.container));
        container = &key.containers.back();
      }
      (c.key_spec == tk::kKeySpecSignature ? container->signature_cert : container->exchange_cert) = der;
      if (c.cert_type) container->cert_type = *c.cert_type;
      if (FreeSize(key) == 0) return Failed("the key has no room for this certificate");
      break;
    }
    case Verb::AddContainer:
      if (FindContainer(key, c.container)) return Failed("container \"" + c.container + "\" already exists");
      key.containers.push_back(NamedContainer(c.container));
      if (c.cert_type) key.containers.back().cert_type = *c.cert_type;
      break;
    case Verb::Insert: {
      if (key.inserted) {
        std::printf("%s is already in %s\n", c.name.c_str(), ReaderName(key.slot).c_str());
        return 0;
      }
      const int slot = FreeSlot(store.LoadAll());
      if (slot < 0) return Failed("every reader holds a key already");
      key.inserted = true;
      key.slot = slot;
      ++key.insertion;
      break;
    }
    case Verb::Remove:
      if (!key.inserted) return 0;
      key.inserted = false;
      key.slot = -1;
      break;
    case Verb::Delete:
      return store.Remove(c.name) == tk::kOk ? 0 : Failed("cannot delete key \"" + c.name + "\"");
    case Verb::Show:
      Show(key);
      return 0;
    case Verb::Fail:
      SetFault(key, c.function, c.result, c.times);
      break;
    case Verb::List:
    case Verb::Help:
      break;
  }
  if (store.Save(key) != tk::kOk) return Failed("cannot write key \"" + c.name + "\" to " + folder);
  if (c.verb == Verb::Insert) std::printf("%s inserted in %s\n", c.name.c_str(), ReaderName(key.slot).c_str());
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return Failed("cannot read the command line");
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(fw::WideToUtf8(argv[i]));
  LocalFree(argv);

  Command command;
  std::string error;
  if (!ParseTokenctlArgs(args, command, error)) return Usage(error);
  if (command.verb == Verb::Help) {
    std::fputs(kTokenctlUsage, stdout);
    return 0;
  }
  try {
    return Run(command);
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
}
