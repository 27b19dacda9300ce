// The few registry operations the update pass needs, behind an interface so the
// pass itself stays portable: SETUP.EXE supplies the ADVAPI32 version, the unit
// tests an in-memory tree. Every path is relative to HKEY_LOCAL_MACHINE, the only
// root the program writes.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace vx {

// An open key. Opaque to the pass: it only hands it back to the registry that
// produced it, and closes every key it opened.
using RegistryKey = uintptr_t;

// Value types as Windows numbers them.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;

// A value as EnumValue reads it. The buffers hold every value the pass writes;
// a longer name or data does not fit.
struct RegistryValue {
  char name[32];
  uint32_t type;
  uint8_t data[64];
  size_t size;
};

// What EnumValue found at an index.
enum class EnumResult { kValue, kEnd, kUnreadable };

class Registry {
 public:
  // Creates the key, with any missing parent keys, or opens it if it exists:
  // non-volatile, no class string, full access. False leaves `key` untouched.
  virtual bool CreateKey(const char* path, RegistryKey* key) = 0;

  // Opens an existing key with full access. False when it does not exist.
  virtual bool OpenKey(const char* path, RegistryKey* key) = 0;

  // Writes `text` as a REG_SZ value, its terminating NUL included in the data.
  virtual bool SetText(RegistryKey key, const char* name, const char* text) = 0;

  // Writes `value` as four little-endian bytes of type REG_NONE (type 0).
  virtual bool SetNoneValue(RegistryKey key, const char* name, uint32_t value) = 0;

  // Reads a value as text into `buffer` (capacity `capacity`, terminator
  // included). False when the value is missing or does not fit whole; the type
  // is not checked, as the driver's own values may be stored by any tool.
  virtual bool ReadText(RegistryKey key, const char* name, char* buffer, size_t capacity) = 0;

  // Copies the name of the `index`-th direct subkey into `name`. False once the
  // index runs past the last subkey, or when the name does not fit.
  virtual bool EnumSubkey(RegistryKey key, uint32_t index, char* name, size_t capacity) = 0;

  // Reads the `index`-th value of `key` into `value`: kEnd once the index runs
  // past the last value, kUnreadable when the value cannot be read whole.
  virtual EnumResult EnumValue(RegistryKey key, uint32_t index, RegistryValue* value) = 0;

  // Deletes the key with every key beneath it. False when it was not there or
  // could not be removed whole.
  virtual bool DeleteTree(const char* path) = 0;

  // Writes the key's changes to disk now.
  virtual void Flush(RegistryKey key) = 0;

  virtual void Close(RegistryKey key) = 0;

 protected:
  // Not virtual: SETUP.EXE has no operator delete, and nothing is ever deleted
  // through this interface.
  ~Registry() = default;
};

}  // namespace vx
