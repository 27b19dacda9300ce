// The desktop shortcut to the utility, made through the shell's link object.
#pragma once

namespace vx {

// Writes "<Windows directory>\desktop\VX95.lnk", a shell link to `programPath`
// described as "Pimlet". Any failure leaves no shortcut and is not reported: the
// utility still starts through its Run entry.
void MakeDesktopShortcut(const char* programPath);

}  // namespace vx
