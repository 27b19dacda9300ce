#include "harness/install_steps.h"

#include <gtest/gtest.h>

#include "harness/system_state.h"
#include "harness/wizard_steps.h"

namespace e2e {
namespace {

enum class Where { kInstallDir, kSystemDir, kInfDir, kWindowsDir };

struct PackageRow {
  const char* diskName;
  const char* installedName;
  Where where;
};

// clang-format off
const PackageRow kPackage[] = {
    {"vp95.ex_",    "vp95.exe",    Where::kInstallDir},
    {"vpicon.ex_",  "vpicon.exe",  Where::kInstallDir},
    {"vp95dll.dl_", "vp95dll.dll", Where::kInstallDir},
    {"vxmouse.vxd", "vxmouse.vxd", Where::kSystemDir},
    {"vxmouse.inf", "vxmouse.inf", Where::kInfDir},
    {"vxmouse.hlp", "vxmouse.hlp", Where::kWindowsDir},
};
// clang-format on

std::string Folder(Where where, const std::string& installDir) {
  switch (where) {
    case Where::kInstallDir:
      return installDir;
    case Where::kSystemDir:
      return SystemDir() + "\\";
    case Where::kInfDir:
      return WindowsDir() + "\\inf\\";
    case Where::kWindowsDir:
      break;
  }
  return WindowsDir() + "\\";
}

// The pixels of a width x height memory bitmap after `draw` has painted it.
template <typename Draw>
std::vector<DWORD> DrawnPixels(int width, int height, Draw draw) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ kept = SelectObject(memory, bitmap);
  draw(memory, screen);
  std::vector<DWORD> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory, x, y));
  }
  SelectObject(memory, kept);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The screen pixels of the top-left corner of a window's client area.
std::vector<DWORD> ClientPixels(HWND window, int width, int height) {
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  return DrawnPixels(width, height, [&](HDC memory, HDC screen) {
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  });
}

// The icon drawn by this process the way Setup draws it, at (0, 0).
std::vector<DWORD> IconPixels(HICON icon, int width, int height) {
  return DrawnPixels(width, height, [&](HDC memory, HDC) { DrawIcon(memory, 0, 0, icon); });
}

}  // namespace

void ExpectOriginalBytes(const std::vector<InstalledFile>& files) {
  for (const InstalledFile& file : files) {
    SCOPED_TRACE(file.path);
    std::string original;
    ASSERT_TRUE(ReadBytes(StandinDir() + file.name, &original)) << StandinDir();
    ASSERT_FALSE(original.empty());
    std::string installed;
    ASSERT_TRUE(ReadBytes(file.path, &installed));
    EXPECT_TRUE(installed == original) << installed.size() << " bytes instead of " << original.size();
  }
}

std::vector<InstalledFile> InstalledFiles(const std::string& installDir) {
  std::vector<InstalledFile> files;
  for (const PackageRow& row : kPackage) {
    files.push_back({row.installedName, Folder(row.where, installDir) + row.installedName});
  }
  return files;
}

std::vector<std::string> DiskNames() {
  std::vector<std::string> names;
  for (const PackageRow& row : kPackage) names.push_back(row.diskName);
  return names;
}

std::string StandinDir() {
  // The driver runs from the bench build folder, as Z:\...\e2e_driver.exe.
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1) + "standins\\";
}

bool WaitForFiles(const std::vector<InstalledFile>& files, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    bool all = true;
    for (const InstalledFile& file : files) all = all && FileExists(file.path);
    if (all) return true;
    if (GetTickCount() - start >= Scaled(timeoutMs)) return false;
    Sleep(5);
  }
}

bool CopyDisk(const std::string& folder, const std::string& programName, const std::vector<std::string>& omit) {
  // Every level from the drive's root in, for deep folders.
  for (size_t slash = folder.find('\\', 3); slash != std::string::npos; slash = folder.find('\\', slash + 1)) {
    CreateDirectoryA(folder.substr(0, slash).c_str(), nullptr);
  }
  CreateDirectoryA(folder.c_str(), nullptr);
  bool ok = CopyWholeFile("A:\\SETUP.EXE", folder + "\\" + programName);
  for (const std::string& name : DiskNames()) {
    bool omitted = false;
    for (const std::string& left : omit) omitted = omitted || left == name;
    if (!omitted) ok = CopyWholeFile("A:\\" + name, folder + "\\" + name) && ok;
  }
  return ok;
}

std::vector<std::string> ListEntries(HWND list) {
  std::vector<std::string> entries;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    // In the wide form: Wine hands the text of another process's list over
    // unconverted, whatever form was asked for.
    wchar_t text[256] = L"";
    if (SendMessageW(list, LB_GETTEXTLEN, i, 0) >= 256) continue;
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    std::string narrow;
    for (const wchar_t* c = text; *c != 0; ++c) narrow += *c < 0x80 ? static_cast<char>(*c) : '?';
    entries.push_back(narrow);
  }
  return entries;
}

int SelectedIndex(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0)); }

void SelectIndex(HWND list, int index) { SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

bool SelectDrive(HWND options, char letter) {
  HWND list = GetDlgItem(options, kDriveList);
  const std::string wanted = std::string("[-") + letter + "-]";
  const std::vector<std::string> entries = ListEntries(list);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] != wanted) continue;
    SelectIndex(list, static_cast<int>(i));
    return SelectedIndex(list) == static_cast<int>(i);
  }
  return false;
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                      Scaled(5000), nullptr);
}

bool ChooseCustom(HWND options) {
  Press(options, kCustomButton);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < Scaled(kWaitMs)) {
    if (IsWindowVisible(GetDlgItem(options, kPathEdit)) && ItemText(options, kPathEdit) == "VX95") return true;
    Sleep(20);
  }
  return false;
}

HWND CatchCopyDialog(SetupProcess& setup) {
  const DWORD start = GetTickCount();
  do {
    for (const auto& dialog : VisibleDialogs(setup.pid())) {
      if (dialog.second == "Setup" && GetDlgItem(dialog.first, kCopyCancel) != nullptr) return dialog.first;
    }
    Sleep(2);
  } while (GetTickCount() - start < Scaled(kWaitMs));
  return nullptr;
}

HWND WaitForSuccessCancellingPrompts(SetupProcess& setup, std::vector<std::string>* answered) {
  const DWORD start = GetTickCount();
  do {
    for (const auto& dialog : VisibleDialogs(setup.pid())) {
      if (dialog.second == "Setup Complete!") {
        Sleep(Scaled(150));
        return dialog.first;
      }
      if (dialog.second == "Setup" || dialog.second == "Updating....") continue;
      if (GetDlgItem(dialog.first, IDCANCEL) == nullptr) continue;
      answered->push_back(dialog.second);
      Press(dialog.first, IDCANCEL);
      WaitUntilGone(dialog.first);
    }
    Sleep(50);
  } while (GetTickCount() - start < Scaled(30000));
  return nullptr;
}

bool FinishFromSuccess(SetupProcess& setup, HWND success) {
  Press(success, kSuccessContinue);
  HWND reminder = WaitForDialogWith(setup.pid(), "Setup", IDOK);
  if (reminder == nullptr) return false;
  Press(reminder, IDOK);
  return setup.WaitForExit();
}

int IconDifferences(HWND window, int iconId, int width, int height) {
  HMODULE module = LoadLibraryExA("A:\\SETUP.EXE", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return -1;
  HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 32, 32, 0));
  int differences = -1;
  if (icon != nullptr) {
    const std::vector<DWORD> expected = IconPixels(icon, width, height);
    const std::vector<DWORD> shown = ClientPixels(window, width, height);
    differences = 0;
    for (size_t i = 0; i < expected.size(); ++i) differences += expected[i] != shown[i];
    DestroyIcon(icon);
  }
  FreeLibrary(module);
  return differences;
}

}  // namespace e2e
