// The start-up file pass: win.ini, system.ini and autoexec.bat, each backed up
// beside itself under the extension ".ulv" and then replaced whole by its new
// text. What holds when Setup is stopped at any instant is set out in
// docs/reliability.md, under "Start-up files".
#pragma once

#include <stddef.h>

#include "shell/setup_state.h"
#include "startup_files/file_io.h"

namespace vx {

// What the pass needs of the system besides files.
class StartupSystem {
 public:
  // Copies the Windows directory into `dest`; false when the system gives none
  // or it does not fit in `capacity` bytes with its terminator.
  virtual bool WindowsDirectory(char* dest, size_t capacity) = 0;

  // Copies a start-up file to its backup through the LZ expansion service,
  // which creates the backup or empties an older one first. Returns whether the
  // start-up file could be opened, nothing about the copy.
  virtual bool BackupStartupFile(const char* startupPath, const char* backupPath) = 0;

  // Sets `key` in `section` of the profile file at `path`, a full path; false
  // when the system reports that it could not.
  virtual bool WriteProfileEntry(const char* section, const char* key, const char* value, const char* path) = 0;

  // Has the system write out and drop what it holds of the profile file at
  // `path` (95, 98 and Me cache the last one used), or of win.ini, which they
  // cache apart.
  virtual void FlushProfileFile(const char* path) = 0;
  virtual void FlushWinIni() = 0;

  // Shows `message` to the user as a stop: caption "Stop", the stop icon and an
  // OK button. Returns once the user has answered.
  virtual void ShowStop(const char* message) = 0;

 protected:
  ~StartupSystem() = default;
};

// Runs the three steps in order: win.ini, system.ini, autoexec.bat. Each has
// closed its files before the next begins, and a step that stops early does not
// keep the later ones from running. A start-up file that could be read but was
// not updated, or is left otherwise than updated, is named to the user in a
// stop; nothing else is reported.
//
// win.ini and autoexec.bat get their lines rewritten by their rules; system.ini
// gets three entries, written by the system's profile functions into a copy of
// it that then takes its place. A step that finds a file that an earlier,
// stopped run left beside the start-up file makes no new backup over the
// original before it has settled that run (SettleEarlierRun).
//
// The backups are made through the LZ expansion service, so a start-up file's
// path and its backup's must fit in kOpenPathCapacity: a Windows directory of
// at most 116 characters with the longest name, "\system.ulv", behind it. Where
// they do not fit, no backup is made and the file is left as it is.
void UpdateStartupFiles(FileSystem& files, StartupSystem& system);

}  // namespace vx
