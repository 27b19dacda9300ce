#include "startup_files/update_startup_files.h"

#include "shell/bounded_text.h"
#include "startup_files/rewrite_from_backup.h"
#include "startup_files/rewrite_rules.h"

namespace vx {
namespace {

// A start-up file, its backup, and the program's own 8.3 name beside it for the
// rewrite while it is written: a user's file never has it, and one that is
// there marks a setup stopped inside that file's step. Names in the Windows
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

// What the user is told of a start-up file that was not updated, or is left
// missing: the file's path, then a text naming the backup that holds its
// original and, where one is left, the aside file with the rewrite.
struct StopText {
  RewriteOutcome outcome;
  const char* afterFile;
  const char* afterBackup;
  const char* afterAside;
};

// clang-format off
constexpr StopText kStopTexts[] = {
    {RewriteOutcome::kNotUpdated,    " was not updated.\nA copy of it is in ",                 ".",                        nullptr},
    {RewriteOutcome::kRewriteBeside, " could not be put in place.\nIts original content is in ", ", the updated file in ",  "."},
    {RewriteOutcome::kUnsettled,     " was not updated: it changed after an earlier Setup stopped while updating it.\n"
                                     "Its original content is in ",                            ", that Setup's update in ", "."},
};
// clang-format on

constexpr size_t LiteralLength(const char* text) {
  size_t length = 0;
  while (text != nullptr && text[length] != '\0') ++length;
  return length;
}

constexpr size_t LongestStopText() {
  size_t longest = 0;
  for (const StopText& text : kStopTexts) {
    const size_t length =
        LiteralLength(text.afterFile) + LiteralLength(text.afterBackup) + LiteralLength(text.afterAside);
    if (length > longest) longest = length;
  }
  return longest;
}

// Three paths, each shorter than kOpenPathCapacity, and the longest text.
constexpr size_t kStopTextCapacity = 3 * kOpenPathCapacity + LongestStopText();

// Where the file was not updated or is left missing, the user must learn where
// its original content is, or the system starts next time without the lines
// it expects.
void Report(StartupSystem& system, const RewritePaths& paths, RewriteOutcome outcome) {
  for (const StopText& text : kStopTexts) {
    if (text.outcome != outcome) continue;
    char message[kStopTextCapacity];
    CopyText(message, sizeof message, paths.startup);
    AppendText(message, sizeof message, text.afterFile);
    AppendText(message, sizeof message, paths.backup);
    AppendText(message, sizeof message, text.afterBackup);
    if (text.afterAside != nullptr) {
      AppendText(message, sizeof message, paths.aside);
      AppendText(message, sizeof message, text.afterAside);
    }
    system.ShowStop(message);
  }
}

// Backs a start-up file up and rewrites it, or, when an aside file left beside
// it shows that an earlier run stopped inside this step with the original in
// the backup, ends that run's work without a new backup over it. The pass goes
// on whatever happens. Returns false when there is no start-up file to open
// (nothing is made or written then).
bool BackUpAndRewrite(FileSystem& files, StartupSystem& system, const RewritePaths& paths, LineRule& rule) {
  RewriteOutcome outcome = RewriteOutcome::kLeftAlone;
  if (EarlierRunStopped(files, paths)) {
    outcome = FinishEarlierRun(files, paths, rule);
  } else {
    if (!system.BackupStartupFile(paths.startup, paths.backup)) return false;
    outcome = RewriteFromBackup(files, paths, rule);
  }
  Report(system, paths, outcome);
  return true;
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
  // Windows 95, 98 and Me keep win.ini in memory and write it back when they
  // like: what they hold goes to the file before the backup, and after the
  // rewrite they must not write their old copy over the new file.
  system.FlushProfileCache(paths.path);
  WinIniRule rule;
  if (!BackUpAndRewrite(files, system, {paths.path, paths.backup, paths.aside}, rule)) return;
  system.FlushProfileCache(paths.path);
}

void UpdateSystemIni(FileSystem& files, StartupSystem& system) {
  PathsInWindowsDirectory paths;
  if (InWindowsDirectory(system, kSystemIni, &paths)) {
    // Windows 95, 98 and Me also cache the last private profile file used.
    system.FlushProfileCache(paths.path);
    // The profile functions change system.ini in place: its original must be
    // on the disk first.
    if (system.BackupStartupFile(paths.path, paths.backup)) files.FlushPath(paths.backup);
  }
  // The entries are written whether or not a backup could be made: the profile
  // functions change only these keys and add what is missing.
  for (const ProfileEntry& entry : kSystemIniEntries) {
    system.WriteProfileEntry(entry.section, entry.key, entry.value, kSystemIniProfile);
  }
}

void UpdateAutoexecBat(FileSystem& files, StartupSystem& system) {
  // No autoexec.bat, or one that cannot be read: nothing is made or written.
  AutoexecRule rule;
  BackUpAndRewrite(files, system, {kAutoexecBat.path, kAutoexecBat.backup, kAutoexecBat.aside}, rule);
}

}  // namespace

void UpdateStartupFiles(FileSystem& files, StartupSystem& system) {
  UpdateWinIni(files, system);
  UpdateSystemIni(files, system);
  UpdateAutoexecBat(files, system);
}

}  // namespace vx
