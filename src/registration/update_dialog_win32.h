// UPDATEENVDLG: the dialog that makes all of Setup's changes to the system in one
// pass and then ends itself.
#pragma once

#include <windows.h>

namespace vx {

// Removes the stale PnP mouse keys, runs the registry pass (one "Update Registry
// Error!" message if it fails) and the start-up file pass, then ends with 1.
INT_PTR CALLBACK UpdateEnvDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vx
