// The little of a C runtime that SETUP.EXE needs.
//
// The program links no C runtime DLL: Windows 95 ships no MSVCRT.DLL, and a
// static CRT would pull in functions its KERNEL32 lacks. So the entry point is
// ours, and so are the four memory functions that the compiler may emit calls to
// for structure copies and zero-initialised arrays. 64-bit arithmetic comes from
// the static libgcc.
#include <windows.h>

extern "C" {

void* memcpy(void* dest, const void* source, size_t count) {
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(source);
  while (count-- != 0) *d++ = *s++;
  return dest;
}

void* memmove(void* dest, const void* source, size_t count) {
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(source);
  if (d < s) {
    while (count-- != 0) *d++ = *s++;
  } else {
    while (count != 0) {
      --count;
      d[count] = s[count];
    }
  }
  return dest;
}

void* memset(void* dest, int value, size_t count) {
  auto* d = static_cast<unsigned char*>(dest);
  while (count-- != 0) *d++ = static_cast<unsigned char>(value);
  return dest;
}

int memcmp(const void* a, const void* b, size_t count) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  for (; count != 0; --count, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}

// Called if a pure virtual function is ever reached through a half-built object;
// the registry and file interfaces are abstract. It cannot happen in a correct
// program, so it ends the process rather than return into garbage.
// The name is the C++ ABI's, reserved for the implementation that this file is.
void __cxa_pure_virtual() { ExitProcess(3); }  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

// The entry point the linker is told about. WinMain uses only the instance, so
// the command line and show command are passed as they come.
void WinMainCRTStartup() {
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT)));
}

}  // extern "C"
