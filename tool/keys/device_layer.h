// The tool's fixed call sequences on RVA.dll: which key a tree node stands
// for, a key's properties, its containers and the certificates they hold.
// Every operation opens and closes its own device connection; listing a
// key's containers hands its connection on to the certificate reads. The main
// window reaches them through the small views below, so none of this needs a
// window to run.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device_api.h"
#include "device_table.h"
#include "key_record.h"
#include "language.h"

namespace brevant {

// Key node identifier: this tag or-ed with the byte offset of the key's
// reader name in the reader list the tree was built from.
inline constexpr std::uint32_t kKeyNodeTag = 0x10000000;
inline constexpr std::uint32_t kNoNodeId = 0xFFFFFFFF;
constexpr bool IsKeyNodeId(std::uint32_t id) { return (id >> 16) == (kKeyNodeTag >> 16); }
constexpr std::uint32_t KeyNodeId(std::uint32_t offset) { return kKeyNodeTag | offset; }

// Sizes of the buffers the library fills; its behaviour depends on them.
inline constexpr std::size_t kReaderListBytes = 260;
inline constexpr std::size_t kApplicationListBytes = 32;
inline constexpr std::size_t kContainerListBytes = 512;
inline constexpr ULONG kContainerCountAsked = 8;
inline constexpr std::size_t kPropertyBytes = 260;  // label and serial

// Shown for every key: not read from it.
inline constexpr int kPinMaxLength = 20;
inline constexpr int kPinMinLength = 6;

// The key tree as far as finding a node's key goes.
class KeyTreeView {
 public:
  virtual ~KeyTreeView() = default;
  virtual HTREEITEM SelectedNode() const = 0;
  // The identifier attached to the node; kNoNodeId when it carries none.
  virtual std::uint32_t NodeId(HTREEITEM node) const = 0;
  virtual HTREEITEM ParentNode(HTREEITEM node) const = 0;
  virtual HTREEITEM FirstChildNode(HTREEITEM node) const = 0;
};

// The key tree as the certificate code builds it. A node added without an
// identifier reports kNoNodeId.
class KeyTreeWriter : public KeyTreeView {
 public:
  // Appends a node below `parent` (null: at the top level).
  virtual HTREEITEM AddNode(HTREEITEM parent, const std::string& text, int image, std::uint32_t id) = 0;
  virtual void DeleteAllNodes() = 0;
  virtual void SelectNode(HTREEITEM node) = 0;
  virtual void ExpandNode(HTREEITEM node) = 0;
  virtual HTREEITEM FirstRootNode() const = 0;
  virtual HTREEITEM NextSiblingNode(HTREEITEM node) const = 0;
  virtual std::string NodeText(HTREEITEM node) const = 0;
};

// The details list: caption in column 0, value in column 1.
class DetailsList {
 public:
  virtual ~DetailsList() = default;
  virtual void Clear() = 0;
  virtual void AddRow(const std::string& caption, const std::string& value) = 0;
};

// Language text of section/key.
using TextLookup = std::function<std::string(const char* section, const char* key)>;

// Reads one certificate of `container` on `device` (the listing's
// connection to the key, its application selected), registers it, stores
// its dates in `record` (whose slot `slot` already names the container, and
// whose kind is already that of `key_spec`) and adds its node below
// `key_node`. `slot` < kKeyRecordSlots.
using AddCertNodeFn = std::function<void(TK_HANDLE device, const std::string& container, std::uint32_t key_spec,
                                         HTREEITEM key_node, KeyRecord& record, std::size_t slot)>;

// The reader names of a listing and the count the library reported with
// them; nothing when the listing fails. A name the list does not end is not
// taken.
struct ReaderListing {
  std::vector<std::string> names;
  std::vector<std::uint32_t> offsets;  // of each name in the list
  ULONG count = 0;
};
std::optional<ReaderListing> ListReaders(const tk::DeviceApi& api);

// The first step of every key operation on a connected key: the key
// selects its application; the names are not used.
void EnumApplication(const tk::DeviceApi& api, TK_HANDLE device);
// The key's label; "" when the key cannot be reached or read.
std::string ReadKeyLabel(const tk::DeviceApi& api, const std::string& reader);
// True when the reader's state query succeeds and says a key is in it.
bool KeyIsPresent(const tk::DeviceApi& api, const std::string& reader);

// What the key tells about itself; a value it does not give stays empty
// (the type: 4, unknown; the retry count: 0).
struct KeyProperties {
  std::string label;
  unsigned long type = 4;
  std::string serial;
  unsigned long retries_left = 0;
};
// One connection; the retry count is read only when asked for.
KeyProperties ReadKeyProperties(const tk::DeviceApi& api, const std::string& reader, bool with_retry_count = false);

// The reader of a present key whose name starts at the offset in the low
// byte of `node_id`, in a fresh reader list; "" when none does (the list has
// changed since the tree was built, the key is gone, a state query failed,
// or the offset does not fit the low byte). At most 259 characters.
std::string ReaderNameFromNode(const tk::DeviceApi& api, std::uint32_t node_id);

// The reader of the key the selected node belongs to: the node itself, its
// parent or, for a node without identifier, its first child; "" otherwise.
std::string SelectedReaderName(const tk::DeviceApi& api, const KeyTreeView& tree);

// 1: some container holds a signature or exchange certificate; 0: none does,
// or the key cannot be connected; -1: the library gave more names than it
// counted. Callers treat every non-zero result as "has a certificate".
int KeyHasCert(const tk::DeviceApi& api, const char* reader);
// What a key's node shows, read on one connection: KeyHasCert's answer and,
// when it is not 0, the key's label.
struct KeyNodeFacts {
  int has_cert = 0;
  std::string label;
};
KeyNodeFacts ReadKeyNodeFacts(const tk::DeviceApi& api, const std::string& reader);

// Rebuilds the key's record in `records` and calls `add_cert_node` for each
// certificate of the key's containers: the signature certificate (key spec
// 2) before the exchange certificate (key spec 1) of a container.
void ListContainers(const tk::DeviceApi& api, const KeyTreeView& tree, HTREEITEM key_node,
                    KeyRecordMap& records, const AddCertNodeFn& add_cert_node);

// Refills `list` with the key's label, type, serial and PIN length limits.
// A key that cannot be read still gets its five rows, with empty values.
void ShowKeyProperties(const tk::DeviceApi& api, const KeyTreeView& tree, HTREEITEM key_node,
                       DetailsList& list, const TextLookup& texts);

// The same on the tool's own function table and language file.
inline std::string ReaderNameFromNode(std::uint32_t node_id) { return ReaderNameFromNode(DeviceTable(), node_id); }
inline std::string SelectedReaderName(const KeyTreeView& tree) { return SelectedReaderName(DeviceTable(), tree); }
inline int KeyHasCert(const char* reader) { return KeyHasCert(DeviceTable(), reader); }
inline void ListContainers(const KeyTreeView& tree, HTREEITEM key_node, KeyRecordMap& records,
                           const AddCertNodeFn& add_cert_node) {
  ListContainers(DeviceTable(), tree, key_node, records, add_cert_node);
}
inline void ShowKeyProperties(const KeyTreeView& tree, HTREEITEM key_node, DetailsList& list) {
  ShowKeyProperties(DeviceTable(), tree, key_node, list,
                    [](const char* section, const char* key) { return LngText(section, key); });
}

}  // namespace brevant
