#include "process_probe.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace brevant::testing {
namespace {

// Wine 8 answers GetProcessHandleCount with 0 for every process (this one
// included) and leaves PrivateUsage at 0; the process list's HandleCount is
// the size of the handle table, in powers of two. The system's handle table
// is exact under Wine and on Windows alike, so handles are counted there,
// and private bytes are PagefileUsage, which Windows keeps equal to
// PrivateUsage and Wine fills.
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct HandleEntry {
  ULONG owner;  // on Windows the low 16 bits; the creator's back-trace index above is 0 outside debugging
  BYTE object_type;
  BYTE flags;
  USHORT value;
  PVOID object;
  ACCESS_MASK access;
};
struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};

std::optional<ULONG> HandlesOf(DWORD process_id) {
  std::vector<BYTE> buffer(256 * 1024);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                                     static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 64 * 1024));
      continue;
    }
    if (status < 0 || buffer.size() < offsetof(HandleTable, entries)) return std::nullopt;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const std::size_t fit = (buffer.size() - offsetof(HandleTable, entries)) / sizeof(HandleEntry);
    if (table->count > fit) return std::nullopt;
    ULONG owned = 0;
    for (ULONG i = 0; i < table->count; ++i) owned += table->entries[i].owner == process_id;
    return owned;
  }
  return std::nullopt;
}

}  // namespace

ProcessProbe::ProcessProbe(DWORD process_id)
    : id_(process_id), process_(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE,
                                            FALSE, process_id)) {}

std::optional<ProcessUsage> ProcessProbe::Sample() const {
  if (!running()) return std::nullopt;
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process_.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
    return std::nullopt;
  const std::optional<ULONG> handles = HandlesOf(id_);
  if (!handles) return std::nullopt;
  return ProcessUsage{*handles, memory.PagefileUsage};
}

}  // namespace brevant::testing
