#include <windows.h>
/* Unicode entry points alone: MessageBoxW, which Windows 95 implements (USER32!+MessageBoxW), passes;
 * with -DSTUB, CreateFileW, a stub only by the rule KERNEL32!*W, fails under --fail-on-stubs. */
void __stdcall start(void)
{
#ifdef STUB
    CloseHandle(CreateFileW(L"x", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
#endif
    MessageBoxW(NULL, L"x", L"y", MB_OK);
    ExitProcess(0);
}
