#include "destination/instoption_win32.h"

#include "destination/destination_win32.h"
#include "destination/path_rules.h"
#include "resources/resource_ids.h"
#include "shell/bounded_text.h"
#include "shell/dialog_frame_win32.h"
#include "shell/setup_state.h"

namespace vx {
namespace {

// INSTOPTION alone opens this many pixels below the centred position.
constexpr int kDialogOffset = 30;

// The faces of the two owner-drawn choice buttons.
struct ButtonFaces {
  UINT control;
  int focusIcon;    // drawn for a focus change, gained or lost
  int raisedIcon;   // drawn for every other draw request
  int pressedIcon;  // drawn when the button's press arrives
};

// clang-format off
constexpr ButtonFaces kButtonFaces[] = {
    {IDC_EXPRESS_BUTTON, IDI_EXPRESS_FOCUS, IDI_EXPRESS_RAISED, IDI_EXPRESS_PRESSED},
    {IDC_CUSTOM_BUTTON,  IDI_CUSTOM_FOCUS,  IDI_CUSTOM_RAISED,  IDI_CUSTOM_PRESSED},
};
// clang-format on

// The custom choice shows these controls and enables all but the example text.
constexpr int kCustomShown[] = {IDC_INSTALL_TO_LABEL, IDC_PATH_EDIT, IDC_DRIVE_LIST, IDC_EXAMPLE_LABEL};
constexpr int kCustomEnabled[] = {IDC_INSTALL_TO_LABEL, IDC_PATH_EDIT, IDC_DRIVE_LIST};

// The sorted list starts with the floppy drives a and b; three looks at the top
// entry take them off whatever the machine has.
constexpr int kTopEntriesChecked = 3;

// Drive entries read "[-c-]"; an entry that does not fit here gives no letter.
constexpr LRESULT kEntryCapacity = 32;

void DrawFace(HDC dc, int icon) { DrawIcon(dc, 0, 0, LoadIconA(appInstance, MAKEINTRESOURCEA(icon))); }

void DrawButtonFace(const DRAWITEMSTRUCT& item) {
  for (const ButtonFaces& faces : kButtonFaces) {
    if (item.CtlID != faces.control) continue;
    // The item state is not looked at: losing the focus draws the focus face too.
    DrawFace(item.hDC, item.itemAction == ODA_FOCUS ? faces.focusIcon : faces.raisedIcon);
  }
}

// The pressed face is drawn straight into the button and not remembered: the
// next redraw shows the raised face again.
void DrawPressedFace(HWND dialog, UINT control) {
  for (const ButtonFaces& faces : kButtonFaces) {
    if (faces.control != control) continue;
    const HWND button = GetDlgItem(dialog, static_cast<int>(control));
    const HDC dc = GetDC(button);
    DrawFace(dc, faces.pressedIcon);
    ReleaseDC(button, dc);
  }
}

// The drive letter of one list entry; '\0' when there is no such entry.
char EntryDriveLetter(HWND list, WPARAM index) {
  char entry[kEntryCapacity] = {};
  // LB_GETTEXT writes without a bound, so the length is checked first.
  const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR || length >= kEntryCapacity) return '\0';
  SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(entry));
  return DriveLetterOfEntry(entry);
}

void InitDialog(HWND dialog) {
  CenterDialog(dialog, kDialogOffset);
  // DlgDirListA may write into its path argument, so it gets a copy. Only the
  // drives are listed, so every entry carries a drive letter.
  char source[kPathCapacity];
  CopyText(source, kPathCapacity, kDriveListSource);
  DlgDirListA(dialog, source, IDC_DRIVE_LIST, 0, DDL_DRIVES | DDL_EXCLUSIVE);
  const HWND list = GetDlgItem(dialog, IDC_DRIVE_LIST);
  for (int i = 0; i < kTopEntriesChecked; ++i) {
    if (!IsAcceptedDriveLetter(EntryDriveLetter(list, 0))) SendMessageA(list, LB_DELETESTRING, 0, 0);
  }
  SetFocus(GetDlgItem(dialog, IDC_OPTION_CONTINUE));
}

void ShowCustomControls(HWND dialog) {
  for (int control : kCustomShown) ShowWindow(GetDlgItem(dialog, control), SW_SHOW);
  for (int control : kCustomEnabled) EnableWindow(GetDlgItem(dialog, control), TRUE);
  // Every press starts the choice afresh: first drive, default directory.
  SendMessageA(GetDlgItem(dialog, IDC_DRIVE_LIST), LB_SETCURSEL, 0, 0);
  SetDlgItemTextA(dialog, IDC_PATH_EDIT, kDefaultCustomPath);
}

void Accept(HWND dialog) {
  AppendText(setupState.installDir, kPathCapacity, "\\");
  EndDialog(dialog, 1);
}

void ContinueExpress(HWND dialog) {
  if (!HasEnoughFreeSpace(kExpressFreeSpaceRoot, kExpressFreeSpaceRootWithBackslash)) {
    ShowStop(dialog, kInsufficientSpaceMessage);
    return;
  }
  if (!CreateOneDirectory(setupState.installDir)) {
    ShowStop(dialog, kDriveNotWritableMessage);
    return;
  }
  Accept(dialog);
}

void ContinueCustom(HWND dialog) {
  const HWND list = GetDlgItem(dialog, IDC_DRIVE_LIST);
  const char driveLetter = EntryDriveLetter(list, static_cast<WPARAM>(SendMessageA(list, LB_GETCURSEL, 0, 0)));
  char editText[kPathTextCapacity] = {};
  GetDlgItemTextA(dialog, IDC_PATH_EDIT, editText, kPathTextCapacity);

  char pathText[kPathTextCapacity];
  const PathVerdict verdict = CheckCustomPath(driveLetter, editText, pathText, setupState.installDir);
  if (verdict != PathVerdict::kAccepted) {
    ShowStop(dialog, VerdictMessage(verdict));
    return;
  }
  if (IsPathMissing(setupState.installDir) &&
      MessageBoxA(dialog, kCreateQuestion, kStopCaption, MB_YESNO | MB_ICONINFORMATION) != IDYES) {
    return;
  }
  // Asked after the question, so a Yes can still be refused here, before
  // anything is created.
  char root[kDriveRootCapacity];
  FormatDriveRoot(driveLetter, root);
  if (!HasEnoughFreeSpace(root, nullptr)) {
    ShowStop(dialog, kInsufficientSpaceMessage);
    return;
  }
  if (!CreateDirectoryLevels(driveLetter, pathText)) {
    ShowStop(dialog, kCannotCreateMessage);
    return;
  }
  Accept(dialog);
}

void Continue(HWND dialog) {
  CopyText(setupState.installDir, kPathCapacity, kExpressDirectory);
  if (setupState.expressSetup != 0) {
    ContinueExpress(dialog);
  } else {
    ContinueCustom(dialog);
  }
}

void HandleCommand(HWND dialog, WPARAM command) {
  // The whole wParam is compared, so only a plain press of a button acts: list
  // and edit notifications, a double press of an owner-drawn button and IDCANCEL
  // (Esc, the close box) do nothing.
  switch (command) {
    case IDC_EXPRESS_BUTTON:
      // One press is the whole express installation; Continue is not needed.
      DrawPressedFace(dialog, IDC_EXPRESS_BUTTON);
      setupState.expressSetup = 1;
      Continue(dialog);
      break;
    case IDC_CUSTOM_BUTTON:
      DrawPressedFace(dialog, IDC_CUSTOM_BUTTON);
      setupState.expressSetup = 0;
      ShowCustomControls(dialog);
      break;
    case IDC_OPTION_CONTINUE:
      Continue(dialog);
      break;
    case IDC_OPTION_EXIT:
      ConfirmQuit(dialog);
      break;
    default:
      break;
  }
}

}  // namespace

INT_PTR CALLBACK InstOptionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsDialogColorMessage(message)) return HandleDialogColor(message, reinterpret_cast<HDC>(wParam));
  switch (message) {
    case WM_INITDIALOG:
      InitDialog(dialog);
      break;
    case WM_DRAWITEM:
      DrawButtonFace(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      break;
    case WM_COMMAND:
      HandleCommand(dialog, wParam);
      break;
    default:
      break;
  }
  // FALSE for WM_INITDIALOG too, so the dialog manager leaves the focus on Continue.
  return FALSE;
}

}  // namespace vx
