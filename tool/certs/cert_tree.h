// The key tree: a node per key present, below it a node per certificate of
// its containers, each certificate registered into the user's store as it
// is listed; the details of a selected certificate; the certificate the
// viewer opens; the notice shown when a key is plugged in.
#pragma once
#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "device_layer.h"
#include "expiry_notice.h"
#include "key_record.h"

namespace brevant {

inline constexpr std::uint32_t kCertNodeTag = 0x80001000;
constexpr bool IsCertNodeId(std::uint32_t id) { return id != kNoNodeId && (id & kCertNodeTag) == kCertNodeTag; }
constexpr std::uint32_t CertNodeId(std::size_t slot, std::uint32_t key_spec) {
  return kCertNodeTag | static_cast<std::uint32_t>(slot << 4) | key_spec;
}
inline constexpr std::size_t kCertBufferBytes = 131072;
inline constexpr std::size_t kKnownReaders = 32;
inline constexpr std::size_t kKnownReaderBytes = 268;

struct CertSettings {
  std::string provider;   // CSPINFO / CSP_NAME
  std::string sm2_store;  // CSPINFO / SM2_STORE_NAME
};

class CertTree {
 public:
  CertTree(const tk::DeviceApi& api, KeyTreeWriter& tree, KeyRecordMap& records, CertSettings settings,
           TextLookup texts)
      : api_(api), tree_(tree), records_(records), settings_(std::move(settings)), texts_(std::move(texts)) {}

  // Rebuilds the whole tree: the keys, then each key's certificates; the
  // first node is selected and every key expanded. 0, or 1 for an empty tree.
  int RefreshKeyTree();
  // The key nodes alone (with the placeholder texts where they apply).
  void FillKeyTree();
  // Reads one certificate on `device` (the key's open connection),
  // registers it, keeps its dates in `record` and adds its node below
  // `key_node`.
  void AddCertNode(TK_HANDLE device, const std::string& container, std::uint32_t key_spec, HTREEITEM key_node,
                   KeyRecord& record, std::size_t slot);
  // The three certificate rows for the selected node.
  void ShowCertDetails(HTREEITEM node, DetailsList& list);
  // The certificate the viewer opens for the selection; nothing when no
  // certificate node lies below it (the caller says "CERT_UNFOUND").
  std::optional<std::vector<BYTE>> SelectedCertificate();
  // The insertion notice for `reader` as the key record holds it.
  std::string InsertionNoticeFor(const std::string& reader, const KeyDateTime& now);

  void set_current_reader(std::string reader) { current_reader_ = std::move(reader); }
  const std::string& current_reader() const { return current_reader_; }
  const std::vector<std::string>& known_readers() const { return known_readers_; }

 private:
  std::string Text(const char* section, const char* key) const { return texts_ ? texts_(section, key) : ""; }
  void RememberReader(const std::string& reader);
  std::optional<std::vector<BYTE>> ReadCert(const std::string& reader, const std::string& container,
                                            std::uint32_t key_spec) const;
  std::optional<std::vector<BYTE>> ReadCertOn(TK_HANDLE device, const std::string& container,
                                              std::uint32_t key_spec) const;
  // Slot and key spec of a node: its own for a certificate node, else the
  // key record's first container with the kind listed last.
  std::pair<std::size_t, std::uint32_t> CertOfNode(std::uint32_t id, const KeyRecord& record) const;

  const tk::DeviceApi& api_;
  KeyTreeWriter& tree_;
  KeyRecordMap& records_;
  const CertSettings settings_;
  const TextLookup texts_;
  std::string current_reader_;
  std::vector<std::string> known_readers_;  // first-seen order, at most 32
};

// The serial number as shown: most significant byte first, upper-case hex.
std::string SerialText(const BYTE* little_endian, std::size_t length);

}  // namespace brevant
