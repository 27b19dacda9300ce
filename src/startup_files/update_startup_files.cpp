#include "startup_files/update_startup_files.h"

#include "shell/bounded_text.h"
#include "startup_files/rewrite_from_backup.h"
#include "startup_files/rewrite_rules.h"

namespace vx {
namespace {

// A start-up file and its backup. Names in the Windows directory carry their
// leading backslash and are appended whatever the directory ends with.
struct StartupFile {
  const char* path;
  const char* backup;
};

constexpr StartupFile kWinIni = {"\\win.ini", "\\win.ulv"};
constexpr StartupFile kSystemIni = {"\\system.ini", "\\system.ulv"};
// Always on drive C, whatever the boot drive.
constexpr StartupFile kAutoexecBat = {"c:\\autoexec.bat", "c:\\autoexec.ulv"};

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
void RewriteOrReport(FileSystem& files, StartupSystem& system, const char* path, const char* backup, LineRule& rule) {
  if (RewriteFromBackup(files, path, backup, rule) != RewriteOutcome::kRestoreFailed) return;
  // Both paths are shorter than kOpenPathCapacity, so the whole text fits.
  char message[kNotRestoredCapacity];
  CopyText(message, sizeof message, path);
  AppendText(message, sizeof message, kNotRestoredText);
  AppendText(message, sizeof message, backup);
  AppendText(message, sizeof message, kNotRestoredEnd);
  system.ShowStop(message);
}

// Builds a start-up file's path and its backup's in the Windows directory.
bool InWindowsDirectory(StartupSystem& system, const StartupFile& file, char (&path)[kOpenPathCapacity],
                        char (&backup)[kOpenPathCapacity]) {
  char directory[kPathCapacity];
  if (!system.WindowsDirectory(directory, sizeof directory)) return false;
  return CopyText(path, sizeof path, directory) && AppendText(path, sizeof path, file.path) &&
         CopyText(backup, sizeof backup, directory) && AppendText(backup, sizeof backup, file.backup);
}

void UpdateWinIni(FileSystem& files, StartupSystem& system) {
  char path[kOpenPathCapacity];
  char backup[kOpenPathCapacity];
  if (!InWindowsDirectory(system, kWinIni, path, backup)) return;
  // Windows 95 keeps win.ini in memory and writes it back when it likes: what it
  // holds goes to the file before the backup, and after the rewrite it must not
  // write its old copy over the new file.
  system.FlushProfileCache(path);
  if (!system.BackupStartupFile(path, backup)) return;
  WinIniRule rule;
  RewriteOrReport(files, system, path, backup, rule);
  system.FlushProfileCache(path);
}

void UpdateSystemIni(StartupSystem& system) {
  char path[kOpenPathCapacity];
  char backup[kOpenPathCapacity];
  if (InWindowsDirectory(system, kSystemIni, path, backup)) {
    // Windows 95 also caches the last private profile file it used.
    system.FlushProfileCache(path);
    system.BackupStartupFile(path, backup);
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
  RewriteOrReport(files, system, kAutoexecBat.path, kAutoexecBat.backup, rule);
}

}  // namespace

void UpdateStartupFiles(FileSystem& files, StartupSystem& system) {
  UpdateWinIni(files, system);
  UpdateSystemIni(system);
  UpdateAutoexecBat(files, system);
}

}  // namespace vx
