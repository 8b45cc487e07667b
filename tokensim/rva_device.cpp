// Readers, connections, applications, containers, certificates and key
// properties of the software token.
#include <cstring>

#include "rva_exports.h"
#include "key_access.h"
#include "name_list.h"
#include "reader_names.h"
#include "text.h"

using namespace sim;

namespace sim {

tk::Result CopyOut(const void* bytes, std::size_t size, void* buffer, ULONG* length) {
  if (length == nullptr) return tk::kInvalidParameter;
  const ULONG available = *length;
  *length = static_cast<ULONG>(size);
  if (buffer == nullptr) return tk::kOk;
  if (available < size) return tk::kBufferTooSmall;
  std::memcpy(buffer, bytes, size);
  return tk::kOk;
}

}  // namespace sim

namespace {

tk::Result NameListOut(const std::vector<std::string>& names, char* buffer, ULONG* size, ULONG* count) {
  if (size == nullptr || count == nullptr) return tk::kInvalidParameter;
  std::uint32_t size32 = *size, count32 = 0;
  const tk::Result result = tk::WriteNameList(names, buffer, &size32, &count32);
  *size = size32;
  *count = count32;
  return result;
}

// Runs `op(KeyStore&, std::vector<KeyState>& keys)` under the transaction of
// the folder named by the environment.
template <typename Op>
tk::Result WithAllKeys(Op op) {
  return Guarded([&]() -> tk::Result {
    const KeyStore store(StateFolderFromEnvironment());
    const KeyStore::Transaction transaction(store);
    if (!transaction.acquired()) return tk::kStorageError;
    std::vector<KeyState> keys = store.LoadAll();
    return op(store, keys);
  });
}

// The fault of `function` on `key`, saved when it was counted.
std::optional<tk::Result> FaultOf(const KeyStore& store, KeyState& key, const char* function) {
  const std::optional<tk::Result> fault = TakeFault(key, function);
  if (fault) store.Save(key);
  return fault;
}

template <typename T>
tk::Result ReadValue(void* handle, const char* function, ULONG* out, T pick) {
  if (out == nullptr) return tk::kInvalidParameter;
  return WithKey(handle, function, [&](KeyState& key, bool&) {
    *out = pick(key);
    return tk::kOk;
  });
}

}  // namespace

extern "C" {

ULONG WINAPI TK_ListReaders(char* names, ULONG* size, ULONG* count) {
  if (size == nullptr || count == nullptr) return tk::kInvalidParameter;
  return WithAllKeys([&](const KeyStore& store, std::vector<KeyState>& keys) -> tk::Result {
    std::vector<std::string> readers;
    for (int slot = 0; slot < kMaxSlots; ++slot) {
      KeyState* key = FindInSlot(keys, slot);
      if (key == nullptr) continue;
      if (const auto fault = FaultOf(store, *key, "TK_ListReaders")) return *fault;
      readers.push_back(ReaderName(slot));
    }
    return NameListOut(readers, names, size, count);
  });
}

ULONG WINAPI TK_ConnectDev(const char* reader, TK_HANDLE* device) {
  if (reader == nullptr || device == nullptr) return tk::kInvalidParameter;
  const std::optional<int> slot = SlotFromReaderName(reader);
  if (!slot) return tk::kNoDevice;
  return WithAllKeys([&](const KeyStore& store, std::vector<KeyState>& keys) -> tk::Result {
    KeyState* key = FindInSlot(keys, *slot);
    if (key == nullptr) return tk::kNoDevice;
    if (const auto fault = FaultOf(store, *key, "TK_ConnectDev")) return *fault;
    *device = OpenSession(Session{SessionKind::Device, store.folder(), key->name, key->insertion});
    return tk::kOk;
  });
}

ULONG WINAPI TK_DisConnectDev(TK_HANDLE device) {
  return Guarded([&]() -> tk::Result {
    const std::optional<Session> session = FindSession(device);
    if (!session || !CloseSession(device, SessionKind::Device)) return tk::kInvalidHandle;
    // The connection is gone whatever happens next; an injected fault only
    // changes what the caller is told.
    const KeyStore store(session->folder);
    const KeyStore::Transaction transaction(store);
    KeyState key;
    if (transaction.acquired() && store.Load(session->key_name, key) == tk::kOk)
      if (const auto fault = FaultOf(store, key, "TK_DisConnectDev")) return *fault;
    return tk::kOk;
  });
}

ULONG WINAPI TK_GetDevState(const char* reader, ULONG* state) {
  if (reader == nullptr || state == nullptr) return tk::kInvalidParameter;
  const std::optional<int> slot = SlotFromReaderName(reader);
  if (!slot) return tk::kNoDevice;
  return WithAllKeys([&](const KeyStore& store, std::vector<KeyState>& keys) -> tk::Result {
    KeyState* key = FindInSlot(keys, *slot);
    if (key != nullptr)
      if (const auto fault = FaultOf(store, *key, "TK_GetDevState")) return *fault;
    *state = key ? tk::kStatePresent : tk::kStateAbsent;
    return tk::kOk;
  });
}

ULONG WINAPI TK_EnumApplication(TK_HANDLE device, char* names, ULONG* size, ULONG* count) {
  if (size == nullptr || count == nullptr) return tk::kInvalidParameter;
  return WithKey(device, "TK_EnumApplication", [&](KeyState& key, bool&) {
    std::vector<std::string> applications;
    if (!key.application.empty()) applications.push_back(key.application);
    return NameListOut(applications, names, size, count);
  });
}

ULONG WINAPI TK_OpenApplication(TK_HANDLE device, const char* application, TK_HANDLE* app) {
  if (application == nullptr || app == nullptr) return tk::kInvalidParameter;
  const std::optional<Session> session = FindSession(device);
  if (!session) return tk::kInvalidHandle;
  return WithKey(device, "TK_OpenApplication", [&](KeyState& key, bool&) {
    if (key.application.empty() || key.application != application) return tk::kNotFound;
    *app = OpenSession(Session{SessionKind::Application, session->folder, key.name, key.insertion});
    return tk::kOk;
  });
}

ULONG WINAPI TK_CloseApplication(TK_HANDLE app) {
  return Guarded([&]() -> tk::Result {
    return CloseSession(app, SessionKind::Application) ? tk::kOk : tk::kInvalidHandle;
  });
}

ULONG WINAPI TK_EnumContainer(TK_HANDLE handle, char* names, ULONG* size, ULONG* count) {
  if (size == nullptr || count == nullptr) return tk::kInvalidParameter;
  return WithKey(handle, "TK_EnumContainer", [&](KeyState& key, bool&) {
    std::vector<std::string> containers;
    for (const Container& c : key.containers) containers.push_back(c.name);
    return NameListOut(containers, names, size, count);
  });
}

ULONG WINAPI TK_GetContainerParam(TK_HANDLE device, const char* container, ULONG* flags) {
  if (container == nullptr || flags == nullptr) return tk::kInvalidParameter;
  return WithKey(device, "TK_GetContainerParam", [&](KeyState& key, bool&) {
    const Container* found = FindContainer(key, container);
    if (found == nullptr) return tk::kNotFound;
    *flags = ContainerFlags(*found);
    return tk::kOk;
  });
}

ULONG WINAPI TK_GetCertType(TK_HANDLE device, const char* container, ULONG key_spec, ULONG* type) {
  if (container == nullptr || type == nullptr) return tk::kInvalidParameter;
  if (key_spec != tk::kKeySpecSignature && key_spec != tk::kKeySpecExchange) return tk::kInvalidParameter;
  return WithKey(device, "TK_GetCertType", [&](KeyState& key, bool&) {
    const Container* found = FindContainer(key, container);
    if (found == nullptr) return tk::kNotFound;
    *type = found->cert_type;
    return tk::kOk;
  });
}

ULONG WINAPI TK_ReadCert(TK_HANDLE handle, const char* container, ULONG key_spec, BYTE* cert, ULONG* length) {
  if (container == nullptr || length == nullptr) return tk::kInvalidParameter;
  return WithKey(handle, "TK_ReadCert", [&](KeyState& key, bool&) {
    const Container* found = FindContainer(key, container);
    const std::vector<std::uint8_t>* der = found ? CertificateOf(*found, key_spec) : nullptr;
    if (der == nullptr) return tk::kNotFound;
    return CopyOut(der->data(), der->size(), cert, length);
  });
}

ULONG WINAPI TK_ReadLabel(TK_HANDLE device, char* label, ULONG* length) {
  if (length == nullptr) return tk::kInvalidParameter;
  return WithKey(device, "TK_ReadLabel", [&](KeyState& key, bool&) {
    std::string ansi;
    if (!fw::Utf8ToAnsi(key.label, ansi)) ansi.assign(1, '?');
    return CopyOut(ansi.c_str(), ansi.size() + 1, label, length);
  });
}

ULONG WINAPI TK_WriteLabel(TK_HANDLE device, const char* label) {
  if (label == nullptr) return tk::kInvalidParameter;
  const std::size_t size = std::strlen(label);
  if (size == 0 || size > kMaxLabelBytes) return tk::kInvalidParameter;
  return WithKey(device, "TK_WriteLabel", [&](KeyState& key, bool& changed) {
    key.label = fw::AnsiToUtf8(label);
    changed = true;
    return tk::kOk;
  });
}

ULONG WINAPI TK_GetSerial(TK_HANDLE device, char* serial) {
  if (serial == nullptr) return tk::kInvalidParameter;
  return WithKey(device, "TK_GetSerial", [&](KeyState& key, bool&) {
    // The caller's buffer has no size: it is taken to be 32 bytes.
    const std::size_t size = std::min<std::size_t>(key.serial.size(), tk::kSerialBufferSize - 1);
    std::memcpy(serial, key.serial.data(), size);
    serial[size] = '\0';
    return tk::kOk;
  });
}

ULONG WINAPI TK_GetDevType(TK_HANDLE device, ULONG* type) {
  return ReadValue(device, "TK_GetDevType", type, [](const KeyState& k) { return k.device_type; });
}
ULONG WINAPI TK_GetTotalSize(TK_HANDLE device, ULONG* bytes) {
  return ReadValue(device, "TK_GetTotalSize", bytes, [](const KeyState& k) { return k.total_size; });
}
ULONG WINAPI TK_GetFreeSize(TK_HANDLE device, ULONG* bytes) {
  return ReadValue(device, "TK_GetFreeSize", bytes, [](const KeyState& k) { return FreeSize(k); });
}
ULONG WINAPI TK_GetHWApp(TK_HANDLE device, ULONG* kind) {
  return ReadValue(device, "TK_GetHWApp", kind, [](const KeyState& k) { return k.application_kind; });
}
ULONG WINAPI TK_GetPinChangeTag(TK_HANDLE device, ULONG* tag) {
  return ReadValue(device, "TK_GetPinChangeTag", tag, [](const KeyState& k) { return k.pin_change_tag; });
}

// Diagnostics for tests: device connections and applications still open in
// this process.
ULONG WINAPI RVASim_OpenHandleCount() { return OpenSessionCount(); }

}  // extern "C"
