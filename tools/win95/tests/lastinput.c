#include <windows.h>
void __stdcall start(void)
{
    LASTINPUTINFO li = { sizeof li, 0 };
    GetLastInputInfo(&li);
    ExitProcess(0);
}
