#include "startup_files/update_startup_files_win32.h"

#include <windows.h>

#include "shell/dialog_frame_win32.h"
#include "startup_files/file_io_win32.h"
#include "startup_files/update_startup_files.h"
#include "transfer/expand_file_win32.h"

namespace vx {
namespace {

class Win32StartupSystem final : public StartupSystem {
 public:
  explicit Win32StartupSystem(HWND owner) : owner_(owner) {}

  bool WindowsDirectory(char* dest, size_t capacity) override {
    const UINT length = GetWindowsDirectoryA(dest, static_cast<UINT>(capacity));
    return length != 0 && length < capacity;
  }

  // The LZ service leaves the copy in the system's write-behind cache; the pass
  // flushes it once it has found it whole.
  bool BackupStartupFile(const char* startupPath, const char* backupPath) override {
    return ExpandFile(startupPath, backupPath);
  }

  bool WriteProfileEntry(const char* section, const char* key, const char* value, const char* path) override {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
  }

  // All three names null: 95, 98 and Me write out their cached copy of the
  // file and drop it. Windows NT and Wine keep no such copy and ignore the
  // call.
  void FlushProfileFile(const char* path) override { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path); }

  // 95, 98 and Me cache WIN.INI apart from the private profile files; the
  // private-profile call naming it may confuse that cache (KB Q74608).
  void FlushWinIni() override { WriteProfileStringA(nullptr, nullptr, nullptr); }

  void ShowStop(const char* message) override { vx::ShowStop(owner_, message); }

 private:
  HWND owner_;
};

}  // namespace

void UpdateStartupFiles(HWND owner) {
  Win32Files files;
  Win32StartupSystem system(owner);
  UpdateStartupFiles(files, system);
}

}  // namespace vx
