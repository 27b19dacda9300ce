// The new text of a start-up file, made from its backup: win.ini and
// autoexec.bat rewritten one line at a time, each line behind the prefix that
// the file's rule gives, or unchanged.
#pragma once

#include "startup_files/file_io.h"
#include "startup_files/rewrite_rules.h"

namespace vx {

// How a step makes the new text of its start-up file. The text is made from
// the backup into a file of the program's own, never into the start-up file.
class NewText {
 public:
  // Makes the new text of `backupPath` in `destinationPath`, creating or
  // cutting it, and has it reach the disk; true when it is complete there.
  virtual bool Make(FileSystem& files, const char* backupPath, const char* destinationPath) = 0;

  // True when `path` holds, byte for byte, the complete new text of
  // `backupPath`: what a later run must know before it puts a file that an
  // earlier run made in place.
  virtual bool IsIn(FileSystem& files, const char* backupPath, const char* path) = 0;

 protected:
  ~NewText() = default;
};

// Text mode as TextReader and TextWriter describe; each line goes out as read,
// behind `rule`'s prefix when it gives one. Everything is closed on return.
class LineRewrite final : public NewText {
 public:
  explicit LineRewrite(LineRule& rule) : rule_(rule) {}

  bool Make(FileSystem& files, const char* backupPath, const char* destinationPath) override;
  // The rewrite is made again and compared with the file as it goes, in the
  // same fixed memory.
  bool IsIn(FileSystem& files, const char* backupPath, const char* path) override;

 private:
  LineRule& rule_;
};

}  // namespace vx
