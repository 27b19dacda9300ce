#include "win95/layer.h"

#include <gtest/gtest.h>

#include "harness/bench.h"
#include "harness/system_state.h"

namespace e2e {
namespace {

// Beside the pristine copies of the bench, which no reset removes and no test
// lists.
constexpr char kLogPath[] = "C:\\vxbench\\win95-layer.log";

// The layer's models of what Setup imports: GetProcAddress, GetVersion,
// DeleteFileA, MoveFileA, WritePrivateProfileStringA, WriteProfileStringA,
// LZOpenFileA and RegDeleteKeyA. Another count means that Setup's imports
// changed and the layer's models want a look.
constexpr char kLayerOn[] = "layer on: 8 imports rewritten";

// The layer is built beside the driver (and the restart probe).
std::string LayerPath() {
  char self[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  std::string path(self, length < sizeof self ? length : 0);
  return path.substr(0, path.find_last_of('\\') + 1) + "win95_personality.dll";
}

// Runs LoadLibraryA(path) in the process; the thread's exit code is the
// module's handle, cut to 32 bits on x86-64 (the layer's base is set so that
// they are not all zero), or 0 when DllMain refused.
bool LoadInto(HANDLE process, const std::string& path) {
  void* remote = VirtualAllocEx(process, nullptr, path.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) return false;
  DWORD code = 0;
  if (WriteProcessMemory(process, remote, path.c_str(), path.size() + 1, nullptr)) {
    auto* loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "LoadLibraryA")));
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, loadLibrary, remote, 0, nullptr);
    if (thread != nullptr) {
      if (WaitForSingleObject(thread, Scaled(kWaitMs)) != WAIT_OBJECT_0 || !GetExitCodeThread(thread, &code)) code = 0;
      CloseHandle(thread);
    }
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return code != 0;
}

}  // namespace

bool Win95Personality() {
  static const bool on = [] {
    char value[8] = "";
    if (GetEnvironmentVariableA("VX_WIN95", value, sizeof value) != 1 || value[0] != '1') return false;
    // Every Setup started from now on inherits the log's name.
    SetEnvironmentVariableA("VX_WIN95_LOG", kLogPath);
    return true;
  }();
  return on;
}

bool LoadWin95Layer(const PROCESS_INFORMATION& process) {
  CreateDirectoryA("C:\\vxbench", nullptr);
  DeleteFileA(kLogPath);
  const bool on =
      LoadInto(process.hProcess, LayerPath()) && Win95LogLines("layer on:") == std::vector<std::string>{kLayerOn};
  if (!on) ADD_FAILURE() << "the Windows 95 layer is not on as \"" << kLayerOn << "\"; its log:\n" << Win95LayerLog();
  if (on && ResumeThread(process.hThread) != static_cast<DWORD>(-1)) return true;
  TerminateProcess(process.hProcess, 98);
  WaitForSingleObject(process.hProcess, Scaled(kWaitMs));
  return false;
}

std::string Win95LayerLog() { return ReadBytesOrEmpty(kLogPath); }

std::vector<std::string> Win95LogLines(const std::string& text) {
  const std::string log = Win95LayerLog();
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    if (line.find(text) != std::string::npos) lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

bool WaitForWin95Hold(const std::string& suffix, DWORD timeoutMs) {
  std::string held = suffix + ": held\r\n";
  CharLowerA(held.data());
  const DWORD start = GetTickCount();
  do {
    std::string log = Win95LayerLog();
    CharLowerA(log.data());
    if (log.find(held) != std::string::npos) return true;
    Sleep(50);
  } while (GetTickCount() - start < Scaled(timeoutMs));
  return false;
}

}  // namespace e2e
