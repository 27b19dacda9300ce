// The layer itself, run only in the win95 set (VX_WIN95=1): that it is in
// Setup's process, answering Setup's own calls, and the OF_PROMPT box answered
// with Retry once the missing file is back. The other scenarios of the set are
// the ordinary tests, whose expectations say where Windows 95 differs.
#include <gtest/gtest.h>

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

// The lines of the log that contain `text`.
std::vector<std::string> LinesWith(const std::string& log, const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    if (line.find(text) != std::string::npos) lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

// The captions of the dialogs the process shows, for a failure's message.
std::string Captions(DWORD pid) {
  std::string captions = "dialogs shown:";
  for (const auto& dialog : VisibleDialogs(pid)) captions += " \"" + dialog.second + "\"";
  return captions;
}

// Passes only with the layer inside Setup: Setup's own look-up of MoveFileExA
// gets Windows 95's stub, which fails for win.ini and autoexec.bat, and Setup
// then puts each rewrite in place by DeleteFileA and MoveFileA.
TEST_F(Win95Personality, SetupsOwnCallsMeetWindows95) {
  const std::string winIni = WindowsDir() + "\\win.ini";
  ASSERT_TRUE(WriteBytes(winIni, "[windows]\r\nload=C:\\MOUSE\\POINT32.EXE\r\n"));
  ASSERT_TRUE(WriteBytes("C:\\autoexec.bat", "C:\\MOUSE\\MOUSE.COM /Y\r\n"));
  SetupProcess setup;
  HWND success = ReachSuccess(setup);
  ASSERT_NE(success, nullptr);
  EXPECT_TRUE(FinishFromSuccess(setup, success));

  const std::string log = Win95LayerLog();
  EXPECT_EQ(LinesWith(log, "layer on:").size(), 1u) << log;
  EXPECT_EQ(LinesWith(log, "!MoveFileExA: the Windows 95 model").size(), 2u) << log;
  const std::vector<std::string> refused = LinesWith(log, "MoveFileExA ");
  ASSERT_EQ(refused.size(), 2u) << log;
  EXPECT_NE(refused[0].find("win.ini (flags"), std::string::npos) << refused[0];
  EXPECT_NE(refused[1].find("autoexec.bat (flags"), std::string::npos) << refused[1];
  for (const std::string& line : refused) EXPECT_NE(line.find("ERROR_CALL_NOT_IMPLEMENTED"), std::string::npos);
  EXPECT_TRUE(LinesWith(log, "unmodelled").empty()) << log;

  EXPECT_EQ(ReadBytesOrEmpty(winIni), "[windows]\r\n;load=C:\\MOUSE\\POINT32.EXE\r\n");
  EXPECT_EQ(ReadBytesOrEmpty("C:\\autoexec.bat"), "rem C:\\MOUSE\\MOUSE.COM /Y\r\n");
  EXPECT_FALSE(FileExists(WindowsDir() + "\\vxwin.tmp"));
  EXPECT_FALSE(FileExists("C:\\vxauto.tmp"));
}

// A package file missing from the disk: Windows 95 asks for it (OF_PROMPT).
// Retry while it is still missing asks again; Retry once it is back copies it,
// and the installation ends with all six files. (Cancel: the Transfer test.)
TEST_F(Win95Personality, MissingPackageFileRetriedOnceItIsBackLands) {
  ASSERT_TRUE(CopyDisk("C:\\altdisk", "SETUP.EXE", {"vpicon.ex_"}));
  SetupProcess setup("C:\\altdisk\\SETUP.EXE");
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  Press(options, kOptionContinue);

  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    MessageBoxInfo box = WaitForMessageBox(setup.pid(), kMissingFileCaption);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text.rfind("The system cannot find the file\n", 0), 0u) << box.text;
    std::string lower = box.text;
    CharLowerA(lower.data());
    EXPECT_NE(lower.find("\\vpicon.ex_."), std::string::npos) << box.text;
    EXPECT_EQ(box.buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
    EXPECT_EQ(box.icon, StockIcon::Exclamation);
    if (attempt == 1) ASSERT_TRUE(CopyWholeFile("A:\\vpicon.ex_", "C:\\altdisk\\vpicon.ex_"));
    Press(box.window, IDRETRY);
    ASSERT_TRUE(WaitUntilGone(box.window));
  }
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr) << Win95LayerLog() << Captions(setup.pid());
  ExpectOriginalBytes(InstalledFiles("C:\\vx95\\"));
  EXPECT_EQ(LinesWith(Win95LayerLog(), "the OF_PROMPT box answered Retry").size(), 2u);
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

}  // namespace
}  // namespace e2e
