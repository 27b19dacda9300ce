// Fuzzes the start-up file rewriting: any bytes as the content of win.ini and
// of autoexec.bat, backed up and rewritten with their rules over files in
// memory that may hand back short reads and fail any one operation.
//
// Input: three header bytes, then the file's content.
//   byte 0      the most bytes one read returns; 0 for no limit
//   byte 1 & 2  a failure: bit 7 of byte 1 enables it, bit 6 makes every later
//               operation fail too, and the other 14 bits are the number of the
//               operation that fails
//
// What must hold, for each of the two rules:
// - without a failure the file is rewritten, and the rewritten file with its
//   prefixes taken away and CR LF read as LF is the content up to its first
//   Ctrl-Z with CR LF read as LF; a prefix stands only at the start of a line,
//   every line end is CR LF, and the lines that get a prefix are those the
//   rule picks, line by line, over the whole line whatever its length;
// - the backup holds the content byte for byte;
// - with a failure, the start-up file holds either that rewrite or its
//   original bytes, and no aside file is left; the outcome says which;
// - no file is left open.
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "startup_file_doubles.h"
#include "startup_files/replace_whole.h"
#include "startup_files/rewrite_rules.h"

namespace {

using vx::StepOutcome;
using vxfuzz::Check;
using vxfuzz::Printable;
using vxtest::FakeStartupSystem;
using vxtest::MemoryFiles;

constexpr size_t kHeaderSize = 3;
constexpr char kCtrlZ = 26;

// The rules as the user reads them, applied to whole lines of plain strings.
const std::vector<std::string> kMousePrograms = {"point32.exe",  "mswheel.exe",  "ipoint.exe",   "pointer.exe",
                                                 "mousemgr.exe", "em_exec.exe",  "logi_mwx.exe", "kmw_run.exe",
                                                 "amoumain.exe", "syntpenh.exe", "apoint.exe"};
const std::vector<std::string> kDosMouseDrivers = {"mouse",    "ctmouse", "ctms",   "gmouse",   "msmouse",
                                                   "mscmouse", "imouse",  "lmouse", "logimous", "amouse"};

bool ContainsAny(const std::string& text, const std::vector<std::string>& names) {
  return std::any_of(names.begin(), names.end(),
                     [&text](const std::string& name) { return text.find(name) != std::string::npos; });
}

std::string TestCopy(const std::string& line) {
  std::string copy = line;
  for (char& c : copy) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return copy;
}

struct RuleModel {
  const char* name;
  bool winIni;  // which of Setup's two rules the file has
  const char* startupPath;
  const char* backupPath;
  const char* asidePath;
  const char* prefix;
  // The prefix decision for one line's test copy; `state` carries the
  // [windows] section from line to line.
  bool (*picks)(const std::string& testCopy, bool* state);
};

bool WinIniPicks(const std::string& line, bool* inWindowsSection) {
  if (*inWindowsSection && line.find('[') != std::string::npos) *inWindowsSection = false;
  if (line.find("[windows]") != std::string::npos) *inWindowsSection = true;
  return *inWindowsSection && ContainsAny(line, kMousePrograms);
}

bool AutoexecPicks(const std::string& line, bool*) {
  if (!ContainsAny(line, kDosMouseDrivers)) return false;
  if (line.find("set path") != std::string::npos) return false;
  const size_t start = line.find_first_not_of(' ');
  const size_t end = line.find(' ', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start) != "rem";
}

const RuleModel kRules[] = {
    {"win.ini", true, "c:\\windows\\win.ini", "c:\\windows\\win.ulv", "c:\\windows\\VXWIN.TMP", ";", WinIniPicks},
    {"autoexec.bat", false, "c:\\autoexec.bat", "c:\\autoexec.ulv", "c:\\VXAUTO.TMP", "rem ", AutoexecPicks},
};

// CR LF read as LF, left to right, as a text-mode read does.
std::string CrLfAsLf(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const size_t stop = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, stop - start));
    start = stop;
  }
  return lines;
}

std::string LfAsCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The rewritten file that `content` must give under `rule`.
std::string ExpectedRewrite(const RuleModel& rule, const std::string& content) {
  const std::vector<std::string> lines = Lines(CrLfAsLf(content.substr(0, content.find(kCtrlZ))));
  std::string out;
  bool state = false;
  for (const std::string& line : lines) {
    if (rule.picks(TestCopy(line), &state)) out += rule.prefix;
    out += line;
  }
  return LfAsCrLf(out);
}

// The rewritten file's shape, seen on its own: only CR LF line ends, and line
// for line the input's line, alone or behind the prefix. Then the prefixes
// against the rule's picks.
void CheckRewritten(const RuleModel& rule, const std::string& content, const std::string& written) {
  const std::string context =
      std::string(rule.name) + "\ncontent: " + Printable(content) + "\nwritten: " + Printable(written);
  for (size_t i = 0; i < written.size(); ++i) {
    if (written[i] == '\n') Check(i > 0 && written[i - 1] == '\r', "every line end is written as CR LF", context);
  }
  const std::vector<std::string> in = Lines(CrLfAsLf(content.substr(0, content.find(kCtrlZ))));
  const std::vector<std::string> out = Lines(CrLfAsLf(written));
  Check(in.size() == out.size(), "no line is added or dropped", context);
  const std::string prefix = rule.prefix;
  bool state = false;
  for (size_t i = 0; i < in.size(); ++i) {
    const bool prefixed = out[i] == prefix + in[i];
    Check(prefixed || out[i] == in[i], "a line comes back whole, a prefix only at its start",
          context + "\nline " + std::to_string(i) + ": " + Printable(out[i]));
    Check(prefixed == rule.picks(TestCopy(in[i]), &state), "the prefixed lines are the rule's picks",
          context + "\nline " + std::to_string(i) + ": " + Printable(in[i]));
  }
  Check(written == ExpectedRewrite(rule, content), "the rewrite is the expected text", context);
}

void Run(const RuleModel& rule, const std::string& content, MemoryFiles& files, bool failureInjected) {
  const std::string context = std::string(rule.name) + "\ncontent: " + Printable(content);
  files.contents[rule.startupPath] = content;
  FakeStartupSystem system(files, "c:\\windows");
  // As the pass does: no rewrite when the start-up file cannot be opened.
  if (!system.BackupStartupFile(rule.startupPath, rule.backupPath)) {
    Check(failureInjected, "the start-up file opens", context);
    Check(files.contents[rule.startupPath] == content, "an unopened start-up file is left alone", context);
    return;
  }
  vx::WinIniRule winIni;
  vx::AutoexecRule autoexec;
  vx::LineRule& lineRule = rule.winIni ? static_cast<vx::LineRule&>(winIni) : autoexec;
  const StepOutcome outcome = vx::RewriteFromBackup(files, rule.startupPath, rule.backupPath, rule.asidePath, lineRule);
  Check(files.OpenHandles() == 0, "no file is left open", context);

  const std::string& startup = files.contents[rule.startupPath];
  const bool backupWhole = files.contents.count(rule.backupPath) != 0 && files.contents[rule.backupPath] == content;
  const std::string detail =
      context + "\noutcome " + std::to_string(static_cast<int>(outcome)) + "\nstart-up file: " + Printable(startup);
  if (!failureInjected) {
    Check(outcome == StepOutcome::kUpdated, "without a failure the file is rewritten", detail);
    Check(backupWhole, "the backup holds the content byte for byte", detail);
  }
  switch (outcome) {
    case StepOutcome::kUpdated:
      Check(backupWhole, "a rewrite stands only behind a whole backup", detail);
      CheckRewritten(rule, content, startup);
      break;
    case StepOutcome::kCopyNotWhole:
    case StepOutcome::kCopyNotOnDisk:
    case StepOutcome::kHeld:
    case StepOutcome::kNoRoom:
    case StepOutcome::kReplaceRefused:
      Check(startup == content, "a start-up file not updated keeps its bytes", detail);
      Check(files.failFromThenOn || files.contents.count(rule.asidePath) == 0, "no aside file is left", detail);
      break;
    default:
      Check(false, "a system that replaces in one step never leaves the file missing or unsettled", detail);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderSize) return 0;
  const std::string content(reinterpret_cast<const char*>(data + kHeaderSize), size - kHeaderSize);
  MemoryFiles files;
  if (data[0] != 0) files.readChunk = data[0];
  const bool failureInjected = (data[1] & 0x80) != 0;
  if (failureInjected) {
    files.failAt = static_cast<size_t>(data[1] & 0x3F) << 8 | data[2];
    files.failFromThenOn = (data[1] & 0x40) != 0;
  }
  // Both rules over the same bytes, one after the other as the pass runs them;
  // a failure numbered past the first file's operations lands in the second.
  for (const RuleModel& rule : kRules) Run(rule, content, files, failureInjected);
  return 0;
}
