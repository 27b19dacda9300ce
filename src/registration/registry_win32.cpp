#include "registration/registry_win32.h"

#include <windows.h>

#include "registration/registry_pass.h"
#include "registration/shortcut_win32.h"
#include "shell/bounded_text.h"
#include "shell/setup_state.h"

namespace vx {
namespace {

// Key names are at most 255 characters.
constexpr DWORD kKeyNameCapacity = 256;

// Device keys are two or three levels deep; the bound only keeps a damaged
// registry from running the stack out.
constexpr int kMaxDeleteDepth = 16;

HKEY ToHkey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }
RegistryKey ToKey(HKEY key) { return reinterpret_cast<RegistryKey>(key); }

// Deletes `name` under `parent` with everything beneath it. Windows 95's
// RegDeleteKeyA takes a whole subtree by itself, but Windows NT's (and Wine's)
// refuses a key that has subkeys, so the subkeys go first. RegDeleteTreeA and
// SHDeleteKeyA would do this, but Windows 95 has neither.
bool DeleteSubtree(HKEY parent, const char* name, int depth) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  if (depth < kMaxDeleteDepth) {
    char child[kKeyNameCapacity];
    DWORD index = 0;
    // A deleted subkey's successor moves down to its index; one that cannot be
    // deleted is stepped over, so the loop always ends.
    while (RegEnumKeyA(key, index, child, kKeyNameCapacity) == ERROR_SUCCESS) {
      if (!DeleteSubtree(key, child, depth + 1)) ++index;
    }
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

class DesktopShortcut final : public ShortcutMaker {
 public:
  void MakeShortcut(const char* programPath) override { MakeDesktopShortcut(programPath); }
};

}  // namespace

bool Win32Registry::CreateKey(const char* path, RegistryKey* key) {
  HKEY handle = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &handle,
                      &disposition) != ERROR_SUCCESS) {
    return false;
  }
  *key = ToKey(handle);
  return true;
}

bool Win32Registry::OpenKey(const char* path, RegistryKey* key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return false;
  *key = ToKey(handle);
  return true;
}

bool Win32Registry::SetText(RegistryKey key, const char* name, const char* text) {
  const DWORD size = static_cast<DWORD>(TextLength(text) + 1);
  return RegSetValueExA(ToHkey(key), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) == ERROR_SUCCESS;
}

bool Win32Registry::SetNoneValue(RegistryKey key, const char* name, uint32_t value) {
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                         static_cast<BYTE>(value >> 24)};
  return RegSetValueExA(ToHkey(key), name, 0, REG_NONE, bytes, sizeof bytes) == ERROR_SUCCESS;
}

bool Win32Registry::ReadText(RegistryKey key, const char* name, char* buffer, size_t capacity) {
  if (capacity == 0) return false;
  DWORD size = static_cast<DWORD>(capacity);
  if (RegQueryValueExA(ToHkey(key), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    return false;
  }
  if (size > capacity) return false;
  // Data stored without its terminator gets one when there is room for it.
  if (size == 0 || buffer[size - 1] != '\0') {
    if (size == capacity) return false;
    buffer[size] = '\0';
  }
  return true;
}

bool Win32Registry::EnumSubkey(RegistryKey key, uint32_t index, char* name, size_t capacity) {
  return RegEnumKeyA(ToHkey(key), index, name, static_cast<DWORD>(capacity)) == ERROR_SUCCESS;
}

EnumResult Win32Registry::EnumValue(RegistryKey key, uint32_t index, RegistryValue* value) {
  DWORD nameSize = sizeof value->name;
  DWORD type = 0;
  DWORD size = sizeof value->data;
  const LONG status = RegEnumValueA(ToHkey(key), index, value->name, &nameSize, nullptr, &type, value->data, &size);
  if (status == ERROR_NO_MORE_ITEMS) return EnumResult::kEnd;
  // ERROR_MORE_DATA among others: a name or data longer than the buffers.
  if (status != ERROR_SUCCESS) return EnumResult::kUnreadable;
  value->type = type;
  value->size = size;
  return EnumResult::kValue;
}

bool Win32Registry::DeleteTree(const char* path) { return DeleteSubtree(HKEY_LOCAL_MACHINE, path, 0); }

void Win32Registry::Flush(RegistryKey key) { RegFlushKey(ToHkey(key)); }

void Win32Registry::Close(RegistryKey key) { RegCloseKey(ToHkey(key)); }

void DeletePnpMouseKeys() {
  Win32Registry registry;
  DeletePnpMouseKeys(registry);
}

int WriteRegistryEntries() {
  Win32Registry registry;
  DesktopShortcut shortcut;
  return WriteRegistryEntries(registry, setupState.installDir, shortcut);
}

}  // namespace vx
