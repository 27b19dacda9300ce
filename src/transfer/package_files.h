// The six files of the Vantrix package and the paths they are copied between.
//
// The copy dialog takes one row per timer tick: it reads the file from the
// directory the setup program was started from and expands it under its
// installed name into the row's destination directory. Everything here is plain
// text work so that the Windows side only fetches the directories and copies.
#pragma once

#include <stddef.h>

#include "shell/setup_state.h"

namespace vx {

// Where a package file goes.
enum class DestinationKind {
  kInstallDir,  // the utility's directory chosen in the destination dialog
  kSystemDir,   // the Windows system directory: the VxD
  kInfDir,      // the INF directory under the Windows directory: the driver's INF
  kWindowsDir,  // the Windows directory itself: the help file
};

struct PackageFile {
  const char* sourceName;     // on the disk; compressed files end in an underscore
  const char* installedName;  // in the destination directory
  DestinationKind destination;
};

constexpr int kPackageFileCount = 6;

// In copy order; the copy dialog's step is an index into this table.
// clang-format off
constexpr PackageFile PackageFiles[kPackageFileCount] = {
    {"vp95.ex_",    "vp95.exe",    DestinationKind::kInstallDir},
    {"vpicon.ex_",  "vpicon.exe",  DestinationKind::kInstallDir},
    {"vp95dll.dl_", "vp95dll.dll", DestinationKind::kInstallDir},
    {"vxmouse.vxd", "vxmouse.vxd", DestinationKind::kSystemDir},
    {"vxmouse.inf", "vxmouse.inf", DestinationKind::kInfDir},
    {"vxmouse.hlp", "vxmouse.hlp", DestinationKind::kWindowsDir},
};
// clang-format on

// The length of the longest name in one column of the table:
// LongestName(&PackageFile::installedName), say.
constexpr size_t LongestName(const char* PackageFile::*column) {
  size_t longest = 0;
  for (const PackageFile& file : PackageFiles) {
    size_t length = 0;
    while ((file.*column)[length] != '\0') ++length;
    if (length > longest) longest = length;
  }
  return longest;
}

// The directories a copy step starts from. A null pointer stands for a directory
// the system could not report whole; every path built on it counts as too long.
struct CopyRoots {
  const char* sourceDir;   // the program's directory with its trailing backslash
  const char* installDir;  // ends in a backslash
  const char* systemDir;   // as the system reports it, without a trailing backslash
  const char* windowsDir;  // as the system reports it, without a trailing backslash
};

// The two paths of one copy step, each opened through the LZ expansion service
// and so held within kOpenPathCapacity. A path that does not fit is left empty.
struct CopyPaths {
  char source[kOpenPathCapacity] = {};
  char destination[kOpenPathCapacity] = {};
};

// The directory part of the program's own path: everything up to and including
// the last backslash, so that "A:\SETUP.EXE" gives "A:\" and any other program
// name works as well. A bare file name gives the empty text, the current
// directory. Returns false, leaving `dir` empty, when the result does not fit.
bool SourceDirectoryOf(const char* modulePath, char* dir, size_t capacity);

// True when every package file's source path formed on `sourceDir` fits what
// the LZ expansion service can open. When it does not, the copy dialog asks for
// the directory's short form, which names the same files in fewer characters.
bool PackageSourcesFit(const char* sourceDir);

// The destination directory of `kind`, with its trailing backslash. Returns
// false, leaving `dir` empty, when it does not fit or its root is unknown.
bool DestinationDirectoryOf(DestinationKind kind, const CopyRoots& roots, char* dir, size_t capacity);

// Both paths of row `step`. Returns false when the step is past the table or
// either path would not fit; the copy dialog then skips the file, as it does a
// file that cannot be created, and the step still counts.
bool BuildCopyPaths(int step, const CopyRoots& roots, CopyPaths* paths);

}  // namespace vx
