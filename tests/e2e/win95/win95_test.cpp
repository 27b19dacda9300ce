// The layer itself, run only in the win95 set (VX_WIN95=1): that it is in
// Setup's process, answering Setup's own calls, and the OF_PROMPT box answered
// once the missing file is back. The other scenarios of the set are the
// ordinary tests, whose expectations say where Windows 95 differs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness/bench.h"
#include "harness/install_steps.h"
#include "harness/system_state.h"
#include "harness/wizard_steps.h"
#include "win95/layer.h"

namespace e2e {
namespace {

class Win95Personality : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(e2e::Win95Personality()) << "the win95 set runs with VX_WIN95=1";
    ResetSystem();
  }
};

// The captions of the dialogs the process shows, for a failure's message.
std::string Captions(DWORD pid) {
  std::string captions = "dialogs shown:";
  for (const auto& dialog : VisibleDialogs(pid)) captions += " \"" + dialog.second + "\"";
  return captions;
}

// Passes only with the layer inside Setup: Setup's own look-up of MoveFileExA
// gets Windows 95's stub, which fails for win.ini and autoexec.bat. Here the
// stub leaves the last error at 0, so that only Setup's look at the version can
// send each rewrite into place by DeleteFileA and MoveFileA, rather than have
// it written over the file where it lies.
TEST_F(Win95Personality, SetupsOwnCallsMeetWindows95) {
  const std::string winIni = WindowsDir() + "\\win.ini";
  ASSERT_TRUE(WriteBytes(winIni, "[windows]\r\nload=C:\\MOUSE\\POINT32.EXE\r\n"));
  ASSERT_TRUE(WriteBytes("C:\\autoexec.bat", "C:\\MOUSE\\MOUSE.COM /Y\r\n"));
  SetEnvironmentVariableA("VX_WIN95_STUB_ERROR", "0");
  SetupProcess setup;
  SetEnvironmentVariableA("VX_WIN95_STUB_ERROR", nullptr);
  HWND success = ReachSuccess(setup);
  ASSERT_NE(success, nullptr);
  EXPECT_TRUE(FinishFromSuccess(setup, success));

  EXPECT_EQ(Win95LogLines("!MoveFileExA: the Windows 95 model").size(), 3u) << Win95LayerLog();
  // The paths as Setup spells them: each new text takes its second name
  // before the file is deleted, and that name into the file's place.
  const std::string windows = WindowsDir();
  const std::string files[][3] = {{windows + "\\VXWIN.TMP", windows + "\\VXWIN.NEW", winIni},
                                  {windows + "\\VXSYS.TMP", windows + "\\VXSYS.NEW", windows + "\\system.ini"},
                                  {"c:\\VXAUTO.TMP", "c:\\VXAUTO.NEW", "c:\\autoexec.bat"}};
  for (const auto& file : files) {
    std::vector<std::string> moves = Win95LogLines("MoveFileExA " + file[0]);
    for (int i = 0; i < 2; ++i) {
      for (const std::string& line : Win95LogLines("MoveFileA " + file[i])) moves.push_back(line);
    }
    EXPECT_EQ(moves,
              (std::vector<std::string>{"MoveFileExA " + file[0] + " -> " + file[2] + " (flags 9): FALSE, last error 0",
                                        "MoveFileA " + file[0] + " -> " + file[1] + ": moved",
                                        "MoveFileA " + file[1] + " -> " + file[2] + ": moved"}))
        << Win95LayerLog();
    EXPECT_EQ(Win95LogLines("DeleteFileA " + file[2]),
              std::vector<std::string>{"DeleteFileA " + file[2] + ": deleted"});
  }
  EXPECT_TRUE(Win95LogLines("unmodelled").empty()) << Win95LayerLog();
  // Windows 95 writes out a profile file only when asked to.
  EXPECT_TRUE(Win95LogLines("never flushed").empty()) << Win95LayerLog();

  EXPECT_EQ(ReadBytesOrEmpty(winIni), "[windows]\r\n;load=C:\\MOUSE\\POINT32.EXE\r\n");
  EXPECT_EQ(ReadBytesOrEmpty("C:\\autoexec.bat"), "rem C:\\MOUSE\\MOUSE.COM /Y\r\n");
}

// A package file missing from the disk: Windows 95 asks for it (OF_PROMPT), in
// a box whose buttons the sources do not agree on (README.md). The file is back
// before the box is answered: Retry, where the box has it, copies it; otherwise
// the box is closed, which fails the open as Cancel does, and the file is
// skipped. (Cancel: the Transfer test.)
TEST_F(Win95Personality, MissingPackageFileBackBeforeTheBoxIsAnsweredLandsOnRetry) {
  ASSERT_TRUE(CopyDisk("C:\\altdisk", "SETUP.EXE", {"vpicon.ex_"}));
  SetupProcess setup("C:\\altdisk\\SETUP.EXE");
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  Press(options, kOptionContinue);
  MessageBoxInfo box = WaitForMessageBox(setup.pid(), kMissingFileCaption);
  ASSERT_NE(box.window, nullptr);
  ASSERT_TRUE(CopyWholeFile("A:\\vpicon.ex_", "C:\\altdisk\\vpicon.ex_"));
  const bool retry = std::count(box.buttons.begin(), box.buttons.end(), IDRETRY) == 1;
  if (retry) {
    Press(box.window, IDRETRY);
  } else {
    PostMessageA(box.window, WM_CLOSE, 0, 0);
  }
  ASSERT_TRUE(WaitUntilGone(box.window));
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr) << Win95LayerLog() << Captions(setup.pid());

  EXPECT_EQ(Win95LogLines("\\vpicon.ex_: missing").size(), 1u) << Win95LayerLog();
  std::vector<InstalledFile> files = InstalledFiles("C:\\vx95\\");
  EXPECT_EQ(FileExists(files[1].path), retry);
  if (!retry) files.erase(files.begin() + 1);
  ExpectOriginalBytes(files);
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

}  // namespace
}  // namespace e2e
