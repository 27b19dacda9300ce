// The update dialog's two registry calls, over the system registry.
#pragma once

#include "registration/registry.h"

namespace vx {

// The system registry through ADVAPI32, every path under HKEY_LOCAL_MACHINE.
class Win32Registry final : public Registry {
 public:
  bool CreateKey(const char* path, RegistryKey* key) override;
  bool OpenKey(const char* path, RegistryKey* key) override;
  bool SetText(RegistryKey key, const char* name, const char* text) override;
  bool SetNoneValue(RegistryKey key, const char* name, uint32_t value) override;
  bool ReadText(RegistryKey key, const char* name, char* buffer, size_t capacity) override;
  bool EnumSubkey(RegistryKey key, uint32_t index, char* name, size_t capacity) override;
  EnumResult EnumValue(RegistryKey key, uint32_t index, RegistryValue* value) override;
  bool DeleteTree(const char* path) override;
  void Flush(RegistryKey key) override;
  void Close(RegistryKey key) override;
};

// Removes the stale root-enumerated PnP mouse device keys *PNP0F00 to *PNP0F9F.
void DeletePnpMouseKeys();

// Writes the settings, the Run value, the desktop shortcut and the driver's
// registration for the utility in setupState.installDir. Returns 0 or the number
// (1 to 29) of the step that failed.
int WriteRegistryEntries();

}  // namespace vx
