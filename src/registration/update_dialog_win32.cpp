#include "registration/update_dialog_win32.h"

#include "registration/registry_win32.h"
#include "shell/dialog_frame_win32.h"
#include "startup_files/update_startup_files_win32.h"

namespace vx {
namespace {

constexpr UINT_PTR kPassTimer = 0;
constexpr UINT kPassDelayMs = 10;

void RunUpdatePass(HWND dialog) {
  DeletePnpMouseKeys();
  // The step number only tells that something failed; the start-up files are
  // rewritten and the wizard goes on either way.
  if (WriteRegistryEntries() != 0) ShowStop(dialog, "Update Registry Error!");
  UpdateStartupFiles(dialog);
}

}  // namespace

INT_PTR CALLBACK UpdateEnvDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      CenterDialog(dialog, 0);
      SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      // The pass runs on the first tick, so the dialog is painted before the
      // work blocks its thread.
      SetTimer(dialog, kPassTimer, kPassDelayMs, nullptr);
      return FALSE;
    case WM_TIMER:
      // Killed first: the error message box runs its own message loop, which
      // would otherwise deliver the next tick and start the pass again.
      KillTimer(dialog, kPassTimer);
      RunUpdatePass(dialog);
      SetCursor(nullptr);
      EndDialog(dialog, 1);
      return FALSE;
    default:
      break;
  }
  if (IsDialogColorMessage(message)) return HandleDialogColor(message, reinterpret_cast<HDC>(wParam));
  return FALSE;
}

}  // namespace vx
