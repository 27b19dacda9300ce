// COPYDIALOG on the real SETUP.EXE under Wine: the six package files expanded
// from the disk into their directories, the progress bar, the quit prompt with
// the copying going on behind it, and where Setup looks for its files.
#include <windows.h>
#include <commctrl.h>
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

// PBM_GETSTEP, which the headers offer only for later Windows versions.
constexpr UINT kGetStep = WM_USER + 13;

class Transfer : public testing::Test {
 protected:
  void SetUp() override { ResetSystem(); }
};

// Presses Continue in INSTOPTION and Cancel in COPYDIALOG the moment it opens,
// before its first file; returns the quit prompt, with the dialog in `copy`.
MessageBoxInfo CancelAtOnce(SetupProcess& setup, HWND* copy) {
  HWND options = ReachDestination(setup);
  if (options == nullptr) return {};
  Press(options, kOptionContinue);
  *copy = CatchCopyDialog(setup);
  if (*copy == nullptr) return {};
  Press(*copy, kCopyCancel);
  return WaitForMessageBox(setup.pid(), "Quit?");
}

int CountDialogs(DWORD pid, const std::string& caption) {
  int count = 0;
  for (const auto& dialog : VisibleDialogs(pid)) count += dialog.second == caption;
  return count;
}

TEST_F(Transfer, ExpressInstallationExpandsEveryFileToItsOriginalBytes) {
  const std::vector<InstalledFile> files = InstalledFiles("C:\\vx95\\");
  // What lies on the disk: the programs compressed, the driver's files not.
  const std::vector<std::string> diskNames = DiskNames();
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(diskNames[i]);
    const bool compressed = diskNames[i].back() == '_';
    EXPECT_EQ(ReadBytesOrEmpty("A:\\" + diskNames[i]) == ReadBytesOrEmpty(StandinDir() + files[i].name), !compressed);
  }
  // Older copies, longer than the new files, must be replaced whole.
  ASSERT_TRUE(CreateDirectoryA("C:\\vx95", nullptr));
  for (size_t i : {0, 3}) {
    const std::string older(ReadBytesOrEmpty(StandinDir() + files[i].name).size() + 5000, 'X');
    ASSERT_TRUE(WriteBytes(files[i].path, older)) << files[i].path;
  }

  SetupProcess setup;
  HWND success = ReachSuccess(setup);
  ASSERT_NE(success, nullptr);
  ExpectOriginalBytes(files);
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

// Someone installing a mouse driver may have no working mouse. Keystrokes go
// to whatever has the focus: Enter on the default buttons, a mnemonic, and Tab
// to Continue in SUCCESSDLG, where Enter would restart the machine.
TEST_F(Transfer, ExpressInstallationWithTheKeyboardAlone) {
  SetupProcess setup;
  HWND welcome = WaitForDialog(setup.pid(), "Welcome");
  ASSERT_NE(welcome, nullptr);
  ASSERT_TRUE(WaitForForeground(welcome));
  ASSERT_TRUE(Type(VK_RETURN));

  HWND options = WaitForDialogWith(setup.pid(), "Setup", kOptionContinue);
  ASSERT_NE(options, nullptr);
  ASSERT_TRUE(WaitForForeground(options));
  ASSERT_TRUE(Type('C', VK_MENU));  // &Continue, with the express choice

  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr);
  ExpectOriginalBytes(InstalledFiles("C:\\vx95\\"));
  ASSERT_TRUE(WaitForForeground(success));
  ASSERT_TRUE(Type(VK_TAB));
  ASSERT_TRUE(WaitForFocus(success, kSuccessContinue));
  ASSERT_TRUE(Type(VK_SPACE));

  HWND reminder = WaitForDialogWith(setup.pid(), "Setup", IDOK);
  ASSERT_NE(reminder, nullptr);
  ASSERT_TRUE(WaitForForeground(reminder));
  ASSERT_TRUE(Type(VK_RETURN));
  ASSERT_TRUE(setup.WaitForExit());
  EXPECT_EQ(setup.exitCode(), 0u);
}

TEST_F(Transfer, CopyingGoesOnBehindTheQuitPromptAndNoLetsTheWizardGoOn) {
  SetupProcess setup;
  HWND copy = nullptr;
  const MessageBoxInfo quit = CancelAtOnce(setup, &copy);
  ASSERT_NE(quit.window, nullptr);
  EXPECT_EQ(quit.text, "Setup is not completed yet \r exit anyway?");
  EXPECT_EQ(quit.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(quit.owner, copy);

  const std::vector<InstalledFile> files = InstalledFiles("C:\\vx95\\");
  ASSERT_TRUE(WaitForFiles(files));
  // The dialog still exists behind the prompt, its last file done.
  HWND bar = FindWindowExA(copy, nullptr, PROGRESS_CLASSA, nullptr);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 11);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 1);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 11);
  EXPECT_EQ(SendMessageA(bar, kGetStep, 0, 0), 2);
  EXPECT_EQ(WindowText(bar), "ProgressBar");
  EXPECT_EQ(GetDlgCtrlID(bar), 0);
  RECT place = WindowRect(bar);
  MapWindowPoints(nullptr, copy, reinterpret_cast<POINT*>(&place), 2);
  EXPECT_EQ(place.left, 50);
  EXPECT_EQ(place.top, 80);
  EXPECT_EQ(place.right - place.left, 182);
  EXPECT_EQ(place.bottom - place.top, 18);
  // The texts still name the last file.
  EXPECT_EQ(ItemText(copy, kCopyFrom), "A:\\vxmouse.hlp");
  EXPECT_EQ(ItemText(copy, kCopyTo), WindowsDir() + "\\vxmouse.hlp");

  Press(quit.window, IDNO);
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr);
  ExpectOriginalBytes(files);
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

TEST_F(Transfer, CancelThenYesEndsTheWizardKeepingTheCopiedFiles) {
  SetupProcess setup;
  HWND copy = nullptr;
  const MessageBoxInfo quit = CancelAtOnce(setup, &copy);
  ASSERT_NE(quit.window, nullptr);
  // The copying finishes behind the prompt; the Yes that follows still wins.
  const std::vector<InstalledFile> files = InstalledFiles("C:\\vx95\\");
  ASSERT_TRUE(WaitForFiles(files));
  Press(quit.window, IDYES);
  ASSERT_TRUE(setup.WaitForExit());
  EXPECT_EQ(setup.exitCode(), 0u);
  ExpectOriginalBytes(files);
  EXPECT_FALSE(KeyExists("SOFTWARE\\Corvessa"));
  EXPECT_FALSE(FileExists(WindowsDir() + "\\win.ulv"));
  EXPECT_FALSE(FileExists(WindowsDir() + "\\system.ulv"));
  EXPECT_EQ(ReadBytesOrEmpty(WindowsDir() + "\\win.ini"), PristineWinIni());
}

TEST_F(Transfer, EscAndTheCloseBoxDoNothing) {
  SetupProcess setup;
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  Press(options, kOptionContinue);
  HWND copy = CatchCopyDialog(setup);
  ASSERT_NE(copy, nullptr);
  // All queued before the first file; Cancel last, so its prompt shows that
  // the dialog was still there to receive the others.
  PressKey(GetDlgItem(copy, kCopyCancel), VK_ESCAPE);
  PostCommand(copy, IDCANCEL);
  PostSysCommand(copy, SC_CLOSE);
  Press(copy, kCopyCancel);
  MessageBoxInfo quit = WaitForMessageBox(setup.pid(), "Quit?");
  ASSERT_NE(quit.window, nullptr);
  Sleep(Scaled(300));
  EXPECT_EQ(CountDialogs(setup.pid(), "Quit?"), 1) << "only Cancel asks";
  ASSERT_TRUE(WaitForFiles(InstalledFiles("C:\\vx95\\")));
  Press(quit.window, IDNO);
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr);
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

TEST_F(Transfer, MissingSourceFileIsSkippedAndTheOthersStillLand) {
  ASSERT_TRUE(CopyDisk("C:\\altdisk", "SETUP.EXE", {"vpicon.ex_"}));
  SetupProcess setup("C:\\altdisk\\SETUP.EXE");
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  Press(options, kOptionContinue);
  std::vector<std::string> answered;
  HWND success = WaitForSuccessCancellingPrompts(setup, &answered);
  ASSERT_NE(success, nullptr);
  // Windows 95 asks for the missing file (OF_PROMPT), and Cancel skips it;
  // Wine's LZOpenFileA asks nothing.
  EXPECT_EQ(answered, Win95Personality() ? std::vector<std::string>{kMissingFileCaption} : std::vector<std::string>{});
  std::vector<InstalledFile> files = InstalledFiles("C:\\vx95\\");
  EXPECT_FALSE(FileExists(files[1].path));
  files.erase(files.begin() + 1);
  ExpectOriginalBytes(files);
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

// A folder of exactly `length` characters under C:\altdisk, made of names too
// long for 8.3, so that the system has a shorter form of it.
std::string DeepFolder(size_t length) {
  std::string folder = "C:\\altdisk";
  for (char level = 'a'; folder.size() < length; ++level) folder += std::string("\\") + level + " long folder name";
  folder.resize(length);
  if (folder.back() == ' ' || folder.back() == '\\') folder.back() = 'z';
  return folder;
}

TEST_F(Transfer, SetupFindsItsPackageFilesWhateverItsNameAndFolder) {
  struct Case {
    std::string folder;
    const char* name;
  };
  const Case cases[] = {
      {"C:\\altdisk", "install.exe"},
      {"C:\\altdisk", "setup (1).exe"},
      // Too deep for the LZ expansion service to open the files by their long
      // paths: Setup takes them through the folder's short form.
      {DeepFolder(200), "SETUP.EXE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder + "\\" + c.name);
    ResetSystem();
    ASSERT_TRUE(CopyDisk(c.folder, c.name));
    SetupProcess setup(c.folder + "\\" + c.name);
    ASSERT_TRUE(setup.started());
    HWND success = ReachSuccess(setup);
    ASSERT_NE(success, nullptr);
    ExpectOriginalBytes(InstalledFiles("C:\\vx95\\"));
    EXPECT_TRUE(FinishFromSuccess(setup, success));
  }
}

}  // namespace
}  // namespace e2e
