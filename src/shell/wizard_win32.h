// The fixed order of the setup's dialogs.
#pragma once

namespace vx {

// Runs the wizard once. Returns 1 when the user chose to restart at the end,
// otherwise 0.
int RunWizard();

}  // namespace vx
