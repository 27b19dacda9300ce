// The start-up file pass as the update dialog runs it.
#pragma once

#include <windows.h>

namespace vx {

// Backs up and rewrites win.ini, backs up system.ini and sets its mouse and
// keyboard entries, and backs up and rewrites c:\autoexec.bat if there is one.
// A start-up file that could be neither rewritten nor put back is named in a
// stop message owned by `owner`; nothing else is shown.
void UpdateStartupFiles(HWND owner);

}  // namespace vx
