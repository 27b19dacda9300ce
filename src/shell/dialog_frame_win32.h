// The frame every wizard dialog shares: placement, light-grey colouring and the
// quit prompt, plus the two handles written once at start-up.
#pragma once

#include <windows.h>

namespace vx {

extern HINSTANCE appInstance;  // every resource is loaded through it
extern HWND backdropWindow;    // owner of every dialog

// Moves the dialog so that its client area is centred on the full-screen client
// area, `offset` pixels lower (30 for INSTOPTION, 0 for every other dialog).
void CenterDialog(HWND dialog, int offset);

// True for WM_CTLCOLORSTATIC, WM_CTLCOLORMSGBOX, WM_CTLCOLORDLG and
// WM_CTLCOLORSCROLLBAR, the four colour messages the dialogs answer.
bool IsDialogColorMessage(UINT message);

// Answers one of the four colour messages: black text on light grey for statics,
// the stock light-grey brush for all four. The result is the dialog procedure's
// return value.
INT_PTR HandleDialogColor(UINT message, HDC dc);

// "Setup is not completed yet \r exit anyway?": Yes ends the dialog with 0.
void ConfirmQuit(HWND dialog);

// The caption of every box that refuses or reports a failure.
constexpr char kStopCaption[] = "Stop";

// A box captioned "Stop" with the stop icon and OK, owned by `owner`; returns
// once the user has answered.
void ShowStop(HWND owner, const char* message);

}  // namespace vx
