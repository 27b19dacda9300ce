// One file copy through the system's LZ expansion service (LZ32.DLL), shared by
// the copy dialog and the backups of the start-up files.
#pragma once

namespace vx {

// Copies `sourcePath` to `destinationPath`, expanding it if it was compressed
// with COMPRESS.EXE and copying it unchanged otherwise. A missing source makes
// the system ask the user to insert the disk (Retry/Cancel); the destination is
// created, or cut to zero length if it exists. Returns whether the source could
// be opened; whether the copy itself succeeded is not reported. Each path must
// fit in kOpenPathCapacity bytes: the service cannot open a longer one.
bool ExpandFile(const char* sourcePath, const char* destinationPath);

}  // namespace vx
