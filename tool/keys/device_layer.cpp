#include "device_layer.h"

#include <array>
#include <cstring>
#include <string_view>

#include "device_session.h"
#include "key_info_text.h"

namespace brevant {
namespace {

// Calls visit(offset, name) for each name of a NUL-separated list ended by
// an empty name, never reading past `size` bytes. A name whose NUL is not
// inside the buffer is not taken: the library overran its own list.
// visit returns false to stop; the result tells whether the list ran out.
template <typename Visit>
bool WalkNames(const char* buffer, std::size_t size, Visit visit) {
  std::size_t offset = 0;
  while (offset < size && buffer[offset] != '\0') {
    const void* end = std::memchr(buffer + offset, '\0', size - offset);
    if (end == nullptr) return true;
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - (buffer + offset));
    if (!visit(offset, std::string_view(buffer + offset, length))) return false;
    offset += length + 1;
  }
  return true;
}

// Text of a fixed buffer the library filled, cut where it lacks a NUL.
template <std::size_t N>
std::string BufferText(const std::array<char, N>& buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), N - 1));
}

struct ReaderList {
  std::array<char, kReaderListBytes> names{};
  ULONG count = kReaderListBytes;
  bool listed = false;

  explicit ReaderList(const tk::DeviceApi& api) {
    ULONG size = kReaderListBytes;
    listed = api.TK_ListReaders(names.data(), &size, &count) == tk::kOk;
    // A failed listing finds no key, whatever the library left behind.
    if (!listed) names.fill('\0');
  }
};

// The container listing of a connected key. every key operation starts with.
struct ContainerList {
  std::array<char, kContainerListBytes> names{};
  ULONG count = kContainerCountAsked;

  ContainerList(const tk::DeviceApi& api, TK_HANDLE device) {
    EnumApplication(api, device);
    ULONG size = kContainerListBytes;
    if (api.TK_EnumContainer(device, names.data(), &size, &count) != tk::kOk) names.fill('\0');
  }

  enum class End { Names, Count, Stopped };
  // visit(index, name) -> keep going; the walk also ends at the count the
  // library gave.
  template <typename Visit>
  End Walk(Visit visit) const {
    std::size_t index = 0;
    bool count_reached = false;
    const bool ran_out = WalkNames(names.data(), names.size(), [&](std::size_t, std::string_view name) {
      if (index >= count) {
        count_reached = true;
        return false;
      }
      return visit(index++, std::string(name));
    });
    if (count_reached) return End::Count;
    return ran_out ? End::Names : End::Stopped;
  }
};

// 0 when the call fails: its output is not trusted then.
ULONG ContainerFlags(const tk::DeviceApi& api, TK_HANDLE device, const std::string& container) {
  ULONG flags = 0;
  if (api.TK_GetContainerParam(device, container.c_str(), &flags) != tk::kOk) return 0;
  return flags;
}

std::string ReadLabelOf(const tk::DeviceApi& api, TK_HANDLE device) {
  std::array<char, kPropertyBytes> label{};
  ULONG label_length = kPropertyBytes;
  return api.TK_ReadLabel(device, label.data(), &label_length) == tk::kOk ? BufferText(label) : std::string();
}

}  // namespace

KeyProperties ReadKeyProperties(const tk::DeviceApi& api, const std::string& reader, bool with_retry_count) {
  KeyProperties properties;
  tk::DeviceConnection device(api);
  if (reader.empty() || device.Connect(reader.c_str()) != tk::kOk) return properties;
  EnumApplication(api, device.get());

  properties.label = ReadLabelOf(api, device.get());

  ULONG type = 0;
  if (api.TK_GetDevType(device.get(), &type) == tk::kOk) properties.type = type;

  std::array<char, kPropertyBytes> serial{};
  if (api.TK_GetSerial(device.get(), serial.data()) == tk::kOk) properties.serial = BufferText(serial);

  // Read as the key's own software does, though nothing shows them.
  ULONG total = 0, free = 0;
  api.TK_GetTotalSize(device.get(), &total);
  api.TK_GetFreeSize(device.get(), &free);
  if (with_retry_count) {
    ULONG retries = 0;
    if (api.TK_GetUserPinRetryNum(device.get(), &retries) == tk::kOk) properties.retries_left = retries;
  }
  return properties;
}

void EnumApplication(const tk::DeviceApi& api, TK_HANDLE device) {
  std::array<char, kApplicationListBytes> application{};
  ULONG size = kApplicationListBytes, count = 0;
  api.TK_EnumApplication(device, application.data(), &size, &count);
}

std::string ReadKeyLabel(const tk::DeviceApi& api, const std::string& reader) {
  tk::DeviceConnection device(api);
  if (reader.empty() || device.Connect(reader.c_str()) != tk::kOk) return {};
  EnumApplication(api, device.get());
  return ReadLabelOf(api, device.get());
}

bool KeyIsPresent(const tk::DeviceApi& api, const std::string& reader) {
  ULONG state = 0;
  return api.TK_GetDevState(reader.c_str(), &state) == tk::kOk && state == tk::kStatePresent;
}

std::optional<ReaderListing> ListReaders(const tk::DeviceApi& api) {
  const ReaderList list(api);
  if (!list.listed) return std::nullopt;
  ReaderListing listing;
  listing.count = list.count;
  WalkNames(list.names.data(), list.names.size(), [&](std::size_t offset, std::string_view name) {
    listing.names.emplace_back(name);
    listing.offsets.push_back(static_cast<std::uint32_t>(offset));
    return true;
  });
  return listing;
}

std::string ReaderNameFromNode(const tk::DeviceApi& api, std::uint32_t node_id) {
  // Only the low byte of the offset is compared. An identifier with a larger
  // offset would otherwise match whichever name starts at its low byte: some
  // other key, on which the user's action would then land.
  if ((node_id & 0xFFFF) > 0xFF) return {};
  const std::size_t wanted = node_id & 0xFF;
  const ReaderList list(api);
  std::string found;
  WalkNames(list.names.data(), list.names.size(), [&](std::size_t offset, std::string_view name) {
    const std::string reader(name);
    ULONG state = 0;
    if (api.TK_GetDevState(reader.c_str(), &state) != tk::kOk) return false;
    if (state == tk::kStatePresent && offset == wanted) {
      found = reader;
      return false;
    }
    return true;
  });
  return found;
}

std::string SelectedReaderName(const tk::DeviceApi& api, const KeyTreeView& tree) {
  HTREEITEM node = tree.SelectedNode();
  // A certificate node sits right below its key; a node without identifier
  // (placeholder) holds its key below it.
  for (int step = 0; step < 4 && node != nullptr; ++step) {
    const std::uint32_t id = tree.NodeId(node);
    if (id == kNoNodeId) {
      node = tree.FirstChildNode(node);
    } else if (IsKeyNodeId(id)) {
      return ReaderNameFromNode(api, id);
    } else {
      node = tree.ParentNode(node);
    }
  }
  return {};
}

namespace {

// KeyHasCert on a connected key.
int HasCertOn(const tk::DeviceApi& api, TK_HANDLE device) {
  const ContainerList containers(api, device);
  const auto end = containers.Walk([&](std::size_t, const std::string& name) {
    const ULONG flags = ContainerFlags(api, device, name);
    return (flags & (tk::kContainerHasExchangeCert | tk::kContainerHasSignatureCert)) == 0;
  });
  switch (end) {
    case ContainerList::End::Stopped: return 1;
    case ContainerList::End::Count: return -1;
    case ContainerList::End::Names: break;
  }
  return 0;
}

}  // namespace

int KeyHasCert(const tk::DeviceApi& api, const char* reader) {
  tk::DeviceConnection device(api);
  if (reader == nullptr || device.Connect(reader) != tk::kOk) return 0;
  return HasCertOn(api, device.get());
}

KeyNodeFacts ReadKeyNodeFacts(const tk::DeviceApi& api, const std::string& reader) {
  KeyNodeFacts facts;
  tk::DeviceConnection device(api);
  if (reader.empty() || device.Connect(reader.c_str()) != tk::kOk) return facts;
  facts.has_cert = HasCertOn(api, device.get());
  if (facts.has_cert != 0) facts.label = ReadLabelOf(api, device.get());
  return facts;
}

void ListContainers(const tk::DeviceApi& api, const KeyTreeView& tree, HTREEITEM key_node,
                    KeyRecordMap& records, const AddCertNodeFn& add_cert_node) {
  const std::string reader = ReaderNameFromNode(api, tree.NodeId(key_node));
  if (reader.empty()) return;
  // Rebuilt even when no certificate is found, so that certificates taken
  // off the key do not live on in its record.
  KeyRecord record;
  records[reader] = record;

  tk::DeviceConnection device(api);
  if (device.Connect(reader.c_str()) != tk::kOk) return;
  const ContainerList containers(api, device.get());
  containers.Walk([&](std::size_t slot, const std::string& name) {
    // The record and the node identifier have room for so many slots only.
    if (slot >= kKeyRecordSlots) return false;
    const ULONG flags = ContainerFlags(api, device.get(), name);
    const auto add = [&](std::uint32_t key_spec, std::uint32_t kind) {
      record.containers[slot] = name;
      record.kind = kind;
      if (add_cert_node) add_cert_node(device.get(), name, key_spec, key_node, record, slot);
      records[reader] = record;
    };
    if (flags & tk::kContainerHasSignatureCert) add(tk::kKeySpecSignature, kKeyRecordSignature);
    if (flags & tk::kContainerHasExchangeCert) add(tk::kKeySpecExchange, kKeyRecordExchange);
    return true;
  });
}

void ShowKeyProperties(const tk::DeviceApi& api, const KeyTreeView& tree, HTREEITEM key_node,
                       DetailsList& list, const TextLookup& texts) {
  const KeyProperties properties = ReadKeyProperties(api, ReaderNameFromNode(api, tree.NodeId(key_node)));
  const char* type_key = KeyTypeTextKey(properties.type);
  const auto caption = [&](const char* key) { return texts ? texts("TOOL", key) : std::string(); };

  list.Clear();
  list.AddRow(caption("LIST_CTL_DEV_LABEL"), properties.label);
  list.AddRow(caption("LIST_CTL_DEV_TYPE"),
              type_key != nullptr && texts ? texts("DeviceInfoPage", type_key) : std::string());
  list.AddRow(caption("LIST_CTL_DEV_SERIAL"), properties.serial);
  list.AddRow(caption("LIST_CTL_DEV_PIN_MAX_LEN"), std::to_string(kPinMaxLength));
  list.AddRow(caption("LIST_CTL_DEV_PIN_SMALL_LEN"), std::to_string(kPinMinLength));
}

}  // namespace brevant
