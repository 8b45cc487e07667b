// Test programs in the place of the browsers the tool starts and of the
// shell's window list, for the lifetime of one object; every registry entry
// and file it changes is put back afterwards.
//
// What Wine starts: ShellExecute("iexplore.exe") first starts the name as
// it stands, which finds the prefix's system32\iexplore.exe on the search
// path, and for a program there Wine prefers its builtin to the file unless
// told otherwise (DllOverrides "native"). So that file is replaced and the
// override set. Only when that start fails does the shell look in App
// Paths, which is pointed at the stand-in too. Wine's own shell window list (explorer's local server, there
// only while the desktop runs) lists nothing: its count and items are not
// implemented. An in-process server of ours takes the class's place.
#pragma once
#include <windows.h>
#include <exdisp.h>
#include <shlguid.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "scoped_handle.h"
#include "shell_windows_standin.h"
#include "sim_fixture.h"
#include "text.h"
#include "tool_driver.h"

namespace brevant::testing {

// A registry value as it was, put back on destruction; a value that was not
// there is deleted again, and a key that was not there with it.
class SavedRegistryValue {
 public:
  SavedRegistryValue(HKEY root, const std::string& path, const std::string& name)
      : root_(root), path_(fw::AnsiToWide(path)), name_(fw::AnsiToWide(name)) {
    fw::ScopedRegKey key;
    key_existed_ = RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    DWORD size = 0;
    if (!key_existed_ || RegQueryValueExW(key.get(), Name(), nullptr, &type_, nullptr, &size) != ERROR_SUCCESS) return;
    data_.resize(size);
    value_existed_ = RegQueryValueExW(key.get(), Name(), nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
    data_.resize(size);
  }
  SavedRegistryValue(const SavedRegistryValue&) = delete;
  SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;
  ~SavedRegistryValue() {
    if (!key_existed_) {
      RegDeleteTreeW(root_, path_.c_str());
      return;
    }
    fw::ScopedRegKey key;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (value_existed_)
      RegSetValueExW(key.get(), Name(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
    else
      RegDeleteValueW(key.get(), Name());
  }

  bool Set(DWORD type, const std::wstring& text) const {  // REG_SZ; REG_MULTI_SZ with its NULs
    fw::ScopedRegKey key;
    if (RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) != 0)
      return false;
    return RegSetValueExW(key.get(), Name(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  bool SetString(const std::string& text) const { return Set(REG_SZ, fw::AnsiToWide(text)); }

 private:
  const wchar_t* Name() const { return name_.empty() ? nullptr : name_.c_str(); }
  HKEY root_;
  std::wstring path_, name_;
  bool key_existed_ = false, value_existed_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
};

// A file replaced by a copy of another; the original waits beside it and
// comes back on destruction. An original left there by a run that did not
// finish is taken as the original.
class SwappedFile {
 public:
  SwappedFile(const std::string& target, const std::string& replacement)
      : target_(target), saved_(target + ".brevant-test-original") {
    if (GetFileAttributesA(saved_.c_str()) == INVALID_FILE_ATTRIBUTES) MoveFileExA(target_.c_str(), saved_.c_str(), 0);
    CopyFileA(replacement.c_str(), target_.c_str(), FALSE);
  }
  SwappedFile(const SwappedFile&) = delete;
  SwappedFile& operator=(const SwappedFile&) = delete;
  ~SwappedFile() {
    if (GetFileAttributesA(saved_.c_str()) != INVALID_FILE_ATTRIBUTES)
      MoveFileExA(saved_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING);
    else
      DeleteFileA(target_.c_str());
  }

 private:
  std::string target_, saved_;
};

// The folder the stand-ins are built into (that of the test programs).
inline std::string StandinDir() {
  const std::string bin = simtest::BinDir();
  return bin.substr(0, bin.find_last_of('\\')) + "\\tests";
}

// One start of a stand-in browser.
struct BrowserStart {
  unsigned long long made = 0;  // when its process was made
  int show = -1;             // the show command it was given; -1: none
  std::string program;       // the file that ran
  std::string command_line;  // as it was given
  // The command line after the program's name (quoted or not) and one blank.
  std::string Arguments() const {
    if (command_line.empty()) return {};
    const bool quoted = command_line[0] == '"';
    std::size_t end = quoted ? command_line.find('"', 1) : command_line.find(' ');
    if (end != std::string::npos && quoted) ++end;
    if (end == std::string::npos || end >= command_line.size()) return {};
    return command_line.substr(end + 1);
  }
};

class BrowserStandins {
 public:
  static constexpr char kSecureBrowserKey[] =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillonSecureBrowser1.101";

  BrowserStandins()
      : log_(folder_.File("browsers.log")),
        builtin_(SystemFolder() + "\\iexplore.exe"),
        standin_(StandinDir() + "\\browser_standin.exe"),
        system_browser_(builtin_, standin_),
        run_system_browser_file_(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "iexplore.exe"),
        app_path_(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", ""),
        secure_path_(HKEY_CURRENT_USER, kSecureBrowserKey, "DisplayIcon"),
        list_server_(HKEY_LOCAL_MACHINE, ClassKey() + "\\InprocServer32", ""),
        list_threading_(HKEY_LOCAL_MACHINE, ClassKey() + "\\InprocServer32", "ThreadingModel"),
        list_addresses_(HKEY_LOCAL_MACHINE, ClassKey(), fw::WideToAnsi(standin::kWindowAddressesValue)) {
    char previous[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(kLogVariable, previous, MAX_PATH);
    if (length > 0 && length < MAX_PATH) previous_log_ = previous;
    SetEnvironmentVariableA(kLogVariable, log_.c_str());
    run_system_browser_file_.SetString("native");
    app_path_.SetString(standin_);
    list_server_.SetString(StandinDir() + "\\shell_windows_standin.dll");
    list_threading_.SetString("Both");
    ShowWindows({});
  }
  BrowserStandins(const BrowserStandins&) = delete;
  BrowserStandins& operator=(const BrowserStandins&) = delete;
  ~BrowserStandins() {
    WaitForStandins();
    SetEnvironmentVariableA(kLogVariable, previous_log_.empty() ? nullptr : previous_log_.c_str());
  }

  // Whether `program` is what the shell may run for "iexplore.exe": the
  // file of that name on the search path, or the App Paths registration.
  // Wine's shell tries the first and, now and then, when starting it fails,
  // goes on to the second (as Windows' shell looks there in any case).
  bool IsBuiltin(const std::string& program) const { return program == builtin_ || program == standin_; }
  // The App Paths browser.
  const std::string& standin() const { return standin_; }
  const simtest::TempFolder& folder() const { return folder_; }

  // The App Paths registration's text as given: a path, quoted or not.
  void RegisterAppPath(const std::string& text) { app_path_.SetString(text); }
  // A copy of the stand-in in `path` (in folder()) as the maker's secure
  // browser.
  void RegisterSecureBrowser(const std::string& path) {
    AddCopy(path);
    secure_path_.SetString(path);
  }
  // A copy of the stand-in that no start should reach.
  void AddCopy(const std::string& path) {
    CopyFileA(standin_.c_str(), path.c_str(), FALSE);
    copies_.push_back(path.substr(path.find_last_of('\\') + 1));
  }
  // Browser windows at these addresses in the shell's window list: window
  // i's handle is WindowHandle(i). Lists made from now on see them.
  void ShowWindows(const std::vector<std::string>& addresses) const {
    std::wstring list;
    for (const std::string& address : addresses) list += fw::AnsiToWide(address) + L'\0';
    list_addresses_.Set(REG_MULTI_SZ, list);
  }
  static HWND WindowHandle(int index) { return reinterpret_cast<HWND>(standin::kFirstWindowHandle + index); }

  // The starts so far in the order they were made, once no stand-in runs
  // any more. Two stand-ins started one after the other may write their
  // lines the other way round.
  std::vector<BrowserStart> Starts() const {
    WaitForStandins();
    std::string text;
    simtest::ReadFileBytes(log_, text);
    std::vector<BrowserStart> starts;
    for (std::size_t begin = 0, end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
      const std::string line = text.substr(begin, end - begin);
      const std::size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1), tab3 = line.find('\t', tab2 + 1);
      if (tab1 == std::string::npos || tab2 == std::string::npos || tab3 == std::string::npos) continue;
      starts.push_back({std::strtoull(line.c_str(), nullptr, 10), std::atoi(line.c_str() + tab1 + 1),
                        line.substr(tab2 + 1, tab3 - tab2 - 1), line.substr(tab3 + 1)});
    }
    std::stable_sort(starts.begin(), starts.end(),
                     [](const BrowserStart& a, const BrowserStart& b) { return a.made < b.made; });
    return starts;
  }
  // Waits (10 s at most) for `count` starts, and for all stand-ins to end.
  std::vector<BrowserStart> WaitForStarts(std::size_t count) const {
    std::vector<BrowserStart> starts;
    WaitUntil([&] { return (starts = Starts()).size() >= count; });
    return starts;
  }

 private:
  static constexpr char kLogVariable[] = "BREVANT_BROWSER_LOG";

  static std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
  }
  static std::string ClassKey() {
    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_ShellWindows, clsid, 40);
    return "Software\\Classes\\CLSID\\" + fw::WideToAnsi(clsid);
  }
  // A start the shell has made has its process; the process has written its
  // line once it is gone.
  void WaitForStandins() const {
    WaitUntil([&] {
      const fw::ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
      PROCESSENTRY32W entry = {};
      entry.dwSize = sizeof entry;
      for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        for (const std::string& name : Names())
          if (lstrcmpiW(entry.szExeFile, fw::AnsiToWide(name).c_str()) == 0) return false;
      }
      return true;
    });
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names = copies_;
    names.push_back("iexplore.exe");
    names.push_back("browser_standin.exe");
    return names;
  }

  simtest::TempFolder folder_{"browsers"};
  std::string log_, builtin_, standin_, previous_log_;
  std::vector<std::string> copies_;  // file names
  SwappedFile system_browser_;
  SavedRegistryValue run_system_browser_file_, app_path_, secure_path_, list_server_, list_threading_, list_addresses_;
};

}  // namespace brevant::testing
