// The line rules of the rewritten start-up files: which lines of win.ini and
// autoexec.bat are turned into comments, and with which prefix.
//
// A rule looks at the test copy of a line: the line with A to Z lowered and
// every other byte as it was, so that every test is a plain substring search
// for a lower-case pattern and ignores the case of A to Z only. The test copy
// reaches the rule in pieces (a line may be far longer than one read), and a
// pattern may straddle two pieces; the rule answers once the whole line has
// been seen, so a line is one line to it whatever its length.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace vx {

struct NameEntry {
  const char* name;
};

// Programs of other mouse software that win.ini's [windows] section may load
// (load= and run= lines). Lower case; matched anywhere in a line, also inside a
// longer name.
inline constexpr NameEntry MouseProgramNames[] = {
    {"point32.exe"},   // Microsoft IntelliPoint for Windows 95
    {"mswheel.exe"},   // Microsoft IntelliPoint 2, wheel support
    {"ipoint.exe"},    // Microsoft IntelliPoint, later versions
    {"pointer.exe"},   // Microsoft Mouse 9 for Windows 3.1
    {"mousemgr.exe"},  // Microsoft Mouse Manager
    {"em_exec.exe"},   // Logitech MouseWare
    {"logi_mwx.exe"},  // Logitech MouseWare launcher
    {"kmw_run.exe"},   // Kensington MouseWorks
    {"amoumain.exe"},  // A4Tech mouse utility
    {"syntpenh.exe"},  // Synaptics TouchPad enhancements
    {"apoint.exe"},    // Alps GlidePoint
};

// DOS mouse drivers that autoexec.bat may load. Lower-case base names; matched
// anywhere in a line. "mouse" alone makes every line with those five letters
// match: a MOUSE directory, a SET MOUSE= line, a path naming such a directory.
inline constexpr NameEntry DosMouseDriverNames[] = {
    {"mouse"},     // Microsoft, Logitech and most others
    {"ctmouse"},   // CuteMouse
    {"ctms"},      // CuteMouse 1.x, its serial driver family
    {"gmouse"},    // Genius
    {"msmouse"},   // Mouse Systems, early drivers
    {"mscmouse"},  // Mouse Systems
    {"imouse"},    // Kensington
    {"lmouse"},    // Logitech
    {"logimous"},  // Logitech LogiMouse
    {"amouse"},    // A4Tech
};

// The longest pattern any rule searches for. A pattern can straddle two pieces
// of a line, so this many characters minus one are carried from one piece to
// the next.
constexpr size_t kLongestPattern = 16;

// Searches a line that arrives in pieces for up to 32 fixed patterns at once.
class PatternFinder {
 public:
  // Adds a pattern (at most kLongestPattern bytes, kept by pointer) and returns
  // its bit in Found(); 0 when the finder is full.
  uint32_t Add(const char* pattern);

  // Forgets the line seen so far.
  void StartLine();

  // Looks at the next `length` bytes of the line; NUL bytes are plain bytes.
  void Scan(const char* text, size_t length);

  // The bits of the patterns that occurred in the line so far.
  uint32_t Found() const { return found_; }

 private:
  void ScanWindow(const char* window, size_t length);

  static constexpr size_t kMaxPatterns = 32;
  static constexpr size_t kCarry = kLongestPattern - 1;
  static constexpr size_t kChunk = 256;

  const char* patterns_[kMaxPatterns]{};
  size_t lengths_[kMaxPatterns]{};
  size_t count_ = 0;
  // For each byte value, the patterns that begin with it.
  uint32_t startingWith_[256]{};
  uint32_t found_ = 0;
  char carry_[kCarry]{};
  size_t carryLength_ = 0;
};

class LineRule {
 public:
  // A new file begins: what earlier lines told the rule is forgotten.
  virtual void StartFile() = 0;
  // A new line begins.
  virtual void StartLine() = 0;
  // The next piece of the line's test copy.
  virtual void Scan(const char* testCopy, size_t length) = 0;
  // The line has been seen whole: the prefix to write before it, or nullptr.
  virtual const char* EndLine() = 0;

 protected:
  ~LineRule() = default;
};

// win.ini: inside a [windows] section, a line naming a program of
// MouseProgramNames becomes an INI comment. Any "[" in a line ends the section
// (before the line is tested), "[windows]" anywhere in a line starts one.
class WinIniRule final : public LineRule {
 public:
  WinIniRule();
  void StartFile() override { inWindowsSection_ = false; }
  void StartLine() override;
  void Scan(const char* testCopy, size_t length) override;
  const char* EndLine() override;

 private:
  PatternFinder finder_;
  uint32_t bracket_;
  uint32_t sectionHeader_;
  uint32_t programs_ = 0;
  bool inWindowsSection_ = false;
};

// autoexec.bat: a line naming a driver of DosMouseDriverNames becomes a remark,
// unless it contains "set path" or its first word is already "rem". Words are
// separated by the space character only.
class AutoexecRule final : public LineRule {
 public:
  AutoexecRule();
  // Each line is judged by itself.
  void StartFile() override {}
  void StartLine() override;
  void Scan(const char* testCopy, size_t length) override;
  const char* EndLine() override;

 private:
  PatternFinder finder_;
  uint32_t drivers_ = 0;
  uint32_t setPath_ = 0;
  // The first word, followed across pieces: leading spaces skipped, then the
  // word's bytes compared with "rem" as they come.
  bool inLeadingSpaces_ = true;
  bool wordEnded_ = false;
  size_t wordLength_ = 0;
  bool wordMatchesRem_ = true;
};

}  // namespace vx
