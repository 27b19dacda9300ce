#include "startup_files/file_io_win32.h"

#include <windows.h>

namespace vx {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle AsFileHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

// Opens an existing file for writing as OpenForWrite does, without cutting it.
HANDLE OpenExistingForWrite(const char* path) {
  return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

using MoveFileExFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);

}  // namespace

FileHandle Win32Files::OpenForRead(const char* path) {
  // Others may go on reading and writing: the system's profile functions may
  // have the file open.
  return AsFileHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle Win32Files::OpenForWrite(const char* path) {
  // Opened as it is and then cut, not re-created: CREATE_ALWAYS fails on a
  // hidden or system file, which autoexec.bat sometimes is, and would drop the
  // file's attributes.
  const HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kNoFile;
  if (!SetEndOfFile(handle)) {
    CloseHandle(handle);
    return kNoFile;
  }
  return AsFileHandle(handle);
}

bool Win32Files::Read(FileHandle file, char* buffer, size_t capacity, size_t* count) {
  DWORD got = 0;
  const BOOL ok = ReadFile(AsHandle(file), buffer, static_cast<DWORD>(capacity), &got, nullptr);
  *count = got;
  return ok != FALSE;
}

bool Win32Files::Write(FileHandle file, const char* data, size_t size) {
  DWORD written = 0;
  return WriteFile(AsHandle(file), data, static_cast<DWORD>(size), &written, nullptr) != FALSE && written == size;
}

bool Win32Files::Seek(FileHandle file, uint64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  const DWORD low = SetFilePointer(AsHandle(file), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

bool Win32Files::Flush(FileHandle file) { return FlushFileBuffers(AsHandle(file)) != FALSE; }

bool Win32Files::Close(FileHandle file) { return CloseHandle(AsHandle(file)) != FALSE; }

bool Win32Files::Writable(const char* path) {
  const HANDLE handle = OpenExistingForWrite(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

uint32_t Win32Files::Attributes(const char* path) { return GetFileAttributesA(path); }

bool Win32Files::SetAttributes(const char* path, uint32_t attributes) {
  return SetFileAttributesA(path, attributes) != FALSE;
}

ReplaceResult Win32Files::ReplaceInOneStep(const char* source, const char* target) {
  // Looked up, not imported: Windows 95, 98 and Me export MoveFileExA only as
  // a stub that fails, and the program imports nothing that does not work
  // there.
  const auto moveFileEx = reinterpret_cast<MoveFileExFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "MoveFileExA")));
  if (moveFileEx == nullptr) return ReplaceResult::kNotSupported;
  if (moveFileEx(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE) {
    return ReplaceResult::kReplaced;
  }
  // Windows 95, 98 and Me never implement it, and the last error their stub
  // leaves is not documented: the family of the system is asked too.
  const DWORD error = GetLastError();
  const bool windows9x = (GetVersion() & 0x80000000u) != 0;
  return windows9x || error == ERROR_CALL_NOT_IMPLEMENTED ? ReplaceResult::kNotSupported : ReplaceResult::kFailed;
}

bool Win32Files::Remove(const char* path) { return DeleteFileA(path) != FALSE; }

bool Win32Files::Rename(const char* from, const char* to) { return MoveFileA(from, to) != FALSE; }

bool Win32Files::FlushPath(const char* path) {
  const HANDLE handle = OpenExistingForWrite(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(handle) != FALSE;
  return CloseHandle(handle) != FALSE && flushed;
}

void Win32Files::Pause(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace vx
