#include "transfer/package_files.h"

#include "shell/bounded_text.h"

namespace vx {
namespace {

// The directory a destination kind is built on; null when the system could not
// report it.
const char* RootOf(DestinationKind kind, const CopyRoots& roots) {
  switch (kind) {
    case DestinationKind::kInstallDir:
      return roots.installDir;
    case DestinationKind::kSystemDir:
      return roots.systemDir;
    case DestinationKind::kInfDir:  // the INF directory lies under the Windows directory
    case DestinationKind::kWindowsDir:
      return roots.windowsDir;
  }
  return nullptr;
}

// What follows the root. The install directory already ends in a backslash; the
// system's directories come without one.
const char* SuffixOf(DestinationKind kind) {
  switch (kind) {
    case DestinationKind::kInstallDir:
      return "";
    case DestinationKind::kSystemDir:
      return "\\";
    case DestinationKind::kInfDir:
      return "\\inf\\";
    case DestinationKind::kWindowsDir:
      return "\\";
  }
  return "";
}

// `directory` followed by `name` into `path`; an empty path when it does not fit
// or the directory is unknown.
bool JoinPath(char* path, size_t capacity, const char* directory, const char* name) {
  if (directory != nullptr && CopyText(path, capacity, directory) && AppendText(path, capacity, name)) return true;
  path[0] = '\0';
  return false;
}

}  // namespace

bool SourceDirectoryOf(const char* modulePath, char* dir, size_t capacity) {
  if (capacity == 0) return false;
  size_t length = 0;  // up to and including the last backslash
  for (size_t i = 0; modulePath[i] != '\0'; ++i) {
    if (modulePath[i] == '\\') length = i + 1;
  }
  if (length >= capacity) {
    dir[0] = '\0';
    return false;
  }
  for (size_t i = 0; i < length; ++i) dir[i] = modulePath[i];
  dir[length] = '\0';
  return true;
}

bool PackageSourcesFit(const char* sourceDir) {
  return TextLength(sourceDir) + LongestName(&PackageFile::sourceName) + 1 <= kOpenPathCapacity;
}

bool DestinationDirectoryOf(DestinationKind kind, const CopyRoots& roots, char* dir, size_t capacity) {
  if (capacity == 0) return false;
  return JoinPath(dir, capacity, RootOf(kind, roots), SuffixOf(kind));
}

bool BuildCopyPaths(int step, const CopyRoots& roots, CopyPaths* paths) {
  paths->source[0] = '\0';
  paths->destination[0] = '\0';
  if (step < 0 || step >= kPackageFileCount) return false;
  const PackageFile& file = PackageFiles[step];

  const bool sourceFits = JoinPath(paths->source, sizeof paths->source, roots.sourceDir, file.sourceName);
  char directory[kPathCapacity];
  const bool destinationFits = DestinationDirectoryOf(file.destination, roots, directory, kPathCapacity) &&
                               JoinPath(paths->destination, sizeof paths->destination, directory, file.installedName);
  return sourceFits && destinationFits;
}

}  // namespace vx
