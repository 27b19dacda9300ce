// INSTOPTION, the destination dialog, on the real SETUP.EXE under Wine: the
// express and custom choices, the drive list, the path refusals and the
// creation of a custom directory, seen through the files the copy dialog puts
// there afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness/bench.h"
#include "harness/install_steps.h"
#include "harness/system_state.h"
#include "harness/wizard_steps.h"

namespace e2e {
namespace {

class Destination : public testing::Test {
 protected:
  void SetUp() override { ResetSystem(); }
};

// The programs of the package, as they land in `installDir`.
bool ProgramsLandIn(const std::string& installDir) {
  const std::vector<InstalledFile> files = InstalledFiles(installDir);
  return WaitForFiles({files[0], files[1], files[2]});
}

void ExpectStopBox(const MessageBoxInfo& box, HWND owner, const std::string& text) {
  EXPECT_EQ(box.caption, "Stop");
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(box.icon, StockIcon::Hand) << IconName(box.icon);
  EXPECT_EQ(box.owner, owner);
}

void ExpectCreateQuestion(const MessageBoxInfo& box, HWND owner) {
  EXPECT_EQ(box.caption, "Stop");
  EXPECT_EQ(box.text, "This directory does not exist, create it?!");
  EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(box.icon, StockIcon::Asterisk) << IconName(box.icon);
  EXPECT_EQ(box.owner, owner);
}

// Continue on a missing custom path: the create question is asked, owned by
// the dialog, and answered. False when no question came or it stayed open.
bool ContinueAndAnswerCreateQuestion(DWORD pid, HWND options, int answer) {
  Press(options, kOptionContinue);
  const MessageBoxInfo question = WaitForMessageBox(pid, "Stop");
  if (question.window == nullptr) return false;
  ExpectCreateQuestion(question, options);
  Press(question.window, answer);
  return WaitUntilGone(question.window);
}

// A custom path of `length` characters: 8-letter names between backslashes.
std::string PathOfLength(size_t length) {
  std::string path;
  for (size_t i = 0; i < length; ++i) path += i % 9 == 8 ? '\\' : static_cast<char>('a' + i % 9);
  return path;
}

// Each face is a whole 32 x 32 icon drawn at the button's corner; the button
// may be a little smaller than the icon.
struct Face {
  int button;
  int icon;
};
void ExpectFaces(HWND options, std::initializer_list<Face> faces) {
  for (const Face& face : faces) {
    SCOPED_TRACE(testing::Message() << "button " << face.button << ", icon " << face.icon);
    HWND button = GetDlgItem(options, face.button);
    const SIZE size = ClientSize(button);
    EXPECT_EQ(IconDifferences(button, face.icon, std::min<int>(size.cx, 32), std::min<int>(size.cy, 32)), 0);
  }
}

// One press of `button` in INSTOPTION ends it at once, with no message on the
// way, and the wizard installs the programs to C:\vx95.
void ExpectExpressInstallationOn(int button) {
  SetupProcess setup;
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  Press(options, button);
  ASSERT_NE(WaitForDialogWith(setup.pid(), "Setup", kCopyCancel), nullptr);
  EXPECT_FALSE(IsWindow(options) && IsWindowVisible(options));
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr);
  EXPECT_TRUE(ProgramsLandIn("C:\\vx95\\"));
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

TEST_F(Destination, ContinueWithoutAChoiceInstallsToVx95WhetherItExistsOrNot) {
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "C:\\vx95 exists" : "C:\\vx95 is missing");
    ResetSystem();
    if (existing) {
      ASSERT_TRUE(CreateDirectoryA("C:\\vx95", nullptr));
    }
    ExpectExpressInstallationOn(kOptionContinue);
  }
}

TEST_F(Destination, ExpressButtonAloneEndsTheDialog) { ExpectExpressInstallationOn(kExpressButton); }

TEST_F(Destination, OpensBelowCentreWithTheFacesDrawnAndTheDrivesFromC) {
  SetupProcess setup;
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  ExpectCentred(options, 30);
  EXPECT_EQ(FocusedControlId(options), kOptionContinue);

  // A: and B: are mapped in the bench, so the list really starts with them.
  const std::vector<std::string> entries = ListEntries(GetDlgItem(options, kDriveList));
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.front(), "[-c-]");
  bool hasD = false;
  for (const std::string& entry : entries) {
    SCOPED_TRACE(entry);
    // Drives only: C:\ has files and folders, none of which may appear.
    ASSERT_EQ(entry.size(), 5u);
    EXPECT_EQ(entry.substr(0, 2), "[-");
    EXPECT_EQ(entry.substr(3), "-]");
    EXPECT_GE(entry[2], 'c');
    hasD = hasD || entry == "[-d-]";
  }
  EXPECT_TRUE(hasD);

  ExpectFaces(options, {{kExpressButton, 106}, {kCustomButton, 109}});
  // Tab from Continue over Exit onto the express button, then on to custom:
  // each shows its focus face while it has the focus.
  HWND continueButton = GetDlgItem(options, kOptionContinue);
  PressKey(continueButton, VK_TAB);
  PressKey(continueButton, VK_TAB);
  Sleep(Scaled(300));
  ASSERT_EQ(FocusedControlId(options), kExpressButton);
  ExpectFaces(options, {{kExpressButton, 121}, {kCustomButton, 109}});
  PressKey(continueButton, VK_TAB);
  Sleep(Scaled(300));
  ASSERT_EQ(FocusedControlId(options), kCustomButton);
  ExpectFaces(options, {{kCustomButton, 120}});
}

TEST_F(Destination, CustomShowsItsControlsAndEveryPressResetsThem) {
  SetupProcess setup;
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  const int custom[] = {kInstallToLabel, kPathEdit, kDriveList, kExampleLabel};
  for (int id : custom) EXPECT_FALSE(IsWindowVisible(GetDlgItem(options, id))) << id;

  ASSERT_TRUE(ChooseCustom(options));
  // The pressed face, drawn straight into the button by the press.
  ExpectFaces(options, {{kCustomButton, 108}});
  for (int id : custom) EXPECT_TRUE(IsWindowVisible(GetDlgItem(options, id))) << id;
  for (int id : {kInstallToLabel, kPathEdit, kDriveList}) EXPECT_TRUE(IsWindowEnabled(GetDlgItem(options, id))) << id;
  HWND list = GetDlgItem(options, kDriveList);
  EXPECT_EQ(SelectedIndex(list), 0);
  EXPECT_EQ(ItemText(options, kExampleLabel), "Example:       [-c-]          VX95");

  CreateDirectoryA("C:\\shots", nullptr);
  EXPECT_TRUE(SaveScreenshot(options, "C:\\shots\\instoption-custom.bmp"));

  ASSERT_TRUE(SelectDrive(options, 'd'));
  SetItemText(options, kPathEdit, "tools\\bin");
  Press(options, kCustomButton);
  Sleep(Scaled(300));
  EXPECT_EQ(ItemText(options, kPathEdit), "VX95");
  EXPECT_EQ(SelectedIndex(list), 0);
  EXPECT_TRUE(IsWindowVisible(options));
  EXPECT_EQ(VisibleDialogs(setup.pid()).size(), 1u) << "no message";
}

TEST_F(Destination, CreateQuestionNoCreatesNothingAndYesCreatesEveryLevel) {
  SetupProcess setup;
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  ASSERT_TRUE(ChooseCustom(options));
  ASSERT_TRUE(SelectDrive(options, 'd'));
  SetItemText(options, kPathEdit, "tools\\bin");

  ASSERT_TRUE(ContinueAndAnswerCreateQuestion(setup.pid(), options, IDNO));
  Sleep(Scaled(200));
  EXPECT_TRUE(IsWindowVisible(options));
  EXPECT_FALSE(FileExists("D:\\tools") || DirectoryExists("D:\\tools"));
  EXPECT_EQ(ItemText(options, kPathEdit), "tools\\bin");

  ASSERT_TRUE(ContinueAndAnswerCreateQuestion(setup.pid(), options, IDYES));
  ASSERT_NE(WaitForDialogWith(setup.pid(), "Setup", kCopyCancel), nullptr);
  EXPECT_TRUE(DirectoryExists("D:\\tools"));
  EXPECT_TRUE(DirectoryExists("D:\\tools\\bin"));
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr);
  EXPECT_TRUE(ProgramsLandIn("D:\\tools\\bin\\"));
  EXPECT_FALSE(DirectoryExists("C:\\vx95"));
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

TEST_F(Destination, EveryRefusalKeepsTheEntriesAndThePathAtTheLimitInstalls) {
  SetupProcess setup;
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  ASSERT_TRUE(ChooseCustom(options));
  ASSERT_TRUE(SelectDrive(options, 'd'));
  HWND list = GetDlgItem(options, kDriveList);
  const int driveD = SelectedIndex(list);

  // Answers a refusal with OK and checks that nothing the user entered moved.
  const auto expectRefusal = [&](const std::string& path, const std::string& message, int selection) {
    SCOPED_TRACE(path);
    MessageBoxInfo box = WaitForMessageBox(setup.pid(), "Stop");
    ASSERT_NE(box.window, nullptr);
    ExpectStopBox(box, options, message);
    Press(box.window, IDOK);
    ASSERT_TRUE(WaitUntilGone(box.window));
    Sleep(Scaled(100));
    EXPECT_TRUE(IsWindowVisible(options));
    EXPECT_EQ(ItemText(options, kPathEdit), path);
    EXPECT_EQ(SelectedIndex(list), selection);
  };

  struct Refusal {
    std::string path;
    const char* message;
  };
  // clang-format off
  const Refusal refusals[] = {
      {"abcdefghi",            "Invalid path!"},
      {"tools\\abcdefghi\\bin", "Invalid path!"},
      {"abcdefghi.txt",        "Invalid path!"},  // the name's length is looked at first
      {"to ols",               "Invalid Path!"},
      {"to\"ols",              "Invalid Path!"},
      {"to*ols",               "Invalid Path!"},
      {"to,ols",               "Invalid Path!"},
      {"to.ols",               "Invalid Path!"},
      {"to/ols",               "Invalid Path!"},
      {"to:ols",               "Invalid Path!"},
      {"to;ols",               "Invalid Path!"},
      {"to<ols",               "Invalid Path!"},
      {"to=ols",               "Invalid Path!"},
      {"to>ols",               "Invalid Path!"},
      {"to?ols",               "Invalid Path!"},
      {"\\\\\\",               "Invalid Path!"},  // nothing left after the leading backslashes
      // d:\, 113 characters and "\vp95dll.dll" make 128: more than the copy
      // can open.
      {PathOfLength(113),      "Invalid path!"},
  };
  // clang-format on
  for (const Refusal& refusal : refusals) {
    SetItemText(options, kPathEdit, refusal.path);
    Press(options, kOptionContinue);
    expectRefusal(refusal.path, refusal.message, driveD);
  }
  EXPECT_EQ(ListDirectory("D:").size(), 0u);

  // A file where the first level should be: creating that level fails.
  ASSERT_TRUE(WriteBytes("D:\\tools", "not a directory"));
  SetItemText(options, kPathEdit, "tools\\bin");
  ASSERT_TRUE(ContinueAndAnswerCreateQuestion(setup.pid(), options, IDYES));
  expectRefusal("tools\\bin", "Can not create directory!", driveD);
  EXPECT_TRUE(FileExists("D:\\tools"));

  // No drive selected at all.
  SelectIndex(list, -1);
  SetItemText(options, kPathEdit, "tools");
  Press(options, kOptionContinue);
  expectRefusal("tools", "Invalid Drive!", LB_ERR);
  EXPECT_TRUE(setup.running());

  // One character less is the longest path taken, and every file lands in it.
  const std::string longest = PathOfLength(112);
  ASSERT_TRUE(SelectDrive(options, 'd'));
  SetItemText(options, kPathEdit, longest);
  ASSERT_TRUE(ContinueAndAnswerCreateQuestion(setup.pid(), options, IDYES));
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr);
  ExpectOriginalBytes(InstalledFiles("D:\\" + longest + "\\"));
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

}  // namespace
}  // namespace e2e
