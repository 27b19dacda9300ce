// The guided tour: drives an express installation and saves a picture of the
// backdrop and of every dialog on the way, including INSTOPTION in custom mode.
// Ends with 1, naming the picture, when one of them could not be taken.
//
//   tour.exe OUTPUT_FOLDER     (a Windows path; pictures are 24-bit BMP files)
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness/bench.h"
#include "harness/install_steps.h"
#include "harness/wizard_steps.h"

using e2e::CaptureWindow;
using e2e::Pixels;
using e2e::Press;
using e2e::SetupProcess;
using e2e::ShowsSomething;
using e2e::WaitForDialog;
using e2e::WaitForDialogWith;
using e2e::WaitForWindow;

namespace {

// A picture is tried this often, with Setup running on for a moment between
// tries, before it counts as missing.
constexpr int kAttempts = 100;
constexpr DWORD kRunBetweenAttemptsMs = 10;

std::string folder;
std::vector<std::string> missing;

// Setup's threads stay suspended while this lives. The copy and update dialogs
// are on the screen for a fraction of a second; held still, they wait for their
// picture without Setup being made any slower.
class HeldStill {
 public:
  explicit HeldStill(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
      if (entry.th32OwnerProcessID != pid) continue;
      HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
      if (thread == nullptr) continue;
      if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
        CloseHandle(thread);
        continue;
      }
      threads_.push_back(thread);
    }
    CloseHandle(snapshot);
  }
  ~HeldStill() {
    for (HANDLE thread : threads_) {
      ResumeThread(thread);
      CloseHandle(thread);
    }
  }
  HeldStill(const HeldStill&) = delete;
  HeldStill& operator=(const HeldStill&) = delete;

  bool holding() const { return !threads_.empty(); }

 private:
  std::vector<HANDLE> threads_;
};

struct PaintCheck {
  const Pixels* picture;
  RECT origin;  // the pictured window's rectangle on the screen
  bool painted;
};

// A visible control shows something within its rectangle: a text, a frame, an
// icon. An empty text (the copy dialog's paths before its first file) does not,
// so that picture waits for the first file.
BOOL CALLBACK CheckControl(HWND control, LPARAM param) {
  auto* check = reinterpret_cast<PaintCheck*>(param);
  if (!IsWindowVisible(control)) return TRUE;
  RECT rect = e2e::WindowRect(control);
  Pixels part;
  part.width = rect.right - rect.left;
  part.height = rect.bottom - rect.top;
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    for (LONG x = rect.left; x < rect.right; ++x) {
      const LONG px = x - check->origin.left;
      const LONG py = y - check->origin.top;
      if (px < 0 || py < 0 || px >= check->picture->width || py >= check->picture->height) continue;
      part.data.push_back(check->picture->data[static_cast<size_t>(py) * check->picture->width + px]);
    }
  }
  check->painted = check->painted && ShowsSomething(part);
  return check->painted;
}

// The window is on the screen with each of its controls drawn. A window that
// has just opened may still be blank, or show what lay beneath it.
bool Painted(HWND window, const Pixels& picture) {
  if (!ShowsSomething(picture)) return false;
  if (window == nullptr) return true;
  PaintCheck check = {&picture, e2e::WindowRect(window), true};
  EnumChildWindows(window, CheckControl, reinterpret_cast<LPARAM>(&check));
  return check.painted;
}

// Pictures a window of Setup (the whole screen for nullptr) while Setup is
// held still; between tries Setup runs on, so that it can paint.
void Snap(const SetupProcess& setup, HWND window, const char* name) {
  const std::string path = folder + "\\" + name + ".bmp";
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    {
      HeldStill held(setup.pid());
      if (!held.holding()) break;  // Setup has ended
      if (window != nullptr && !IsWindowVisible(window)) break;
      const Pixels picture = CaptureWindow(window);
      if (Painted(window, picture)) {
        const bool saved = e2e::SavePixels(picture, path);
        std::printf(saved ? "saved %s\n" : "tour: no picture %s: the file could not be written\n", path.c_str());
        if (!saved) missing.push_back(name);
        return;
      }
    }
    Sleep(kRunBetweenAttemptsMs);
  }
  std::printf("tour: no picture %s: its window was gone or never painted\n", name);
  missing.push_back(name);
}

// Waits for a dialog of the process without a pause after finding it and
// without sending it a message: the update dialog's thread is busy with the
// registry while the dialog is shown.
HWND CatchDialog(DWORD pid, const char* caption, int id, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", caption)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == pid && IsWindowVisible(window) && (id == 0 || GetDlgItem(window, id) != nullptr)) return window;
    }
    Sleep(2);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
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
  // The welcome dialog first: once it is pictured, it is on the screen too.
  Snap(setup, welcome, "02-welcome");
  Snap(setup, nullptr, "01-backdrop-and-welcome");
  Press(welcome, 1001);

  HWND options = WaitForDialogWith(setup.pid(), "Setup", e2e::kOptionContinue);
  if (options == nullptr) return Fail("INSTOPTION");
  Snap(setup, options, "03-destination");
  if (!e2e::ChooseCustom(options)) return Fail("the custom choice");
  Snap(setup, options, "04-destination-custom");
  // Back to the express choice: its button goes straight on.
  Press(options, e2e::kExpressButton);

  HWND copy = CatchDialog(setup.pid(), "Setup", e2e::kCopyCancel, e2e::Scaled(e2e::kWaitMs));
  if (copy == nullptr) return Fail("COPYDIALOG");
  Snap(setup, copy, "05-copying");
  HWND updating = CatchDialog(setup.pid(), "Updating....", 0, e2e::Scaled(e2e::kWaitMs));
  if (updating == nullptr) return Fail("UPDATEENVDLG");
  Snap(setup, updating, "06-updating");
  HWND success = WaitForDialog(setup.pid(), "Setup Complete!", 30000);
  if (success == nullptr) return Fail("SUCCESSDLG");
  Snap(setup, success, "07-success");
  Press(success, 1013);
  HWND reminder = WaitForDialogWith(setup.pid(), "Setup", IDOK);
  if (reminder == nullptr) return Fail("RESTARTCOM");
  Snap(setup, reminder, "08-reminder");
  Press(reminder, IDOK);
  setup.WaitForExit();
  std::printf("Setup ended with exit code %lu\n", static_cast<unsigned long>(setup.exitCode()));
  if (missing.empty()) return 0;
  std::printf("tour: %zu picture(s) missing:", missing.size());
  for (const std::string& name : missing) std::printf(" %s", name.c_str());
  std::printf("\n");
  return 1;
}
