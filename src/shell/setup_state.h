// The values the wizard's dialogs share. The destination dialog writes installDir
// and expressSetup, the copy dialog reads installDir and advances copyStep, and
// the registry pass reads installDir to form the utility's program path.
#pragma once

#include <stddef.h>

namespace vx {

constexpr size_t kPathCapacity = 260;  // MAX_PATH: every path, terminator included

// The LZ expansion service (LZOpenFileA, like OpenFile) keeps the name of a file
// it opens in OFSTRUCT.szPathName, 128 bytes with the terminator
// (OFS_MAXPATHNAME): a path of 128 characters or more cannot be opened at all.
// Every path Setup copies from or to is built within this many bytes.
constexpr size_t kOpenPathCapacity = 128;

struct SetupState {
  char installDir[kPathCapacity];  // "c:\vx95\" or the custom directory, with a trailing backslash
  int expressSetup;                // 1 while the express installation is chosen
  int copyStep;                    // next row of the package file table; never reset
};

// Constant-initialised: SETUP.EXE has no global constructors.
extern SetupState setupState;

}  // namespace vx
