// The small file layer that the start-up file pass reads and writes through.
//
// SETUP.EXE has no C runtime and so no stdio; the Win32 side implements this
// over CreateFileA and friends, and the unit tests over POSIX files or memory,
// which also lets them make any single operation fail.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace vx {

// An open file. Win32 handles and the test layers' numbers both fit; kNoFile is
// INVALID_HANDLE_VALUE's value.
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

class FileSystem {
 public:
  // Opens an existing file for reading, positioned at its start; kNoFile when it
  // cannot be opened.
  virtual FileHandle OpenForRead(const char* path) = 0;

  // Opens a file for writing, creating it or cutting it to zero length;
  // kNoFile when it cannot be opened, and then the file is as it was.
  virtual FileHandle OpenForWrite(const char* path) = 0;

  // Reads up to `capacity` bytes into `buffer` and stores how many it read in
  // `*count`: 0 at the end of the file. Fewer than asked is no sign of the end.
  // False on a read error.
  virtual bool Read(FileHandle file, char* buffer, size_t capacity, size_t* count) = 0;

  // Writes all `size` bytes; false when they could not all be written.
  virtual bool Write(FileHandle file, const char* data, size_t size) = 0;

  // Moves the position of a file open for reading to `offset` bytes from its
  // start.
  virtual bool Seek(FileHandle file, uint64_t offset) = 0;

  // Closes the file; false when the system reports that it could not, which for
  // a written file means its content may not be complete.
  virtual bool Close(FileHandle file) = 0;

 protected:
  ~FileSystem() = default;
};

}  // namespace vx
