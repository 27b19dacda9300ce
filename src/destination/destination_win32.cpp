#include "destination/destination_win32.h"

#include <windows.h>

#include "destination/path_rules.h"
#include "shell/bounded_text.h"

namespace vx {

namespace {

class SystemFreeSpace final : public FreeSpaceQuery {
 public:
  bool Figures(const char* root, uint32_t* sectorsPerCluster, uint32_t* freeClusters,
               uint32_t* bytesPerSector) override {
    // GetDiskFreeSpaceExA would report sizes over 2 GB, but the first release of
    // Windows 95 lacks it; the 2 GB that GetDiskFreeSpaceA reports at most are
    // plenty for this test.
    DWORD sectors = 0;
    DWORD bytes = 0;
    DWORD freeCount = 0;
    DWORD totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectors, &bytes, &freeCount, &totalClusters)) return false;
    *sectorsPerCluster = sectors;
    *freeClusters = freeCount;
    *bytesPerSector = bytes;
    return true;
  }
};

}  // namespace

bool HasEnoughFreeSpace(const char* root, const char* fallbackRoot) {
  SystemFreeSpace query;
  return DriveHasEnoughFreeSpace(query, root, fallbackRoot);
}

bool CreateOneDirectory(const char* path) {
  if (CreateDirectoryA(path, nullptr)) return true;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  // A file of that name also reports ERROR_ALREADY_EXISTS; the files could not
  // be copied into it, so only a directory counts.
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectoryLevels(char driveLetter, const char* pathText) {
  DirectoryLevels levels(driveLetter, pathText);
  while (levels.Next()) {
    if (!CreateOneDirectory(levels.Path())) return false;
  }
  return true;
}

bool IsPathMissing(const char* path) {
  // A directory named with a trailing backslash is reported as missing, so the
  // user is asked before anything happens to it; creating its levels then finds
  // them all present.
  const size_t length = TextLength(path);
  if (length > 0 && path[length - 1] == '\\') return true;
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace vx
