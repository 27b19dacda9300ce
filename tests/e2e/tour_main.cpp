// The guided tour: drives an express installation and saves a picture of the
// backdrop and of every dialog on the way, including INSTOPTION in custom mode.
//
//   tour.exe OUTPUT_FOLDER     (a Windows path; pictures are 24-bit BMP files)
#include <cstdio>
#include <string>

#include "harness/bench.h"
#include "harness/system_state.h"
#include "harness/wizard_steps.h"

using e2e::Press;
using e2e::SaveScreenshot;
using e2e::SetupProcess;
using e2e::WaitForDialog;
using e2e::WaitForDialogWith;
using e2e::WaitForWindow;

namespace {

std::string folder;

void Snap(HWND window, const char* name) {
  const std::string path = folder + "\\" + name + ".bmp";
  std::printf("%s %s\n", SaveScreenshot(window, path) ? "saved" : "could not save", path.c_str());
}

int Fail(const char* what) {
  std::printf("tour: %s did not appear\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  folder = argv[1];
  SetupProcess setup;
  HWND backdrop = WaitForWindow(setup.pid(), "VPSETUP", "Vantrix Setup");
  if (backdrop == nullptr) return Fail("the backdrop");
  HWND welcome = WaitForDialog(setup.pid(), "Welcome");
  if (welcome == nullptr) return Fail("WELCOMEDLG");
  Snap(nullptr, "01-backdrop-and-welcome");
  Snap(welcome, "02-welcome");
  Press(welcome, 1001);

  HWND options = WaitForDialogWith(setup.pid(), "Setup", 1006);
  if (options == nullptr) return Fail("INSTOPTION");
  Snap(options, "03-destination");
  Press(options, 1003);
  Sleep(400);
  Snap(options, "04-destination-custom");
  // Back to the express choice: its button goes straight on.
  Press(options, 1002);

  HWND copy = WaitForDialogWith(setup.pid(), "Setup", 1011, 5000);
  if (copy != nullptr) Snap(copy, "05-copying");
  HWND updating = WaitForDialog(setup.pid(), "Updating....", 3000);
  if (updating != nullptr) Snap(updating, "06-updating");
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  if (success == nullptr) return Fail("SUCCESSDLG");
  Snap(success, "07-success");
  Press(success, 1013);
  HWND reminder = WaitForDialogWith(setup.pid(), "Setup", IDOK);
  if (reminder == nullptr) return Fail("RESTARTCOM");
  Snap(reminder, "08-reminder");
  Press(reminder, IDOK);
  setup.WaitForExit();
  std::printf("Setup ended with exit code %lu\n", static_cast<unsigned long>(setup.exitCode()));
  return 0;
}
