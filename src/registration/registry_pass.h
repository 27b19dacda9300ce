// The registry pass of the update dialog: the utility's default settings, its Run
// entry, the desktop shortcut and the mouse driver's Plug and Play registration.
#pragma once

#include <stddef.h>

#include "registration/registry.h"

namespace vx {

// Makes the desktop shortcut to the utility. The pass calls it once, between the
// Run value and the driver registration; whatever happens inside never changes
// the pass's result.
class ShortcutMaker {
 public:
  virtual void MakeShortcut(const char* programPath) = 0;

 protected:
  ~ShortcutMaker() = default;
};

// The program path's buffer: MAX_PATH, terminator included.
constexpr size_t kProgramPathCapacity = 260;

// Removes the 160 root-enumerated mouse device keys "Enum\Root\*PNP0F00" to
// "Enum\Root\*PNP0F9F", each with its device instances. Missing keys are passed
// over; nothing is reported.
void DeletePnpMouseKeys(Registry& registry);

// Runs the whole pass. `installDir` ends with a backslash; the utility is
// "vp95.exe" in it. Returns 0, or the number (1 to 29) of the first step that
// failed; the steps before it stay written and no key is left open.
int WriteRegistryEntries(Registry& registry, const char* installDir, ShortcutMaker& shortcut);

}  // namespace vx
