// The wizard sequence and the four dialogs that only show a message and take an
// answer: WELCOMEDLG, SUCCESSDLG (with the restart), RESTARTCOM and FOUNDWINDOW.
#include "shell/wizard_win32.h"

#include <windows.h>

#include "destination/instoption_win32.h"
#include "registration/update_dialog_win32.h"
#include "resources/resource_ids.h"
#include "shell/dialog_frame_win32.h"
#include "shell/restart_win32.h"
#include "transfer/copy_dialog_win32.h"

namespace vx {
namespace {

// The four message dialogs differ only in the button that gets the focus and in
// what each of their buttons ends them with.
struct ButtonResult {
  WPARAM command;
  INT_PTR result;
};

INT_PTR MessageDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, int focus, const ButtonResult* buttons,
                      int buttonCount) {
  (void)lParam;
  if (message == WM_INITDIALOG) {
    CenterDialog(dialog, 0);
    SetFocus(GetDlgItem(dialog, focus));
    return FALSE;  // the dialog manager leaves the focus where it was put
  }
  if (IsDialogColorMessage(message)) return HandleDialogColor(message, reinterpret_cast<HDC>(wParam));
  if (message != WM_COMMAND) return FALSE;
  // The whole wParam is compared, so only a plain button press matches; IDCANCEL
  // (Esc, the close box) is handled by none of the dialogs.
  for (int i = 0; i < buttonCount; ++i) {
    if (wParam == buttons[i].command) {
      EndDialog(dialog, buttons[i].result);
      break;
    }
  }
  return FALSE;
}

// clang-format off
constexpr ButtonResult kWelcomeButtons[] = {
    {IDC_WELCOME_CONTINUE, 1},
    {IDC_WELCOME_EXIT,     0},  // at once, without the quit prompt
};
// clang-format on
constexpr ButtonResult kRestartComButtons[] = {{IDOK, 1}};
constexpr ButtonResult kFoundWindowButtons[] = {{IDC_FOUND_OK, 1}};

INT_PTR CALLBACK WelcomeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return MessageDialog(dialog, message, wParam, lParam, IDC_WELCOME_CONTINUE, kWelcomeButtons, 2);
}

INT_PTR CALLBACK RestartComDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return MessageDialog(dialog, message, wParam, lParam, IDOK, kRestartComButtons, 1);
}

INT_PTR CALLBACK FoundWindowDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return MessageDialog(dialog, message, wParam, lParam, IDC_FOUND_OK, kFoundWindowButtons, 1);
}

INT_PTR CALLBACK SuccessDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && wParam == IDC_RESTART_NOW) {
    // A refused restart ends the dialog as Continue does, so that the reminder
    // to restart later follows.
    EndDialog(dialog, RestartComputer(dialog) ? 1 : 0);
    return FALSE;
  }
  constexpr ButtonResult kContinue[] = {{IDC_SUCCESS_CONTINUE, 0}};
  return MessageDialog(dialog, message, wParam, lParam, IDC_RESTART_NOW, kContinue, 1);
}

INT_PTR RunDialog(const char* templateName, DLGPROC procedure) {
  return DialogBoxParamA(appInstance, templateName, backdropWindow, procedure, 0);
}

}  // namespace

int RunWizard() {
  // The utility locks files that are about to be replaced; it is checked once,
  // before the first dialog.
  if (FindWindowA(nullptr, "Vantrix Studio Station") != nullptr) {
    RunDialog("FOUNDWINDOW", FoundWindowDlgProc);
    return 0;
  }
  // A dialog that cannot be created returns -1, which goes on like any result
  // but 0.
  if (RunDialog("WELCOMEDLG", WelcomeDlgProc) == 0) return 0;
  if (RunDialog("INSTOPTION", InstOptionDlgProc) == 0) return 0;
  if (RunDialog("COPYDIALOG", CopyDialogProc) == 0) return 0;
  RunDialog("UPDATEENVDLG", UpdateEnvDlgProc);  // goes on to the end whatever happened
  if (RunDialog("SUCCESSDLG", SuccessDlgProc) == 1) return 1;
  RunDialog("RESTARTCOM", RestartComDlgProc);
  return 0;
}

}  // namespace vx
