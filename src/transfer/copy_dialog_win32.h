// COPYDIALOG: copies the six package files, one per timer tick, with a progress
// bar and the From and To paths of the file being copied.
#pragma once

#include <windows.h>

namespace vx {

// Ends with 1 once all six files have been handled, whatever happened to each,
// or with 0 when the user quits through Cancel.
INT_PTR CALLBACK CopyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vx
