// The update dialog's two registry calls, over the system registry.
#pragma once

namespace vx {

// Removes the stale root-enumerated PnP mouse device keys *PNP0F00 to *PNP0F9F.
void DeletePnpMouseKeys();

// Writes the settings, the Run value, the desktop shortcut and the driver's
// registration for the utility in setupState.installDir. Returns 0 or the number
// (1 to 29) of the step that failed.
int WriteRegistryEntries();

}  // namespace vx
