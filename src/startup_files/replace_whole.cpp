#include "startup_files/replace_whole.h"

#include "shell/bounded_text.h"
#include "startup_files/file_steps.h"

namespace vx {
namespace {

// Another program that has the start-up file open without letting others
// delete it (a virus scanner, an editor on Windows NT) makes the system refuse
// the replace; such a hold is usually let go within a second.
constexpr int kReplaceTries = 5;
constexpr uint32_t kRetryPauseMilliseconds = 250;

StepResult Result(StepOutcome outcome, const char* named = nullptr) { return {outcome, named}; }

// The new text is in place; its second name, where one is still there, goes.
StepResult RemoveRenamed(FileSystem& files, const StepPaths& paths) {
  if (files.Remove(paths.renamed) || !Exists(files, paths.renamed)) return Result(StepOutcome::kUpdated);
  return Result(StepOutcome::kLeftoverAfterUpdate, paths.renamed);
}

// 95, 98 and Me: the start-up file is deleted (or, settling an earlier run,
// missing), and the complete new text, on the disk, is under its second name:
// the only copy of it. That is never removed before the text is in place.
StepResult MoveRenamedIntoPlace(FileSystem& files, const StepPaths& paths, NewText& text) {
  if (files.Rename(paths.renamed, paths.startup)) return Result(StepOutcome::kUpdated);
  // Copied only where no start-up file is: one that another Setup put in place
  // meanwhile must not be cut.
  if (!Exists(files, paths.startup) &&
      CopyFileBytes(files, paths.renamed, paths.startup, files.Attributes(paths.renamed))) {
    return RemoveRenamed(files, paths);
  }
  if (text.IsIn(files, paths.backup, paths.startup)) return RemoveRenamed(files, paths);
  if (!Exists(files, paths.renamed)) {
    return Result(Exists(files, paths.startup) ? StepOutcome::kWrittenMeanwhile : StepOutcome::kMissing);
  }
  if (!Exists(files, paths.startup)) return Result(StepOutcome::kLeftBeside, paths.renamed);
  // A copy cut short stays: the next run finds it the beginning of the new
  // text and puts the whole text in its place.
  if (CompareFiles(files, paths.startup, paths.renamed) == Comparison::kFirstIsCutShort) {
    return Result(StepOutcome::kCutCopyLeft, paths.renamed);
  }
  return Result(StepOutcome::kWrittenMeanwhile, paths.renamed);
}

// 95, 98 and Me. The new text takes its second name, and that rename is on the
// disk, before the start-up file is deleted: a later run that finds the first
// name knows the file was never deleted, whatever it holds by then.
StepResult DeleteAndRename(FileSystem& files, const StepPaths& paths, NewText& text) {
  if (!files.Rename(paths.aside, paths.renamed)) {
    files.Remove(paths.aside);
    return Result(StepOutcome::kNotReplaced);
  }
  if (!files.FlushPath(paths.renamed) || !files.Remove(paths.startup)) {
    files.Remove(paths.renamed);
    return Result(StepOutcome::kNotReplaced);
  }
  return MoveRenamedIntoPlace(files, paths, text);
}

StepResult ReplaceInOneStep(FileSystem& files, const StepPaths& paths, NewText& text) {
  for (int tries = 1;; ++tries) {
    const ReplaceResult result = files.ReplaceInOneStep(paths.aside, paths.startup);
    if (result == ReplaceResult::kReplaced) return Result(StepOutcome::kUpdated);
    if (result == ReplaceResult::kNotSupported) return DeleteAndRename(files, paths, text);
    if (tries == kReplaceTries) break;
    files.Pause(kRetryPauseMilliseconds);
  }
  files.Remove(paths.aside);
  return Result(StepOutcome::kReplaceRefused);
}

// Gives `path` the first free keep name. The flush of the backup made next
// writes this rename out first on every disk, so its own flush is a courtesy.
bool Keep(FileSystem& files, const char* path, StepPaths& paths) {
  for (char digit = '1'; digit <= '9'; ++digit) {
    const char suffix[] = {digit, '\0'};
    if (!CopyText(paths.keep, sizeof paths.keep, paths.keepStem) ||
        !AppendText(paths.keep, sizeof paths.keep, suffix)) {
      return false;
    }
    if (Exists(files, paths.keep)) continue;
    if (!files.Rename(path, paths.keep)) return false;
    files.FlushPath(paths.keep);
    return true;
  }
  return false;
}

// The start-up file is missing: deleted by the stopped run before its rename,
// or by someone else. After a power cut under a write-behind cache the new
// text may not all be there: it is proven whole, or made anew from the backup.
StepResult PutBackFromBackup(FileSystem& files, StepPaths& paths, NewText& text) {
  if ((Exists(files, paths.renamed) && text.IsIn(files, paths.backup, paths.renamed)) ||
      text.Make(files, paths.backup, paths.renamed)) {
    return MoveRenamedIntoPlace(files, paths, text);
  }
  if (!Exists(files, paths.renamed)) return Result(StepOutcome::kMissing);
  return Result(StepOutcome::kUpdateKept, Keep(files, paths.renamed, paths) ? paths.keep : paths.renamed);
}

// The start-up file changed after the stopped run may have deleted it (Windows
// wrote a fresh win.ini, Windows Me its autoexec.bat, or another program the
// file): the backup may hold the only copy of the original, and is kept.
Settlement KeepOriginalAndGoOn(FileSystem& files, StepPaths& paths) {
  const bool keeping = Exists(files, paths.backup);
  if (keeping && !Keep(files, paths.backup, paths)) return {Result(StepOutcome::kOriginalNotKept), false};
  const bool removed = files.Remove(paths.renamed);
  if (!keeping) {
    return {removed ? Result(StepOutcome::kUpdated) : Result(StepOutcome::kLeftoverStays, paths.renamed), removed};
  }
  // A second name that could not be removed ends the step; with the backup
  // kept, the next run removes it and goes on as usual.
  return {Result(StepOutcome::kOriginalKept, paths.keep), removed};
}

}  // namespace

StepResult ReplaceFromBackup(FileSystem& files, const StepPaths& paths, NewText& text) {
  if (!FilesMatch(files, paths.startup, paths.backup)) return Result(StepOutcome::kCopyNotWhole);
  // The backup holds the only copy of the original once the start-up file is
  // replaced: it must be on the disk first.
  if (!files.FlushPath(paths.backup)) return Result(StepOutcome::kCopyNotOnDisk);
  // Replacing a file also gets past what keeps it from being written (a
  // read-only attribute): such a file is left as the user set it.
  if (!files.Writable(paths.startup)) return Result(StepOutcome::kHeld);
  // autoexec.bat is at times hidden or a system file. The new text gets its
  // attributes before it takes the name, so that the name never points at a
  // file without them.
  const uint32_t attributes = files.Attributes(paths.startup);
  if (!text.Make(files, paths.backup, paths.aside) ||
      (attributes != kNoAttributes && !files.SetAttributes(paths.aside, attributes))) {
    files.Remove(paths.aside);
    return Result(StepOutcome::kNoRoom);
  }
  return ReplaceInOneStep(files, paths, text);
}

bool EarlierRunStopped(FileSystem& files, const StepPaths& paths) {
  return Exists(files, paths.aside) || Exists(files, paths.renamed);
}

Settlement SettleEarlierRun(FileSystem& files, StepPaths& paths, NewText& text) {
  // Under the first name the new text was never more than a draft.
  if (Exists(files, paths.aside) && !files.Remove(paths.aside)) {
    return {Result(StepOutcome::kLeftoverStays, paths.aside), false};
  }
  if (!Exists(files, paths.startup)) return {PutBackFromBackup(files, paths, text), false};
  // No second name: the stopped run never deleted the file, and what it holds
  // now is the user's own.
  if (!Exists(files, paths.renamed)) return {Result(StepOutcome::kUpdated), true};
  if (FilesMatch(files, paths.startup, paths.backup)) {
    // Stopped before the delete, or before it reached the disk.
    if (!files.Remove(paths.renamed)) return {Result(StepOutcome::kLeftoverStays, paths.renamed), false};
    return {Result(StepOutcome::kUpdated), true};
  }
  if (text.IsIn(files, paths.backup, paths.renamed)) {
    switch (CompareFiles(files, paths.startup, paths.renamed)) {
      case Comparison::kSame:
        // Stopped after the copy into place, before the second name went.
        return {RemoveRenamed(files, paths), false};
      case Comparison::kFirstIsCutShort:
        // Stopped while the new text was copied into place.
        if (!files.Remove(paths.startup)) return {Result(StepOutcome::kCutCopyLeft, paths.renamed), false};
        return {MoveRenamedIntoPlace(files, paths, text), false};
      case Comparison::kDifferent:
        break;
    }
  }
  return KeepOriginalAndGoOn(files, paths);
}

StepOutcome RewriteFromBackup(FileSystem& files, const char* startup, const char* backup, const char* aside,
                              LineRule& rule) {
  LineRewrite text(rule);
  return ReplaceFromBackup(files, {startup, backup, aside, nullptr, nullptr, {}}, text).outcome;
}

}  // namespace vx
