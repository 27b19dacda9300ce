// Drives an express installation to "Restart Now" and records the warning box.
// The restart that follows ends the whole Wine session, this program included,
// so the findings are written to a file before the box is answered; the shell
// script around it checks them and that the session really ended. A window of
// the probe, there before Setup starts, writes down every WM_QUERYENDSESSION and
// WM_ENDSESSION it gets, as a program with unsaved work would heed them.
//
//   restart_probe.exe FINDINGS_FILE [failing]
//
// With "failing" the restart request fails (the script makes the bench's Wine
// unable to carry it out): Setup must then show the reminder, which the probe closes.
#include <cstdio>
#include <cstring>
#include <string>

#include "harness/bench.h"
#include "harness/system_state.h"
#include "harness/wizard_steps.h"

using e2e::IconName;
using e2e::MessageBoxInfo;
using e2e::Press;
using e2e::PressKey;
using e2e::ReachSuccess;
using e2e::ResetSystem;
using e2e::SetupProcess;
using e2e::StockIcon;
using e2e::WaitForMessageBox;

namespace {

const char* findingsPath = nullptr;

// Writes each message down at once: the restart may end this process as soon
// as the window has answered.
LRESULT CALLBACK RecordSessionEnd(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_QUERYENDSESSION || message == WM_ENDSESSION) {
    FILE* findings = std::fopen(findingsPath, "a");
    std::fprintf(findings, "got %s %u\n", message == WM_ENDSESSION ? "WM_ENDSESSION" : "WM_QUERYENDSESSION",
                 static_cast<unsigned>(wParam));
    std::fclose(findings);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  findingsPath = argv[1];
  const bool failing = argc > 2 && std::strcmp(argv[2], "failing") == 0;
  FILE* findings = std::fopen(findingsPath, "w");
  if (findings == nullptr) return 2;
  // A hidden top-level window, as a program with a document open has.
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = RecordSessionEnd;
  windowClass.lpszClassName = "VxRestartProbe";
  RegisterClassA(&windowClass);
  CreateWindowExA(0, windowClass.lpszClassName, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ResetSystem();
  SetupProcess setup;
  HWND success = ReachSuccess(setup);
  if (success == nullptr) {
    std::fprintf(findings, "FAIL: SUCCESSDLG never appeared\n");
    return 1;
  }
  // Enter presses the default button, "Restart Now".
  PressKey(GetDlgItem(success, 1012), VK_RETURN);
  MessageBoxInfo warning = WaitForMessageBox(setup.pid(), "Setup");
  const std::string expected =
      "Please make sure the disk has been removed\nfrom disk drive, and hit 'Enter'.\n\n"
      "Thanks for choosing Ulvane Systems.";
  const bool ok = warning.window != nullptr && warning.text == expected && warning.owner == success &&
                  warning.buttons.size() == 1 && warning.buttons[0] == IDOK && warning.icon == StockIcon::Exclamation;
  std::fprintf(findings, "%s: warning box caption \"%s\" icon %s buttons %u owner %s\n", ok ? "ok" : "FAIL",
               warning.caption.c_str(), IconName(warning.icon), static_cast<unsigned>(warning.buttons.size()),
               warning.owner == success ? "SUCCESSDLG" : "other");
  std::fflush(findings);
  if (failing) {
    Press(warning.window, IDOK);
    HWND reminder = e2e::WaitUntilGone(warning.window) ? e2e::WaitForDialog(setup.pid(), "Setup") : nullptr;
    const bool shown = reminder != nullptr && e2e::ItemText(reminder, 0xFFFF) ==
                                                  "Remember to restart computer later to complete this setup.\n\n"
                                                  "Thanks for choosing Ulvane Systems.";
    if (shown) Press(reminder, IDOK);
    std::fprintf(findings, "%s: the reminder after the failed restart, then the end\n",
                 shown && setup.WaitForExit() ? "ok" : "FAIL");
    std::fclose(findings);
    return 0;
  }
  std::fclose(findings);
  Press(warning.window, IDOK);
  // The restart should end this process well before the minute is out; the
  // window answers meanwhile.
  SetTimer(nullptr, 0, 60000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) DispatchMessageA(&message);
  findings = std::fopen(findingsPath, "a");
  std::fprintf(findings, "FAIL: the Wine session survived the restart\n");
  std::fclose(findings);
  return 1;
}
