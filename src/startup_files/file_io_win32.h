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
  bool Close(FileHandle file) override;
};

}  // namespace vx
