#include <windows.h>
/* A run-time lookup that runtime-lookups.txt does not list. */
FARPROC find(void) { return GetProcAddress(GetModuleHandleA("USER32.DLL"), "GetLastInputInfo"); }
