#include "transfer/copy_dialog_win32.h"

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "shell/dialog_frame_win32.h"
#include "shell/setup_state.h"
#include "transfer/expand_file_win32.h"
#include "transfer/package_files.h"

namespace vx {
namespace {

constexpr UINT_PTR kCopyTimer = 0;
constexpr UINT kFirstFileDelay = 100;  // ms: lets the dialog paint before the first file
constexpr UINT kNextFileDelay = 10;    // ms: lets Cancel and painting in between files

// Steps of 2 on 1..11: the bar starts at 1 and is full after the fifth file.
constexpr int kProgressLow = 1;
constexpr int kProgressHigh = 11;
constexpr int kProgressStep = 2;

// The bar is created at run time, not in the template, and has no identifier.
constexpr int kProgressX = 50;
constexpr int kProgressY = 80;
constexpr int kProgressWidth = 182;
constexpr int kProgressHeight = 18;

// Fixed when the dialog opens; zero-initialised, so no constructor runs.
HWND progressBar;
char sourceDir[kPathCapacity];
bool sourceDirKnown;

// The four Get...A calls return 0 on failure and the needed size, larger than
// the buffer, when the text would not fit; either way the directory is unknown.
bool Reported(UINT length) { return length != 0 && length < kPathCapacity; }

void ReadSourceDirectory() {
  char modulePath[kPathCapacity];
  const DWORD length = GetModuleFileNameA(nullptr, modulePath, kPathCapacity);
  // A path cut at the buffer's end would name some other directory.
  sourceDirKnown = Reported(length) && SourceDirectoryOf(modulePath, sourceDir, kPathCapacity);
  if (!sourceDirKnown || PackageSourcesFit(sourceDir)) return;
  // Started from a folder too deep for the LZ expansion service to open its
  // files: the folder's short (8.3) form names them in fewer characters. When
  // the system gives no short form the long one stays; either way a file whose
  // path still does not fit is skipped.
  char shortPath[kPathCapacity];
  if (Reported(GetShortPathNameA(modulePath, shortPath, kPathCapacity))) {
    sourceDirKnown = SourceDirectoryOf(shortPath, sourceDir, kPathCapacity);
  }
}

void OnInitDialog(HWND dialog) {
  CenterDialog(dialog, 0);
  progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "ProgressBar", WS_CHILD | WS_VISIBLE, kProgressX, kProgressY,
                                kProgressWidth, kProgressHeight, dialog, nullptr, appInstance, nullptr);
  ReadSourceDirectory();
  SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(kProgressLow, kProgressHigh));
  SendMessageA(progressBar, PBM_SETSTEP, kProgressStep, 0);
  SetFocus(GetDlgItem(dialog, IDC_COPY_CANCEL));
  SetTimer(dialog, kCopyTimer, kFirstFileDelay, nullptr);
}

// One package file: show its paths, expand it and advance. A file whose paths do
// not fit is skipped like one that cannot be created; its step still counts.
void OnCopyTimer(HWND dialog) {
  KillTimer(dialog, kCopyTimer);

  char systemDir[kPathCapacity];
  char windowsDir[kPathCapacity];
  const bool systemKnown = Reported(GetSystemDirectoryA(systemDir, kPathCapacity));
  const bool windowsKnown = Reported(GetWindowsDirectoryA(windowsDir, kPathCapacity));
  const CopyRoots roots = {sourceDirKnown ? sourceDir : nullptr, setupState.installDir,
                           systemKnown ? systemDir : nullptr, windowsKnown ? windowsDir : nullptr};
  CopyPaths paths;
  const bool pathsFit = BuildCopyPaths(setupState.copyStep, roots, &paths);
  SetDlgItemTextA(dialog, IDC_COPY_FROM, paths.source);
  SetDlgItemTextA(dialog, IDC_COPY_TO, paths.destination);

  // Not set back: the next mouse movement over the dialog restores the arrow.
  SetCursor(LoadCursorA(appInstance, MAKEINTRESOURCEA(IDC_HOURGLASS)));
  if (pathsFit) ExpandFile(paths.source, paths.destination);
  // PBM_STEPIT starts over from the bottom once it passes the top, and a sixth
  // step of 2 from 11 would show a nearly empty bar as the dialog closes; the
  // last file keeps the bar full instead.
  if (setupState.copyStep + 1 >= kPackageFileCount) {
    SendMessageA(progressBar, PBM_SETPOS, kProgressHigh, 0);
  } else {
    SendMessageA(progressBar, PBM_STEPIT, 0, 0);
  }

  ++setupState.copyStep;
  if (setupState.copyStep >= kPackageFileCount) {
    EndDialog(dialog, 1);
    return;
  }
  SetTimer(dialog, kCopyTimer, kNextFileDelay, nullptr);
}

}  // namespace

INT_PTR CALLBACK CopyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (IsDialogColorMessage(message)) return HandleDialogColor(message, reinterpret_cast<HDC>(wParam));
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      break;
    case WM_TIMER:
      OnCopyTimer(dialog);
      break;
    case WM_COMMAND:
      // Compared whole: only a plain press of Cancel (or Enter, Cancel being the
      // default button). The copy timer keeps running behind the quit prompt.
      if (wParam == IDC_COPY_CANCEL) ConfirmQuit(dialog);
      break;
  }
  return FALSE;
}

}  // namespace vx
