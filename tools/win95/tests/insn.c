#include <windows.h>
/* INSN: one instruction, given on the command line, that a 486 lacks. */
void __stdcall start(void)
{
    __asm__ volatile (INSN);
    ExitProcess(0);
}
