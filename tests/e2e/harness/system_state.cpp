#include "harness/system_state.h"

#include <cstdio>
#include <cstdlib>

#include "harness/bench.h"
#include "win95/layer.h"

namespace e2e {

std::string WindowsDir() {
  char path[MAX_PATH] = "";
  GetWindowsDirectoryA(path, sizeof path);
  return path;
}

std::string SystemDir() {
  char path[MAX_PATH] = "";
  GetSystemDirectoryA(path, sizeof path);
  return path;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ReadBytes(const std::string& path, std::string* bytes) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buffer[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) bytes->append(buffer, got);
  CloseHandle(file);
  return ok;
}

std::string ReadBytesOrEmpty(const std::string& path) {
  std::string bytes;
  ReadBytes(path, &bytes);
  return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  return CloseHandle(file) && ok;
}

bool CopyWholeFile(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::vector<std::string> ListDirectory(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    return;
  }
  for (const std::string& name : ListDirectory(path)) RemoveTree(path + "\\" + name);
  RemoveDirectoryA(path.c_str());
}

bool KeyExists(const std::string& path, HKEY root) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void DeleteKeyTree(const std::string& path, HKEY root) {
  for (const std::string& name : SubkeyNames(path, root)) DeleteKeyTree(path + "\\" + name, root);
  RegDeleteKeyA(root, path.c_str());
}

bool CreateKey(const std::string& path, HKEY root) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool SetText(const std::string& path, const std::string& name, const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

RegValue ReadValue(const std::string& path, const std::string& name, HKEY root) {
  RegValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.bytes.resize(size);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(value.bytes.data()), &size) ==
        ERROR_SUCCESS) {
      value.bytes.resize(size);
      value.present = true;
    }
  }
  RegCloseKey(key);
  return value;
}

std::vector<std::string> SubkeyNames(const std::string& path, HKEY root) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  char name[256];
  for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) names.push_back(name);
  RegCloseKey(key);
  return names;
}

namespace {

const char kPristineDir[] = "C:\\vxbench";

std::string Pristine(const char* name) {
  CreateDirectoryA(kPristineDir, nullptr);
  const std::string copy = std::string(kPristineDir) + "\\" + name;
  if (!FileExists(copy)) CopyWholeFile(WindowsDir() + "\\" + name, copy);
  return ReadBytesOrEmpty(copy);
}

// Everything Setup or a test may leave in the prefix.
const char* const kLeftFiles[] = {
    "C:\\vx95",         "C:\\autoexec.bat", "C:\\autoexec.ulv", "C:\\VXAUTO.TMP", "C:\\VXAUTO.NEW",
    "C:\\AUTOEXEC.UL1", "C:\\altdisk",      "D:\\tools",        "D:\\vx95",
};
const char* const kLeftWindowsFiles[] = {
    "\\win.ulv", "\\system.ulv", "\\VXWIN.TMP",   "\\VXWIN.NEW",        "\\VXSYS.TMP",         "\\VXSYS.NEW",
    "\\WIN.UL1", "\\SYSTEM.UL1", "\\vxmouse.hlp", "\\inf\\vxmouse.inf", "\\desktop\\VX95.lnk",
};
const char* const kLeftKeys[] = {
    "SOFTWARE\\Corvessa",
    "System\\CurrentControlSet\\Services\\VxD\\VMSMOUSE",
    "System\\CurrentControlSet\\Services\\Class\\Mouse",
    "Enum\\Root\\Mouse",
};

}  // namespace

std::string PristineWinIni() { return Pristine("win.ini"); }
std::string PristineSystemIni() { return Pristine("system.ini"); }

void ResetSystem() {
  // A restart runs the Run entries, which start the installed utility; its
  // window would make Setup show FOUNDWINDOW.
  for (HWND utility = nullptr; (utility = FindWindowA(nullptr, "Vantrix Studio Station")) != nullptr;) {
    DWORD pid = 0;
    GetWindowThreadProcessId(utility, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr || !TerminateProcess(process, 0)) break;
    WaitForSingleObject(process, Scaled(5000));
    CloseHandle(process);
  }
  const std::string winIni = PristineWinIni();
  const std::string systemIni = PristineSystemIni();
  for (const char* path : kLeftFiles) RemoveTree(path);
  for (const std::string& name : ListDirectory("D:")) RemoveTree("D:\\" + name);
  for (const char* name : kLeftWindowsFiles) RemoveTree(WindowsDir() + name);
  RemoveTree(SystemDir() + "\\vxmouse.vxd");
  CreateDirectoryA((WindowsDir() + "\\desktop").c_str(), nullptr);
  WriteBytes(WindowsDir() + "\\win.ini", winIni);
  WriteBytes(WindowsDir() + "\\system.ini", systemIni);
  // Under the Windows 95 personality a missing C:\autoexec.bat brings the
  // OF_PROMPT box in the middle of the update pass; the one test about that
  // removes this empty file, the others are about other things.
  if (Win95Personality()) WriteBytes("C:\\autoexec.bat", "");
  for (const char* key : kLeftKeys) DeleteKeyTree(key);
  for (const std::string& name : SubkeyNames("Enum\\Root")) {
    if (name.compare(0, 6, "*PNP0F") == 0) DeleteKeyTree("Enum\\Root\\" + name);
  }
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_ALL_ACCESS, &run) ==
      ERROR_SUCCESS) {
    RegDeleteValueA(run, "VP95");
    RegCloseKey(run);
  }
}

int ReportVersionTo(const char* path) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return 1;
  char line[64];
  snprintf(line, sizeof line, "%lu %lu %lu", static_cast<unsigned long>(version.dwMajorVersion),
           static_cast<unsigned long>(version.dwMinorVersion), static_cast<unsigned long>(version.dwPlatformId));
  return WriteBytes(path, line) ? 0 : 1;
}

ReportedVersion VersionOfNewProcess() {
  ReportedVersion reported;
  char self[MAX_PATH] = "";
  if (GetModuleFileNameA(nullptr, self, sizeof self) == 0) return reported;
  const std::string answer = "C:\\vx-version.txt";
  DeleteFileA(answer.c_str());
  std::string commandLine = std::string("\"") + self + "\" " + kReportVersionOption + " " + answer;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return reported;
  }
  WaitForSingleObject(process.hProcess, Scaled(30000));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  unsigned long major = 0;
  unsigned long minor = 0;
  unsigned long platform = 0;
  const std::string text = ReadBytesOrEmpty(answer);
  DeleteFileA(answer.c_str());
  char* end = nullptr;
  major = std::strtoul(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != ' ') return reported;
  const char* next = end + 1;
  minor = std::strtoul(next, &end, 10);
  if (end == next || *end != ' ') return reported;
  next = end + 1;
  platform = std::strtoul(next, &end, 10);
  if (end == next || *end != '\0') return reported;
  reported = {true, major, minor, platform};
  return reported;
}

}  // namespace e2e
