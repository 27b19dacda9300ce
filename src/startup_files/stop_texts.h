// What the user is told of a start-up file that a step did not update, or
// left otherwise than updated: a stop naming the file, what happened, and the
// files that hold its original and its new text, with what to do.
#pragma once

#include "startup_files/file_io.h"
#include "startup_files/replace_whole.h"
#include "startup_files/update_startup_files.h"

namespace vx {

// Shows the stop for `result`, if its outcome has one. A sentence that names a
// file is left out when that file does not exist, so the stop names only files
// that are there.
void ReportStep(FileSystem& files, StartupSystem& system, const StepPaths& paths, StepResult result);

}  // namespace vx
