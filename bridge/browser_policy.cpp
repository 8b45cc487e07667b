#include "browser_policy.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "console.h"
#include "loopback_policy.h"
#include "policy_registry.h"
#include "scoped_handle.h"
#include "text.h"
#include "trusted_sites.h"

namespace corvane {
namespace {

using registry::CreateKey;
using registry::ErrorText;
using registry::kView;
using registry::OpenKey;
using registry::WriteString;

constexpr wchar_t kRecordRoot[] = L"SOFTWARE\\Quillon\\Brevant\\LoopbackPolicy";
// Beside the entries of a record; entry names are numbers.
constexpr wchar_t kCreatedValue[] = L"CreatedKey";

constexpr wchar_t kPolicyName[] = L"LoopbackNetworkAllowedForUrls";
// `add`'s exit code when a browser's policy was left to the organisation.
constexpr int kLeftToOrganisation = 3;

struct Browser {
  const char* name;
  const wchar_t* policy_key;  // the list is its subkey kPolicyName
};
constexpr Browser kBrowsers[] = {
    {"Chrome", L"SOFTWARE\\Policies\\Google\\Chrome"},
    {"Edge", L"SOFTWARE\\Policies\\Microsoft\\Edge"},
};

std::wstring ListKey(const Browser& browser) { return std::wstring(browser.policy_key) + L"\\" + kPolicyName; }

void Report(const Browser& browser, const std::string& text) {
  WriteOut(std::string(browser.name) + ": " + text + "\n");
}

// The string values of a key (other types with an empty text), apart from
// `skip`. False when the key could not be read whole.
bool ReadEntries(HKEY key, std::vector<ListEntry>& entries, const wchar_t* skip = nullptr) {
  DWORD count = 0, longest_name = 0, largest_data = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest_name,
                       &largest_data, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  std::wstring name(longest_name + 1, L'\0');
  // Room for a terminating NUL the data may lack.
  std::vector<wchar_t> data(largest_data / sizeof(wchar_t) + 2, L'\0');
  for (DWORD index = 0; index < count; ++index) {
    DWORD name_length = static_cast<DWORD>(name.size());
    DWORD data_bytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    DWORD type = 0;
    std::fill(data.begin(), data.end(), L'\0');
    if (RegEnumValueW(key, index, name.data(), &name_length, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                      &data_bytes) != ERROR_SUCCESS)
      return false;
    const std::wstring_view value_name(name.data(), name_length);
    if (skip && value_name == skip) continue;
    const bool is_text = type == REG_SZ || type == REG_EXPAND_SZ;
    entries.push_back({fw::WideToUtf8(value_name), is_text ? fw::WideToUtf8(data.data()) : std::string()});
  }
  return true;
}

// What this installation wrote into one browser's list earlier.
struct Record {
  std::vector<ListEntry> entries;
  std::wstring created_key;
};

std::wstring RecordKey(const Browser& browser) {
  return std::wstring(kRecordRoot) + L"\\" + fw::Utf8ToWide(browser.name);
}

Record ReadRecord(const Browser& browser) {
  Record record;
  const fw::ScopedRegKey key = OpenKey(RecordKey(browser), KEY_READ);
  if (!key) return record;
  if (!ReadEntries(key.get(), record.entries, kCreatedValue)) record.entries.clear();
  record.created_key = registry::ReadString(key.get(), kCreatedValue);
  return record;
}

bool WriteRecord(const Browser& browser, const Record& record) {
  const std::wstring path = RecordKey(browser);
  if (record.entries.empty()) {
    const LONG error = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), kView, 0);
    registry::DeleteEmptyRecordKeys(kRecordRoot);
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) return true;
    Report(browser, "cannot delete " + ErrorText(path, error));
    return false;
  }
  LONG error = ERROR_SUCCESS;
  const fw::ScopedRegKey key = CreateKey(path, error);
  std::vector<ListEntry> old_entries;
  if (key) ReadEntries(key.get(), old_entries);
  for (const ListEntry& old : old_entries) RegDeleteValueW(key.get(), fw::Utf8ToWide(old.name).c_str());
  for (const ListEntry& entry : record.entries) {
    if (error == ERROR_SUCCESS) error = WriteString(key.get(), fw::Utf8ToWide(entry.name), fw::Utf8ToWide(entry.value));
  }
  if (error == ERROR_SUCCESS && !record.created_key.empty())
    error = WriteString(key.get(), kCreatedValue, record.created_key);
  if (error != ERROR_SUCCESS) Report(browser, "cannot write " + ErrorText(path, error));
  return error == ERROR_SUCCESS;
}

bool UpdateBrowser(const Browser& browser, const std::vector<std::string>& origins) {
  const std::wstring list_path = ListKey(browser);
  std::vector<ListEntry> listed;
  LONG error = ERROR_SUCCESS;
  if (const fw::ScopedRegKey list = OpenKey(list_path, KEY_READ, &error)) {
    if (!ReadEntries(list.get(), listed)) {
      Report(browser, "cannot read " + ErrorText(list_path, ERROR_READ_FAULT));
      return false;
    }
  } else if (error != ERROR_FILE_NOT_FOUND) {
    Report(browser, "cannot read " + ErrorText(list_path, error));
    return false;
  }

  const Record before = ReadRecord(browser);
  const ListChange change = PlanLoopbackList(listed, before.entries, origins);
  Record after{change.record, before.created_key};
  if (after.created_key.empty() && !change.add.empty()) after.created_key = registry::FirstMissingKey(list_path);
  // The record names every entry that may be ours while the list changes:
  // should the change stop half-way, the next run forgets an entry that is
  // missing, but never leaves one behind that was made.
  Record during = after;
  for (const ListEntry& entry : listed) {
    if (std::find(change.remove.begin(), change.remove.end(), entry.name) != change.remove.end())
      during.entries.push_back(entry);
  }
  if (during.entries.empty()) during.created_key.clear();
  if (!WriteRecord(browser, during)) return false;

  bool done = true;
  if (!change.remove.empty() || !change.add.empty()) {
    const fw::ScopedRegKey list = CreateKey(list_path, error);
    if (!list) {
      Report(browser, "cannot open " + ErrorText(list_path, error));
      return false;
    }
    for (const std::string& name : change.remove) {
      error = RegDeleteValueW(list.get(), fw::Utf8ToWide(name).c_str());
      Report(browser, error == ERROR_SUCCESS ? "took out entry " + name : "cannot take out entry " + name);
      done = done && error == ERROR_SUCCESS;
    }
    for (const ListEntry& entry : change.add) {
      error = WriteString(list.get(), fw::Utf8ToWide(entry.name), fw::Utf8ToWide(entry.value));
      Report(browser, error == ERROR_SUCCESS ? "listed " + entry.value + " as entry " + entry.name
                                             : "cannot list " + entry.value + ": " + ErrorText(list_path, error));
      done = done && error == ERROR_SUCCESS;
    }
  }
  for (const ListEntry& entry : change.record) {
    if (std::find_if(change.add.begin(), change.add.end(), [&](const ListEntry& e) { return e.name == entry.name; }) ==
        change.add.end())
      Report(browser, entry.value + " already listed as entry " + entry.name);
  }
  if (!done) return false;
  if (!change.remove.empty()) {
    if (after.entries.empty()) after.created_key.clear();
    if (!WriteRecord(browser, after)) return false;
  }
  if (change.record.empty()) registry::DeleteCreatedKeys(list_path, before.created_key);
  return true;
}

// Whether the organisation sets the policy as one value of the browser's
// policy key (a JSON list in a string): a list key beside it would take its
// place. Nothing when that cannot be told (printed).
std::optional<bool> OrganisationSetsSingleValue(const Browser& browser) {
  LONG error = ERROR_SUCCESS;
  const fw::ScopedRegKey key = OpenKey(browser.policy_key, KEY_QUERY_VALUE, &error);
  if (key) error = RegQueryValueExW(key.get(), kPolicyName, nullptr, nullptr, nullptr, nullptr);
  if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) return key && error == ERROR_SUCCESS;
  Report(browser, "cannot read " + ErrorText(browser.policy_key, error));
  return std::nullopt;
}

int UpdateBrowsers(const std::vector<std::string>& origins) {
  bool done = true, left_to_organisation = false;
  for (const Browser& browser : kBrowsers) {
    const std::optional<bool> single_value =
        origins.empty() ? std::optional<bool>(false) : OrganisationSetsSingleValue(browser);
    if (!single_value) {
      done = false;
      continue;
    }
    if (*single_value) {
      Report(browser, "the organisation sets " + fw::WideToUtf8(kPolicyName) +
                          " as a single value: the bank's sites were not added, the organisation must add them to "
                          "that value");
      left_to_organisation = true;
    }
    // Under the organisation's value nothing is listed, and what an earlier
    // run listed goes: it would take the value's place as much as a new list.
    done = UpdateBrowser(browser, *single_value ? std::vector<std::string>() : origins) && done;
  }
  return !done ? 1 : left_to_organisation ? kLeftToOrganisation : 0;
}

}  // namespace

int AllowSitesInBrowsers(const std::vector<std::string>& origins) {
  if (origins.empty()) WriteOut("no bank site in IDS_IESET_TRUST: no page is let through\n");
  return UpdateBrowsers(origins);
}

int RevokeSitesInBrowsers() { return UpdateBrowsers({}); }

std::optional<int> RunLoopbackPolicyCommand(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--loopback-policy") != 0) return std::nullopt;
  const char* action = argc == 3 ? argv[2] : "";
  if (std::strcmp(action, "add") == 0) return AllowSitesInBrowsers(LoadTrustedOrigins().origins());
  if (std::strcmp(action, "remove") == 0) return RevokeSitesInBrowsers();
  WriteOut("usage: Corvane.exe --loopback-policy add|remove\n");
  return 2;
}

}  // namespace corvane
