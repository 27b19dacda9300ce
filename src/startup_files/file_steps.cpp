#include "startup_files/file_steps.h"

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

}  // namespace

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

// The backup is made through the LZ expansion service, which reports only
// whether the start-up file opened: a backup that could not be created or
// stopped short, or a start-up file that the service took for a compressed one
// and expanded, shows up here.
bool FilesMatch(FileSystem& files, const char* firstPath, const char* secondPath) {
  return CompareFiles(files, firstPath, secondPath) == Comparison::kSame;
}

bool Exists(FileSystem& files, const char* path) { return files.Attributes(path) != kNoAttributes; }

bool CopyFileBytes(FileSystem& files, const char* sourcePath, const char* destinationPath, uint32_t attributes) {
  const FileHandle source = files.OpenForRead(sourcePath);
  if (source == kNoFile) return false;
  const FileHandle destination = files.OpenForWrite(destinationPath);
  if (destination == kNoFile) {
    files.Close(source);
    return false;
  }
  bool copied = attributes == kNoAttributes || files.SetAttributes(destinationPath, attributes);
  char block[kFileBlockSize];
  while (copied) {
    size_t count = 0;
    if (!files.Read(source, block, kFileBlockSize, &count)) copied = false;
    if (!copied || count == 0) break;
    copied = files.Write(destination, block, count);
  }
  copied = files.Flush(destination) && copied;
  copied = files.Close(destination) && copied;
  files.Close(source);
  return copied;
}

}  // namespace vx
