// The start-up file pass as a whole: its steps, paths and backups, on files in
// memory and on real start-up files from public repositories.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "startup_file_doubles.h"
#include "startup_files/rewrite_rules.h"
#include "startup_files/update_startup_files.h"

namespace {

using vxtest::FakeStartupSystem;
using vxtest::MemoryFiles;
using vxtest::PosixFiles;
namespace fs = std::filesystem;

const std::string kWinIni = "[windows]\r\nload=C:\\MOUSE\\POINT32.EXE\r\nrun=\r\n[Desktop]\r\nload=point32.exe\r\n";
const std::string kWinIniRewritten =
    "[windows]\r\n;load=C:\\MOUSE\\POINT32.EXE\r\nrun=\r\n[Desktop]\r\nload=point32.exe\r\n";
const std::string kSystemIni = "[boot]\r\nmouse.drv=lmouse.drv\r\n[386Enh]\r\nmouse=lvmd.386\r\n";
const std::string kAutoexec = "@ECHO OFF\r\nLH C:\\MOUSE\\MOUSE.COM\r\nSET PATH=C:\\DOS;C:\\MOUSE\r\n";
const std::string kAutoexecRewritten = "@ECHO OFF\r\nrem LH C:\\MOUSE\\MOUSE.COM\r\nSET PATH=C:\\DOS;C:\\MOUSE\r\n";

// The entries go into a copy of system.ini, which is flushed from the
// system's profile cache; they are made once more to prove the file read back.
std::vector<std::string> EntryCalls(const std::string& path) {
  return {"profile " + path + " [boot] mouse.drv=mouse.drv", "profile " + path + " [386Enh] mouse=*vmouse",
          "profile " + path + " [386Enh] keyboard=*vkd", "flush " + path};
}

MemoryFiles StartupFilesIn(const std::string& windows) {
  MemoryFiles files;
  files.contents[windows + "\\win.ini"] = kWinIni;
  files.contents[windows + "\\system.ini"] = kSystemIni;
  files.contents["c:\\autoexec.bat"] = kAutoexec;
  return files;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(UpdateStartupFiles, RunsItsThreeStepsInOrder) {
  MemoryFiles files = StartupFilesIn("C:\\WINDOWS");
  FakeStartupSystem system(files, "C:\\WINDOWS");
  vx::UpdateStartupFiles(files, system);
  const std::vector<std::string> entries = EntryCalls("C:\\WINDOWS\\VXSYS.TMP");
  const std::vector<std::string> expected =
      Concat(Concat(Concat({"flush win.ini", "backup C:\\WINDOWS\\win.ini C:\\WINDOWS\\win.ulv", "flush win.ini",
                            "flush C:\\WINDOWS\\system.ini", "backup C:\\WINDOWS\\system.ini C:\\WINDOWS\\system.ulv"},
                           entries),
                    Concat({"flush C:\\WINDOWS\\system.ini"}, entries)),
             {"backup c:\\autoexec.bat c:\\autoexec.ulv"});
  EXPECT_EQ(system.calls, expected);
  EXPECT_EQ(files.contents["C:\\WINDOWS\\win.ini"], kWinIniRewritten);
  EXPECT_EQ(files.contents["C:\\WINDOWS\\win.ulv"], kWinIni);
  EXPECT_EQ(files.contents["C:\\WINDOWS\\system.ini"], kSystemIni);
  EXPECT_EQ(files.contents["C:\\WINDOWS\\system.ulv"], kSystemIni);
  EXPECT_EQ(files.contents["c:\\autoexec.bat"], kAutoexecRewritten);
  EXPECT_EQ(files.contents["c:\\autoexec.ulv"], kAutoexec);
  EXPECT_EQ(files.OpenHandles(), 0u);
}

// The backups are opened through an OFSTRUCT of 128 bytes: a Windows directory
// of 116 characters still takes "\system.ulv"; one that does not fit skips the
// steps that need it, system.ini's entries included.
TEST(UpdateStartupFiles, BuildsPathsForAnyWindowsDirectoryThatFits) {
  const std::string longest(116, 'w');
  struct Case {
    const char* name;
    std::string windows;
    bool directoryFails;
    bool winIniDone;
    bool systemIniDone;
  } cases[] = {
      {"a short directory", "D:\\WIN95", false, true, true},
      {"a directory with a trailing backslash", "C:\\", false, true, true},
      {"116 characters: every path fits", "C:\\" + longest.substr(3), false, true, true},
      {"117 characters: system.ulv does not fit", "C:\\" + longest.substr(2), false, true, false},
      {"120 characters: win.ulv does not fit", "C:\\" + longest + "w", false, false, false},
      {"no directory from the system", "C:\\WINDOWS", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFiles files = StartupFilesIn(c.windows);
    FakeStartupSystem system(files, c.windows);
    system.windowsDirectoryFails = c.directoryFails;
    vx::UpdateStartupFiles(files, system);
    EXPECT_EQ(files.contents[c.windows + "\\win.ini"], c.winIniDone ? kWinIniRewritten : kWinIni);
    EXPECT_EQ(files.contents.count(c.windows + "\\win.ulv"), c.winIniDone ? 1u : 0u);
    EXPECT_EQ(files.contents.count(c.windows + "\\system.ulv"), c.systemIniDone ? 1u : 0u);
    const auto entry = std::find(system.calls.begin(), system.calls.end(), EntryCalls(c.windows + "\\VXSYS.TMP")[0]);
    EXPECT_EQ(entry != system.calls.end(), c.systemIniDone);
    EXPECT_EQ(system.calls.back(), "backup c:\\autoexec.bat c:\\autoexec.ulv");
    EXPECT_EQ(files.contents["c:\\autoexec.bat"], kAutoexecRewritten);
  }
}

TEST(UpdateStartupFiles, AMissingStartUpFileIsLeftAloneAndTheOthersAreStillDone) {
  struct Case {
    const char* name;
    const char* missing;
    const char* noBackup;
  } cases[] = {
      {"no autoexec.bat", "c:\\autoexec.bat", "c:\\autoexec.ulv"},
      {"no win.ini", "C:\\WINDOWS\\win.ini", "C:\\WINDOWS\\win.ulv"},
      {"no system.ini", "C:\\WINDOWS\\system.ini", "C:\\WINDOWS\\system.ulv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFiles files = StartupFilesIn("C:\\WINDOWS");
    files.contents.erase(c.missing);
    FakeStartupSystem system(files, "C:\\WINDOWS");
    vx::UpdateStartupFiles(files, system);
    EXPECT_EQ(files.contents.count(c.missing), 0u);
    EXPECT_EQ(files.contents.count(c.noBackup), 0u);
    const bool noSystemIni = c.missing == std::string("C:\\WINDOWS\\system.ini");
    const std::string entry = EntryCalls("C:\\WINDOWS\\VXSYS.TMP")[0];
    EXPECT_EQ(std::count(system.calls.begin(), system.calls.end(), entry), noSystemIni ? 0 : 2);
    if (files.contents.count("c:\\autoexec.bat") != 0) {
      EXPECT_EQ(files.contents["c:\\autoexec.bat"], kAutoexecRewritten);
    }
    if (files.contents.count("C:\\WINDOWS\\win.ini") != 0) {
      EXPECT_EQ(files.contents["C:\\WINDOWS\\win.ini"], kWinIniRewritten);
    }
  }
}

TEST(UpdateStartupFiles, ASecondRunBacksUpTheFirstRunsResult) {
  MemoryFiles files = StartupFilesIn("C:\\WINDOWS");
  FakeStartupSystem system(files, "C:\\WINDOWS");
  vx::UpdateStartupFiles(files, system);
  vx::UpdateStartupFiles(files, system);
  EXPECT_EQ(files.contents["C:\\WINDOWS\\win.ulv"], kWinIniRewritten);
  EXPECT_EQ(files.contents["C:\\WINDOWS\\win.ini"],
            "[windows]\r\n;;load=C:\\MOUSE\\POINT32.EXE\r\nrun=\r\n[Desktop]\r\nload=point32.exe\r\n");
  EXPECT_EQ(files.contents["c:\\autoexec.ulv"], kAutoexecRewritten);
  EXPECT_EQ(files.contents["c:\\autoexec.bat"], kAutoexecRewritten);
}

TEST(UpdateStartupFiles, TheBackupKeepsWhatFollowsACtrlZ) {
  MemoryFiles files = StartupFilesIn("C:\\WINDOWS");
  const std::string withTail = kAutoexec +
                               "\x1a"
                               "garbage mouse\r\n";
  files.contents["c:\\autoexec.bat"] = withTail;
  FakeStartupSystem system(files, "C:\\WINDOWS");
  vx::UpdateStartupFiles(files, system);
  EXPECT_EQ(files.contents["c:\\autoexec.bat"], kAutoexecRewritten);
  EXPECT_EQ(files.contents["c:\\autoexec.ulv"], withTail);
}

class ScratchRoot {
 public:
  ScratchRoot() {
    char pattern[] = "/tmp/vx-startup-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ + "/c/windows");
  }
  ~ScratchRoot() { fs::remove_all(root_); }
  const std::string& path() const { return root_; }

 private:
  std::string root_;
};

std::vector<std::string> FixtureFiles(const char* folder) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::directory_iterator(fs::path(VX_FIXTURES_DIR) / folder)) {
    paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The text a text-mode stream delivers, with every CR LF made LF, cut into lines.
std::vector<std::string> TextLines(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size() && bytes[i] != '\x1a'; ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

template <size_t N>
bool NamesOneOf(const std::string& line, const vx::NameEntry (&table)[N]) {
  const std::string lowered = Lower(line);
  return std::any_of(std::begin(table), std::end(table),
                     [&](const vx::NameEntry& e) { return lowered.find(e.name) != std::string::npos; });
}

// Every rewritten line is the original line, or the original behind the rule's
// prefix on a line that names an entry of the rule's table. Returns how many
// lines got the prefix.
template <size_t N>
int ExpectSameTextApartFromPrefixes(const std::string& original, const std::string& rewritten,
                                    const std::string& prefix, const vx::NameEntry (&table)[N]) {
  EXPECT_EQ(rewritten.find('\x1a'), std::string::npos);
  for (size_t i = 0; i < rewritten.size(); ++i) {
    if (rewritten[i] == '\n') {
      EXPECT_TRUE(i > 0 && rewritten[i - 1] == '\r') << "a bare LF at " << i;
    }
  }
  const std::vector<std::string> before = TextLines(original);
  const std::vector<std::string> after = TextLines(rewritten);
  EXPECT_EQ(after.size(), before.size());
  int prefixed = 0;
  for (size_t i = 0; i < std::min(before.size(), after.size()); ++i) {
    if (after[i] == before[i]) continue;
    EXPECT_EQ(after[i], prefix + before[i]) << "line " << i + 1;
    EXPECT_TRUE(NamesOneOf(before[i], table)) << "line " << i + 1;
    ++prefixed;
  }
  return prefixed;
}

// The real files are extra material from the shared folder beside the checkout;
// a clone without it runs every other test.
TEST(UpdateStartupFilesOnRealFiles, RewritesEveryFixtureKeepingItsTextAndAnExactBackup) {
  if (!fs::is_directory(VX_FIXTURES_DIR)) GTEST_SKIP() << "no real start-up files at " VX_FIXTURES_DIR;
  const std::vector<std::string> winInis = FixtureFiles("winini");
  const std::vector<std::string> systemInis = FixtureFiles("systemini");
  const std::vector<std::string> autoexecs = FixtureFiles("autoexec");
  ASSERT_FALSE(winInis.empty());
  ASSERT_FALSE(systemInis.empty());
  ASSERT_FALSE(autoexecs.empty());
  const size_t runs = std::max({winInis.size(), systemInis.size(), autoexecs.size()});
  int remarks = 0;
  for (size_t run = 0; run < runs; ++run) {
    const std::string& winIni = winInis[run % winInis.size()];
    const std::string& systemIni = systemInis[run % systemInis.size()];
    const std::string& autoexec = autoexecs[run % autoexecs.size()];
    SCOPED_TRACE(winIni + ", " + systemIni + ", " + autoexec);
    ScratchRoot root;
    PosixFiles files(root.path());
    const std::string windows = "c:\\windows";
    const std::string originals[] = {vxtest::ReadHostFile(winIni), vxtest::ReadHostFile(systemIni),
                                     vxtest::ReadHostFile(autoexec)};
    vxtest::WriteHostFile(files.HostPath(windows + "\\win.ini"), originals[0]);
    vxtest::WriteHostFile(files.HostPath(windows + "\\system.ini"), originals[1]);
    vxtest::WriteHostFile(files.HostPath("c:\\autoexec.bat"), originals[2]);
    FakeStartupSystem system(files, windows);
    vx::UpdateStartupFiles(files, system);

    EXPECT_EQ(vxtest::ReadHostFile(files.HostPath(windows + "\\win.ulv")), originals[0]);
    EXPECT_EQ(vxtest::ReadHostFile(files.HostPath(windows + "\\system.ulv")), originals[1]);
    EXPECT_EQ(vxtest::ReadHostFile(files.HostPath("c:\\autoexec.ulv")), originals[2]);
    EXPECT_EQ(vxtest::ReadHostFile(files.HostPath(windows + "\\system.ini")), originals[1]);
    ExpectSameTextApartFromPrefixes(originals[0], vxtest::ReadHostFile(files.HostPath(windows + "\\win.ini")), ";",
                                    vx::MouseProgramNames);
    remarks += ExpectSameTextApartFromPrefixes(originals[2], vxtest::ReadHostFile(files.HostPath("c:\\autoexec.bat")),
                                               "rem ", vx::DosMouseDriverNames);
  }
  // The autoexec.bat fixtures load CuteMouse, GMOUSE and MOUSE.COM.
  EXPECT_GT(remarks, 10);
}

// A single line of 300 KB naming a driver only at its end, on real files: the
// remark goes in front and the line comes through whole.
TEST(UpdateStartupFilesOnRealFiles, AHugeLineIsOneLine) {
  ScratchRoot root;
  PosixFiles files(root.path());
  const std::string line = "echo " + std::string(300000, 'z') + " c:\\drv\\ctmouse.exe";
  vxtest::WriteHostFile(files.HostPath("c:\\autoexec.bat"), line + "\r\n@echo off\r\n");
  FakeStartupSystem system(files, "c:\\windows");
  vx::UpdateStartupFiles(files, system);
  EXPECT_EQ(vxtest::ReadHostFile(files.HostPath("c:\\autoexec.bat")), "rem " + line + "\r\n@echo off\r\n");
  EXPECT_FALSE(vxtest::HostFileExists(files.HostPath("c:\\windows\\win.ulv")));
}

}  // namespace
