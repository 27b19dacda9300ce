// INSTOPTION, the destination dialog: express installation to c:\vx95 or a
// custom directory on a chosen drive.
#pragma once

#include <windows.h>

namespace vx {

// Ends with 1 when installDir names a directory on disk and ends in a backslash,
// with 0 when the user quit.
INT_PTR CALLBACK InstOptionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vx
