// vpicon.exe on the installation disk: a stand-in of the Vantrix tray icon
// program. It only announces itself; like SETUP.EXE it links no C runtime.
#include <windows.h>

extern "C" void WinMainCRTStartup() {
  MessageBoxA(nullptr, "Vantrix tray icon stand-in", "vpicon", MB_OK | MB_ICONINFORMATION);
  ExitProcess(0);
}
