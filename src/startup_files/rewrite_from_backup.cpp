#include "startup_files/rewrite_from_backup.h"

#include "startup_files/text_stream.h"

namespace vx {
namespace {

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
                  TextWriter::Mode mode) {
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

}  // namespace

bool LineRewrite::Make(FileSystem& files, const char* backupPath, const char* destinationPath) {
  return WriteRewrite(files, backupPath, destinationPath, rule_, TextWriter::Mode::kWrite);
}

bool LineRewrite::IsIn(FileSystem& files, const char* backupPath, const char* path) {
  return WriteRewrite(files, backupPath, path, rule_, TextWriter::Mode::kCompare);
}

}  // namespace vx
