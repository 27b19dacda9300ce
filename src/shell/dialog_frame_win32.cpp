#include "shell/dialog_frame_win32.h"

namespace vx {

void CenterDialog(HWND dialog, int offset) {
  // The client area is centred, not the outer window: the frame and caption are
  // not counted, so the dialog sits a little right of and below the centre.
  RECT client;
  GetClientRect(dialog, &client);
  const int x = GetSystemMetrics(SM_CXFULLSCREEN) / 2 + (client.left - client.right) / 2;
  const int y = GetSystemMetrics(SM_CYFULLSCREEN) / 2 + (client.top - client.bottom) / 2 + offset;
  SetWindowPos(dialog, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
}

bool IsDialogColorMessage(UINT message) {
  return message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORMSGBOX || message == WM_CTLCOLORDLG ||
         message == WM_CTLCOLORSCROLLBAR;
}

INT_PTR HandleDialogColor(UINT message, HDC dc) {
  if (message == WM_CTLCOLORSTATIC) {
    // The background mode is left alone: static texts fill their background with
    // this colour, which matches the brush.
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(192, 192, 192));
  }
  // A stock object: never deleted.
  return reinterpret_cast<INT_PTR>(GetStockObject(LTGRAY_BRUSH));
}

void ConfirmQuit(HWND dialog) {
  // No default-button flag: Yes is the default, so Enter on the prompt quits.
  if (MessageBoxA(dialog, "Setup is not completed yet \r exit anyway?", "Quit?", MB_YESNO | MB_ICONQUESTION) == IDYES) {
    EndDialog(dialog, 0);
  }
}

void ShowStop(HWND owner, const char* message) { MessageBoxA(owner, message, kStopCaption, MB_OK | MB_ICONSTOP); }

}  // namespace vx
