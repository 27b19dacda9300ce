#pragma once

#include <windows.h>

namespace vx {

// Warns the user to take the disk out, then asks Windows to restart. Running
// programs are asked first, so they can have their work saved, or refuse. False
// when the restart is refused: the computer then goes on running.
bool RestartComputer(HWND owner);

}  // namespace vx
