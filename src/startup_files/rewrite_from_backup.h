// Writes a start-up file anew from its backup, one line at a time, putting the
// prefix that the file's rule gives in front of the lines it picks, and puts
// the new file in the start-up file's place whole.
#pragma once

#include "startup_files/file_io.h"
#include "startup_files/rewrite_rules.h"

namespace vx {

enum class RewriteOutcome {
  // The start-up file holds the complete rewrite.
  kRewritten,
  // The backup did not hold exactly the start-up file's bytes, or the start-up
  // file cannot be written (a read-only one): it was not touched.
  kLeftAlone,
  // The rewrite could not be made beside the start-up file (no room), or the
  // system kept refusing to put it in place (another program holds the file):
  // the start-up file is exactly as it was and no aside file is left.
  kNotUpdated,
  // Windows 95, 98 and Me: the start-up file was deleted, and neither renaming
  // the rewrite nor copying it took its place. The start-up file is missing;
  // the rewrite stays in the aside file and the original in the backup, and
  // the next run puts the rewrite in place.
  kRewriteBeside,
  // An earlier run stopped inside this step, and the start-up file has changed
  // since (Windows wrote a fresh win.ini, or another program changed the file).
  // Nothing was touched; the aside file stays, so that every later run also
  // keeps the backup that holds the original.
  kUnsettled,
};

// The files of one rewrite: the start-up file, its backup, and the program's
// own name for the new text while it is written.
struct RewritePaths {
  const char* startup;
  const char* backup;
  const char* aside;
};

// Rewrites `paths.startup` from `paths.backup`, which a backup step has just
// made, once it has been read back and found byte for byte equal to the
// start-up file. The backup is flushed to the disk; the new text is written to
// `paths.aside`, flushed, given the start-up file's attributes, and only then
// put in the start-up file's place: in one step of the file system, tried a
// few times over about a second, or on Windows 95, 98 and Me, which cannot do
// that, by deleting the start-up file and renaming the aside file (retried
// once, then copied). A start-up file is never written in place.
//
// What holds when Setup is stopped at any instant (a crash, the process ended,
// the user's reset), on every system: the start-up file is its original, or
// the complete rewrite with the original in the backup, or, on 95, 98 and Me
// between the delete and the rename, missing with the complete rewrite in the
// aside file and the original in the backup. The next run settles that last
// state and any other one an aside file marks (FinishEarlierRun).
//
// What holds after a power cut: on NTFS, which writes the one-step replace
// through, the same. On FAT under the write-behind cache of Windows 95, 98 and
// Me, the flushes keep the backup and the aside file's bytes, but the folder
// changes (the aside file's name, the delete and the rename) reach the disk in
// an order of the cache's own, so any of them may be missing after the
// restart; what a state left that way needs is done by the next run.
//
// Text mode as TextReader and TextWriter describe; each line goes out as read,
// behind `rule`'s prefix when it gives one. Everything is closed on return.
RewriteOutcome RewriteFromBackup(FileSystem& files, const RewritePaths& paths, LineRule& rule);

// True when the aside file exists: an earlier run stopped inside the step of
// this start-up file, after its backup was made, verified and flushed. That
// backup may hold the only copy of the original, so no new backup is made.
bool EarlierRunStopped(FileSystem& files, const RewritePaths& paths);

// Ends what an earlier run stopped inside the step left, from what is on the
// disk:
// - the start-up file missing (95, 98 and Me, stopped between the delete and
//   the rename): the aside file, once found to be the complete rewrite of the
//   backup (else written anew from it), goes in its place;
// - the start-up file still equal to its backup: the aside file is removed and
//   the file rewritten as by RewriteFromBackup;
// - the start-up file already the complete rewrite, or a copy of it cut short:
//   the aside file goes (its copy made whole first);
// - otherwise the file changed since: kUnsettled, and nothing is touched.
RewriteOutcome FinishEarlierRun(FileSystem& files, const RewritePaths& paths, LineRule& rule);

}  // namespace vx
