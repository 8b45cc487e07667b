// LngLoadString: texts of the tool's INI files (language file, settings file)
// read from this library's own folder.
#include <cstring>
#include <mutex>

#include "rva_exports.h"

namespace {

constexpr std::size_t kTextSize = 4096;
// Callers copy the text at once; a ring of buffers keeps a text valid while a
// few other lookups (from other threads) happen.
constexpr std::size_t kRingSize = 16;

struct TextRing {
  std::mutex lock;
  char texts[kRingSize][kTextSize] = {};
  std::size_t next = 0;
};

TextRing& Ring() {
  static TextRing ring;
  return ring;
}

bool IsPlainFileName(const char* name) {
  return name && *name && !std::strpbrk(name, "\\/:") && std::strcmp(name, ".") != 0 &&
         std::strcmp(name, "..") != 0;
}

bool FileBesideThisLibrary(const char* name, char (&path)[MAX_PATH]) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&LngLoadString), &self))
    return false;
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr || (slash - path) + 1 + std::strlen(name) >= MAX_PATH) return false;
  std::strcpy(slash + 1, name);
  return true;
}

}  // namespace

extern "C" const char* WINAPI LngLoadString(const char* file, const char* section, const char* key) {
  static const char kEmpty[] = "";
  char path[MAX_PATH] = {};
  if (!IsPlainFileName(file) || !section || !key || !*section || !*key || !FileBesideThisLibrary(file, path))
    return kEmpty;
  TextRing& ring = Ring();
  std::lock_guard guard(ring.lock);
  char* text = ring.texts[ring.next];
  ring.next = (ring.next + 1) % kRingSize;
  GetPrivateProfileStringA(section, key, "", text, kTextSize, path);
  return text;
}
