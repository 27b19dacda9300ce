#include <windows.h>
/* A run-time lookup whose name is not a string literal. */
FARPROC find(const char *name) { return GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), name); }
