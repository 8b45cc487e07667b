// Support for Windows tests that run against the software token: a private
// key folder per test (RVA_SIM_DIR), tokenctl runs, programs of build/win/bin.
#pragma once
#include <windows.h>

#include <string>

namespace simtest {

// The folder of the running test program, and of the shipped programs (bin
// beside the tests folder).
std::string ExeDir();
std::string BinDir();
// A fresh, empty folder under the temporary folder, removed with its
// contents on destruction.
class TempFolder {
 public:
  explicit TempFolder(const char* prefix = "simtest");
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

struct ProcessResult {
  DWORD exit_code = 0xFFFFFFFF;
  std::string output;  // standard output and standard error together
};
// Runs a command line and waits for it (at most `timeout_ms`).
ProcessResult RunProcess(const std::string& command_line, DWORD timeout_ms = 30000);
// Starts a command line without waiting; the caller owns the handle. With an
// output file, the program's standard output and error go there.
HANDLE StartProcess(const std::string& command_line, const std::string& output_file = "");
// Runs bin\tokenctl.exe with the given arguments (already quoted where needed).
ProcessResult Tokenctl(const std::string& arguments);

// Points RVA_SIM_DIR at its own empty folder for the object's lifetime.
class SimKeyFolder {
 public:
  SimKeyFolder();
  ~SimKeyFolder();
  const std::string& path() const { return folder_.path(); }

 private:
  TempFolder folder_;
};

std::string CertFile(const std::string& name);  // a generated test certificate (DER)
bool ReadFileBytes(const std::string& path, std::string& bytes);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace simtest
