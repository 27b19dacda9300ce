#include <windows.h>
/* An 8 KB frame: linked with the stack probe it passes, without it fails. */
void __stdcall start(void)
{
    volatile char buf[8192];
    buf[0] = 1;
    buf[sizeof buf - 1] = 2;
    ExitProcess(buf[0] + buf[sizeof buf - 1]);
}
