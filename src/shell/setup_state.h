// The values the wizard's dialogs share. The destination dialog writes installDir
// and expressSetup, the copy dialog reads installDir and advances copyStep, and
// the registry pass reads installDir to form the utility's program path.
#pragma once

#include <stddef.h>

namespace vx {

constexpr size_t kPathCapacity = 260;  // MAX_PATH: every path, terminator included

struct SetupState {
  char installDir[kPathCapacity];  // "c:\vx95\" or the custom directory, with a trailing backslash
  int expressSetup;                // 1 while the express installation is chosen
  int copyStep;                    // next row of the package file table; never reset
};

// Constant-initialised: SETUP.EXE has no global constructors.
extern SetupState setupState;

}  // namespace vx
