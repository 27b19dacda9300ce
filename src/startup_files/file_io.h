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

// INVALID_FILE_ATTRIBUTES's value.
constexpr uint32_t kNoAttributes = 0xFFFFFFFFu;

enum class ReplaceResult {
  kReplaced,
  // The system refused; both files are as they were.
  kFailed,
  // The system cannot replace a file in one step: Windows 95, 98 and Me
  // export MoveFileExA only as a stub that fails. Both files are as they were.
  kNotSupported,
};

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

  // Has the system write everything written to `file` through to the disk, so
  // that a power cut after it cannot lose it; false when it could not.
  virtual bool Flush(FileHandle file) = 0;

  // As Flush, for a closed file that something else wrote (the LZ service's
  // backups); false when it could not be opened or flushed.
  virtual bool FlushPath(const char* path) = 0;

  // Closes the file; false when the system reports that it could not, which for
  // a written file means its content may not be complete.
  virtual bool Close(FileHandle file) = 0;

  // True when the existing file at `path` could be opened for writing. Neither
  // the file nor its attributes change.
  virtual bool Writable(const char* path) = 0;

  // The file's attributes (read-only, hidden, system, archive), as a number to
  // hand back to SetAttributes; kNoAttributes when there is no such file.
  virtual uint32_t Attributes(const char* path) = 0;
  virtual bool SetAttributes(const char* path, uint32_t attributes) = 0;

  // Puts the file at `source` in the place of the file at `target` in a single
  // step of the file system, written through to the disk: at every instant
  // `target` names either its old content or the whole new one.
  virtual ReplaceResult ReplaceInOneStep(const char* source, const char* target) = 0;

  // Deletes a file; renames one to a name that no file has. False when the
  // system refused; then nothing changed.
  virtual bool Remove(const char* path) = 0;
  virtual bool Rename(const char* from, const char* to) = 0;

  // Waits before an operation is tried again: what another program holds open
  // (a virus scanner, an editor) is often let go within a second.
  virtual void Pause(uint32_t milliseconds) = 0;

 protected:
  ~FileSystem() = default;
};

}  // namespace vx
