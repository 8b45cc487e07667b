#include "cert_tree.h"

#include <wincrypt.h>

#include <algorithm>
#include <cstring>

#include "bank_clock.h"
#include "cert_store.h"
#include "device_session.h"
#include "phase_trace.h"
#include "scoped_crypt.h"
#include "text.h"
#include "text_cut.h"

namespace brevant {
namespace {

constexpr int kKeyImage = 0, kCertImage = 1;
constexpr int kCertFindSteps = 5;

KeyDateTime LocalDate(const FILETIME& utc) {
  FILETIME local = {};
  SYSTEMTIME date = {};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &date)) return {};
  return ToKeyDateTime(date);
}

std::string NameOf(PCCERT_CONTEXT cert, DWORD flags) {
  const DWORD size = CertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, flags, nullptr, nullptr, 0);
  if (size <= 1) return {};
  std::string name(size, '\0');
  CertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, flags, nullptr, name.data(), size);
  name.resize(std::strlen(name.c_str()));
  return name;
}

}  // namespace

std::string SerialText(const BYTE* little_endian, std::size_t length) {
  return fw::HexUpper(little_endian, length, true);
}

void CertTree::RememberReader(const std::string& reader) {
  const std::string name = CutText(reader, kKnownReaderBytes);
  if (std::find(known_readers_.begin(), known_readers_.end(), name) != known_readers_.end()) return;
  if (known_readers_.size() < kKnownReaders) known_readers_.push_back(name);
}

void CertTree::FillKeyTree() {
  bool added = false;
  if (const std::optional<ReaderListing> listing = ListReaders(api_)) {
    for (std::size_t i = 0; i < listing->names.size(); ++i) {
      const std::string& reader = listing->names[i];
      RememberReader(reader);
      ULONG state = 0;
      if (api_.TK_GetDevState(reader.c_str(), &state) != tk::kOk) break;
      if (state != tk::kStatePresent) continue;
      // The node's identifier holds the name's offset in its low byte only.
      if (listing->offsets[i] > 0xFF) continue;
      const KeyNodeFacts facts = ReadKeyNodeFacts(api_, reader);
      const std::string text = facts.has_cert == 0 ? Text("CERTLIST", "CERT_NO_CERT") : facts.label;
      const HTREEITEM node = tree_.AddNode(nullptr, text, kKeyImage, KeyNodeId(listing->offsets[i]));
      added = true;
      if (reader == current_reader_) tree_.SelectNode(node);
    }
  }
  if (!added) tree_.AddNode(nullptr, Text("CERTLIST", "CERT_NO_KEY"), kKeyImage, kNoNodeId);
}

int CertTree::RefreshKeyTree() {
  const TraceSpan span("tree");
  tree_.DeleteAllNodes();
  {
    const TraceSpan keys("key nodes");
    FillKeyTree();
  }
  const AddCertNodeFn add = [this](TK_HANDLE device, const std::string& container, std::uint32_t key_spec,
                                   HTREEITEM key_node, KeyRecord& record, std::size_t slot) {
    AddCertNode(device, container, key_spec, key_node, record, slot);
  };
  for (HTREEITEM node = tree_.FirstRootNode(); node != nullptr; node = tree_.NextSiblingNode(node)) {
    ListContainers(api_, tree_, node, records_, add);
    tree_.ExpandNode(node);
  }
  const HTREEITEM first = tree_.FirstRootNode();
  if (first == nullptr) return 1;
  tree_.SelectNode(first);
  for (HTREEITEM node = first; node != nullptr; node = tree_.NextSiblingNode(node)) tree_.ExpandNode(node);
  return 0;
}

std::optional<std::vector<BYTE>> CertTree::ReadCert(const std::string& reader, const std::string& container,
                                                    std::uint32_t key_spec) const {
  tk::DeviceConnection device(api_);
  if (device.Connect(reader.c_str()) != tk::kOk) return std::nullopt;
  EnumApplication(api_, device.get());
  return ReadCertOn(device.get(), container, key_spec);
}

std::optional<std::vector<BYTE>> CertTree::ReadCertOn(TK_HANDLE device, const std::string& container,
                                                      std::uint32_t key_spec) const {
  std::vector<BYTE> cert(kCertBufferBytes);
  ULONG length = static_cast<ULONG>(cert.size());
  if (api_.TK_ReadCert(device, container.c_str(), key_spec, cert.data(), &length) != tk::kOk ||
      length > cert.size())
    return std::nullopt;
  cert.resize(length);
  return cert;
}

void CertTree::AddCertNode(TK_HANDLE device, const std::string& container, std::uint32_t key_spec,
                           HTREEITEM key_node, KeyRecord& record, std::size_t slot) {
  if (slot >= kKeyRecordSlots) return;
  TracePhase("cert read begin", container);
  const std::optional<std::vector<BYTE>> cert = ReadCertOn(device, container, key_spec);
  if (!cert) return;
  {
    const TraceSpan registration("cert registration", container);
    RegisterConnectedCert(api_, device, cert->data(), static_cast<DWORD>(cert->size()), settings_.provider.c_str(),
                          container.c_str(), settings_.sm2_store.c_str());
  }
  const fw::ScopedCertContext context(
      CertCreateCertificateContext(kCertEncoding, cert->data(), static_cast<DWORD>(cert->size())));
  if (!context) return;
  record.valid_to[slot] = LocalDate(context.get()->pCertInfo->NotAfter);
  record.valid_from[slot] = LocalDate(context.get()->pCertInfo->NotBefore);
  const std::string text = NameOf(context.get(), 0) + "' s  " + NameOf(context.get(), CERT_NAME_ISSUER_FLAG) + "  ID";
  tree_.AddNode(key_node, text, kCertImage, CertNodeId(slot, key_spec));
}

std::pair<std::size_t, std::uint32_t> CertTree::CertOfNode(std::uint32_t id, const KeyRecord& record) const {
  if (IsCertNodeId(id)) return {(id >> 4) & 0xF, id & 0xF};
  std::size_t slot = 0;
  while (slot < kKeyRecordSlots && record.containers[slot].empty()) ++slot;
  const std::uint32_t key_spec = record.kind == kKeyRecordSignature ? tk::kKeySpecSignature : tk::kKeySpecExchange;
  return {slot < kKeyRecordSlots ? slot : 0, key_spec};
}

void CertTree::ShowCertDetails(HTREEITEM node, DetailsList& list) {
  const std::string reader = SelectedReaderName(api_, tree_);
  const KeyRecord& record = records_[reader];
  const auto [slot, key_spec] = CertOfNode(tree_.NodeId(node), record);
  if (slot >= kKeyRecordSlots) return;
  const std::string& container = record.containers[slot];
  const std::optional<std::vector<BYTE>> cert = ReadCert(reader, container, key_spec);
  if (!cert) return;
  const fw::ScopedCertContext context(
      CertCreateCertificateContext(kCertEncoding, cert->data(), static_cast<DWORD>(cert->size())));
  if (!context) return;
  const CRYPT_INTEGER_BLOB& serial = context.get()->pCertInfo->SerialNumber;
  list.AddRow(Text("TOOL", "LIST_CTL_CERT_NAME"), NameOf(context.get(), 0));
  list.AddRow(Text("TOOL", "LIST_CTL_CERT_CONTAINER_NAME"), container);
  list.AddRow(Text("TOOL", "LIST_CTL_CERT_SERIAL"), SerialText(serial.pbData, serial.cbData));
}

std::optional<std::vector<BYTE>> CertTree::SelectedCertificate() {
  const HTREEITEM selected = tree_.SelectedNode();
  if (selected == nullptr) return std::nullopt;
  HTREEITEM node = selected;
  for (int step = 0; node != nullptr && !IsCertNodeId(tree_.NodeId(node)); ++step)
    node = step < kCertFindSteps ? tree_.FirstChildNode(node) : nullptr;
  if (node == nullptr) return std::nullopt;
  const std::string reader = SelectedReaderName(api_, tree_);
  const KeyRecord& record = records_[reader];
  const auto [slot, key_spec] = CertOfNode(tree_.NodeId(selected), record);
  if (slot >= kKeyRecordSlots) return std::nullopt;
  std::optional<std::vector<BYTE>> cert = ReadCert(reader, record.containers[slot], key_spec);
  if (!cert) cert = ReadCert(reader, record.containers[slot], 3 - key_spec);
  return cert;
}

std::string CertTree::InsertionNoticeFor(const std::string& reader, const KeyDateTime& now) {
  const ExpiryTexts texts = {Text("TOOL", "KEY_INSERT"),
                             Text("CERTINFO", "CERT_BEFORE_EFFECT"),
                             Text("CERTINFO", "CERT_AFTER_EFFECT"),
                             Text("CERTINFO", "CERT_OUTTIME_TODAY"),
                             Text("CERTINFO", "CERT_OUTTIME_SOMEDAY1"),
                             Text("CERTINFO", "CERT_OUTTIME_SOMEDAY2"),
                             Text("CERTINFO", "EFFECT_TIME")};
  const KeyRecord& record = records_[reader];
  const std::size_t slot = NoticeSlot(record);
  return InsertionNotice(texts, KeyHasCert(api_, reader.c_str()) != 0, record.valid_from[slot], record.valid_to[slot],
                         now);
}

}  // namespace brevant
