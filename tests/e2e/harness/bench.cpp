#include "harness/bench.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "win95/layer.h"

namespace e2e {

DWORD Scaled(DWORD ms) {
  static const double scale = [] {
    char text[32] = "";
    const DWORD length = GetEnvironmentVariableA("VX_TIMEOUT_SCALE", text, sizeof text);
    if (length == 0) return 1.0;
    char* end = text;
    const double value = length < sizeof text ? std::strtod(text, &end) : 0;
    if (end == text || *end != '\0' || value <= 0) {
      std::fprintf(stderr, "VX_TIMEOUT_SCALE is not a positive number; time-outs stay as they are\n");
      return 1.0;
    }
    return value;
  }();
  const double scaled = ms * scale;
  return scaled < static_cast<double>(INFINITE) ? static_cast<DWORD>(scaled) : INFINITE - 1;
}

SetupProcess::SetupProcess(const std::string& exePath) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + exePath + "\"";
  // Setup is started from its own directory, as from a file manager.
  std::string directory = exePath.substr(0, exePath.find_last_of('\\') + 1);
  // Under the Windows 95 personality Setup waits, suspended, for its layer.
  const bool win95 = Win95Personality();
  if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, win95 ? CREATE_SUSPENDED : 0,
                      nullptr, directory.c_str(), &startup, &info_)) {
    info_ = {};
  } else if (win95 && !LoadWin95Layer(info_)) {
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    info_ = {};
  }
}

SetupProcess::~SetupProcess() {
  if (info_.hProcess == nullptr) return;
  if (running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, Scaled(kWaitMs));
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool SetupProcess::WaitForExit(DWORD timeoutMs) const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, Scaled(timeoutMs)) == WAIT_OBJECT_0;
}

DWORD SetupProcess::exitCode() const {
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

bool SetupProcess::running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

double NowMs() {
  LARGE_INTEGER frequency = {};
  LARGE_INTEGER counter = {};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string WindowText(HWND window) {
  char text[1024] = "";
  // WM_GETTEXT rather than GetWindowText, which does not read the text of another
  // process's controls.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, Scaled(5000),
                      nullptr);
  return text;
}

std::string ClassName(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

namespace {

struct FindRequest {
  DWORD pid;
  const char* className;
  const char* title;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* request = reinterpret_cast<FindRequest*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != request->pid || !IsWindowVisible(window)) return TRUE;
  if (request->className != nullptr && ClassName(window) != request->className) return TRUE;
  if (request->title != nullptr && WindowText(window) != request->title) return TRUE;
  request->found.push_back(window);
  return TRUE;
}

std::vector<HWND> FindWindows(DWORD pid, const char* className, const char* title) {
  FindRequest request{pid, className, title, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

}  // namespace

HWND WaitForWindow(DWORD pid, const char* className, const char* title, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    std::vector<HWND> found = FindWindows(pid, className, title);
    if (!found.empty()) {
      // Give the window a moment to finish WM_INITDIALOG and paint.
      Sleep(Scaled(150));
      return found.front();
    }
    Sleep(50);
  } while (GetTickCount() - start < Scaled(timeoutMs));
  return nullptr;
}

HWND WaitForDialog(DWORD pid, const char* caption, DWORD timeoutMs) {
  return WaitForWindow(pid, "#32770", caption, timeoutMs);
}

std::vector<std::pair<HWND, std::string>> VisibleDialogs(DWORD pid) {
  std::vector<std::pair<HWND, std::string>> dialogs;
  for (HWND window : FindWindows(pid, "#32770", nullptr)) dialogs.emplace_back(window, WindowText(window));
  return dialogs;
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start >= Scaled(timeoutMs)) return false;
    Sleep(50);
  }
  return true;
}

void Press(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PostCommand(HWND dialog, WPARAM wParam) { PostMessageA(dialog, WM_COMMAND, wParam, 0); }

void PostSysCommand(HWND window, WPARAM command) { PostMessageA(window, WM_SYSCOMMAND, command, 0); }

void PressKey(HWND window, WORD virtualKey) {
  PostMessageA(window, WM_KEYDOWN, virtualKey, 1);
  PostMessageA(window, WM_KEYUP, virtualKey, 0xC0000001);
}

bool Type(WORD virtualKey, WORD held) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD key, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  if (held != 0) add(held, 0);
  add(virtualKey, 0);
  add(virtualKey, KEYEVENTF_KEYUP);
  if (held != 0) add(held, KEYEVENTF_KEYUP);
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

bool WaitForForeground(HWND window, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (GetForegroundWindow() != window) {
    if (GetTickCount() - start >= Scaled(timeoutMs)) return false;
    Sleep(20);
  }
  return true;
}

int FocusedControlId(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) || info.hwndFocus == nullptr) return 0;
  return GetDlgCtrlID(info.hwndFocus);
}

bool WaitForFocus(HWND dialog, int id, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (FocusedControlId(dialog) != id) {
    if (GetTickCount() - start >= Scaled(timeoutMs)) return false;
    Sleep(20);
  }
  return true;
}

RECT WindowRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

SIZE ClientSize(HWND window) {
  RECT rect = {};
  GetClientRect(window, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace e2e
