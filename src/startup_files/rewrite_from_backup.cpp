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

// True when both files open and hold the same bytes. The backup is made through
// the LZ expansion service, which reports only whether the start-up file opened:
// a backup that could not be created or stopped short, or a start-up file that
// the service took for a compressed one and expanded, shows up here.
bool FilesMatch(FileSystem& files, const char* firstPath, const char* secondPath) {
  const FileHandle first = files.OpenForRead(firstPath);
  if (first == kNoFile) return false;
  const FileHandle second = files.OpenForRead(secondPath);
  if (second == kNoFile) {
    files.Close(first);
    return false;
  }
  char firstBlock[kFileBlockSize];
  char secondBlock[kFileBlockSize];
  bool same = true;
  for (;;) {
    size_t firstCount = 0;
    size_t secondCount = 0;
    if (!ReadFull(files, first, firstBlock, kFileBlockSize, &firstCount) ||
        !ReadFull(files, second, secondBlock, kFileBlockSize, &secondCount) || firstCount != secondCount) {
      same = false;
      break;
    }
    for (size_t i = 0; i < firstCount && same; ++i) same = firstBlock[i] == secondBlock[i];
    if (!same || firstCount == 0) break;
  }
  files.Close(second);
  files.Close(first);
  return same;
}

// Copies the bytes of `sourcePath` over `destinationPath` unchanged.
bool CopyFileBytes(FileSystem& files, const char* sourcePath, const char* destinationPath) {
  const FileHandle source = files.OpenForRead(sourcePath);
  if (source == kNoFile) return false;
  const FileHandle destination = files.OpenForWrite(destinationPath);
  if (destination == kNoFile) {
    files.Close(source);
    return false;
  }
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

enum class WriteResult { kNotOpened, kWritten, kFailed };

// Writes the rewrite of `backupPath` to `destinationPath` and has it reach the
// disk. kWritten only when every write, the flush and the close succeeded.
WriteResult WriteRewrite(FileSystem& files, const char* backupPath, const char* destinationPath, LineRule& rule) {
  const FileHandle backup = files.OpenForRead(backupPath);
  if (backup == kNoFile) return WriteResult::kNotOpened;
  const FileHandle destination = files.OpenForWrite(destinationPath);
  if (destination == kNoFile) {
    files.Close(backup);
    return WriteResult::kNotOpened;
  }
  bool rewritten = false;
  {
    TextReader reader(files, backup);
    TextWriter writer(files, destination);
    rewritten = RewriteLines(reader, writer, rule);
  }
  rewritten = files.Flush(destination) && rewritten;
  rewritten = files.Close(destination) && rewritten;
  files.Close(backup);
  return rewritten ? WriteResult::kWritten : WriteResult::kFailed;
}

// Puts the complete new text in the start-up file's place.
bool PutInPlace(FileSystem& files, const RewritePaths& paths) {
  switch (files.ReplaceInOneStep(paths.aside, paths.startup)) {
    case ReplaceResult::kReplaced:
      return true;
    case ReplaceResult::kFailed:
      return false;
    case ReplaceResult::kNotSupported:
      break;
  }
  // Windows 95: between these two calls the start-up file is missing, while
  // its rewrite lies complete beside it and its original in the backup.
  return files.Remove(paths.startup) && files.Rename(paths.aside, paths.startup);
}

RewriteOutcome RewriteAsideOrInPlace(FileSystem& files, const RewritePaths& paths, LineRule& rule) {
  if (WriteRewrite(files, paths.backup, paths.aside, rule) == WriteResult::kWritten && PutInPlace(files, paths)) {
    return RewriteOutcome::kRewritten;
  }
  files.Remove(paths.aside);
  // No room for a second copy beside the start-up file: it is written in place,
  // from the backup that was just found whole.
  switch (WriteRewrite(files, paths.backup, paths.startup, rule)) {
    case WriteResult::kNotOpened:
      return RewriteOutcome::kLeftAlone;
    case WriteResult::kWritten:
      return RewriteOutcome::kRewritten;
    case WriteResult::kFailed:
      break;
  }
  // A start-up file cut short would leave the system without lines it needs at
  // the next start; the backup holds the original, which goes back in place.
  return CopyFileBytes(files, paths.backup, paths.startup) ? RewriteOutcome::kRestored : RewriteOutcome::kRestoreFailed;
}

}  // namespace

RewriteOutcome RewriteFromBackup(FileSystem& files, const RewritePaths& paths, LineRule& rule) {
  if (!FilesMatch(files, paths.startup, paths.backup)) return RewriteOutcome::kLeftAlone;
  // Replacing a file also gets past what keeps it from being written (a
  // read-only attribute): such a file is left alone, as the user set it.
  if (!files.Writable(paths.startup)) return RewriteOutcome::kLeftAlone;
  // The new file is made with ordinary attributes; autoexec.bat is at times
  // hidden or a system file, and stays so.
  const uint32_t attributes = files.Attributes(paths.startup);
  const RewriteOutcome outcome = RewriteAsideOrInPlace(files, paths, rule);
  if (attributes != kNoAttributes) files.SetAttributes(paths.startup, attributes);
  return outcome;
}

}  // namespace vx
