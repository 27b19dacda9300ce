// Files and registry of the Wine prefix, as the tests arrange and inspect them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

std::string WindowsDir();  // C:\windows in a Wine prefix
std::string SystemDir();   // C:\windows\system32 in a 32-bit Wine prefix

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The whole file; false when it cannot be read.
bool ReadBytes(const std::string& path, std::string* bytes);
std::string ReadBytesOrEmpty(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
bool CopyWholeFile(const std::string& from, const std::string& to);
// Removes a file or a directory with everything below it; missing is fine.
void RemoveTree(const std::string& path);
// Names of the entries of a directory (no "." and "..").
std::vector<std::string> ListDirectory(const std::string& path);

// Registry, under HKEY_LOCAL_MACHINE unless a root is given.
bool KeyExists(const std::string& path, HKEY root = HKEY_LOCAL_MACHINE);
void DeleteKeyTree(const std::string& path, HKEY root = HKEY_LOCAL_MACHINE);
bool CreateKey(const std::string& path, HKEY root = HKEY_LOCAL_MACHINE);
bool SetText(const std::string& path, const std::string& name, const std::string& text);
struct RegValue {
  bool present = false;
  DWORD type = 0;
  std::string bytes;  // exactly as stored, a REG_SZ with its NUL
};
RegValue ReadValue(const std::string& path, const std::string& name, HKEY root = HKEY_LOCAL_MACHINE);
std::vector<std::string> SubkeyNames(const std::string& path, HKEY root = HKEY_LOCAL_MACHINE);

// The Windows version a process is told by GetVersionExA.
struct ReportedVersion {
  bool known = false;
  DWORD major = 0;
  DWORD minor = 0;
  DWORD platform = 0;
};
// What a process started now is told: the driver starts itself again with
// kReportVersionOption and a file to write the answer to. Wine fixes a process's
// version when it starts, so the driver's own version may be an older setting.
ReportedVersion VersionOfNewProcess();
constexpr char kReportVersionOption[] = "--report-version";
// The driver's side of it: writes "major minor platform" to the file; the exit code.
int ReportVersionTo(const char* path);

// Puts back what any test may have changed: Setup's files, registry entries,
// backups and start-up files, and the drives' folders. The first call keeps the
// prefix's own win.ini and system.ini as the pristine copies.
void ResetSystem();
std::string PristineWinIni();
std::string PristineSystemIni();

}  // namespace e2e
