// The Windows 95 personality of the end-to-end bench (README.md beside this
// file): with VX_WIN95=1 in its environment the driver starts every Setup
// suspended, loads win95_personality.dll into it and only then lets it run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The box that OF_PROMPT brings for a missing file; its text names the file
// (wsprintf's %s). The documentation gives neither: the words are the layer's.
constexpr char kMissingFileCaption[] = "Cannot Find File";
constexpr char kMissingFileText[] = "The system cannot find the file\n%s.";

// Whether this run is under the personality (VX_WIN95=1); the first call names
// the layer's log in the environment that Setup inherits.
bool Win95Personality();

// Loads the layer into a process started suspended and resumes it once the
// layer's log says that it rewrote as many of Setup's imports as it models;
// otherwise the test fails and the process is ended.
bool LoadWin95Layer(const PROCESS_INFORMATION& process);

// What the layer wrote for the Setup started last: one line per answer it gave.
std::string Win95LayerLog();
// The lines of that log that contain `text`.
std::vector<std::string> Win95LogLines(const std::string& text);

// Waits until the layer holds Setup after deleting a file whose path ends with
// `suffix` (VX_WIN95_HOLD_AFTER_DELETE, given to Setup by the test); false
// after the time-out.
bool WaitForWin95Hold(const std::string& suffix, DWORD timeoutMs);

}  // namespace e2e
