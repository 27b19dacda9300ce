#include <windows.h>
/* A TLS directory, as a C runtime's thread-local support makes one: ld points the
 * header's TLS entry at the symbol _tls_used. */
static DWORD tls_index;
const IMAGE_TLS_DIRECTORY _tls_used = { 0, 0, (DWORD)&tls_index, 0, 0, 0 };
void __stdcall start(void) { ExitProcess(tls_index); }
