// The backdrop, the dialog frame and the wizard's message dialogs, on the real
// SETUP.EXE under Wine.
#include <gtest/gtest.h>

#include "harness/bench.h"
#include "harness/install_steps.h"
#include "harness/system_state.h"
#include "harness/wizard_steps.h"

namespace e2e {
namespace {

class Shell : public testing::Test {
 protected:
  void SetUp() override { ResetSystem(); }
};

TEST_F(Shell, BackdropIsAFixedWindowCentredOnTheScreen) {
  SetupProcess setup;
  ASSERT_TRUE(setup.started());
  HWND backdrop = WaitForWindow(setup.pid(), "VPSETUP", "Vantrix Setup");
  ASSERT_NE(backdrop, nullptr);
  const RECT rect = WindowRect(backdrop);
  EXPECT_EQ(rect.right - rect.left, 550);
  EXPECT_EQ(rect.bottom - rect.top, 380);
  EXPECT_EQ(rect.left, GetSystemMetrics(SM_CXFULLSCREEN) / 2 - 275);
  EXPECT_EQ(rect.top, GetSystemMetrics(SM_CYFULLSCREEN) / 2 - 190);
  const LONG style = GetWindowLongA(backdrop, GWL_STYLE);
  EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
}

TEST_F(Shell, BackdropConsumesEverySystemCommandButClose) {
  SetupProcess setup;
  HWND backdrop = WaitForWindow(setup.pid(), "VPSETUP", "Vantrix Setup");
  ASSERT_NE(backdrop, nullptr);
  const RECT before = WindowRect(backdrop);
  for (WPARAM command : {SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_MOVE, SC_SIZE}) {
    SCOPED_TRACE(command);
    PostSysCommand(backdrop, command);
    Sleep(Scaled(200));
    const RECT after = WindowRect(backdrop);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_FALSE(IsIconic(backdrop));
    EXPECT_FALSE(IsZoomed(backdrop));
  }
  PostSysCommand(backdrop, SC_CLOSE);
  ASSERT_TRUE(setup.WaitForExit());
  EXPECT_EQ(setup.exitCode(), 0u);
}

TEST_F(Shell, WelcomeShowsItsTextCentredWithFocusOnContinue) {
  SetupProcess setup;
  HWND welcome = WaitForDialog(setup.pid(), "Welcome");
  ASSERT_NE(welcome, nullptr);
  EXPECT_EQ(ItemText(welcome, 1001), "&Continue");
  EXPECT_EQ(ItemText(welcome, 1000), "&Exit");
  EXPECT_EQ(ItemText(welcome, 0xFFFF),
            "Welcome to Ulvane Systems Vantrix Setup.  This setup will install Vantrix Software for you.");
  EXPECT_EQ(FocusedControlId(welcome), 1001);
  ExpectCentred(welcome, 0);
  EXPECT_EQ(GetWindow(welcome, GW_OWNER), FindWindowA("VPSETUP", "Vantrix Setup"));
}

TEST_F(Shell, DialogBackgroundAndStaticTextsAreLightGrey) {
  SetupProcess setup;
  HWND welcome = WaitForDialog(setup.pid(), "Welcome");
  ASSERT_NE(welcome, nullptr);
  // A point of the dialog's own background, left of the text and above the buttons.
  EXPECT_EQ(ClientPixel(welcome, 4, 4), 0xC0C0C0u);
  HWND text = GetDlgItem(welcome, 0xFFFF);
  EXPECT_EQ(ClientPixel(text, 1, ClientSize(text).cy - 2), 0xC0C0C0u);
}

TEST_F(Shell, WelcomeExitEndsAtOnceWithoutThePrompt) {
  SetupProcess setup;
  HWND welcome = WaitForDialog(setup.pid(), "Welcome");
  ASSERT_NE(welcome, nullptr);
  Press(welcome, 1000);
  ASSERT_TRUE(setup.WaitForExit());
  EXPECT_EQ(setup.exitCode(), 0u);
  EXPECT_FALSE(DirectoryExists("C:\\vx95"));
}

TEST_F(Shell, EscAndTheCloseBoxDoNothing) {
  SetupProcess setup;
  HWND welcome = WaitForDialog(setup.pid(), "Welcome");
  ASSERT_NE(welcome, nullptr);
  PressKey(GetDlgItem(welcome, 1001), VK_ESCAPE);
  PostCommand(welcome, IDCANCEL);
  PostSysCommand(welcome, SC_CLOSE);
  Sleep(Scaled(500));
  EXPECT_TRUE(IsWindowVisible(welcome));
  EXPECT_TRUE(setup.running());
  EXPECT_EQ(VisibleDialogs(setup.pid()).size(), 1u) << "no prompt either";
}

TEST_F(Shell, OnlyFoundWindowWhenTheUtilityIsRunning) {
  HWND utility = CreateWindowExA(0, "Static", "Vantrix Studio Station", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(utility, nullptr);
  SetupProcess setup;
  HWND found = WaitForDialog(setup.pid(), "Vantrix found");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(ItemText(found, 0xFFFF),
            "Vantrix is currently running on your computer, please quit this application then restart setup again.");
  EXPECT_EQ(ItemText(found, 1027), "OK");
  EXPECT_EQ(FocusedControlId(found), 1027);
  ExpectCentred(found, 0);
  EXPECT_EQ(VisibleDialogs(setup.pid()).size(), 1u);
  Press(found, 1027);
  ASSERT_TRUE(setup.WaitForExit());
  EXPECT_EQ(setup.exitCode(), 0u);
  DestroyWindow(utility);
  EXPECT_FALSE(DirectoryExists("C:\\vx95"));
  EXPECT_FALSE(KeyExists("SOFTWARE\\Corvessa"));
}

// A second Setup started while the first shows its welcome: it shows no window,
// brings the welcome to the front and ends, and the first goes on to the end.
TEST_F(Shell, SecondSetupBringsTheFirstForwardAndEnds) {
  SetupProcess first;
  HWND welcome = WaitForDialog(first.pid(), "Welcome");
  ASSERT_NE(welcome, nullptr);
  HWND elsewhere = CreateWindowExA(0, "Static", "Elsewhere", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(elsewhere);
  ASSERT_TRUE(WaitForForeground(elsewhere));
  SetupProcess second;
  ASSERT_TRUE(second.started());
  HWND shown = WaitForWindow(second.pid(), nullptr, nullptr, 2000);
  EXPECT_EQ(shown, nullptr) << ClassName(shown) << " \"" << WindowText(shown) << "\"";
  ASSERT_TRUE(second.WaitForExit());
  EXPECT_EQ(second.exitCode(), 0u);
  EXPECT_TRUE(WaitForForeground(welcome));
  DestroyWindow(elsewhere);

  HWND success = ReachSuccess(first);
  ASSERT_NE(success, nullptr);
  ExpectOriginalBytes(InstalledFiles("C:\\vx95\\"));
  EXPECT_TRUE(FinishFromSuccess(first, success));
}

TEST_F(Shell, QuitPromptNoStaysAndYesEndsTheWizard) {
  SetupProcess setup;
  HWND options = ReachDestination(setup);
  ASSERT_NE(options, nullptr);
  ExpectCentred(options, 30);
  Press(options, 1007);
  MessageBoxInfo quit = WaitForMessageBox(setup.pid(), "Quit?");
  ASSERT_NE(quit.window, nullptr);
  EXPECT_EQ(quit.text, "Setup is not completed yet \r exit anyway?");
  EXPECT_EQ(quit.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(quit.icon, StockIcon::Question) << IconName(quit.icon);
  EXPECT_EQ(quit.owner, options);
  EXPECT_EQ(FocusedControlId(quit.window), IDYES) << "Yes is the default";
  Press(quit.window, IDNO);
  ASSERT_TRUE(WaitUntilGone(quit.window));
  Sleep(Scaled(200));
  EXPECT_TRUE(IsWindowVisible(options));

  Press(options, 1007);
  quit = WaitForMessageBox(setup.pid(), "Quit?");
  ASSERT_NE(quit.window, nullptr);
  Press(quit.window, IDYES);
  ASSERT_TRUE(setup.WaitForExit());
  EXPECT_EQ(setup.exitCode(), 0u);
  EXPECT_FALSE(DirectoryExists("C:\\vx95"));
}

TEST_F(Shell, SuccessContinueLeadsToTheReminder) {
  SetupProcess setup;
  HWND success = ReachSuccess(setup);
  ASSERT_NE(success, nullptr);
  EXPECT_EQ(ItemText(success, 0xFFFF),
            "To finish this setup, please click \"Restart Now\" button or hit \"Enter\" to reboot your computer. "
            "\n\nOr click \"Continue\" to return to windows and reboot your computer later.");
  EXPECT_EQ(FocusedControlId(success), 1012);
  ExpectCentred(success, 0);
  Press(success, 1013);
  HWND reminder = WaitForDialog(setup.pid(), "Setup");
  ASSERT_NE(reminder, nullptr);
  EXPECT_EQ(ItemText(reminder, 0xFFFF),
            "Remember to restart computer later to complete this setup.\n\nThanks for choosing Ulvane Systems.");
  EXPECT_EQ(FocusedControlId(reminder), IDOK);
  ExpectCentred(reminder, 0);
  PostCommand(reminder, IDCANCEL);
  Sleep(Scaled(300));
  EXPECT_TRUE(IsWindowVisible(reminder));
  Press(reminder, IDOK);
  ASSERT_TRUE(setup.WaitForExit());
  EXPECT_EQ(setup.exitCode(), 0u);
}

}  // namespace
}  // namespace e2e
