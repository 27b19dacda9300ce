// The end-to-end bench, seen from inside Wine: starting SETUP.EXE, finding its
// windows, pressing buttons, reading message boxes, and putting the prefix back
// into its pristine state between tests.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace e2e {

constexpr DWORD kWaitMs = 15000;  // generous: Wine under load can be slow to open a window

// A time-out or settling pause multiplied by the number in the environment
// variable VX_TIMEOUT_SCALE (default 1), for machines many times slower than the
// bench, such as an emulated PC. Every wait of the harness goes through it.
DWORD Scaled(DWORD ms);

// A monotonic clock in milliseconds, for the benchmarks under Wine.
double NowMs();

// One run of Setup. The destructor ends the process if the test left it running.
class SetupProcess {
 public:
  explicit SetupProcess(const std::string& exePath = "A:\\SETUP.EXE");
  ~SetupProcess();
  SetupProcess(const SetupProcess&) = delete;
  SetupProcess& operator=(const SetupProcess&) = delete;

  bool started() const { return info_.hProcess != nullptr; }
  DWORD pid() const { return info_.dwProcessId; }
  // Waits for the process to end; returns false on time-out.
  bool WaitForExit(DWORD timeoutMs = kWaitMs) const;
  DWORD exitCode() const;
  bool running() const;

 private:
  PROCESS_INFORMATION info_ = {};
};

// A top-level window of the process with this class and exact title, visible;
// nullptr after the time-out.
HWND WaitForWindow(DWORD pid, const char* className, const char* title, DWORD timeoutMs = kWaitMs);
HWND WaitForDialog(DWORD pid, const char* caption, DWORD timeoutMs = kWaitMs);
// Any visible top-level dialog of the process, with its caption.
std::vector<std::pair<HWND, std::string>> VisibleDialogs(DWORD pid);
bool WaitUntilGone(HWND window, DWORD timeoutMs = kWaitMs);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
// Text of the dialog's control `id`.
std::string ItemText(HWND dialog, int id);

// Presses a button the way a click does (BM_CLICK), without waiting for the
// press to be handled: a press that opens a modal box would otherwise block.
void Press(HWND dialog, int id);
// Sends a command with the whole wParam given, as Esc (IDCANCEL) or the close box do.
void PostCommand(HWND dialog, WPARAM wParam);
void PostSysCommand(HWND window, WPARAM command);
void PressKey(HWND window, WORD virtualKey);

// Keystrokes as the keyboard makes them (SendInput), never addressed to a window:
// they go to whichever control has the focus, as a user's do. `held` (VK_MENU
// for a mnemonic) is down around the key. False when not all were taken.
bool Type(WORD virtualKey, WORD held = 0);
// Waits until the window is the foreground window, the one keystrokes go to.
bool WaitForForeground(HWND window, DWORD timeoutMs = kWaitMs);
// Waits until control `id` of the dialog has the keyboard focus.
bool WaitForFocus(HWND dialog, int id, DWORD timeoutMs = kWaitMs);

enum class StockIcon { None, Hand, Question, Exclamation, Asterisk, Unknown };
const char* IconName(StockIcon icon);

struct MessageBoxInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  std::vector<int> buttons;  // the command ids of its buttons (IDOK, IDYES, ...), in order
  StockIcon icon = StockIcon::None;
  HWND owner = nullptr;
};
// Waits for a message box of the process with this caption and reads it.
MessageBoxInfo WaitForMessageBox(DWORD pid, const char* caption, DWORD timeoutMs = kWaitMs);

// The control that has the keyboard focus in the process's thread, and its id.
int FocusedControlId(HWND dialog);

// Screen geometry.
RECT WindowRect(HWND window);
SIZE ClientSize(HWND window);

// Pixels of a screen rectangle (or of a drawing) as 0xRRGGBB, top row first.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<DWORD> data;
};
// What the screen shows where a window is (or the whole screen for nullptr);
// nothing when the window is gone. The screen is read rather than the window
// asked to paint, so a window whose threads are suspended can be pictured.
Pixels CaptureWindow(HWND window);
// False for an empty picture or one of a single colour, such as a window that
// has not been painted yet.
bool ShowsSomething(const Pixels& pixels);
// Writes the pixels as a 24-bit BMP file.
bool SavePixels(const Pixels& pixels, const std::string& path);
// Both: false when the window is gone or shows nothing, and no file is written.
bool SaveScreenshot(HWND window, const std::string& path);

}  // namespace e2e
