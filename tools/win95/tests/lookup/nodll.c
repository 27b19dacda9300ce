#include <windows.h>
/* A listed run-time lookup in a file that never names the DLL listed for it (KERNEL32). */
FARPROC find(void) { return GetProcAddress(GetModuleHandleA(NULL), "MoveFileExA"); }
