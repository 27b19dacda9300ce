#include "harness/update_steps.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdlib>

#include "harness/wizard_steps.h"

namespace e2e {

bool StartExpressInstallation(SetupProcess& setup) {
  HWND options = ReachDestination(setup);
  if (options == nullptr) return false;
  Press(options, 1006);
  return true;
}

std::string Sz(const std::string& text) { return text + '\0'; }

bool SetValue(const std::string& path, const std::string& name, DWORD type, const std::string& bytes) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                     static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool CreateVolatileKey(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::map<std::string, RegValue> AllValues(const std::string& path) {
  std::map<std::string, RegValue> values;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameLength = sizeof name;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    values[name] = ReadValue(path, name);
  }
  RegCloseKey(key);
  return values;
}

std::string UnixPath(const std::string& windowsPath) {
  // Wine's own export; Windows has no such function.
  using ToUnix = char*(CDECL*)(LPCWSTR);
  const auto toUnix = reinterpret_cast<ToUnix>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name"));
  if (toUnix == nullptr) return "";
  WCHAR wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH) == 0) return "";
  char* unixPath = toUnix(wide);
  if (unixPath == nullptr) return "";
  std::string result = unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

namespace {

// A word for /bin/sh in single quotes, which keep every character but the quote.
std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

UnixRun RunUnixProgram(const std::vector<std::string>& argv, DWORD timeoutMs) {
  UnixRun run;
  char tempDir[MAX_PATH] = "";
  GetTempPathA(sizeof tempDir, tempDir);
  const std::string output = std::string(tempDir) + "vx-unix-" + std::to_string(GetTickCount()) + ".txt";
  const std::string unixOutput = UnixPath(output);
  if (unixOutput.empty()) return run;
  DeleteFileA(output.c_str());

  // The script is one double-quoted argument of Wine's command line, which a
  // double quote inside it would end.
  std::string command;
  for (const std::string& word : argv) {
    if (word.find('"') != std::string::npos) return run;
    command += ShellQuoted(word) + " ";
  }
  // Written beside the result and renamed when complete, so that the file
  // appears only once the program has ended.
  const std::string partial = ShellQuoted(unixOutput + ".part");
  const std::string script =
      command + ">" + partial + " 2>&1; echo exit $? >>" + partial + "; mv " + partial + " " + ShellQuoted(unixOutput);
  std::string commandLine = "/bin/sh -c \"" + script + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA("Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return run;
  }
  // A Linux process gets no Windows handles; close whatever came back.
  if (info.hThread != nullptr) CloseHandle(info.hThread);
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);

  const DWORD start = GetTickCount();
  while (!FileExists(output)) {
    if (GetTickCount() - start >= Scaled(timeoutMs)) return run;
    Sleep(50);
  }
  std::string text = ReadBytesOrEmpty(output);
  DeleteFileA(output.c_str());
  const size_t last = text.rfind("exit ");
  if (last == std::string::npos) return run;
  run.finished = true;
  run.status = static_cast<int>(std::strtol(text.c_str() + last + 5, nullptr, 10));
  run.output = text.substr(0, last);
  return run;
}

std::string WithCrLf(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) result += '\r';
    result += text[i];
  }
  return result;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool IniEntry::operator==(const IniEntry& other) const {
  return section == other.section && key == other.key && value == other.value && hasValue == other.hasValue;
}

std::ostream& operator<<(std::ostream& out, const IniEntry& entry) {
  out << "[" << entry.section << "] " << entry.key;
  if (entry.hasValue) out << "=" << entry.value;
  return out;
}

std::vector<IniEntry> IniEntries(const std::string& text) {
  std::vector<IniEntry> entries;
  std::string section;
  for (const std::string& raw : SplitLines(text)) {
    const std::string line = Trimmed(raw);
    if (line.empty()) continue;
    if (line.front() == '[' && line.find(']') != std::string::npos) {
      section = Trimmed(line.substr(1, line.find(']') - 1));
      continue;
    }
    IniEntry entry;
    entry.section = section;
    const size_t equals = line.find('=');
    if (equals == std::string::npos || line.front() == ';') {
      entry.key = line;
    } else {
      entry.key = Trimmed(line.substr(0, equals));
      entry.value = Trimmed(line.substr(equals + 1));
      entry.hasValue = true;
    }
    entries.push_back(entry);
  }
  return entries;
}

void SetIniEntry(std::vector<IniEntry>* entries, const std::string& section, const std::string& key,
                 const std::string& value) {
  IniEntry entry;
  entry.section = section;
  entry.key = key;
  entry.value = value;
  entry.hasValue = true;
  size_t insertAt = entries->size();
  for (size_t i = 0; i < entries->size(); ++i) {
    IniEntry& existing = (*entries)[i];
    if (!SameName(existing.section, section)) continue;
    if (existing.hasValue && SameName(existing.key, key)) {
      existing.value = value;
      return;
    }
    entry.section = existing.section;
    insertAt = i + 1;
  }
  entries->insert(entries->begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
}

}  // namespace e2e
