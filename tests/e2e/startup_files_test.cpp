// The start-up file pass on the real SETUP.EXE under Wine: win.ini, system.ini
// and c:\autoexec.bat placed before Setup runs, their backups, and what each
// file holds afterwards, with hand-written files and with real ones.
//
// The real ones are read from drive F:, whose root holds the folders winini\,
// systemini\ and autoexec\. scripts/wine-bench.sh maps F: to the shared
// fixtures folder beside the checkout when there is one; any other runner maps
// a drive F: of its own the same way. Without F: that test is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "harness/bench.h"
#include "harness/install_steps.h"
#include "harness/system_state.h"
#include "harness/update_steps.h"
#include "harness/wizard_steps.h"
#include "win95/layer.h"

namespace e2e {
namespace {

constexpr char kAutoexecBat[] = "C:\\autoexec.bat";
constexpr char kAutoexecUlv[] = "C:\\autoexec.ulv";
constexpr char kFixtures[] = "F:\\";

std::string WinIni() { return WindowsDir() + "\\win.ini"; }
std::string WinUlv() { return WindowsDir() + "\\win.ulv"; }
std::string SystemIni() { return WindowsDir() + "\\system.ini"; }
std::string SystemUlv() { return WindowsDir() + "\\system.ulv"; }

// More than one read of the rewriting takes, with a name to find at its end.
std::string LongValue() { return std::string(300, 'x'); }

// win.ini: the [windows] section under various spellings, lines of programs
// that other mouse software loads, some with LF line ends only, a line longer
// than one read, and a last line without a line end before a Ctrl-Z.
std::string PlacedWinIni() {
  return "; profile of a test machine\r\n"
         "[Windows]\r\n"
         "load=C:\\MOUSE\\POINT32.EXE\r\n"
         "run=notepad.exe\r\n"
         "Run=c:\\progra~1\\logitech\\mouseware\\system\\EM_EXEC.EXE logi_mwx.exe\n"
         ";load=ipoint.exe\n"
         "device=HP LaserJet,HPPCL,LPT1:\r\n"
         "load2=c:\\tools\\mypoint32.exe.bak\r\n"
         "NullPort=[None]\r\n"
         "run=apoint.exe\r\n"
         "\r\n"
         "[Extensions]\r\n"
         "txt=C:\\MOUSE\\POINT32.EXE ^.txt\r\n"
         "\n"
         "; the utility loads from [windows] too\n"
         "run=kmw_run.exe\n"
         "[fonts]\r\n"
         "Arial (TrueType)=ARIAL.TTF\r\n"
         "[WINDOWS]\r\n"
         "load=" +
         LongValue() +
         " c:\\ms\\SYNTPENH.EXE\r\n"
         "run=pointer.exe"
         "\x1a"
         "load=mousemgr.exe\r\n";
}

std::string ExpectedWinIni() {
  return "; profile of a test machine\r\n"
         "[Windows]\r\n"
         ";load=C:\\MOUSE\\POINT32.EXE\r\n"
         "run=notepad.exe\r\n"
         ";Run=c:\\progra~1\\logitech\\mouseware\\system\\EM_EXEC.EXE logi_mwx.exe\r\n"
         ";;load=ipoint.exe\r\n"
         "device=HP LaserJet,HPPCL,LPT1:\r\n"
         ";load2=c:\\tools\\mypoint32.exe.bak\r\n"
         "NullPort=[None]\r\n"
         "run=apoint.exe\r\n"
         "\r\n"
         "[Extensions]\r\n"
         "txt=C:\\MOUSE\\POINT32.EXE ^.txt\r\n"
         "\r\n"
         "; the utility loads from [windows] too\r\n"
         ";run=kmw_run.exe\r\n"
         "[fonts]\r\n"
         "Arial (TrueType)=ARIAL.TTF\r\n"
         "[WINDOWS]\r\n"
         ";load=" +
         LongValue() +
         " c:\\ms\\SYNTPENH.EXE\r\n"
         ";run=pointer.exe";
}

// system.ini naming another mouse driver, its [386Enh] without a keyboard.
std::string PlacedSystemIni() {
  return "[boot]\r\n"
         "shell=Explorer.exe\r\n"
         "mouse.drv=other.drv\r\n"
         "display.drv=pnpdrvr.drv\r\n"
         "\r\n"
         "[386Enh]\r\n"
         "mouse=*msmouse\r\n"
         "device=*vshare\r\n"
         "device=*dynapage\r\n"
         "ebios=*ebios\r\n"
         "\r\n"
         "[drivers]\n"
         "wave=mmsndr.drv\n"
         "timer=timer.drv\n";
}

// autoexec.bat: DOS mouse drivers loaded and named in many ways, remarks,
// search paths, LF line ends in part, a long line, no line end at the end.
std::string PlacedAutoexecBat() {
  return "@ECHO OFF\r\n"
         "PROMPT $P$G\r\n"
         "C:\\MOUSE\\MOUSE.COM /Y\r\n"
         "LH C:\\DOS\\CTMOUSE.EXE /R2\r\n"
         "REM C:\\MOUSE\\MOUSE.COM\r\n"
         "   rem lh gmouse.com\r\n"
         "Rem\tC:\\MOUSE\\MOUSE.COM\r\n"
         "@rem C:\\LOGITECH\\LMOUSE.COM\n"
         ":: C:\\MOUSE\\MOUSE.COM\r\n"
         "remark.exe c:\\mouse\\on.com\r\n"
         "SET PATH=C:\\DOS;C:\\MOUSE;C:\\WINDOWS\r\n"
         "PATH C:\\DOS;C:\\MOUSE\n"
         "SET  PATH=C:\\MOUSE\r\n"
         "SET MOUSE=C:\\MOUSE\r\n"
         "SET TEMP=C:\\TEMP\r\n"
         "\r\n"
         "ECHO " +
         LongValue() +
         " MOUSE.COM\r\n"
         "C:\\WINDOWS\\WIN.COM";
}

std::string ExpectedAutoexecBat() {
  return "@ECHO OFF\r\n"
         "PROMPT $P$G\r\n"
         "rem C:\\MOUSE\\MOUSE.COM /Y\r\n"
         "rem LH C:\\DOS\\CTMOUSE.EXE /R2\r\n"
         "REM C:\\MOUSE\\MOUSE.COM\r\n"
         "   rem lh gmouse.com\r\n"
         "rem Rem\tC:\\MOUSE\\MOUSE.COM\r\n"
         "rem @rem C:\\LOGITECH\\LMOUSE.COM\r\n"
         "rem :: C:\\MOUSE\\MOUSE.COM\r\n"
         "rem remark.exe c:\\mouse\\on.com\r\n"
         "SET PATH=C:\\DOS;C:\\MOUSE;C:\\WINDOWS\r\n"
         "rem PATH C:\\DOS;C:\\MOUSE\r\n"
         "rem SET  PATH=C:\\MOUSE\r\n"
         "rem SET MOUSE=C:\\MOUSE\r\n"
         "SET TEMP=C:\\TEMP\r\n"
         "\r\n"
         "rem ECHO " +
         LongValue() +
         " MOUSE.COM\r\n"
         "C:\\WINDOWS\\WIN.COM";
}

// What the profile functions make of a system.ini: these three entries set,
// every other entry as it was.
std::vector<IniEntry> WithMouseEntries(const std::string& systemIni) {
  std::vector<IniEntry> entries = IniEntries(systemIni);
  SetIniEntry(&entries, "boot", "mouse.drv", "mouse.drv");
  SetIniEntry(&entries, "386Enh", "mouse", "*vmouse");
  SetIniEntry(&entries, "386Enh", "keyboard", "*vkd");
  return entries;
}

// A real autoexec.bat with its line ends made CR LF, "rem " in front of the
// lines with these numbers (from 1), every other line as it was.
std::string WithRemarks(const std::string& original, const std::vector<int>& prefixed) {
  std::string text;
  int number = 0;
  for (const std::string& line : SplitLines(original)) {
    ++number;
    for (int wanted : prefixed) {
      if (wanted == number) text += "rem ";
    }
    text += WithCrLf(line);
  }
  return text;
}

std::string Fixture(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(ReadBytes(kFixtures + name, &bytes)) << "fixture " << name << " cannot be read through F:";
  return bytes;
}

// Another program's handle on a file, letting others read it but not write it.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;

 private:
  HANDLE handle_;
};

// A win.ini of 32 MB, so that its rewrite lasts long enough to be caught, and
// what Setup makes of it.
constexpr size_t kFillerLines = 32768;
std::string FillerLine(size_t number) { return "key" + std::to_string(number) + "=" + std::string(1000, 'f') + "\r\n"; }
std::string LargeWinIni(const char* load) {
  std::string text = std::string("[windows]\r\n") + load + "\r\n[filler]\r\n";
  text.reserve(kFillerLines * 1012);
  for (size_t i = 0; i < kFillerLines; ++i) text += FillerLine(i);
  return text;
}

// The size of a file; -1 when there is none.
LONGLONG FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// True when the file cannot be opened for writing, as Setup opens it.
bool WriteRefused(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  CloseHandle(file);
  return false;
}

constexpr char kHeldStop[] =
    " was not updated: it is read-only, or another program has it open. Close other programs, then run Setup again.";

class StartupFiles : public testing::Test {
 protected:
  void SetUp() override { ResetSystem(); }
  // A read-only win.ini would keep the next test's reset from writing it.
  void TearDown() override { SetFileAttributesA(WinIni().c_str(), FILE_ATTRIBUTE_NORMAL); }

  static void Place(const std::string& winIni, const std::string& systemIni, const std::string& autoexecBat) {
    ASSERT_TRUE(WriteBytes(WinIni(), winIni));
    ASSERT_TRUE(WriteBytes(SystemIni(), systemIni));
    ASSERT_TRUE(WriteBytes(kAutoexecBat, autoexecBat));
  }

  // A whole express installation, the update pass included; Setup is ended at
  // SUCCESSDLG. The stops the pass shows are read and answered with OK;
  // nothing else may ask anything on the way.
  static void InstallAnsweringStops(std::vector<std::string>* stops) {
    SetupProcess setup;
    ASSERT_TRUE(StartExpressInstallation(setup));
    const DWORD start = GetTickCount();
    for (;;) {
      const auto dialogs = VisibleDialogs(setup.pid());
      if (dialogs.size() == 1 && dialogs.front().second == "Setup Complete!") break;
      ASSERT_LT(GetTickCount() - start, Scaled(60000)) << "no SUCCESSDLG";
      const MessageBoxInfo box = WaitForMessageBox(setup.pid(), "Stop", 50);
      if (box.window == nullptr) continue;
      stops->push_back(box.text);
      Press(box.window, IDOK);
      WaitUntilGone(box.window);
    }
  }
  static void Install() {
    std::vector<std::string> stops;
    ASSERT_NO_FATAL_FAILURE(InstallAnsweringStops(&stops));
    EXPECT_EQ(stops, std::vector<std::string>());
  }
};

TEST_F(StartupFiles, AllThreeAreBackedUpAndRewritten) {
  ASSERT_NO_FATAL_FAILURE(Place(PlacedWinIni(), PlacedSystemIni(), PlacedAutoexecBat()));
  // autoexec.bat is at times hidden and a system file, and stays so.
  constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesA(kAutoexecBat, kHiddenSystem));
  ASSERT_EQ(GetFileAttributesA(kAutoexecBat) & kHiddenSystem, kHiddenSystem);
  ASSERT_NO_FATAL_FAILURE(Install());
  EXPECT_EQ(GetFileAttributesA(kAutoexecBat) & kHiddenSystem, kHiddenSystem);

  EXPECT_EQ(ReadBytesOrEmpty(WinUlv()), PlacedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(SystemUlv()), PlacedSystemIni());
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecUlv), PlacedAutoexecBat());

  EXPECT_EQ(ReadBytesOrEmpty(WinIni()), ExpectedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecBat), ExpectedAutoexecBat());
  // The profile functions may write the whole file anew in their own layout;
  // on Windows 95 only once Setup flushes them (the layer's log).
  EXPECT_EQ(IniEntries(ReadBytesOrEmpty(SystemIni())), WithMouseEntries(PlacedSystemIni()))
      << (Win95Personality() ? Win95LayerLog() : "");
}

TEST_F(StartupFiles, RealFilesOfOtherSetups) {
  if (!DirectoryExists(kFixtures)) GTEST_SKIP() << "no drive F: with real start-up files";
  struct Case {
    const char* winIni;  // a control: it names none of the programs
    const char* systemIni;
    const char* autoexecBat;
    std::vector<int> autoexecRemarks;
  };
  const Case cases[] = {
      // LF line ends throughout. GMOUSE, MOUSE.COM loaded high or from a
      // directory; a REM line naming LMOUSE stays.
      {"winini/05-peymanx-msdos-tools.ini",
       "systemini/01-joncampbell123-win31igdrv.ini",
       "autoexec/01-zxcoupe-uniboot.bat",
       {42, 88, 105, 119, 130, 140, 158}},
      // CR LF; bytes above 127 in remarks; an ECHO line naming MOUSE, and a
      // remark that loads it already.
      {"winini/02-subhankar-windows31.ini",
       "systemini/02-peymanx-msdos-tools.ini",
       "autoexec/06-ovvladimir-dos622-cp866.bat",
       {13, 26}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.autoexecBat);
    ResetSystem();
    const std::string winIni = Fixture(c.winIni);
    const std::string systemIni = Fixture(c.systemIni);
    const std::string autoexecBat = Fixture(c.autoexecBat);
    ASSERT_NO_FATAL_FAILURE(Place(winIni, systemIni, autoexecBat));
    ASSERT_NO_FATAL_FAILURE(Install());

    EXPECT_EQ(ReadBytesOrEmpty(WinUlv()), winIni);
    EXPECT_EQ(ReadBytesOrEmpty(SystemUlv()), systemIni);
    EXPECT_EQ(ReadBytesOrEmpty(kAutoexecUlv), autoexecBat);
    EXPECT_EQ(ReadBytesOrEmpty(WinIni()), WithCrLf(winIni));
    EXPECT_EQ(ReadBytesOrEmpty(kAutoexecBat), WithRemarks(autoexecBat, c.autoexecRemarks));
    EXPECT_EQ(IniEntries(ReadBytesOrEmpty(SystemIni())), WithMouseEntries(systemIni));
  }
}

TEST_F(StartupFiles, WithoutAutoexecBatNothingIsMadeOnDriveC) {
  ASSERT_TRUE(WriteBytes(WinIni(), PlacedWinIni()));
  ASSERT_TRUE(WriteBytes(SystemIni(), PlacedSystemIni()));
  DeleteFileA(kAutoexecBat);  // left by the reset under the Windows 95 personality
  ASSERT_FALSE(FileExists(kAutoexecBat));
  if (Win95Personality()) {
    // Windows 95 asks about the missing file, since its backup's open carries
    // OF_PROMPT; Cancel, and the rest of the pass is done without it.
    SetupProcess setup;
    ASSERT_TRUE(StartExpressInstallation(setup));
    std::vector<std::string> answered;
    ASSERT_NE(WaitForSuccessCancellingPrompts(setup, &answered), nullptr);
    EXPECT_EQ(answered, std::vector<std::string>{kMissingFileCaption});
  } else {
    // Wine's OpenFile asks nothing, and Install() sees no dialog.
    ASSERT_NO_FATAL_FAILURE(Install());
  }

  EXPECT_FALSE(FileExists(kAutoexecBat));
  EXPECT_FALSE(FileExists(kAutoexecUlv));
  EXPECT_EQ(ReadBytesOrEmpty(WinUlv()), PlacedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(WinIni()), ExpectedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(SystemUlv()), PlacedSystemIni());
  EXPECT_EQ(IniEntries(ReadBytesOrEmpty(SystemIni())), WithMouseEntries(PlacedSystemIni()));
}

TEST_F(StartupFiles, ReadOnlyWinIniKeepsItsContent) {
  ASSERT_NO_FATAL_FAILURE(Place(PlacedWinIni(), PlacedSystemIni(), PlacedAutoexecBat()));
  ASSERT_TRUE(SetFileAttributesA(WinIni().c_str(), FILE_ATTRIBUTE_READONLY));
  if (!WriteRefused(WinIni())) {
    GTEST_SKIP() << "Wine run by root lets a read-only file be opened for writing; "
                    "WinIniHeldOpenByAnotherProgramKeepsItsContent covers the refused write";
  }
  std::vector<std::string> stops;
  ASSERT_NO_FATAL_FAILURE(InstallAnsweringStops(&stops));
  EXPECT_EQ(stops, std::vector<std::string>{WinIni() + kHeldStop});

  EXPECT_EQ(ReadBytesOrEmpty(WinIni()), PlacedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(WinUlv()), PlacedWinIni());
  EXPECT_NE(GetFileAttributesA(WinIni().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(IniEntries(ReadBytesOrEmpty(SystemIni())), WithMouseEntries(PlacedSystemIni()));
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecBat), ExpectedAutoexecBat());
}

// Held open by another program, win.ini is named in a stop and keeps its bytes.
TEST_F(StartupFiles, WinIniHeldOpenByAnotherProgramKeepsItsContent) {
  ASSERT_NO_FATAL_FAILURE(Place(PlacedWinIni(), PlacedSystemIni(), PlacedAutoexecBat()));
  std::vector<std::string> stops;
  {
    HeldOpen other(WinIni());
    ASSERT_TRUE(WriteRefused(WinIni()));
    ASSERT_NO_FATAL_FAILURE(InstallAnsweringStops(&stops));
  }
  EXPECT_EQ(stops, std::vector<std::string>{WinIni() + kHeldStop});
  EXPECT_EQ(ReadBytesOrEmpty(WinIni()), PlacedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(WinUlv()), PlacedWinIni());
  // The other two files are treated all the same.
  EXPECT_EQ(IniEntries(ReadBytesOrEmpty(SystemIni())), WithMouseEntries(PlacedSystemIni()));
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecBat), ExpectedAutoexecBat());
}

TEST_F(StartupFiles, BackupThatCannotBeReplacedLeavesWinIniAlone) {
  // The backup of an earlier run, held open by another program: the new backup
  // cannot be written, and a rewrite from the old one would put its lines in
  // place of today's.
  const std::string stale = "[windows]\r\nload=from an older day\r\n";
  ASSERT_TRUE(WriteBytes(WinUlv(), stale));
  ASSERT_NO_FATAL_FAILURE(Place(PlacedWinIni(), PlacedSystemIni(), PlacedAutoexecBat()));
  std::vector<std::string> stops;
  {
    HeldOpen other(WinUlv());
    ASSERT_TRUE(WriteRefused(WinUlv()));
    ASSERT_NO_FATAL_FAILURE(InstallAnsweringStops(&stops));
  }
  EXPECT_EQ(stops, std::vector<std::string>{WinIni() + " was not updated: Setup could not make a whole copy of it."});
  EXPECT_EQ(ReadBytesOrEmpty(WinUlv()), stale);
  EXPECT_EQ(ReadBytesOrEmpty(WinIni()), PlacedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecBat), ExpectedAutoexecBat());
}

TEST_F(StartupFiles, SecondRunCommentsAgainAndKeepsTheFirstRunsOutput) {
  const std::string winIni = "[windows]\r\nload=point32.exe\nrun=notepad.exe\r\n";
  ASSERT_NO_FATAL_FAILURE(Place(winIni, PlacedSystemIni(), PlacedAutoexecBat()));
  ASSERT_NO_FATAL_FAILURE(Install());
  const std::string firstWinIni = ReadBytesOrEmpty(WinIni());
  const std::string firstSystemIni = ReadBytesOrEmpty(SystemIni());
  const std::string firstAutoexecBat = ReadBytesOrEmpty(kAutoexecBat);
  ASSERT_EQ(firstWinIni, "[windows]\r\n;load=point32.exe\r\nrun=notepad.exe\r\n");
  ASSERT_EQ(firstAutoexecBat, ExpectedAutoexecBat());

  ASSERT_NO_FATAL_FAILURE(Install());
  EXPECT_EQ(ReadBytesOrEmpty(WinUlv()), firstWinIni);
  EXPECT_EQ(ReadBytesOrEmpty(WinIni()), "[windows]\r\n;;load=point32.exe\r\nrun=notepad.exe\r\n");
  EXPECT_EQ(ReadBytesOrEmpty(SystemUlv()), firstSystemIni);
  EXPECT_EQ(IniEntries(ReadBytesOrEmpty(SystemIni())), IniEntries(firstSystemIni));
  // Every line the first run turned into a remark begins with "rem " now.
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecUlv), firstAutoexecBat);
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecBat), firstAutoexecBat);
  // The second run found its own class key and root device.
  EXPECT_EQ(SubkeyNames("System\\CurrentControlSet\\Services\\Class\\Mouse"), std::vector<std::string>{"0000"});
  EXPECT_EQ(SubkeyNames("Enum\\Root\\Mouse"), std::vector<std::string>{"0000"});
}

// Setup ended (TerminateProcess, as a crash or the reset button would end it)
// inside win.ini's step, then run again to the end, as a user does after a
// setup that died: the rerun makes no new backup over the original, which
// stays in win.ulv, puts the rewrite in win.ini, and leaves nothing of Setup's
// own in the Windows folder. Killed while the rewrite is written beside
// win.ini; and on Windows 95, 98 and Me (the layer holds Setup there) between
// the delete of win.ini and the rename of the rewrite.
TEST_F(StartupFiles, KilledWhileRewritingWinIniThenRunAgainLosesNothing) {
  struct Case {
    const char* name;
    // The layer holds Setup after deleting the file whose path ends so.
    const char* holdAfterDelete;
  } const cases[] = {
      {"while the rewrite is written", nullptr},
      {"between the delete and the rename", "\\win.ini"},
  };
  const std::string original = LargeWinIni("load=point32.exe");
  const std::string rewritten = LargeWinIni(";load=point32.exe");
  // The rewrite while it is written, and on 95, 98 and Me under its second
  // name before win.ini is deleted.
  const std::string aside = WindowsDir() + "\\VXWIN.TMP";
  const std::string renamed = WindowsDir() + "\\VXWIN.NEW";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.holdAfterDelete != nullptr && !Win95Personality()) continue;
    ResetSystem();
    ASSERT_NO_FATAL_FAILURE(Place(original, PlacedSystemIni(), PlacedAutoexecBat()));
    std::vector<std::string> windowsBefore = ListDirectory(WindowsDir());
    SetEnvironmentVariableA("VX_WIN95_HOLD_AFTER_DELETE", c.holdAfterDelete);
    {
      SetupProcess setup;
      SetEnvironmentVariableA("VX_WIN95_HOLD_AFTER_DELETE", nullptr);
      ASSERT_TRUE(StartExpressInstallation(setup));
      if (c.holdAfterDelete == nullptr) {
        // More than one byte: Setup opens the new file and cuts it at 0, and
        // Wine's server does that by writing a byte at the new end and cutting
        // the file back, so the file holds one byte for a moment before any of
        // the rewrite is written (a kill then found it empty).
        const DWORD start = GetTickCount();
        while (FileSize(aside) <= 1 && GetTickCount() - start < Scaled(60000)) Sleep(1);
      } else {
        EXPECT_TRUE(WaitForWin95Hold(c.holdAfterDelete, 60000)) << Win95LayerLog();
      }
      HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, setup.pid());
      ASSERT_NE(process, nullptr);
      ASSERT_TRUE(TerminateProcess(process, 1));
      WaitForSingleObject(process, Scaled(kWaitMs));
      CloseHandle(process);
    }
    // Compared with ==: a failure must not print 32 MB.
    ASSERT_TRUE(ReadBytesOrEmpty(WinUlv()) == original);
    if (c.holdAfterDelete == nullptr) {
      const LONGLONG asideSize = FileSize(aside);
      ASSERT_TRUE(asideSize > 0 && asideSize < static_cast<LONGLONG>(rewritten.size()))
          << "the kill missed the rewrite: the aside file holds " << asideSize << " of " << rewritten.size()
          << " bytes";
      ASSERT_TRUE(ReadBytesOrEmpty(WinIni()) == original) << "win.ini changed before the rewrite was complete";
    } else {
      ASSERT_FALSE(FileExists(WinIni())) << Win95LayerLog();
      ASSERT_TRUE(ReadBytesOrEmpty(renamed) == rewritten) << "the rewrite beside win.ini is not complete";
    }

    ASSERT_NO_FATAL_FAILURE(Install());
    EXPECT_TRUE(ReadBytesOrEmpty(WinUlv()) == original);
    EXPECT_TRUE(ReadBytesOrEmpty(WinIni()) == rewritten);
    std::vector<std::string> windowsAfter = ListDirectory(WindowsDir());
    std::sort(windowsBefore.begin(), windowsBefore.end());
    std::sort(windowsAfter.begin(), windowsAfter.end());
    std::vector<std::string> added;
    std::set_difference(windowsAfter.begin(), windowsAfter.end(), windowsBefore.begin(), windowsBefore.end(),
                        std::back_inserter(added));
    EXPECT_EQ(added, (std::vector<std::string>{"system.ulv", "vxmouse.hlp", "win.ulv"}));
    EXPECT_FALSE(FileExists("C:\\VXAUTO.TMP") || FileExists("C:\\VXAUTO.NEW"));
  }
}

// Folders that bear Setup's own names beside win.ini and autoexec.bat, as if an
// earlier Setup had left them: each file is named in a stop that names only
// what exists, and is left alone; once the folders are gone the next run is an
// ordinary one.
TEST_F(StartupFiles, AFolderNamedLikeSetupsOwnFileIsNamedUntilItIsGone) {
  ASSERT_NO_FATAL_FAILURE(Place(PlacedWinIni(), PlacedSystemIni(), PlacedAutoexecBat()));
  const std::string folders[] = {WindowsDir() + "\\VXWIN.TMP", "c:\\VXAUTO.NEW"};
  for (const std::string& folder : folders) ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  std::vector<std::string> stops;
  ASSERT_NO_FATAL_FAILURE(InstallAnsweringStops(&stops));
  const char* targets[] = {" was not updated.\nSetup could not delete ",
                           ", left by an earlier Setup. Delete it, then run Setup again."};
  EXPECT_EQ(stops, (std::vector<std::string>{WinIni() + targets[0] + folders[0] + targets[1],
                                             std::string("c:\\autoexec.bat") + targets[0] + folders[1] + targets[1]}));
  EXPECT_EQ(ReadBytesOrEmpty(WinIni()), PlacedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecBat), PlacedAutoexecBat());
  EXPECT_FALSE(FileExists(WinUlv()) || FileExists(kAutoexecUlv));

  for (const std::string& folder : folders) ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));
  ASSERT_NO_FATAL_FAILURE(Install());
  EXPECT_EQ(ReadBytesOrEmpty(WinUlv()), PlacedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(WinIni()), ExpectedWinIni());
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecUlv), PlacedAutoexecBat());
  EXPECT_EQ(ReadBytesOrEmpty(kAutoexecBat), ExpectedAutoexecBat());
}

}  // namespace
}  // namespace e2e
