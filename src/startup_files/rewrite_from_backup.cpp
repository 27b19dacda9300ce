#include "startup_files/rewrite_from_backup.h"

#include "startup_files/text_stream.h"

namespace vx {
namespace {

// Reads until `capacity` bytes or the end of the file; a Read may return fewer
// bytes than asked without being at the end.
bool ReadFull(FileSystem& files, FileHandle file, char* buffer, size_t capacity, size_t* count) {
  *count = 0;
  while (*count < capacity) {
    size_t got = 0;
    if (!files.Read(file, buffer + *count, capacity - *count, &got)) return false;
    if (got == 0) break;
    *count += got;
  }
  return true;
}

enum class Comparison { kSame, kFirstIsCutShort, kDifferent };

// Whether both files open and hold the same bytes, or the first holds only the
// beginning of the second.
Comparison CompareFiles(FileSystem& files, const char* firstPath, const char* secondPath) {
  const FileHandle first = files.OpenForRead(firstPath);
  if (first == kNoFile) return Comparison::kDifferent;
  const FileHandle second = files.OpenForRead(secondPath);
  if (second == kNoFile) {
    files.Close(first);
    return Comparison::kDifferent;
  }
  char firstBlock[kFileBlockSize];
  char secondBlock[kFileBlockSize];
  Comparison result = Comparison::kSame;
  for (;;) {
    size_t firstCount = 0;
    size_t secondCount = 0;
    if (!ReadFull(files, first, firstBlock, kFileBlockSize, &firstCount) ||
        !ReadFull(files, second, secondBlock, kFileBlockSize, &secondCount) || firstCount > secondCount) {
      result = Comparison::kDifferent;
      break;
    }
    for (size_t i = 0; i < firstCount && result == Comparison::kSame; ++i) {
      if (firstBlock[i] != secondBlock[i]) result = Comparison::kDifferent;
    }
    if (result != Comparison::kSame || secondCount == 0) break;
    if (firstCount < secondCount) {
      result = Comparison::kFirstIsCutShort;
      break;
    }
  }
  files.Close(second);
  files.Close(first);
  return result;
}

// True when both files open and hold the same bytes. The backup is made through
// the LZ expansion service, which reports only whether the start-up file opened:
// a backup that could not be created or stopped short, or a start-up file that
// the service took for a compressed one and expanded, shows up here.
bool FilesMatch(FileSystem& files, const char* firstPath, const char* secondPath) {
  return CompareFiles(files, firstPath, secondPath) == Comparison::kSame;
}

bool Exists(FileSystem& files, const char* path) { return files.Attributes(path) != kNoAttributes; }

// Copies the bytes of `sourcePath` to `destinationPath`, which gets
// `attributes` as soon as it is made, and has them reach the disk; true when
// every step succeeded.
bool CopyFileBytes(FileSystem& files, const char* sourcePath, const char* destinationPath, uint32_t attributes) {
  const FileHandle source = files.OpenForRead(sourcePath);
  if (source == kNoFile) return false;
  const FileHandle destination = files.OpenForWrite(destinationPath);
  if (destination == kNoFile) {
    files.Close(source);
    return false;
  }
  if (attributes != kNoAttributes) files.SetAttributes(destinationPath, attributes);
  char block[kFileBlockSize];
  bool copied = true;
  for (;;) {
    size_t count = 0;
    if (!files.Read(source, block, kFileBlockSize, &count)) {
      copied = false;
      break;
    }
    if (count == 0) break;
    if (!files.Write(destination, block, count)) {
      copied = false;
      break;
    }
  }
  copied = files.Flush(destination) && copied;
  copied = files.Close(destination) && copied;
  files.Close(source);
  return copied;
}

void LowerCopy(char* dest, const char* source, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const char c = source[i];
    dest[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
}

void ScanPiece(LineRule& rule, const char* piece, size_t length) {
  char testCopy[kLinePieceCapacity];
  LowerCopy(testCopy, piece, length);
  rule.Scan(testCopy, length);
}

void WriteLineStart(TextWriter& writer, const char* prefix, const char* piece, size_t length) {
  if (prefix != nullptr) {
    size_t prefixLength = 0;
    while (prefix[prefixLength] != '\0') ++prefixLength;
    writer.Write(prefix, prefixLength);
  }
  writer.Write(piece, length);
}

// Copies the lines of the backup to the new text. True when the whole text was
// read and written.
bool RewriteLines(TextReader& reader, TextWriter& writer, LineRule& rule) {
  char head[kLinePieceCapacity];
  char piece[kLinePieceCapacity];
  rule.StartFile();
  while (!writer.Failed()) {
    const LinePiece first = reader.ReadPiece(head);
    if (first.length == 0) break;
    rule.StartLine();
    ScanPiece(rule, head, first.length);
    if (first.endsLine) {
      WriteLineStart(writer, rule.EndLine(), head, first.length);
      continue;
    }
    // A line longer than one read. Its prefix is decided by the whole line and
    // must come before its first character, and the line may be of any length;
    // so the rest is read once for the rule only, then read again from the file
    // and copied behind the first piece. Memory stays at two pieces.
    const uint64_t rest = reader.Position();
    LinePiece next;
    do {
      next = reader.ReadPiece(piece);
      ScanPiece(rule, piece, next.length);
    } while (!next.endsLine);
    WriteLineStart(writer, rule.EndLine(), head, first.length);
    if (!reader.Rewind(rest)) break;
    do {
      next = reader.ReadPiece(piece);
      writer.Write(piece, next.length);
    } while (!next.endsLine);
  }
  const bool written = writer.Finish();
  return written && !reader.Failed();
}

// Writes the rewrite of `backupPath` to `destinationPath` and has it reach the
// disk; or, comparing, reads `destinationPath` and tells whether it holds that
// rewrite whole. True only when every write (or read), the flush and the close
// succeeded.
bool WriteRewrite(FileSystem& files, const char* backupPath, const char* destinationPath, LineRule& rule,
                  TextWriter::Mode mode = TextWriter::Mode::kWrite) {
  const bool writing = mode == TextWriter::Mode::kWrite;
  const FileHandle backup = files.OpenForRead(backupPath);
  if (backup == kNoFile) return false;
  const FileHandle destination = writing ? files.OpenForWrite(destinationPath) : files.OpenForRead(destinationPath);
  if (destination == kNoFile) {
    files.Close(backup);
    return false;
  }
  bool rewritten = false;
  {
    TextReader reader(files, backup);
    TextWriter writer(files, destination, mode);
    rewritten = RewriteLines(reader, writer, rule);
  }
  if (writing) rewritten = files.Flush(destination) && rewritten;
  rewritten = files.Close(destination) && rewritten;
  files.Close(backup);
  return rewritten;
}

bool HoldsCompleteRewrite(FileSystem& files, const RewritePaths& paths, LineRule& rule) {
  return WriteRewrite(files, paths.backup, paths.aside, rule, TextWriter::Mode::kCompare);
}

// Another program that has the start-up file open without letting others
// delete it (a virus scanner, an editor on Windows NT) makes the system refuse
// the replace; such a hold is usually let go within a second.
constexpr int kReplaceTries = 5;
constexpr uint32_t kRetryPauseMilliseconds = 250;

// The start-up file is missing, and the aside file holds its complete rewrite,
// the only one. It is never removed before the rewrite is in place.
RewriteOutcome MoveAsideIntoPlace(FileSystem& files, const RewritePaths& paths) {
  if (files.Rename(paths.aside, paths.startup)) return RewriteOutcome::kRewritten;
  files.Pause(kRetryPauseMilliseconds);
  if (files.Rename(paths.aside, paths.startup)) return RewriteOutcome::kRewritten;
  if (CopyFileBytes(files, paths.aside, paths.startup, files.Attributes(paths.aside))) {
    files.Remove(paths.aside);
    return RewriteOutcome::kRewritten;
  }
  // A copy cut short must not stand for the file: missing, it is settled by
  // the next run like a stop between the delete and the rename.
  files.Remove(paths.startup);
  return RewriteOutcome::kRewriteBeside;
}

// Puts the complete, flushed aside file in the start-up file's place.
RewriteOutcome PutInPlace(FileSystem& files, const RewritePaths& paths) {
  for (int tries = 1;; ++tries) {
    const ReplaceResult result = files.ReplaceInOneStep(paths.aside, paths.startup);
    if (result == ReplaceResult::kReplaced) return RewriteOutcome::kRewritten;
    if (result == ReplaceResult::kNotSupported) break;
    if (tries == kReplaceTries) {
      files.Remove(paths.aside);
      return RewriteOutcome::kNotUpdated;
    }
    files.Pause(kRetryPauseMilliseconds);
  }
  // Windows 95, 98 and Me: from the delete until the rename the start-up file
  // is missing, while its rewrite lies complete beside it and its original in
  // the backup.
  if (!files.Remove(paths.startup)) {
    files.Remove(paths.aside);
    return RewriteOutcome::kNotUpdated;
  }
  return MoveAsideIntoPlace(files, paths);
}

}  // namespace

RewriteOutcome RewriteFromBackup(FileSystem& files, const RewritePaths& paths, LineRule& rule) {
  if (!FilesMatch(files, paths.startup, paths.backup)) return RewriteOutcome::kLeftAlone;
  // The backup holds the only copy of the original once the start-up file is
  // replaced: it must be on the disk first.
  if (!files.FlushPath(paths.backup)) return RewriteOutcome::kLeftAlone;
  // Replacing a file also gets past what keeps it from being written (a
  // read-only attribute): such a file is left alone, as the user set it.
  if (!files.Writable(paths.startup)) return RewriteOutcome::kLeftAlone;
  // autoexec.bat is at times hidden or a system file. The new file gets its
  // attributes before it takes the name, so that the name never points at a
  // file without them.
  const uint32_t attributes = files.Attributes(paths.startup);
  if (!WriteRewrite(files, paths.backup, paths.aside, rule) ||
      (attributes != kNoAttributes && !files.SetAttributes(paths.aside, attributes))) {
    files.Remove(paths.aside);
    return RewriteOutcome::kNotUpdated;
  }
  return PutInPlace(files, paths);
}

bool EarlierRunStopped(FileSystem& files, const RewritePaths& paths) { return Exists(files, paths.aside); }

RewriteOutcome FinishEarlierRun(FileSystem& files, const RewritePaths& paths, LineRule& rule) {
  if (!Exists(files, paths.startup)) {
    // Stopped between the delete and the rename. The rewrite was flushed before
    // the delete, but after a power cut under a write-behind cache it may not
    // all be there: it is proven whole, or made anew from the backup.
    if (!HoldsCompleteRewrite(files, paths, rule) && !WriteRewrite(files, paths.backup, paths.aside, rule)) {
      return RewriteOutcome::kRewriteBeside;
    }
    return MoveAsideIntoPlace(files, paths);
  }
  // Stopped before the start-up file was touched: the backup still holds its
  // bytes, and is kept as it is.
  if (FilesMatch(files, paths.startup, paths.backup)) {
    if (!files.Remove(paths.aside)) return RewriteOutcome::kUnsettled;
    return RewriteFromBackup(files, paths, rule);
  }
  if (!HoldsCompleteRewrite(files, paths, rule)) return RewriteOutcome::kUnsettled;
  switch (CompareFiles(files, paths.startup, paths.aside)) {
    case Comparison::kSame:
      // Stopped after the copy into place, before the aside file went.
      files.Remove(paths.aside);
      return RewriteOutcome::kRewritten;
    case Comparison::kFirstIsCutShort:
      // Stopped while the rewrite was copied into place: every byte the
      // start-up file holds is in the aside file.
      return files.Remove(paths.startup) ? MoveAsideIntoPlace(files, paths) : RewriteOutcome::kUnsettled;
    case Comparison::kDifferent:
      break;
  }
  return RewriteOutcome::kUnsettled;
}

}  // namespace vx
