// What the tests of the update pass arrange and read back: registry values of
// any type, start-up files with their line ends, INI entries, and programs of the
// Linux side of the bench that read what Setup wrote.
#pragma once

#include <windows.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "harness/bench.h"
#include "harness/system_state.h"

namespace e2e {

// Continue in an express INSTOPTION; the copy and the update pass then run by
// themselves. False when INSTOPTION did not appear.
bool StartExpressInstallation(SetupProcess& setup);

// The bytes a REG_SZ value holds: the text and its terminating NUL.
std::string Sz(const std::string& text);

// Writes a value of any type under HKEY_LOCAL_MACHINE, creating the key first.
bool SetValue(const std::string& path, const std::string& name, DWORD type, const std::string& bytes);
// Creates a key that lives in memory only. The registry refuses to create a
// non-volatile key beneath it.
bool CreateVolatileKey(const std::string& path);
// Every value of a key by name; empty when the key does not exist.
std::map<std::string, RegValue> AllValues(const std::string& path);

// The Linux path of a file of the prefix; "" when the driver is not run by Wine.
std::string UnixPath(const std::string& windowsPath);

// A Linux program run from inside Wine, which can start Linux executables
// through CreateProcess but gives no handle to wait on: the program runs under
// /bin/sh, which moves its output into place once it has ended.
struct UnixRun {
  bool finished = false;  // started and ended within the time-out
  int status = -1;        // its exit status
  std::string output;     // standard output and standard error together
};
UnixRun RunUnixProgram(const std::vector<std::string>& argv, DWORD timeoutMs = kWaitMs);

// The text with every line end, LF or CR LF, written as CR LF.
std::string WithCrLf(const std::string& text);
// The lines of a text, each with its own line end; a last line without one too.
std::vector<std::string> SplitLines(const std::string& text);

// One line of an INI file that is not blank: a key and its value, or a line
// without "=" (a comment) as its key with no value. Spaces around names and
// values are dropped, since the system's profile writer does not keep them.
struct IniEntry {
  std::string section;  // as written, without the brackets; "" before the first
  std::string key;
  std::string value;
  bool hasValue = false;
  bool operator==(const IniEntry& other) const;
};
std::ostream& operator<<(std::ostream& out, const IniEntry& entry);
std::vector<IniEntry> IniEntries(const std::string& text);
// Gives `key` of `section` (names compared without regard to case) the value,
// where the key is, or at the end of its section, or in a new section at the
// end: what the profile functions do.
void SetIniEntry(std::vector<IniEntry>* entries, const std::string& section, const std::string& key,
                 const std::string& value);

}  // namespace e2e
