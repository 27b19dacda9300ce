// vp95dll.dll on the installation disk: a stand-in of the Vantrix utility's
// library. It exports two small functions so that it is a real, loadable DLL
// with an export table; it links no C runtime.
#include <windows.h>

extern "C" {

// The package version as major * 256 + minor: 2.18.
__declspec(dllexport) DWORD WINAPI VxGetVersion() { return 0x0212; }

__declspec(dllexport) const char* WINAPI VxGetProductName() { return "Vantrix Studio Station (stand-in)"; }

// The entry point the linker expects of a DLL without a C runtime; nothing to
// set up or tear down.
BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
