// The start-up file pass: win.ini, system.ini and autoexec.bat, each backed up
// beside itself under the extension ".ulv" before it is changed.
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

  // Sets `key` in `section` of the profile file `fileName`; the result is not
  // looked at.
  virtual void WriteProfileEntry(const char* section, const char* key, const char* value, const char* fileName) = 0;

  // Has the system write out and drop what it holds of a profile file.
  virtual void FlushProfileCache(const char* fileName) = 0;

  // Shows `message` to the user as a stop: caption "Stop", the stop icon and an
  // OK button. Returns once the user has answered.
  virtual void ShowStop(const char* message) = 0;

 protected:
  ~StartupSystem() = default;
};

// Runs the three steps in order: win.ini, system.ini, autoexec.bat. Each has
// closed its files before the next begins, and a step that stops early does not
// keep the later ones from running. A start-up file that could not be updated,
// or is left missing, is shown to the user in a stop, naming the backup that
// holds its original (and the aside file with its rewrite, where one is left);
// nothing else is reported.
//
// A step that finds the aside file of an earlier run that was stopped inside
// it makes no new backup, which would write over the original, and ends that
// run's work instead (FinishEarlierRun).
//
// The backups are made through the LZ expansion service, so a start-up file's
// path and its backup's must fit in kOpenPathCapacity: a Windows directory of
// at most 116 characters with the longest name, "\system.ulv", behind it. Where
// they do not fit no backup is made: win.ini is left as it is, and system.ini
// still gets its entries.
void UpdateStartupFiles(FileSystem& files, StartupSystem& system);

}  // namespace vx
