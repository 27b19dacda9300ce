// win95_personality.dll: loaded into SETUP.EXE before its first instruction
// runs (layer.cpp), it gives Setup the answers Windows 95 gives where Wine
// answers as Windows NT does. On loading it rewrites Setup's import address
// table and answers Setup's own GetProcAddress calls; the system DLLs inside
// the process are left as Wine made them. What it models, each with the source
// named in README.md beside it:
//
// - the functions of tools/win95/stubs-win95.txt that Setup imports or looks up
//   fail as Windows 95's stubs do (MSDN98-LIM, KB-Q129532). A listed
//   function without a model here makes the layer refuse to load, or is written
//   to the log as "unmodelled" when Setup looks it up;
// - OF_PROMPT on a missing file brings a box with Retry and Cancel (MSDN98-OF,
//   MSDN98-LZ);
// - RegDeleteKeyA takes a key with every subkey beneath it (MSDN00-RDK);
// - GetVersion tells Windows 95's 0xC0000004, GetVersionExA 4.0 build 950
//   (MSDN98-GV, WINE-GV, MSDN98-OVI);
// - WritePrivateProfileStringA and WriteProfileStringA keep their writes in
//   memory until the all-NULL call flushes that file (KB-Q74608, KB-Q68827,
//   NSIS-FLUSHINI, MSDN98-WPS).
//
// DeleteFileA and MoveFileA are Wine's own, logged, and DeleteFileA can hold
// Setup after a delete (VX_WIN95_HOLD_AFTER_DELETE).
//
// Every answer is written to the log named by VX_WIN95_LOG, one line each, so
// that a test can see that Setup's own calls reached the layer.
#include <windows.h>
#include <lzexpand.h>

#include "win95/layer.h"

namespace {

// tools/win95/stubs-win95.txt as "DLL!Name" strings, made by the build.
const char* const kStubList[] = {
#include "win95_stubs.inc"
};

// wsprintfA writes at most 1,024 characters, its terminating zero among them.
constexpr int kFormattedCapacity = 1024;

// The log: one line a call, appended and closed at once, so that a Setup ended
// at any moment leaves whole lines.
void AppendLine(const char* line, int length) {
  char path[MAX_PATH] = "";
  const DWORD pathLength = GetEnvironmentVariableA("VX_WIN95_LOG", path, sizeof path);
  if (pathLength == 0 || pathLength >= sizeof path) return;
  const HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  WriteFile(file, line, static_cast<DWORD>(length), &done, nullptr);
  CloseHandle(file);
}

// The arguments are wsprintfA's. The models hand Wine's answers on, last error
// included, so writing the log leaves the last error as it found it.
template <typename... Arguments>
void Log(const char* format, Arguments... arguments) {
  const DWORD error = GetLastError();
  // The zeros past wsprintfA's reach end the text however long it came out,
  // and leave room for the line's end.
  char line[kFormattedCapacity + 2] = "";
  wsprintfA(line, format, arguments...);
  const int length = lstrlenA(line);
  line[length] = '\r';
  line[length + 1] = '\n';
  AppendLine(line, length + 2);
  SetLastError(error);
}

// --- Windows 95's stubs ------------------------------------------------------
// They return FALSE, "an error value" (MSDN98-LIM); Windows 95 "does not
// implement MoveFileEx()" (KB-Q129532). No public source gives their last error
// (KB-Q127991: not documented, at times 0 on Windows 95). The layer sets
// ERROR_CALL_NOT_IMPLEMENTED, the value Setup takes for MoveFileExA; with
// VX_WIN95_STUB_ERROR=0 they leave 0, so that only Setup's look at the version
// can tell it that it runs on Windows 95.
DWORD stubError = ERROR_CALL_NOT_IMPLEMENTED;

const char* StubError() { return stubError == 0 ? "last error 0" : "ERROR_CALL_NOT_IMPLEMENTED"; }

BOOL FailAsStub() {
  SetLastError(stubError);
  return FALSE;
}

BOOL WINAPI MoveFileExA95(LPCSTR from, LPCSTR to, DWORD flags) {
  Log("MoveFileExA %s -> %s (flags %lu): FALSE, %s", from, to, flags, StubError());
  return FailAsStub();
}

BOOL WINAPI OpenProcessToken95(HANDLE /*process*/, DWORD /*access*/, PHANDLE token) {
  Log("OpenProcessToken: FALSE, %s", StubError());
  if (token != nullptr) *token = nullptr;
  return FailAsStub();
}

BOOL WINAPI LookupPrivilegeValueA95(LPCSTR /*system*/, LPCSTR name, PLUID /*luid*/) {
  Log("LookupPrivilegeValueA %s: FALSE, %s", name, StubError());
  return FailAsStub();
}

BOOL WINAPI AdjustTokenPrivileges95(HANDLE /*token*/, BOOL /*disableAll*/, PTOKEN_PRIVILEGES /*state*/,
                                    DWORD /*length*/, PTOKEN_PRIVILEGES /*previous*/, PDWORD /*returned*/) {
  Log("AdjustTokenPrivileges: FALSE, %s", StubError());
  return FailAsStub();
}

// --- The version ---------------------------------------------------------------
// GetVersion: the low word 4.0, the high bit set for Windows 95 (MSDN98-GV).
// The other bits of the high word are "reserved": 0x4000, and no build number,
// which only Windows NT puts there (WINE-GV; Windows 98 gives 0xC0000A04).
DWORD WINAPI GetVersion95() {
  Log("GetVersion: 0xC0000004");
  return 0xC0000004UL;
}

// GetVersionExA: platform VER_PLATFORM_WIN32_WINDOWS, build 950 (Windows 95's
// first release), and on Windows 95 the build number's high word holds the
// major and minor version (MSDN98-OVI).
// Windows 95 has no OSVERSIONINFOEX; any other size fails, with Wine's error.
BOOL WINAPI GetVersionExA95(LPOSVERSIONINFOA info) {
  if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
    Log("GetVersionExA: FALSE, the structure's size is not OSVERSIONINFOA's");
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = 4;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 0x04000000UL | 950;
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  info->szCSDVersion[0] = '\0';
  Log("GetVersionExA: 4.0 build 950, VER_PLATFORM_WIN32_WINDOWS");
  return TRUE;
}

// --- OF_PROMPT -------------------------------------------------------------------
// "Displays a dialog box if the requested file does not exist. The dialog box
// informs the user that the system cannot find the file, and it contains Retry
// and Cancel buttons. Choosing the Cancel button directs OpenFile to return a
// file-not-found error message." (MSDN98-OF; the same for LZOpenFile, MSDN98-LZ).
// The documentation gives neither the caption nor the exact words nor the icon:
// those below are the layer's own. The box is task-modal, so that Setup's
// windows wait for it as for a box of the system; creating a file (OF_CREATE)
// asks nothing, since a new file need not exist. Wine's function is called with
// the caller's style, OF_PROMPT included, which it does not show a box for but
// which keeps LZOpenFileA from expanding at the open (it hands back a plain
// handle, for LZCopy to expand). Cancel returns what it returned for the
// missing file.

bool AnswersRetry(const char* function, const char* path) {
  // As long as wsprintfA makes it, whatever the path's length.
  char text[kFormattedCapacity + 1] = "";
  wsprintfA(text, e2e::kMissingFileText, path != nullptr ? path : "");
  const int answer =
      MessageBoxA(nullptr, text, e2e::kMissingFileCaption, MB_RETRYCANCEL | MB_ICONEXCLAMATION | MB_TASKMODAL);
  Log("%s %s: missing, the OF_PROMPT box answered %s", function, path, answer == IDRETRY ? "Retry" : "Cancel");
  return answer == IDRETRY;
}

// Whether the system asks about the file that a failed open did not find.
bool Prompts(UINT style, const OFSTRUCT* info) {
  return (style & OF_PROMPT) != 0 && (style & OF_CREATE) == 0 && info != nullptr &&
         (info->nErrCode == ERROR_FILE_NOT_FOUND || info->nErrCode == ERROR_PATH_NOT_FOUND);
}

using LZOpenFileAFn = INT(WINAPI*)(LPSTR, LPOFSTRUCT, WORD);
using OpenFileFn = HFILE(WINAPI*)(LPCSTR, LPOFSTRUCT, UINT);
LZOpenFileAFn realLZOpenFileA = nullptr;
OpenFileFn realOpenFile = nullptr;

INT WINAPI LZOpenFileA95(LPSTR path, LPOFSTRUCT info, WORD style) {
  for (;;) {
    const INT result = realLZOpenFileA(path, info, style);
    if (result >= 0 || !Prompts(style, info) || !AnswersRetry("LZOpenFileA", path)) return result;
  }
}

HFILE WINAPI OpenFile95(LPCSTR path, LPOFSTRUCT info, UINT style) {
  for (;;) {
    const HFILE result = realOpenFile(path, info, style);
    if (result != HFILE_ERROR || !Prompts(style, info) || !AnswersRetry("OpenFile", path)) return result;
  }
}

// --- RegDeleteKeyA ---------------------------------------------------------------
// "Windows 95/98: The function also deletes all subkeys and values."
// (MSDN00-RDK; KB-Q127990: Windows NT's refuses a key with subkeys.) Every call
// is logged, with the subkeys it took, so that a test sees Setup's deletions
// reach it.
using RegDeleteKeyAFn = LONG(WINAPI*)(HKEY, LPCSTR);
RegDeleteKeyAFn realRegDeleteKeyA = nullptr;

LONG DeleteWithSubkeys(HKEY parent, LPCSTR name, int* subkeys) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    char child[256] = "";
    while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS &&
           DeleteWithSubkeys(key, child, subkeys) == ERROR_SUCCESS) {
      ++*subkeys;
    }
    RegCloseKey(key);
  }
  return realRegDeleteKeyA(parent, name);
}

LONG WINAPI RegDeleteKeyA95(HKEY parent, LPCSTR name) {
  int subkeys = 0;
  const LONG result = DeleteWithSubkeys(parent, name, &subkeys);
  Log("RegDeleteKeyA %s: %d subkeys deleted with it, result %ld", name, subkeys, result);
  return result;
}

// --- DeleteFileA and MoveFileA -----------------------------------------------------
// Wine's own, logged: how Setup puts a rewritten start-up file in place, by a
// delete and a rename or by writing over it, shows only in its calls.
// VX_WIN95_HOLD_AFTER_DELETE names the end of a path (say "\win.ini"): once a
// delete of such a file succeeds, the calling thread stops for good, so that a
// test can end Setup between that delete and the rename that follows it.
using DeleteFileAFn = BOOL(WINAPI*)(LPCSTR);
using MoveFileAFn = BOOL(WINAPI*)(LPCSTR, LPCSTR);
DeleteFileAFn realDeleteFileA = nullptr;
MoveFileAFn realMoveFileA = nullptr;
char holdAfterDelete[MAX_PATH] = "";

bool EndsWith(const char* path, const char* suffix) {
  const int pathLength = lstrlenA(path);
  const int suffixLength = lstrlenA(suffix);
  return suffixLength > 0 && suffixLength <= pathLength && lstrcmpiA(path + pathLength - suffixLength, suffix) == 0;
}

BOOL WINAPI DeleteFileA95(LPCSTR path) {
  const BOOL deleted = realDeleteFileA(path);
  Log("DeleteFileA %s: %s", path, deleted ? "deleted" : "FALSE");
  if (deleted && EndsWith(path, holdAfterDelete)) {
    Log("DeleteFileA %s: held", path);
    Sleep(INFINITE);
  }
  return deleted;
}

BOOL WINAPI MoveFileA95(LPCSTR from, LPCSTR to) {
  const BOOL moved = realMoveFileA(from, to);
  Log("MoveFileA %s -> %s: %s", from, to, moved ? "moved" : "FALSE");
  return moved;
}

// --- The profile cache -------------------------------------------------------------
// Windows 95, 98 and Me keep what the profile functions write in a cached copy
// of the file (KB-Q74608: win.ini and one private file) and write it out when
// the all-NULL call flushes that file, or later at the system's leisure
// (KB-Q68827, NSIS-FLUSHINI). The layer keeps the writes of each file, named by
// its full path, in order, and hands them to Wine's function when that file is
// flushed; a write never flushed never reaches the disk, so that a missing
// flush shows. The flush answers FALSE, as Windows 95's always does (MSDN98-WPS).
using WritePrivateProfileStringAFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
WritePrivateProfileStringAFn realWritePrivateProfileStringA = nullptr;

struct ProfileWrite {
  char path[MAX_PATH];
  char section[256];
  char key[256];     // "" with hasKey false: the whole section is deleted
  char value[1024];  // "" with hasValue false: the key is deleted
  bool hasKey;
  bool hasValue;
};

constexpr int kProfileWriteCapacity = 32;
ProfileWrite profileWrites[kProfileWriteCapacity];
int profileWriteCount = 0;

// A name without a folder is a file of the Windows directory.
bool ProfilePath(const char* name, char (&path)[MAX_PATH]) {
  char named[MAX_PATH] = "";
  bool bare = true;
  for (const char* c = name; *c != '\0'; ++c) bare = bare && *c != '\\' && *c != '/' && *c != ':';
  if (bare) {
    const UINT length = GetWindowsDirectoryA(named, sizeof named);
    if (length == 0 || length >= sizeof named) return false;
    lstrcatA(named, "\\");
  }
  if (lstrlenA(named) + lstrlenA(name) >= static_cast<int>(sizeof named)) return false;
  lstrcatA(named, name);
  const DWORD length = GetFullPathNameA(named, sizeof path, path, nullptr);
  return length != 0 && length < sizeof path;
}

// Copies `text` whole, or answers false.
template <size_t Capacity>
bool Keep(char (&dest)[Capacity], const char* text) {
  if (text == nullptr) text = "";
  if (lstrlenA(text) >= static_cast<int>(Capacity)) return false;
  lstrcpynA(dest, text, static_cast<int>(Capacity));
  return true;
}

BOOL KeepWrite(const char* function, const char* section, const char* key, const char* value, const char* file) {
  ProfileWrite write = {};
  write.hasKey = key != nullptr;
  write.hasValue = value != nullptr;
  if (profileWriteCount == kProfileWriteCapacity || !ProfilePath(file, write.path) || !Keep(write.section, section) ||
      !Keep(write.key, key) || !Keep(write.value, value)) {
    Log("%s %s [%s] %s: FALSE, more than the layer keeps", function, file, section, key);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  profileWrites[profileWriteCount++] = write;
  Log("%s %s [%s] %s=%s: kept in memory for %s", function, file, section, write.hasKey ? key : "(whole section)",
      write.hasValue ? value : "(deleted)", write.path);
  return TRUE;
}

BOOL Flush(const char* function, const char* file) {
  char path[MAX_PATH] = "";
  int written = 0;
  int failed = 0;
  int kept = 0;
  const bool named = file != nullptr && ProfilePath(file, path);
  for (int i = 0; i < profileWriteCount; ++i) {
    const ProfileWrite& write = profileWrites[i];
    if (!named || lstrcmpiA(write.path, path) != 0) {
      profileWrites[kept++] = write;
      continue;
    }
    const BOOL done = realWritePrivateProfileStringA(write.section, write.hasKey ? write.key : nullptr,
                                                     write.hasValue ? write.value : nullptr, write.path);
    ++(done ? written : failed);
  }
  profileWriteCount = kept;
  Log("%s flush %s: %d writes to the disk, %d failed", function, named ? path : "(no file)", written, failed);
  return FALSE;
}

BOOL Profile(const char* function, LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (section == nullptr && key == nullptr && value == nullptr) return Flush(function, file);
  // No section or no file: not a write, and Wine's answer.
  if (section == nullptr || file == nullptr) return realWritePrivateProfileStringA(section, key, value, file);
  return KeepWrite(function, section, key, value, file);
}

BOOL WINAPI WritePrivateProfileStringA95(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  return Profile("WritePrivateProfileStringA", section, key, value, file);
}

// win.ini is the file of the Windows directory whichever function names it, as
// for Wine's own WriteProfileStringA.
BOOL WINAPI WriteProfileStringA95(LPCSTR section, LPCSTR key, LPCSTR value) {
  return Profile("WriteProfileStringA", section, key, value, "win.ini");
}

// What Setup leaves unflushed when it ends: Windows 95 would write it out some
// time later, the layer never.
void LogUnflushed() {
  for (int i = 0; i < profileWriteCount; ++i) {
    const ProfileWrite& write = profileWrites[i];
    Log("%s [%s] %s: never flushed", write.path, write.section, write.key);
  }
}

// --- Where the models go in ------------------------------------------------------

struct Model {
  const char* dll;
  const char* name;
  FARPROC function;
};

FARPROC WINAPI GetProcAddress95(HMODULE module, LPCSTR name);

template <typename Function>
FARPROC AsProc(Function function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

const Model kModels[] = {
    {"KERNEL32", "GetProcAddress", AsProc(GetProcAddress95)},
    {"KERNEL32", "MoveFileExA", AsProc(MoveFileExA95)},
    {"KERNEL32", "GetVersion", AsProc(GetVersion95)},
    {"KERNEL32", "GetVersionExA", AsProc(GetVersionExA95)},
    {"KERNEL32", "OpenFile", AsProc(OpenFile95)},
    {"KERNEL32", "DeleteFileA", AsProc(DeleteFileA95)},
    {"KERNEL32", "MoveFileA", AsProc(MoveFileA95)},
    {"KERNEL32", "WritePrivateProfileStringA", AsProc(WritePrivateProfileStringA95)},
    {"KERNEL32", "WriteProfileStringA", AsProc(WriteProfileStringA95)},
    {"LZ32", "LZOpenFileA", AsProc(LZOpenFileA95)},
    {"ADVAPI32", "OpenProcessToken", AsProc(OpenProcessToken95)},
    {"ADVAPI32", "LookupPrivilegeValueA", AsProc(LookupPrivilegeValueA95)},
    {"ADVAPI32", "AdjustTokenPrivileges", AsProc(AdjustTokenPrivileges95)},
    {"ADVAPI32", "RegDeleteKeyA", AsProc(RegDeleteKeyA95)},
};

// "KERNEL32.dll" and "kernel32" both name KERNEL32.
bool SameDll(const char* candidate, const char* wanted) {
  char base[MAX_PATH] = "";
  lstrcpynA(base, candidate, sizeof base);
  for (char* dot = base; *dot != '\0'; ++dot) {
    if (*dot == '.') *dot = '\0';
  }
  return lstrcmpiA(base, wanted) == 0;
}

// The file name of a loaded module, without its folder.
void ModuleName(HMODULE module, char* name, DWORD capacity) {
  char path[MAX_PATH] = "";
  name[0] = '\0';
  if (GetModuleFileNameA(module, path, sizeof path) == 0) return;
  const char* base = path;
  for (const char* c = path; *c != '\0'; ++c) {
    if (*c == '\\' || *c == '/') base = c + 1;
  }
  lstrcpynA(name, base, static_cast<int>(capacity));
}

const Model* FindModel(const char* dll, const char* name) {
  for (const Model& model : kModels) {
    if (SameDll(dll, model.dll) && lstrcmpA(name, model.name) == 0) return &model;
  }
  return nullptr;
}

// A Unicode name as the Windows 95 check reads the rule "DLL!*W": a W behind a
// lower-case letter or a digit (CreateFileW, not a name that ends in a word).
bool UnicodeName(const char* name) {
  const int length = lstrlenA(name);
  if (length < 2 || name[length - 1] != 'W') return false;
  const char before = name[length - 2];
  return (before >= 'a' && before <= 'z') || (before >= '0' && before <= '9');
}

// Whether stubs-win95.txt lists DLL!name: by name, or by the rule "DLL!*W" for
// a Unicode name that no "DLL!+Name" exempts.
bool ListedStub(const char* dll, const char* name) {
  bool unicode = false;
  bool exempt = false;
  for (const char* entry : kStubList) {
    char entryDll[32] = "";
    const char* bang = entry;
    while (*bang != '\0' && *bang != '!') ++bang;
    if (*bang != '!' || bang - entry >= static_cast<int>(sizeof entryDll)) continue;
    lstrcpynA(entryDll, entry, static_cast<int>(bang - entry + 1));
    if (!SameDll(dll, entryDll)) continue;
    const char* function = bang + 1;
    if (lstrcmpA(function, "*W") == 0) unicode = unicode || UnicodeName(name);
    if (function[0] == '+' && lstrcmpA(function + 1, name) == 0) exempt = true;
    if (lstrcmpA(function, name) == 0) return true;
  }
  return unicode && !exempt;
}

using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
GetProcAddressFn realGetProcAddress = nullptr;

// Setup's own look-ups: a modelled function gets the model, a stub without one
// is logged as unmodelled and left to Wine.
FARPROC WINAPI GetProcAddress95(HMODULE module, LPCSTR name) {
  // An ordinal is below 0x10000, in place of a name's address.
  if (reinterpret_cast<ULONG_PTR>(name) >> 16 == 0) return realGetProcAddress(module, name);
  char dll[MAX_PATH] = "";
  ModuleName(module, dll, sizeof dll);
  const Model* model = FindModel(dll, name);
  if (model != nullptr) {
    Log("GetProcAddress %s!%s: the Windows 95 model", dll, name);
    return model->function;
  }
  if (ListedStub(dll, name)) Log("GetProcAddress %s!%s: unmodelled Windows 95 stub, left to Wine", dll, name);
  return realGetProcAddress(module, name);
}

// Rewrites the import address table of Setup (the process's main module); false
// when Setup imports a listed stub that has no model here, or the table cannot
// be written.
bool RewriteImports() {
  auto* const base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return true;
  int rewritten = 0;
  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name != 0;
       ++import) {
    const char* dll = reinterpret_cast<const char*>(base + import->Name);
    if (import->OriginalFirstThunk == 0) {
      Log("%s: imports without names to read", dll);
      return false;
    }
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      const Model* model = FindModel(dll, name);
      if (model == nullptr) {
        if (!ListedStub(dll, name)) continue;
        Log("%s!%s: imported Windows 95 stub without a model; the layer refuses", dll, name);
        return false;
      }
      DWORD protection = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) return false;
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(model->function);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      ++rewritten;
    }
  }
  Log("layer on: %d imports rewritten", rewritten);
  return true;
}

// Wine's own function, looked up by the layer's own (unrewritten) import.
template <typename Function>
Function Real(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool Start() {
  const HMODULE kernel32 = GetModuleHandleA("KERNEL32.DLL");
  const HMODULE lz32 = LoadLibraryA("LZ32.DLL");
  const HMODULE advapi32 = LoadLibraryA("ADVAPI32.DLL");
  if (kernel32 == nullptr || lz32 == nullptr || advapi32 == nullptr) return false;
  realGetProcAddress = Real<GetProcAddressFn>(kernel32, "GetProcAddress");
  realOpenFile = Real<OpenFileFn>(kernel32, "OpenFile");
  realLZOpenFileA = Real<LZOpenFileAFn>(lz32, "LZOpenFileA");
  realRegDeleteKeyA = Real<RegDeleteKeyAFn>(advapi32, "RegDeleteKeyA");
  realDeleteFileA = Real<DeleteFileAFn>(kernel32, "DeleteFileA");
  realMoveFileA = Real<MoveFileAFn>(kernel32, "MoveFileA");
  realWritePrivateProfileStringA = Real<WritePrivateProfileStringAFn>(kernel32, "WritePrivateProfileStringA");
  if (realGetProcAddress == nullptr || realOpenFile == nullptr || realLZOpenFileA == nullptr ||
      realRegDeleteKeyA == nullptr || realDeleteFileA == nullptr || realMoveFileA == nullptr ||
      realWritePrivateProfileStringA == nullptr) {
    return false;
  }
  char value[2] = "";
  if (GetEnvironmentVariableA("VX_WIN95_STUB_ERROR", value, sizeof value) == 1 && value[0] == '0') stubError = 0;
  if (GetEnvironmentVariableA("VX_WIN95_HOLD_AFTER_DELETE", holdAfterDelete, sizeof holdAfterDelete) >=
      sizeof holdAfterDelete) {
    holdAfterDelete[0] = '\0';
  }
  return RewriteImports();
}

}  // namespace

// A false answer makes LoadLibraryA fail, and the driver does not start Setup.
BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_DETACH) LogUnflushed();
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  return Start() ? TRUE : FALSE;
}
