#include "registration/shortcut_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "shell/bounded_text.h"

namespace vx {
namespace {

// The shell's link object and the two interfaces used on it. Defined here rather
// than taken from libuuid, so that OLE32 stays the only COM import.
constexpr GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr UINT kWindowsDirCapacity = 255;
constexpr size_t kShortcutPathCapacity = 256;
constexpr int kWidePathCapacity = MAX_PATH;

// The desktop folder of Windows 95 lies in the Windows directory; a directory
// too long to leave room for the file name gets no shortcut.
bool FormShortcutPath(char (&path)[kShortcutPathCapacity]) {
  const UINT length = GetWindowsDirectoryA(path, kWindowsDirCapacity);
  if (length == 0 || length >= kWindowsDirCapacity) return false;
  return AppendText(path, sizeof path, "\\desktop\\VX95.lnk");
}

}  // namespace

void MakeDesktopShortcut(const char* programPath) {
  char shortcutPath[kShortcutPathCapacity];
  if (!FormShortcutPath(shortcutPath)) return;

  // CoInitialize, not CoInitializeEx: Windows 95 without DCOM has only the former.
  // Only a successful call is balanced by CoUninitialize.
  const bool initialised = SUCCEEDED(CoInitialize(nullptr));
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    link->SetPath(programPath);
    link->SetDescription("Pimlet");
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR widePath[kWidePathCapacity];
      if (MultiByteToWideChar(CP_ACP, 0, shortcutPath, -1, widePath, kWidePathCapacity) != 0) {
        file->Save(widePath, TRUE);
      }
      file->Release();
    }
    link->Release();
  }
  if (initialised) CoUninitialize();
}

}  // namespace vx
