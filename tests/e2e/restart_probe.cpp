// Drives an express installation to "Restart Now" and records the warning box.
// The restart that follows ends the whole Wine session, this program included,
// so the findings are written to a file before the box is answered; the shell
// script around it checks them and that the session really ended.
//
//   restart_probe.exe FINDINGS_FILE
#include <cstdio>
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

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  FILE* findings = std::fopen(argv[1], "w");
  if (findings == nullptr) return 2;
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
  std::fclose(findings);
  Press(warning.window, IDOK);
  // The restart should end this process well before this sleep does.
  Sleep(60000);
  findings = std::fopen(argv[1], "a");
  std::fprintf(findings, "FAIL: the Wine session survived the restart\n");
  std::fclose(findings);
  return 1;
}
