#pragma once

#include <windows.h>

namespace vx {

// Warns the user to take the disk out, then restarts the computer without asking
// running programs. Nothing is reported if the restart is refused.
void RestartComputer(HWND owner);

}  // namespace vx
