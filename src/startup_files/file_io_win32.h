// The start-up file pass's file layer over the Windows file functions.
#pragma once

#include "startup_files/file_io.h"

namespace vx {

class Win32Files final : public FileSystem {
 public:
  FileHandle OpenForRead(const char* path) override;
  FileHandle OpenForWrite(const char* path) override;
  bool Read(FileHandle file, char* buffer, size_t capacity, size_t* count) override;
  bool Write(FileHandle file, const char* data, size_t size) override;
  bool Seek(FileHandle file, uint64_t offset) override;
  bool Flush(FileHandle file) override;
  bool FlushPath(const char* path) override;
  bool Close(FileHandle file) override;
  bool Writable(const char* path) override;
  uint32_t Attributes(const char* path) override;
  bool SetAttributes(const char* path, uint32_t attributes) override;
  ReplaceResult ReplaceInOneStep(const char* source, const char* target) override;
  bool Remove(const char* path) override;
  bool Rename(const char* from, const char* to) override;
  void Pause(uint32_t milliseconds) override;
};

}  // namespace vx
