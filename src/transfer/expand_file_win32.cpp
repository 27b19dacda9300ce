#include "transfer/expand_file_win32.h"

#include <windows.h>
#include <lzexpand.h>

#include "shell/setup_state.h"

namespace vx {

// The callers build every path within kOpenPathCapacity because OFSTRUCT holds
// no more.
static_assert(kOpenPathCapacity == OFS_MAXPATHNAME, "a path handed over must fit an OFSTRUCT");

bool ExpandFile(const char* sourcePath, const char* destinationPath) {
  LZStart();

  // OF_PROMPT makes the system itself ask for the disk when the source is
  // missing; Cancel there makes the open fail. LZOpenFileA takes a non-const
  // name but only reads it.
  OFSTRUCT sourceInfo;
  const INT source = LZOpenFileA(const_cast<char*>(sourcePath), &sourceInfo, OF_READ | OF_PROMPT);
  const bool sourceOpen = source >= 0;
  if (sourceOpen) {
    // OF_CREATE truncates an existing file, so an older copy is fully replaced.
    OFSTRUCT destinationInfo;
    const INT destination = LZOpenFileA(const_cast<char*>(destinationPath), &destinationInfo, OF_CREATE | OF_PROMPT);
    if (destination >= 0) {
      LZCopy(source, destination);
      LZClose(destination);
    }
    LZClose(source);
  }

  LZDone();
  return sourceOpen;
}

}  // namespace vx
