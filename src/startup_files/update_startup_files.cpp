#include "startup_files/update_startup_files.h"

#include "shell/bounded_text.h"
#include "startup_files/rewrite_from_backup.h"
#include "startup_files/rewrite_rules.h"

namespace vx {
namespace {

// A start-up file, its backup, and the program's own 8.3 name beside it for the
// rewrite while it is written: a user's file never has it, and one left by a
// setup that was stopped is simply written over. Names in the Windows
// directory carry their leading backslash and are appended whatever the
// directory ends with; none is longer than "\\system.ulv".
struct StartupFile {
  const char* path;
  const char* backup;
  const char* aside;
};

// clang-format off
constexpr StartupFile kWinIni       = {"\\win.ini",         "\\win.ulv",         "\\vxwin.tmp"};
constexpr StartupFile kSystemIni    = {"\\system.ini",      "\\system.ulv",      nullptr};
// Always on drive C, whatever the boot drive.
constexpr StartupFile kAutoexecBat  = {"c:\\autoexec.bat",  "c:\\autoexec.ulv",  "c:\\vxauto.tmp"};
// clang-format on

struct ProfileEntry {
  const char* section;
  const char* key;
  const char* value;
};

// Windows' own mouse driver and its virtual mouse and keyboard devices.
// clang-format off
constexpr ProfileEntry kSystemIniEntries[] = {
    {"boot",   "mouse.drv", "mouse.drv"},
    {"386Enh", "mouse",     "*vmouse"},
    {"386Enh", "keyboard",  "*vkd"},
};
// clang-format on

// The bare name makes the profile functions use system.ini in the Windows
// directory: the file just backed up.
constexpr char kSystemIniProfile[] = "system.ini";

// The stop shown for a start-up file that could be neither rewritten nor put
// back: the file's path, this text, the backup's path and a full stop.
constexpr char kNotRestoredText[] = " could not be updated or restored.\nIts original content is in ";
constexpr char kNotRestoredEnd[] = ".";
constexpr size_t kNotRestoredCapacity = 2 * kOpenPathCapacity + sizeof kNotRestoredText + sizeof kNotRestoredEnd;

// Rewrites a start-up file from its backup. When it is left damaged, the user
// must learn where its original content is kept, or the system starts next
// time from a file cut short; the pass goes on either way.
void RewriteOrReport(FileSystem& files, StartupSystem& system, const RewritePaths& paths, LineRule& rule) {
  if (RewriteFromBackup(files, paths, rule) != RewriteOutcome::kRestoreFailed) return;
  // Both paths are shorter than kOpenPathCapacity, so the whole text fits.
  char message[kNotRestoredCapacity];
  CopyText(message, sizeof message, paths.startup);
  AppendText(message, sizeof message, kNotRestoredText);
  AppendText(message, sizeof message, paths.backup);
  AppendText(message, sizeof message, kNotRestoredEnd);
  system.ShowStop(message);
}

// A start-up file's paths in the Windows directory.
struct PathsInWindowsDirectory {
  char path[kOpenPathCapacity] = {};
  char backup[kOpenPathCapacity] = {};
  char aside[kOpenPathCapacity] = {};
};

bool AppendName(char (&dest)[kOpenPathCapacity], const char* directory, const char* name) {
  return name == nullptr || (CopyText(dest, sizeof dest, directory) && AppendText(dest, sizeof dest, name));
}

bool InWindowsDirectory(StartupSystem& system, const StartupFile& file, PathsInWindowsDirectory* paths) {
  char directory[kPathCapacity];
  if (!system.WindowsDirectory(directory, sizeof directory)) return false;
  return AppendName(paths->path, directory, file.path) && AppendName(paths->backup, directory, file.backup) &&
         AppendName(paths->aside, directory, file.aside);
}

void UpdateWinIni(FileSystem& files, StartupSystem& system) {
  PathsInWindowsDirectory paths;
  if (!InWindowsDirectory(system, kWinIni, &paths)) return;
  // Windows 95 keeps win.ini in memory and writes it back when it likes: what it
  // holds goes to the file before the backup, and after the rewrite it must not
  // write its old copy over the new file.
  system.FlushProfileCache(paths.path);
  if (!system.BackupStartupFile(paths.path, paths.backup)) return;
  WinIniRule rule;
  RewriteOrReport(files, system, {paths.path, paths.backup, paths.aside}, rule);
  system.FlushProfileCache(paths.path);
}

void UpdateSystemIni(StartupSystem& system) {
  PathsInWindowsDirectory paths;
  if (InWindowsDirectory(system, kSystemIni, &paths)) {
    // Windows 95 also caches the last private profile file it used.
    system.FlushProfileCache(paths.path);
    system.BackupStartupFile(paths.path, paths.backup);
  }
  // The entries are written whether or not a backup could be made: the profile
  // functions change only these keys and add what is missing.
  for (const ProfileEntry& entry : kSystemIniEntries) {
    system.WriteProfileEntry(entry.section, entry.key, entry.value, kSystemIniProfile);
  }
}

void UpdateAutoexecBat(FileSystem& files, StartupSystem& system) {
  // No autoexec.bat, or one that cannot be read: nothing is made or written.
  if (!system.BackupStartupFile(kAutoexecBat.path, kAutoexecBat.backup)) return;
  AutoexecRule rule;
  RewriteOrReport(files, system, {kAutoexecBat.path, kAutoexecBat.backup, kAutoexecBat.aside}, rule);
}

}  // namespace

void UpdateStartupFiles(FileSystem& files, StartupSystem& system) {
  UpdateWinIni(files, system);
  UpdateSystemIni(system);
  UpdateAutoexecBat(files, system);
}

}  // namespace vx
