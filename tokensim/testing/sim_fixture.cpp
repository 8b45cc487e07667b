#include "sim_fixture.h"

#include <string>

#include <shellapi.h>

#include <atomic>
#include <stdexcept>

#include "scoped_handle.h"

namespace simtest {
namespace {

void RemoveTree(const std::string& path) {
  // SHFileOperation wants a double-NUL list.
  std::string from = path;
  from.push_back('\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

}  // namespace

std::string ExeDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\'));
}

std::string BinDir() {
  std::string dir = ExeDir();
  return dir.substr(0, dir.find_last_of('\\')) + "\\bin";
}

TempFolder::TempFolder(const char* prefix) {
  static std::atomic<unsigned> counter{0};
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%s%s-%lu-%u-%lu", temp, prefix, GetCurrentProcessId(), counter++,
             GetTickCount());
    if (CreateDirectoryA(name, nullptr)) {
      path_ = name;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() { RemoveTree(path_); }

HANDLE StartProcess(const std::string& command_line, const std::string& output_file) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  fw::ScopedFile output;
  if (!output_file.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    output.reset(CreateFileA(output_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, 0, nullptr));
    if (!output) return nullptr;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output.get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION info{};
  std::string line = command_line;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, output.valid(), 0, nullptr, nullptr, &startup, &info))
    return nullptr;
  CloseHandle(info.hThread);
  return info.hProcess;
}

ProcessResult RunProcess(const std::string& command_line, DWORD timeout_ms) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
  fw::ScopedHandle reader(read_end), writer(write_end);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info{};
  std::string line = command_line;
  // Wine now and then fails a start on a busy machine; a second try works.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
  }
  if (!started) {
    result.output = "cannot start (error " + std::to_string(GetLastError()) + "): " + command_line;
    return result;
  }
  fw::ScopedHandle process(info.hProcess), thread(info.hThread);
  writer.reset();  // the child holds the only write end now

  // Read what is there until the child ends. Not until the pipe closes: a
  // service the child started (Wine starts some on demand) may inherit the
  // pipe and outlive it.
  const DWORD start = GetTickCount();
  for (;;) {
    const bool ended = WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0;
    DWORD available = 0;
    while (PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      char buffer[4096];
      DWORD read = 0;
      if (!ReadFile(reader.get(), buffer, sizeof buffer < available ? sizeof buffer : available, &read, nullptr) ||
          read == 0)
        break;
      result.output.append(buffer, read);
    }
    if (ended) break;
    if (GetTickCount() - start > timeout_ms) {
      TerminateProcess(process.get(), 99);
      return result;
    }
  }
  GetExitCodeProcess(process.get(), &result.exit_code);
  return result;
}

ProcessResult Tokenctl(const std::string& arguments) {
  return RunProcess("\"" + BinDir() + "\\tokenctl.exe\" " + arguments);
}

SimKeyFolder::SimKeyFolder() : folder_("simkeys") { SetEnvironmentVariableA("RVA_SIM_DIR", folder_.path().c_str()); }
SimKeyFolder::~SimKeyFolder() { SetEnvironmentVariableA("RVA_SIM_DIR", nullptr); }

std::string CertFile(const std::string& name) { return std::string(TEST_CERT_DIR) + "\\" + name + ".der"; }

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  fw::ScopedFile file(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  bytes.clear();
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return true;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  fw::ScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace simtest
