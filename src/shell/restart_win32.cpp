#include "shell/restart_win32.h"

namespace vx {
namespace {

using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using LookupPrivilegeValueFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID);
using AdjustTokenPrivilegesFn = BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);

// On Windows NT and later ExitWindowsEx restarts nothing unless the process holds
// the shutdown privilege. Windows 95 has no privileges: its ADVAPI32 exports
// these functions only as stubs, so they are looked up at run time and every
// failure is simply passed over.
void EnableShutdownPrivilege() {
  HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
  if (advapi == nullptr) return;
  auto openToken =
      reinterpret_cast<OpenProcessTokenFn>(reinterpret_cast<void*>(GetProcAddress(advapi, "OpenProcessToken")));
  auto lookup = reinterpret_cast<LookupPrivilegeValueFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "LookupPrivilegeValueA")));
  auto adjust = reinterpret_cast<AdjustTokenPrivilegesFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "AdjustTokenPrivileges")));
  if (openToken == nullptr || lookup == nullptr || adjust == nullptr) return;

  HANDLE token = nullptr;
  if (!openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (lookup(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
    adjust(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  CloseHandle(token);
}

}  // namespace

bool RestartComputer(HWND owner) {
  MessageBoxA(owner,
              "Please make sure the disk has been removed\nfrom disk drive, and hit 'Enter'.\n\n"
              "Thanks for choosing Ulvane Systems.",
              "Setup", MB_OK | MB_ICONWARNING);
  EnableShutdownPrivilege();
  // Without EWX_FORCE: a forced restart gives running programs neither
  // WM_QUERYENDSESSION nor WM_ENDSESSION, and their unsaved work is lost.
  return ExitWindowsEx(EWX_REBOOT, 0) != FALSE;
}

}  // namespace vx
