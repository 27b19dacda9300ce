// Small steps over whole files that the start-up file pass takes through the
// file layer: comparing two files, copying one, asking whether one exists.
#pragma once

#include <stdint.h>

#include "startup_files/file_io.h"

namespace vx {

enum class Comparison { kSame, kFirstIsCutShort, kDifferent };

// Whether both files open and hold the same bytes, or the first holds only the
// beginning of the second (an empty first file included).
Comparison CompareFiles(FileSystem& files, const char* firstPath, const char* secondPath);

// True when both files open and hold the same bytes.
bool FilesMatch(FileSystem& files, const char* firstPath, const char* secondPath);

bool Exists(FileSystem& files, const char* path);

// Copies the bytes of `sourcePath` to `destinationPath`, which gets
// `attributes` (unless kNoAttributes) as soon as it is made, and has them
// reach the disk; true when every step succeeded.
bool CopyFileBytes(FileSystem& files, const char* sourcePath, const char* destinationPath, uint32_t attributes);

}  // namespace vx
