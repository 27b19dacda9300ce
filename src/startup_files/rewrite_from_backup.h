// Writes a start-up file anew from its backup, one line at a time, putting the
// prefix that the file's rule gives in front of the lines it picks.
#pragma once

#include "startup_files/file_io.h"
#include "startup_files/rewrite_rules.h"

namespace vx {

enum class RewriteOutcome {
  // The start-up file holds the rewritten text.
  kRewritten,
  // The backup did not hold exactly the start-up file's bytes, or a file could
  // not be opened: the start-up file was not touched.
  kLeftAlone,
  // The rewrite could not be written beside the start-up file, and writing it in
  // place failed part way; the start-up file was given its original bytes back
  // from the backup.
  kRestored,
  // As kRestored, but putting the bytes back failed too. The backup beside the
  // start-up file still holds them.
  kRestoreFailed,
};

// The files of one rewrite: the start-up file, the backup a backup step has just
// made of it, and the program's own name for the new text while it is written.
struct RewritePaths {
  const char* startup;
  const char* backup;
  const char* aside;
};

// Rewrites `paths.startup` from `paths.backup` once the backup has been read
// back and found byte for byte equal to it. The new text is written to
// `paths.aside`, flushed to the disk, and only then put in the start-up file's
// place, which keeps its attributes; so a setup stopped at any instant (a
// crash, a power cut) leaves the start-up file as it was or wholly rewritten,
// and its original in the file or the backup. On Windows 95, which cannot
// replace a file in one step, the start-up file is deleted and the new one
// renamed: for that instant it is missing, with the rewrite beside it.
//
// When the new file cannot be made or put in place (a full root folder, say),
// the start-up file is written in place instead and, should that fail part way,
// given its original back. A file that could not be written in place (a
// read-only one) is left alone. Text mode as TextReader and TextWriter
// describe; each line goes out as read, behind `rule`'s prefix when it gives
// one. Everything is closed on return; the pass that calls this tells the user
// only of kRestoreFailed.
RewriteOutcome RewriteFromBackup(FileSystem& files, const RewritePaths& paths, LineRule& rule);

}  // namespace vx
