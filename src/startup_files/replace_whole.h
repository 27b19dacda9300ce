// Puts the new text of a start-up file in its place whole, and settles what an
// earlier run that stopped inside the step left. What holds where (a stopped
// process, a power cut, NTFS and FAT under 95, 98 and Me) is set out in
// docs/reliability.md, under "Start-up files".
#pragma once

#include <stddef.h>

#include "shell/setup_state.h"
#include "startup_files/file_io.h"
#include "startup_files/rewrite_from_backup.h"

namespace vx {

enum class StepOutcome {
  // The start-up file holds its complete new text.
  kUpdated,
  // There is no start-up file that could be read: nothing was made or written.
  kNoFile,
  // Not updated, and the start-up file is exactly as it was, because:
  kCopyNotWhole,    // the backup did not come out byte for byte equal to it;
  kCopyNotOnDisk,   // the backup could not be flushed to the disk;
  kHeld,            // it cannot be written (read-only, or held open);
  kNoRoom,          // the new text could not be made beside it;
  kReplaceRefused,  // the system kept refusing the one-step replace;
  kNotReplaced,     // 95, 98 and Me refused the rename or the delete.
  // 95, 98 and Me, after the delete: the start-up file is missing (or, with
  // kCutCopyLeft, holds the start of its new text), and the complete new text
  // is in `named`.
  kLeftBeside,
  kCutCopyLeft,
  // The start-up file is missing, and no new text of it could be made.
  kMissing,
  // Another program (or another Setup) wrote the start-up file while this step
  // put it in place; the new text stays in `named`, when there is one.
  kWrittenMeanwhile,
  // A file of an earlier run, `named`, could not be deleted: nothing was done.
  kLeftoverStays,
  // Updated, but `named`, no longer needed, could not be deleted.
  kLeftoverAfterUpdate,
  // The start-up file changed after an earlier run stopped, maybe after it had
  // deleted the file: the backup, the only copy of the original, was renamed
  // to `named`, a name no run replaces, and the step went on as usual.
  kOriginalKept,
  // As kOriginalKept, but the backup could not be renamed: nothing was done.
  kOriginalNotKept,
  // The start-up file is missing and cannot be made again from its backup;
  // what an earlier run made of the new text is kept in `named`.
  kUpdateKept,
  // Read back after the system's profile cache was flushed, the start-up file
  // no longer holds its new text: the system wrote its own copy back.
  kOverwritten,
};

struct StepResult {
  StepOutcome outcome;
  // The program's own file that the outcome concerns; nullptr for none.
  const char* named;
};

// The files of one start-up file's step. The program's own names are 8.3 and
// upper case, so that FAT keeps one directory entry for each.
struct StepPaths {
  const char* startup;
  const char* backup;
  // The new text while it is made.
  const char* aside;
  // 95, 98 and Me: the new text once it is complete and on the disk, under the
  // name it takes just before the start-up file is deleted.
  const char* renamed;
  // The stem of the names under which an original is kept that no run
  // replaces: the stem and a digit, 1 to 9.
  const char* keepStem;
  // The name chosen, once one is.
  char keep[kOpenPathCapacity];
};

// Updates the start-up file from the backup that a backup step has just made:
// it must hold the file's exact bytes, and is flushed to the disk. The new text
// is made aside, flushed, given the file's attributes, and put in place in one
// step of the file system, tried a few times over about a second; on 95, 98
// and Me, which cannot do that, it is renamed to its second name, flushed, the
// file deleted, and the new text renamed into place (or, refused, copied where
// the file was). A start-up file is never written in place.
StepResult ReplaceFromBackup(FileSystem& files, const StepPaths& paths, NewText& text);

// True when a file of the program's own is left beside the start-up file: an
// earlier run stopped inside this step, after its backup was made, verified
// and flushed. That backup may hold the only copy of the original.
bool EarlierRunStopped(FileSystem& files, const StepPaths& paths);

// What settling an earlier run came to: its outcome, and whether the step
// goes on as usual afterwards (a new backup, then ReplaceFromBackup).
struct Settlement {
  StepResult result;
  bool goOn;
};

// Settles what an earlier run that stopped inside the step left, from what is
// on the disk, so that the run after this one is an ordinary one.
Settlement SettleEarlierRun(FileSystem& files, StepPaths& paths, NewText& text);

// win.ini and autoexec.bat rewritten from the backup with their line rule, as
// ReplaceFromBackup does it (with no second name: for systems that replace in
// one step).
StepOutcome RewriteFromBackup(FileSystem& files, const char* startup, const char* backup, const char* aside,
                              LineRule& rule);

}  // namespace vx
