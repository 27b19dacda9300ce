// Walking the wizard to a given dialog, and checks shared by the tests.
#pragma once

#include <windows.h>

#include "harness/bench.h"

namespace e2e {

// A visible dialog of the process with this caption that has control `id`
// (three dialogs are captioned "Setup").
HWND WaitForDialogWith(DWORD pid, const char* caption, int id, DWORD timeoutMs = kWaitMs);

// Continue in WELCOMEDLG; returns INSTOPTION.
HWND ReachDestination(SetupProcess& setup);
// Through WELCOMEDLG and an express INSTOPTION; returns COPYDIALOG.
HWND ReachCopy(SetupProcess& setup);
// A whole express installation; returns SUCCESSDLG.
HWND ReachSuccess(SetupProcess& setup);

// The dialog's outer top-left corner is where centring its client area puts it.
void ExpectCentred(HWND dialog, int offset);

// The colour (0xRRGGBB) on the screen at a point of the window's client area.
DWORD ClientPixel(HWND window, int x, int y);

}  // namespace e2e
