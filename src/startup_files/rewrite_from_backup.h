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
  // Reading the backup or writing the start-up file failed part way; the
  // start-up file was given its original bytes back from the backup.
  kRestored,
  // As kRestored, but putting the bytes back failed too. The backup beside the
  // start-up file still holds them.
  kRestoreFailed,
};

// Rewrites `startupPath` from `backupPath`, which a backup step has just made.
// The start-up file is emptied only once the backup has been read back and found
// byte for byte equal to it, so that its content is never held nowhere. Text
// mode as TextReader and TextWriter describe; each line goes out as read, behind
// `rule`'s prefix when it gives one. Everything is closed on return; the pass
// that calls this tells the user only of kRestoreFailed.
RewriteOutcome RewriteFromBackup(FileSystem& files, const char* startupPath, const char* backupPath, LineRule& rule);

}  // namespace vx
