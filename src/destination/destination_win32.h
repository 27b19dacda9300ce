// The disk side of the destination dialog: free space, the existence of a path
// and the creation of directories.
#pragma once

namespace vx {

// True when the drive of `root` ("c:" or "d:\") has at least 500000 bytes free.
// When the system cannot report on `root`, `fallbackRoot` is asked if it is not
// null. A drive that cannot be queried (no disk, a lost network drive) is
// refused.
bool HasEnoughFreeSpace(const char* root, const char* fallbackRoot);

// Creates one directory. True when it was created or a directory of that name is
// already there; a file of that name is a failure.
bool CreateOneDirectory(const char* path);

// Creates every level of `pathText` on the drive, from the outermost in, and
// stops at the first that fails. Levels created before a failure stay.
bool CreateDirectoryLevels(char driveLetter, const char* pathText);

// True when nothing is found at `path`, so the user is asked whether to create
// it. A path that ends in a backslash counts as missing. A failure other than a
// missing file or directory asks nothing.
bool IsPathMissing(const char* path);

}  // namespace vx
