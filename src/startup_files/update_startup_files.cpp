#include "startup_files/update_startup_files.h"

#include "shell/bounded_text.h"
#include "startup_files/file_steps.h"
#include "startup_files/replace_whole.h"
#include "startup_files/rewrite_from_backup.h"
#include "startup_files/rewrite_rules.h"
#include "startup_files/stop_texts.h"

namespace vx {
namespace {

// A start-up file, its backup, and the program's own 8.3 names beside it: the
// new text while it is made, the same once it is complete (95, 98 and Me), and
// the stem of the names an original is kept under. A user's file never has
// them, and one that is there marks a setup stopped inside that file's step.
// Names in the Windows directory carry their leading backslash and are
// appended whatever the directory ends with; none is longer than
// "\\system.ulv".
struct StartupFile {
  const char* path;
  const char* backup;
  const char* aside;
  const char* renamed;
  const char* keepStem;
};

// clang-format off
constexpr StartupFile kWinIni      = {"\\win.ini",        "\\win.ulv",        "\\VXWIN.TMP",    "\\VXWIN.NEW",    "\\WIN.UL"};
constexpr StartupFile kSystemIni   = {"\\system.ini",     "\\system.ulv",     "\\VXSYS.TMP",    "\\VXSYS.NEW",    "\\SYSTEM.UL"};
// Always on drive C, whatever the boot drive.
constexpr StartupFile kAutoexecBat = {"c:\\autoexec.bat", "c:\\autoexec.ulv", "c:\\VXAUTO.TMP", "c:\\VXAUTO.NEW", "c:\\AUTOEXEC.UL"};
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

bool WriteEntries(StartupSystem& system, const char* path) {
  for (const ProfileEntry& entry : kSystemIniEntries) {
    if (!system.WriteProfileEntry(entry.section, entry.key, entry.value, path)) return false;
  }
  // 95, 98 and Me keep the entries in their cached copy of the file until it
  // is flushed.
  system.FlushProfileFile(path);
  return true;
}

// system.ini's new text: a copy of the backup with the three entries written
// into it by the system's profile functions, so that the file's layout stays
// the system's own.
class ProfileEntries final : public NewText {
 public:
  // `scratch` is a name of the program's own, free while the text is proven.
  ProfileEntries(StartupSystem& system, const char* scratch) : system_(system), scratch_(scratch) {}

  bool Make(FileSystem& files, const char* backupPath, const char* destinationPath) override {
    return CopyFileBytes(files, backupPath, destinationPath, kNoAttributes) && WriteEntries(system_, destinationPath) &&
           files.FlushPath(destinationPath);
  }

  // The profile functions' layout cannot be made without them: the text is
  // made again beside the file and compared with it.
  bool IsIn(FileSystem& files, const char* backupPath, const char* path) override {
    const bool same = Make(files, backupPath, scratch_) && FilesMatch(files, scratch_, path);
    files.Remove(scratch_);
    return same;
  }

 private:
  StartupSystem& system_;
  const char* scratch_;
};

// A start-up file's paths, in the Windows directory or as they stand.
struct Paths {
  char path[kOpenPathCapacity] = {};
  char backup[kOpenPathCapacity] = {};
  char aside[kOpenPathCapacity] = {};
  char renamed[kOpenPathCapacity] = {};
  char keepStem[kOpenPathCapacity] = {};

  StepPaths Step() const { return {path, backup, aside, renamed, keepStem, {}}; }
};

bool AppendName(char (&dest)[kOpenPathCapacity], const char* directory, const char* name) {
  return CopyText(dest, sizeof dest, directory) && AppendText(dest, sizeof dest, name);
}

bool PathsOf(const StartupFile& file, const char* directory, Paths* paths) {
  return AppendName(paths->path, directory, file.path) && AppendName(paths->backup, directory, file.backup) &&
         AppendName(paths->aside, directory, file.aside) && AppendName(paths->renamed, directory, file.renamed) &&
         AppendName(paths->keepStem, directory, file.keepStem);
}

bool InWindowsDirectory(StartupSystem& system, const StartupFile& file, Paths* paths) {
  char directory[kPathCapacity];
  return system.WindowsDirectory(directory, sizeof directory) && PathsOf(file, directory, paths);
}

// Backs a start-up file up and replaces it by its new text; or, where a file
// left beside it shows that an earlier run stopped inside this step, settles
// that run first, without a new backup over the original. A settling that
// needs the user's word is shown on the way.
StepResult BackUpAndReplace(FileSystem& files, StartupSystem& system, StepPaths& paths, NewText& text) {
  if (EarlierRunStopped(files, paths)) {
    const Settlement settled = SettleEarlierRun(files, paths, text);
    if (!settled.goOn) return settled.result;
    ReportStep(files, system, paths, settled.result);
  }
  if (!system.BackupStartupFile(paths.startup, paths.backup)) return {StepOutcome::kNoFile, nullptr};
  return ReplaceFromBackup(files, paths, text);
}

// 95, 98 and Me keep win.ini and the last private profile file in memory and
// write them back when they like: what they hold goes to the file before the
// backup, and their copy is dropped after the update. Were it written back
// over the new file all the same (another program wrote through the profile
// functions meanwhile), the file read back shows it.
StepResult ReadBack(FileSystem& files, const StepPaths& paths, NewText& text, StepResult result) {
  if (result.outcome != StepOutcome::kUpdated || text.IsIn(files, paths.backup, paths.startup)) return result;
  return {StepOutcome::kOverwritten, nullptr};
}

void UpdateWinIni(FileSystem& files, StartupSystem& system) {
  Paths paths;
  if (!InWindowsDirectory(system, kWinIni, &paths)) return;
  StepPaths step = paths.Step();
  system.FlushWinIni();
  WinIniRule rule;
  LineRewrite text(rule);
  const StepResult result = BackUpAndReplace(files, system, step, text);
  system.FlushWinIni();
  ReportStep(files, system, step, ReadBack(files, step, text, result));
}

void UpdateSystemIni(FileSystem& files, StartupSystem& system) {
  Paths paths;
  if (!InWindowsDirectory(system, kSystemIni, &paths)) return;
  system.FlushProfileFile(paths.path);
  StepPaths step = paths.Step();
  ProfileEntries text(system, step.aside);
  const StepResult result = BackUpAndReplace(files, system, step, text);
  system.FlushProfileFile(paths.path);
  ReportStep(files, system, step, ReadBack(files, step, text, result));
}

void UpdateAutoexecBat(FileSystem& files, StartupSystem& system) {
  Paths paths;
  if (!PathsOf(kAutoexecBat, "", &paths)) return;
  StepPaths step = paths.Step();
  // No autoexec.bat, or one that cannot be read: nothing is made or written.
  AutoexecRule rule;
  LineRewrite text(rule);
  ReportStep(files, system, step, BackUpAndReplace(files, system, step, text));
}

}  // namespace

void UpdateStartupFiles(FileSystem& files, StartupSystem& system) {
  UpdateWinIni(files, system);
  UpdateSystemIni(files, system);
  UpdateAutoexecBat(files, system);
}

}  // namespace vx
