#include "win95/layer.h"

#include "harness/bench.h"
#include "harness/system_state.h"

namespace e2e {
namespace {

// Beside the pristine copies of the bench, which no reset removes and no test
// lists.
constexpr char kLogPath[] = "C:\\vxbench\\win95-layer.log";

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
  if (LoadInto(process.hProcess, LayerPath()) && ResumeThread(process.hThread) != static_cast<DWORD>(-1)) return true;
  TerminateProcess(process.hProcess, 98);
  WaitForSingleObject(process.hProcess, Scaled(kWaitMs));
  return false;
}

std::string Win95LayerLog() { return ReadBytesOrEmpty(kLogPath); }

}  // namespace e2e
