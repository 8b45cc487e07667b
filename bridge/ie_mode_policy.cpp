#include "ie_mode_policy.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "bank_sites_file.h"
#include "console.h"
#include "ie_mode_site_list.h"
#include "policy_registry.h"
#include "scoped_handle.h"
#include "text.h"

namespace corvane {
namespace {

using registry::ErrorText;
using registry::Value;

constexpr wchar_t kEdgeKey[] = L"SOFTWARE\\Policies\\Microsoft\\Edge";
constexpr wchar_t kRecordParent[] = L"SOFTWARE\\Quillon\\Brevant";
constexpr wchar_t kRecordKey[] = L"SOFTWARE\\Quillon\\Brevant\\IEModePolicy";
constexpr wchar_t kCreatedValue[] = L"CreatedKey";
constexpr wchar_t kVersionValue[] = L"SiteListVersion";
constexpr wchar_t kSiteListFile[] = L"IEModeSites.xml";
constexpr DWORD kIeMode = 1;

// The pair Edge reads; the record keeps them under the same names.
constexpr const wchar_t* kPolicyNames[] = {L"InternetExplorerIntegrationLevel", L"InternetExplorerIntegrationSiteList"};
constexpr std::size_t kLevel = 0, kSiteList = 1;
using PolicyValues = std::optional<Value>[std::size(kPolicyNames)];

void Report(const std::string& text) { WriteMessage("Edge: " + text + "\n"); }

std::string Name(std::size_t index) { return fw::WideToUtf8(kPolicyNames[index]); }

Value DwordValue(DWORD number) {
  Value value{REG_DWORD, std::vector<BYTE>(sizeof number)};
  std::memcpy(value.data.data(), &number, sizeof number);
  return value;
}

Value StringValue(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

// What this installation wrote into Edge's policy.
struct Record {
  bool exists = false;
  PolicyValues values;
  std::wstring created_key;
  std::uint32_t version = 0;
};

Record ReadRecord() {
  Record record;
  const fw::ScopedRegKey key = registry::OpenKey(kRecordKey, KEY_READ);
  if (!key) return record;
  record.exists = true;
  for (std::size_t i = 0; i < std::size(kPolicyNames); ++i)
    record.values[i] = registry::ReadValue(key.get(), kPolicyNames[i]);
  record.created_key = registry::ReadString(key.get(), kCreatedValue);
  const std::optional<Value> version = registry::ReadValue(key.get(), kVersionValue);
  if (version && version->type == REG_DWORD && version->data.size() == sizeof(DWORD))
    std::memcpy(&record.version, version->data.data(), sizeof(DWORD));
  return record;
}

bool WriteRecord(const Record& record) {
  LONG error = ERROR_SUCCESS;
  const fw::ScopedRegKey key = registry::CreateKey(kRecordKey, error);
  for (std::size_t i = 0; i < std::size(kPolicyNames) && error == ERROR_SUCCESS; ++i)
    error = registry::WriteValue(key.get(), kPolicyNames[i], *record.values[i]);
  if (error == ERROR_SUCCESS) error = registry::WriteValue(key.get(), kVersionValue, DwordValue(record.version));
  if (error == ERROR_SUCCESS && !record.created_key.empty())
    error = registry::WriteString(key.get(), kCreatedValue, record.created_key);
  if (error != ERROR_SUCCESS) Report("cannot write " + ErrorText(kRecordKey, error));
  return error == ERROR_SUCCESS;
}

void ForgetRecord() {
  const LONG error = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, registry::kView, 0);
  if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) Report("cannot delete " + ErrorText(kRecordKey, error));
  registry::DeleteEmptyRecordKeys(kRecordParent);
}

// Edge's pair as it is now. False when the key is there but cannot be read:
// nobody can tell then whose the values are.
bool ReadPolicy(PolicyValues& values) {
  LONG error = ERROR_SUCCESS;
  const fw::ScopedRegKey key = registry::OpenKey(kEdgeKey, KEY_READ, &error);
  if (!key) {
    if (error == ERROR_FILE_NOT_FOUND) return true;
    Report("cannot read " + ErrorText(kEdgeKey, error));
    return false;
  }
  for (std::size_t i = 0; i < std::size(kPolicyNames); ++i) values[i] = registry::ReadValue(key.get(), kPolicyNames[i]);
  return true;
}

// The names of the values someone else set, or changed since we wrote them.
std::string SetByOthers(const PolicyValues& policy, const Record& record) {
  std::string names;
  for (std::size_t i = 0; i < std::size(kPolicyNames); ++i) {
    if (policy[i] && !(record.values[i] && registry::SameValue(*policy[i], *record.values[i])))
      names += (names.empty() ? "" : ", ") + Name(i);
  }
  return names;
}

bool DeletePolicyValue(std::size_t index) {
  LONG error = ERROR_SUCCESS;
  const fw::ScopedRegKey key = registry::OpenKey(kEdgeKey, KEY_SET_VALUE, &error);
  if (key) error = RegDeleteValueW(key.get(), kPolicyNames[index]);
  if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) {
    Report("took out " + Name(index));
    return true;
  }
  Report("cannot take out " + Name(index) + ": " + ErrorText(kEdgeKey, error));
  return false;
}

bool WriteSiteListFile(const std::wstring& path, const std::string& xml) {
  fw::ScopedFile file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const bool done = file && WriteFile(file.get(), xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr) &&
                    written == xml.size();
  const DWORD error = done ? ERROR_SUCCESS : GetLastError();
  file.reset();
  if (done) return true;
  // A list cut short is no list Edge could read: none is better.
  DeleteFileW(path.c_str());
  Report("cannot write " + fw::WideToUtf8(path) + ": error " + std::to_string(error));
  return false;
}

bool DeleteSiteListFile(const std::wstring& path) {
  if (DeleteFileW(path.c_str())) {
    Report("deleted " + fw::WideToUtf8(path));
    return true;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  Report("cannot delete " + fw::WideToUtf8(path) + ": error " + std::to_string(error));
  return false;
}

std::int64_t UnixSeconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::int64_t ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr std::int64_t kTicksTo1970 = 116444736000000000;  // 100 ns from 1601 to 1970
  return (ticks - kTicksTo1970) / 10000000;
}

std::wstring ProgramFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      const std::wstring program(path.data(), length);
      const std::size_t slash = program.find_last_of(L'\\');
      return slash == std::wstring::npos ? std::wstring() : program.substr(0, slash);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace

int ApplyIeModeSiteList(const std::wstring& folder) {
  const std::string settings_file = fw::WideToAnsi(folder) + "\\" + sites::kSettingsFile;
  const std::vector<std::string> sites = IeModeSites(sites::ReadIeModePages(settings_file));
  if (sites.empty()) {
    WriteOut("no page in IDS_IEMODE_PAGES: Edge's IE mode is left to the user\n");
    RevokeIeModeSiteList(folder);
    return 0;
  }

  const Record before = ReadRecord();
  PolicyValues policy;
  if (!ReadPolicy(policy)) return 1;
  if (const std::string others = SetByOthers(policy, before); !others.empty()) {
    Report("the organisation's IE mode policy (" + others + ") is kept: the bank's IE-mode list was not applied");
    return 0;
  }

  const std::wstring list_path = folder + L"\\" + kSiteListFile;
  const std::string list_url = FileUrl(fw::WideToUtf8(list_path));
  Record after;
  after.exists = true;
  after.values[kLevel] = DwordValue(kIeMode);
  after.values[kSiteList] = StringValue(fw::Utf8ToWide(list_url));
  after.created_key = before.created_key.empty() ? registry::FirstMissingKey(kEdgeKey) : before.created_key;
  after.version = NextSiteListVersion(before.version, UnixSeconds());

  // A value of ours that is about to change (the installation moved) goes
  // while the record still names it: should the run stop before the new one
  // is written, no value is left that no record names.
  for (std::size_t i = 0; i < std::size(kPolicyNames); ++i) {
    if (policy[i] && !registry::SameValue(*policy[i], *after.values[i]) && !DeletePolicyValue(i)) return 1;
  }
  if (!WriteRecord(after)) return 1;
  // The file before the policy that names it: Edge never meets an address
  // without a list.
  if (!WriteSiteListFile(list_path, IeModeSiteListXml(sites, after.version))) return 1;
  Report("wrote the IE-mode list " + fw::WideToUtf8(list_path) + " (version " + std::to_string(after.version) + ")");
  for (const std::string& site : sites) Report("opens " + site + " in IE mode");

  LONG error = ERROR_SUCCESS;
  const fw::ScopedRegKey edge = registry::CreateKey(kEdgeKey, error);
  if (!edge) {
    Report("cannot open " + ErrorText(kEdgeKey, error));
    return 1;
  }
  bool done = true;
  for (std::size_t i = 0; i < std::size(kPolicyNames); ++i) {
    error = registry::WriteValue(edge.get(), kPolicyNames[i], *after.values[i]);
    done = done && error == ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) Report("cannot set " + Name(i) + ": " + ErrorText(kEdgeKey, error));
  }
  if (done) {
    Report("set " + Name(kLevel) + " to 1 (IE mode)");
    Report("set " + Name(kSiteList) + " to " + list_url);
  }
  return done ? 0 : 1;
}

int RevokeIeModeSiteList(const std::wstring& folder) {
  const Record record = ReadRecord();
  bool done = true;
  if (record.exists) {
    PolicyValues policy;
    if (!ReadPolicy(policy)) return 1;
    if (const std::string others = SetByOthers(policy, record); !others.empty()) {
      // The pair works only together: a level of ours taken out under an
      // organisation's list would switch its IE mode off.
      Report("the organisation's IE mode policy (" + others + ") is kept, and with it the rest of the pair");
    } else {
      for (std::size_t i = 0; i < std::size(kPolicyNames); ++i) {
        if (policy[i]) done = DeletePolicyValue(i) && done;
      }
    }
    // A value that could not be taken out stays recorded for the next run.
    if (done) {
      registry::DeleteCreatedKeys(kEdgeKey, record.created_key);
      ForgetRecord();
    }
  }
  done = DeleteSiteListFile(folder + L"\\" + kSiteListFile) && done;
  return done ? 0 : 1;
}

std::optional<int> RunIeModePolicyCommand(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--ie-mode-policy") != 0) return std::nullopt;
  const char* action = argc == 3 ? argv[2] : "";
  const bool add = std::strcmp(action, "add") == 0;
  if (!add && std::strcmp(action, "remove") != 0) {
    WriteOut("usage: Corvane.exe --ie-mode-policy add|remove\n");
    return 2;
  }
  const std::wstring folder = ProgramFolder();
  if (folder.empty()) {
    WriteOut("cannot tell the folder of Corvane.exe\n");
    return 1;
  }
  return add ? ApplyIeModeSiteList(folder) : RevokeIeModeSiteList(folder);
}

}  // namespace corvane
