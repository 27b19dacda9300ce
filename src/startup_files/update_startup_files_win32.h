// The start-up file pass as the update dialog runs it.
#pragma once

namespace vx {

// Backs up and rewrites win.ini, backs up system.ini and sets its mouse and
// keyboard entries, and backs up and rewrites c:\autoexec.bat if there is one.
// Shows nothing and reports nothing.
void UpdateStartupFiles();

}  // namespace vx
